// The scene: what a load prints and the image one frame makes, F5 held or tapped, each failing step
// of a reload and the recovery from it, and the exact size of the dispatch.
#include "scene_fixture.h"

#include <cstring>

namespace {

// The compute stage writes a known function of the cell and the clock, the pixel stage shows it,
// except in the first eight columns, which it discards.
const char* kKnownFunction = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> cellsOut : register(u0);
RWStructuredBuffer<float4> cellsIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
void Shade(uint x, uint y) {
    uint ms = (uint)(time * 1000.0 + 0.5);
    cellsOut[y * 1280 + x] = float4((x & 255) / 255.0, (y & 255) / 255.0, ((x + ms) & 255) / 255.0, 1.0);
}
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    Shade(id.x, id.y);
    if (id.y + 704 < 720)
        Shade(id.x, id.y + 704);
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint2 p = uint2(position.xy);
    if (p.x < 8)
        discard;
    return cellsIn[p.y * 1280 + p.x] + time * 0.0;
}
)";

const std::string kPixelBuilt = "D3DCompileShaderFromFile : ps_main ps_5_0::00000000\n";
const std::string kComputeBuilt = "D3DCompileShaderFromFile : cs_main cs_5_0::00000000\n";
const std::string kScreenDump = BufferDump(14745600, 136, 64, 16);
const std::string kConstantDump = BufferDump(848, 4, 0, 0);
const std::string kLoaded = kPixelBuilt + kComputeBuilt + kScreenDump + "Loaded.\n" + kConstantDump;

const uint32_t kClear = Rgba(0, 32, 76, 255); // (0, 0.125, 0.3, 1) as the window shows it

class Scene : public SceneTest {
  protected:
    std::string InitialShader() override { return kKnownFunction; }
};

TEST_F(Scene, ALoadPrintsEachStepAndOneFrameShowsTheCellsAndTheClearColourWhereThePixelStageDiscards) {
    EXPECT_EQ(Load(), kLoaded);
    SceneConstants.time = 0.25f;
    EXPECT_EQ(CapturedStdout([] { SceneFrame(); }), kDispatch);
    std::vector<uint32_t> image = Presented();
    ASSERT_EQ(image.size(), 1280u * 720u);
    int wrong = 0;
    for (uint32_t y = 0; y < 720; ++y)
        for (uint32_t x = 0; x < 1280; ++x)
            wrong += image[y * 1280 + x] != (x < 8 ? kClear : Rgba(x & 255, y & 255, (x + 250) & 255, 255));
    EXPECT_EQ(wrong, 0) << "pixels that differ";
}

// A press that ended before the poll reloads once: the recovery in the table below.
TEST_F(Scene, F5HeldReloadsOnEveryFrameAndKeepsOneOfEachObject) {
    Load();
    Frames(1);
    const long objects = fxtest::LiveObjects();
    fxtest::SetKeyState(VK_F5, true);
    EXPECT_EQ(Frames(2), kLoaded + kDispatch + kLoaded + kDispatch);
    EXPECT_EQ(fxtest::LiveObjects(), objects) << "objects of every kind";
}

// A reload that fails at one step says so, in order, and the next frames draw only where the earlier
// load's constant buffer is kept (a failed screen buffer or view: frames run with a null view). A
// fixed file and one F5 draw again in that same frame step, and the failure leaves no object behind.
TEST_F(Scene, EachFailingReloadStepPrintsItsLinesAndAFixedFileWithOneF5Recovers) {
    const HRESULT oom = E_OUTOFMEMORY;
    const std::string screenFails = ErrorLine("scene", 40, oom, "D3DCreateBufferUAV CS");
    const struct {
        const char* what;
        const char* call; // injected, after `passing` calls that go through
        int passing;
        std::string shader, lines;
        bool draws;
    } rows[] = {
        {"no ps_main", nullptr, 0, Without(kKnownFunction, "ps_main"),
         "INFO : <source>: warning: Linking fragment stage: Entry point not found\n"
         "<source>: error: entry point 'ps_main' not found\n\n"
         "D3DCompileShaderFromFile : ps_main ps_5_0::80004005\n" +
             ErrorLine("d3d", 11, E_FAIL, "CompileShaderFromFile PS") + kComputeBuilt + kScreenDump +
             "Loaded.\n" + kConstantDump,
         false},
        {"CreatePixelShader", "CreatePixelShader", 0, kKnownFunction,
         kPixelBuilt + ErrorLine("d3d", 17, oom, "CreatePixelShader") + kComputeBuilt + kScreenDump +
             "Loaded.\n" + kConstantDump,
         false},
        {"no cs_main", nullptr, 0, Without(kKnownFunction, "cs_main"),
         kPixelBuilt + "INFO : <source>: warning: Linking compute stage: Entry point not found\n" +
             "<source>: error: entry point 'cs_main' not found\n\nD3DCompileShaderFromFile : cs_main "
             "cs_5_0::80004005\n" +
             ErrorLine("scene", 26, E_FAIL, "CompileShaderFromFile CS"),
         false},
        {"CreateComputeShader", "CreateComputeShader", 0, kKnownFunction,
         kPixelBuilt + kComputeBuilt + ErrorLine("scene", 33, oom, "CreateComputeShader"), false},
        {"the screen buffer", "CreateBuffer", 0, kKnownFunction,
         kPixelBuilt + kComputeBuilt + kScreenDump + ErrorLine("d3d", 34, oom, "D3DCreateBuffer") +
             screenFails,
         true},
        {"its view", "CreateUnorderedAccessView", 0, kKnownFunction,
         kPixelBuilt + kComputeBuilt + kScreenDump + ErrorLine("d3d", 51, oom, "D3DCreateBufferUAV CS") +
             screenFails,
         true},
        {"the constant buffer", "CreateBuffer", 1, kKnownFunction,
         kLoaded + ErrorLine("scene", 49, oom, "D3DCreateBuffer:pConstant"), false},
    };
    Load();
    const long objects = fxtest::LiveObjects();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteShader(row.shader);
        if (row.call)
            fxtest::FailNextCall(row.call, oom, row.passing);
        EXPECT_EQ(Load(), row.lines);
        EXPECT_EQ(Frames(2), row.draws ? std::string(kDispatch) + kDispatch : "");
        if (row.draws) {
            EXPECT_EQ(Presented()[360 * 1280 + 640], Rgba(0, 0, 0, 255)) << "a null view reads zero";
        }

        WriteShader(kKnownFunction);
        fxtest::SetKeyState(VK_F5, false, true);
        EXPECT_EQ(Frames(1), kLoaded + kDispatch);
        EXPECT_EQ(fxtest::LiveObjects(), objects);
    }
}

// Every thread of the 40 x 22 x 1 groups of 32 x 32 counts itself and its group once.
TEST_F(Scene, TheDispatchRunsExactlyFortyByTwentyTwoGroups) {
    WriteShader(R"(
struct Tally { uint threads; uint x; uint y; uint z; };
RWStructuredBuffer<Tally> tally : register(u0);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 group : SV_GroupID) {
    InterlockedAdd(tally[0].threads, 1);
    InterlockedMax(tally[0].x, group.x);
    InterlockedMax(tally[0].y, group.y);
    InterlockedMax(tally[0].z, group.z);
}
float4 ps_main(float4 position : SV_Position) : SV_Target { return position; }
)");
    ASSERT_EQ(Count(Load(), "Loaded.\n"), 1);
    EXPECT_EQ(Frames(1), kDispatch);
    std::vector<uint8_t> cells = d3dtest::ReadBuffer(d3ddevice, d3dcontext, pComputeBuffer);
    ASSERT_GE(cells.size(), 16u);
    std::vector<uint32_t> tally(4);
    std::memcpy(tally.data(), cells.data(), 16);
    EXPECT_EQ(tally, (std::vector<uint32_t>{901120, 39, 21, 0})) << "threads, and the largest group id";
}

} // namespace
