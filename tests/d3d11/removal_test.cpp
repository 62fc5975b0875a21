// A shader that never ends removes the device, as Direct3D 11's timeout detection does: Present
// fails within seconds, so do later calls, the user is told once on standard error, and releasing
// everything and ending the process do not hang; in a child with a deadline, as a hang is the fault.
#include "d3d11_test.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The program's bindings; the compute stage never ends, and glslang keeps the loop since it stores.
const char* kShaders = R"(
cbuffer SceneConstants : register(b0) { float time; float unused[211]; };
RWStructuredBuffer<float4> screenOut : register(u0);
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    float4 value = time;
    for (uint i = 0; i < 1; i += 0) {
        value += 1.0;
        screenOut[id.y * 1280 + id.x] = value;
    }
}
)";

const char* kRemovedMessage = "the GPU has not finished a frame in 2 s";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The program's frame with a compute stage that never ends, until Present fails; then every other
// call a removed device answers, and the release of everything.
void RunawayDispatch() {
    const long validationAtStart = fxtest::ValidationMessages();
    d3dtest::TestWindow window;
    const long liveAtStart = fxtest::LiveObjects();
    DXGI_SWAP_CHAIN_DESC desc = conformance::SwapChainDesc(window.hwnd(), 1280, 720);
    IDXGISwapChain* chain = nullptr;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                            D3D11_SDK_VERSION, &desc, &chain, &device, nullptr, &context),
              S_OK);
    std::vector<uint8_t> code = d3dtest::Compile(kShaders, "cs_main", "cs_5_0");
    ID3D11ComputeShader* cs = nullptr;
    ASSERT_EQ(device->CreateComputeShader(code.data(), code.size(), nullptr, &cs), S_OK);
    ID3D11Buffer *constants = nullptr, *screen = nullptr;
    ID3D11UnorderedAccessView* view = nullptr;
    ASSERT_NO_FATAL_FAILURE(d3dtest::MakeScreen(device, &constants, &screen, &view));
    D3D11_BUFFER_DESC stagingDesc = {16, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
    ID3D11Buffer* staging = nullptr;
    ASSERT_EQ(device->CreateBuffer(&stagingDesc, nullptr, &staging), S_OK);
    EXPECT_EQ(device->GetDeviceRemovedReason(), S_OK) << "before the first frame";

    auto frame = [&] {
        float block[212] = {1.0f};
        context->UpdateSubresource(constants, 0, nullptr, block, 0, 0);
        context->CSSetConstantBuffers(0, 1, &constants);
        context->CSSetShader(cs, nullptr, 0);
        context->CSSetUnorderedAccessViews(0, 1, &view, nullptr);
        context->Dispatch(40, 22, 1);
        return chain->Present(0, 0);
    };
    const Clock::time_point start = Clock::now();
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && SecondsSince(start) < 10)
        hr = frame();
    EXPECT_EQ(hr, DXGI_ERROR_DEVICE_REMOVED) << "Present, within 10 s";
    EXPECT_EQ(device->GetDeviceRemovedReason(), DXGI_ERROR_DEVICE_HUNG);

    // Removed for good: every later frame fails at once, creation fails, mapping fails.
    const Clock::time_point later = Clock::now();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(frame(), DXGI_ERROR_DEVICE_REMOVED) << "frame " << i << " after the removal";
    // Each would take the 2 s bound again if it waited for the GPU.
    EXPECT_LT(SecondsSince(later), 2.0) << "seconds for 10 frames after the removal";
    ID3D11Buffer* another = nullptr;
    EXPECT_EQ(device->CreateBuffer(&stagingDesc, nullptr, &another), DXGI_ERROR_DEVICE_REMOVED);
    EXPECT_EQ(another, nullptr);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    EXPECT_EQ(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped), DXGI_ERROR_DEVICE_REMOVED);

    for (IUnknown* object :
         std::initializer_list<IUnknown*>{staging, view, screen, constants, cs, chain, context, device})
        object->Release();
    EXPECT_EQ(fxtest::LiveObjects(), liveAtStart) << "live objects after every release";
    EXPECT_EQ(fxtest::ValidationMessages() - validationAtStart, 0) << "Vulkan validation messages";
}

TEST(DeviceRemoval, ADispatchThatNeverEndsRemovesTheDeviceAndNothingHangs) {
    // In a child, which ends through exit() as the program does, and which an alarm ends after 30 s.
    std::fflush(stdout);
    testing::internal::CaptureStderr(); // the child's too
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(30);
        RunawayDispatch();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string text = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "still running after 30 s:\n" << text;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test process failed; its standard error:\n"
        << text;
    const size_t said = text.find(kRemovedMessage);
    EXPECT_TRUE(said != std::string::npos && text.find(kRemovedMessage, said + 1) == std::string::npos)
        << "the removal is reported once; standard error:\n"
        << text;
}

} // namespace
