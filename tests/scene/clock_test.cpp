// The shader clock as the shaders see it, through the program's own FrameUpdate: a running
// single-precision sum of every frame step's tick difference, steps the readiness gate holds back
// included, across a wrap of the 32-bit tick and as a long-running clock rounds it; F5 is polled
// before the gate, so the step whose reload makes the scene whole draws; bytes 4 to 847 of the
// constant block read as zero in the compute, vertex and pixel stages.
#include "scene_fixture.h"

#include <cstring>

namespace {

// Each stage checks that everything after `time` is zero: the compute stage reports in the cell's
// y, the vertex stage moves the quad off screen, the pixel stage reports in red.
const char* kClockProbe = R"(
cbuffer SceneConstants : register(b0) { float time; float3 pad; float4 rest[52]; };
RWStructuredBuffer<float4> cellsOut : register(u0);
RWStructuredBuffer<float4> cellsIn : register(u1);
bool RestIsZero() {
    bool zero = all(pad == 0.0);
    for (int i = 0; i < 52; ++i)
        zero = zero && all(rest[i] == 0.0);
    return zero;
}
float4 vs_main(float3 position : POSITION) : SV_Position {
    return RestIsZero() ? float4(position, 1.0) : float4(2.0, 2.0, 2.0, 1.0);
}
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    cellsOut[id.y * 1280 + id.x] = float4(time, RestIsZero() ? 1.0 : 0.0, 0.0, 1.0);
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint2 p = uint2(position.xy);
    return float4(RestIsZero() ? 1.0 : 0.0, cellsIn[p.y * 1280 + p.x].y, 0.0, 1.0);
}
)";

class Clock : public SceneTest {
  protected:
    std::string InitialShader() override { return kClockProbe; }

    // The clock the last frame uploaded, as the compute stage saw it.
    float UploadedTime() {
        std::vector<uint8_t> cells = d3dtest::ReadBuffer(d3ddevice, d3dcontext, pComputeBuffer);
        float time = -1.0f;
        if (cells.size() >= 16)
            std::memcpy(&time, cells.data() + (360 * 1280 + 640) * 16, sizeof time);
        return time;
    }
    // One frame step at `tick`, with F5 pressed since the last one when `f5`.
    std::string Step(DWORD tick, bool f5 = false) {
        fxtest::SetTick(tick);
        fxtest::SetKeyState(VK_F5, false, f5);
        return Frames(1);
    }
};

TEST_F(Clock, EveryStepAdvancesTheClockAndAnF5OnTheStepThatMakesTheSceneWholeDrawsIt) {
    const DWORD start = 0xFFFFFF00u; // 256 ms before the tick wraps
    Step(start);
    SceneConstants.time = 0.0f; // from here on, whatever earlier steps left in it
    WriteShader(Without(kClockProbe, "cs_main"));
    EXPECT_EQ(Count(Step(start + 100, true), "Dispatch"), 0) << "a scene without a compute stage";
    float want = 100.0f / 1000.0f;
    EXPECT_EQ(SceneConstants.time, want) << "a step that the gate holds back still counts";

    WriteShader(kClockProbe);
    EXPECT_EQ(Count(Step(start + 116, true), kDispatch), 1) << "the step whose F5 makes the scene whole";
    want += 16.0f / 1000.0f;
    EXPECT_EQ(UploadedTime(), want);

    // Across the wrap: the true step of 156 ms, not four billion.
    Step(start + 272);
    want += 156.0f / 1000.0f;
    EXPECT_EQ(UploadedTime(), want);

    std::vector<uint32_t> image = Presented();
    ASSERT_EQ(image.size(), 1280u * 720u);
    EXPECT_EQ(image[360 * 1280 + 640], Rgba(255, 255, 0, 255))
        << "red: the pixel stage saw zeros; green: the compute stage did; drawn at all: the vertex stage did";

    // Single precision: floats are 2 ms apart from 16,384 s, 4 ms apart from 32,768 s.
    SceneConstants.time = 16384.0f;
    Step(start + 273);
    EXPECT_EQ(UploadedTime(), 16384.0f + 0.001953125f) << "a 1 ms step counts as about 2 ms";
    SceneConstants.time = 32768.0f;
    Step(start + 274);
    EXPECT_EQ(UploadedTime(), 32768.0f) << "a 1 ms step no longer advances the clock";
}

} // namespace
