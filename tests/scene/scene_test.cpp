// The scene: what a load prints and builds, F5 held or tapped, a file whose compute stage is
// missing, a failed view that keeps the previous constant buffer, and the image one frame makes.
#include "scene_fixture.h"

#include <cmath>

namespace {

// The compute stage writes a known function of the cell and the clock, the pixel stage shows it,
// except in the first eight columns, which it discards.
const char* kKnownFunction = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> cellsOut : register(u0);
RWStructuredBuffer<float4> cellsIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
void Shade(uint x, uint y)
{
    uint ms = (uint)(time * 1000.0 + 0.5);
    cellsOut[y * 1280 + x] = float4((x & 255) / 255.0, (y & 255) / 255.0, ((x + ms) & 255) / 255.0, 1.0);
}
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Shade(id.x, id.y);
    if (id.y + 704 < 720)
        Shade(id.x, id.y + 704);
}
float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 p = uint2(position.xy);
    if (p.x < 8)
        discard;
    return cellsIn[p.y * 1280 + p.x] + time * 0.0;
}
)";

const char* kNoComputeEntry = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> cellsIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
float4 ps_main(float4 position : SV_Position) : SV_Target { return cellsIn[0] + time; }
)";

uint32_t ClearColour() {
    auto unorm = [](float f) { return static_cast<uint32_t>(std::nearbyint(f * 255.0f)); };
    return Rgba(unorm(0.0f), unorm(0.125f), unorm(0.3f), 255);
}

class Scene : public SceneTest {
  protected:
    std::string InitialShader() override { return kKnownFunction; }
    std::string Load() {
        return CapturedStdout([] { SceneLoad(); });
    }
    std::string Frames(int n) {
        return CapturedStdout([&] {
            for (int i = 0; i < n; ++i)
                FrameUpdate();
        });
    }
};

TEST_F(Scene, ASuccessfulLoadPrintsEachStepInOrder) {
    std::string want = std::string("D3DCompileShaderFromFile : ps_main ps_5_0::00000000\n") +
                       "D3DCompileShaderFromFile : cs_main cs_5_0::00000000\n" +
                       BufferDump(14745600, 136, 64, 16) + "Loaded.\n" + BufferDump(848, 4, 0, 0);
    EXPECT_EQ(Load(), want);
    EXPECT_NE(pPixelShader, nullptr);
    EXPECT_NE(pComputeShader, nullptr);
    EXPECT_NE(pComputeBuffer, nullptr);
    EXPECT_NE(pComputeUAV, nullptr);
    EXPECT_NE(pConstant, nullptr);
}

TEST_F(Scene, OneFrameShowsTheComputeStagesCellsAndTheClearColourWhereThePixelStageDiscards) {
    Load();
    SceneConstants.time = 0.25f;
    std::string out = CapturedStdout([] { SceneFrame(); });
    EXPECT_EQ(out, "Dispatch X=40,  y=22\r");
    std::vector<uint32_t> image = Presented();
    ASSERT_EQ(image.size(), 1280u * 720u);
    int wrong = 0;
    for (uint32_t y = 0; y < 720; ++y) {
        for (uint32_t x = 0; x < 1280; ++x) {
            uint32_t want = x < 8 ? ClearColour() : Rgba(x & 255, y & 255, (x + 250) & 255, 255);
            uint32_t got = image[y * 1280 + x];
            if (got != want && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): got 0x" << std::hex << got << ", want 0x"
                              << want;
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ";
}

TEST_F(Scene, F5HeldReloadsOnEveryFrameAndKeepsOneOfEachObject) {
    Load();
    Frames(1);
    long buffers = fxtest::LiveObjects("ID3D11Buffer");
    long views = fxtest::LiveObjects("ID3D11UnorderedAccessView");
    long objects = fxtest::LiveObjects();
    fxtest::SetKeyState(VK_F5, true);
    std::string out = Frames(5);
    EXPECT_EQ(Count(out, "Loaded.\n"), 5);
    EXPECT_EQ(Count(out, "Dispatch X=40,  y=22\r"), 5) << "each reloaded frame is drawn";
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), buffers) << "vertex, compute and constant buffers";
    EXPECT_EQ(fxtest::LiveObjects("ID3D11UnorderedAccessView"), views);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11PixelShader"), 1);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11ComputeShader"), 1);
    EXPECT_EQ(fxtest::LiveObjects(), objects) << "objects of every kind";

    // A press that ended before the poll still reloads, once.
    fxtest::SetKeyState(VK_F5, false, true);
    EXPECT_EQ(Count(Frames(2), "Loaded.\n"), 1);
}

TEST_F(Scene, AFileWithoutAComputeEntryDrawsNothingUntilAFixedFileIsLoaded) {
    Load();
    WriteShader(kNoComputeEntry);
    std::string out = Load();
    EXPECT_NE(out.find("D3DCompileShaderFromFile : ps_main ps_5_0::00000000\n"), std::string::npos) << out;
    EXPECT_NE(out.find("D3DCompileShaderFromFile : cs_main cs_5_0::80004005\n"), std::string::npos) << out;
    EXPECT_NE(out.find(ErrorLine("scene", 26, E_FAIL, "CompileShaderFromFile CS")), std::string::npos) << out;
    EXPECT_NE(pPixelShader, nullptr) << "the pixel stage is rebuilt";
    EXPECT_EQ(pComputeShader, nullptr);
    EXPECT_EQ(Count(Frames(3), "Dispatch"), 0) << "no frame without a compute stage";

    WriteShader(kKnownFunction);
    EXPECT_NE(Load().find("Loaded.\n"), std::string::npos);
    EXPECT_EQ(Count(Frames(2), "Dispatch X=40,  y=22\r"), 2);
}

TEST_F(Scene, AFailedViewKeepsThePreviousConstantBufferAndFramesRunWithNullViews) {
    Load();
    ID3D11Buffer* previousConstants = pConstant;
    fxtest::FailNextCall("CreateUnorderedAccessView", E_OUTOFMEMORY);
    std::string out = Load();
    std::string want = std::string("D3DCompileShaderFromFile : ps_main ps_5_0::00000000\n") +
                       "D3DCompileShaderFromFile : cs_main cs_5_0::00000000\n" +
                       BufferDump(14745600, 136, 64, 16) +
                       ErrorLine("d3d", 51, E_OUTOFMEMORY, "D3DCreateBufferUAV CS") +
                       ErrorLine("scene", 40, E_OUTOFMEMORY, "D3DCreateBufferUAV CS");
    EXPECT_EQ(out, want);
    EXPECT_NE(pComputeBuffer, nullptr) << "the buffer stays when only its view failed";
    EXPECT_EQ(pComputeUAV, nullptr);
    EXPECT_EQ(pConstant, previousConstants);

    EXPECT_EQ(Count(Frames(1), "Dispatch X=40,  y=22\r"), 1);
    // A null view reads zero in the pixel stage.
    std::vector<uint32_t> image = Presented();
    ASSERT_EQ(image.size(), 1280u * 720u);
    EXPECT_EQ(image[0], ClearColour());
    EXPECT_EQ(image[360 * 1280 + 640], Rgba(0, 0, 0, 255)) << "zero, shown without alpha";
}

} // namespace
