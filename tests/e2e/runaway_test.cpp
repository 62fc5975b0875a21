// A main.fx whose compute or pixel stage never ends: the program tells the user the device is
// removed, keeps its window responsive and exits on Escape within 5 seconds, as a removed device
// in Direct3D 11 leaves it.
#include "program.h"

#include <cstdlib>

namespace {

const char* kComputeNeverEnds = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    float4 value = time;
    for (uint i = 0; i < 1; i += 0) {
        value += 1.0;
        screenOut[id.y * 1280 + id.x] = value;
    }
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    return screenIn[uint(position.y) * 1280 + uint(position.x)];
}
)";

const char* kPixelNeverEnds = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) { screenOut[id.y * 1280 + id.x] = time; }
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint cell = uint(position.y) * 1280 + uint(position.x);
    float4 value = screenIn[cell];
    for (uint i = 0; i < 1; i += 0) {
        value = value * 0.5 + 0.25;
        screenIn[cell] = value;
    }
    return value;
}
)";

const char* kRemovedMessage =
    "fxview platform: the GPU has not finished a frame in 2 s: the shader probably never ends; the "
    "device is removed. Fix the shader and restart fxview.\n";

void ExpectRemovalThenEscapeExits(const char* source) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Scratch scratch;
    WriteFile(scratch.Path("main.fx"), source);
    Program program(scratch);
    Window window = FindProgramWindow(display);
    ASSERT_NE(window, 0u) << program.Stderr();
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (program.Stderr().find(kRemovedMessage) == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The message comes once, however many frames follow.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string err = program.Stderr();
    const size_t first = err.find(kRemovedMessage);
    EXPECT_NE(first, std::string::npos) << "standard error: " << err;
    EXPECT_EQ(err.find(kRemovedMessage, first + 1), std::string::npos) << "standard error: " << err;

    const std::string escape = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(std::system(escape.c_str()), 0);
    const auto pressed = std::chrono::steady_clock::now();
    EXPECT_EQ(program.WaitExit(5), 0)
        << "exit code within 5 s of Escape; standard error: " << program.Stderr();
    std::printf("exit %.2f s after Escape\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count());
    EXPECT_EQ(program.Stderr().find("validation"), std::string::npos) << program.Stderr();
    XCloseDisplay(display);
}

TEST(RunawayShader, InTheComputeStageRemovesTheDeviceAndEscapeStillExits) {
    ExpectRemovalThenEscapeExits(kComputeNeverEnds);
}

TEST(RunawayShader, InThePixelStageRemovesTheDeviceAndEscapeStillExits) {
    ExpectRemovalThenEscapeExits(kPixelNeverEnds);
}

} // namespace
