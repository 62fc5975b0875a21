// The program's device layer on the stand-in: D3DInit's output and error lines step by step,
// D3DRelease, and the buffer factory's dumps, views and failures.
#include "console.h"
#include "files.h"
#include "d3d11_test.h"

#include "d3d.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <unistd.h>

namespace {

using d3dtest::LiveD3DObjects;

std::string ErrorLine(int line, HRESULT hr, const std::string& label) {
    return ::ErrorLine("d3d", line, hr, label);
}

const std::string kDump48 = BufferDump(48, 1, 0, 0);

const char* kVertexStatus = "D3DCompileShaderFromFile : vs_main vs_5_0::00000000\n";

const char* kShaderFile = R"(
cbuffer SceneConstants : register(b0) { float time; };
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
)";

class StartupTest : public d3dtest::D3D11Test {
  protected:
    void SetUp() override {
        D3D11Test::SetUp();
        WriteShader(kShaderFile);
    }
    void TearDown() override {
        CapturedStdout([] { D3DRelease(); });
        D3D11Test::TearDown();
    }
    void WriteShader(const std::string& text) { dir_.Write("main.fx", text); }
    // D3DInit on the test's window; its result lands in *hr.
    std::string Init(HRESULT* hr) {
        return CapturedStdout([&] { *hr = D3DInit(window_.hwnd(), 1280, 720, shaderPath_.c_str()); });
    }

    d3dtest::TestWindow window_;
    Scratch dir_;
    const std::string shaderPath_ = dir_.Path("main.fx");
};

TEST_F(StartupTest, StartUpPrintsTheVertexStatusThenTheQuadDumpAndShutdownLeavesNothing) {
    HRESULT hr = E_FAIL;
    std::string out = Init(&hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(out, kVertexStatus + kDump48);
    const void* made[] = {d3ddevice,         d3dcontext,    d3dswapchain, pBackBuffer,
                          pRenderTargetView, pVertexShader, pInputLayout, pVertexScreen};
    EXPECT_EQ(std::count(std::begin(made), std::end(made), nullptr), 0) << "every start-up object made";
    ASSERT_NE(pVertexScreen, nullptr);
    EXPECT_EQ(pPixelShader, nullptr) << "the pixel stage is the scene's";
    EXPECT_EQ(pConstant, nullptr);

    const float quad[12] = {-1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1};
    std::vector<uint8_t> got = d3dtest::ReadBuffer(d3ddevice, d3dcontext, pVertexScreen);
    ASSERT_EQ(got.size(), sizeof quad);
    EXPECT_EQ(std::memcmp(got.data(), quad, sizeof quad), 0) << "the quad's vertices";

    EXPECT_EQ(CapturedStdout([] { EXPECT_EQ(D3DRelease(), 0); }), "");
    EXPECT_EQ(LiveD3DObjects(), 0) << "every kind, after D3DRelease";
    EXPECT_EQ(CapturedStdout([] { EXPECT_EQ(D3DRelease(), 0); }), "") << "twice is safe";
}

TEST_F(StartupTest, EachFailingStepPrintsItsErrorLineAndStopsThere) {
    const HRESULT oom = E_OUTOFMEMORY;
    const std::string texcoord =
        "float4 vs_main(float2 uv : TEXCOORD0) : SV_Position { return float4(uv, 0.0, 1.0); }\n";
    struct Step {
        const char* call;   // the injected call, or none
        std::string shader; // main.fx, when not the usual one
        HRESULT hr;         // what D3DInit returns
        std::string lines;  // what it prints
        bool vertexShader;  // whether pVertexShader was made
    } steps[] = {
        {"D3D11CreateDeviceAndSwapChain", "", oom, ErrorLine(49, oom, "D3D11CreateDeviceAndSwapChain"),
         false},
        {"GetBuffer", "", oom, ErrorLine(55, oom, "d3dswapchain GetBuffer"), false},
        {"CreateRenderTargetView", "", oom, ErrorLine(61, oom, "CreateRenderTargetView Back Buffer"), false},
        {"CreateVertexShader", "", oom, kVertexStatus + ErrorLine(84, oom, "CreateVertexShader"), false},
        {"CreateInputLayout", "", oom, kVertexStatus + ErrorLine(100, oom, "CreateInputLayout"), true},
        {nullptr, texcoord, E_INVALIDARG, kVertexStatus + ErrorLine(100, E_INVALIDARG, "CreateInputLayout"),
         true},
        {"CreateBuffer", "", oom,
         kVertexStatus + kDump48 + ErrorLine(111, oom, "D3DXCreateBuffer : pVertexScreen"), true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.call ? step.call : "an input the layout lacks");
        WriteShader(step.shader.empty() ? kShaderFile : step.shader);
        if (step.call)
            fxtest::FailNextCall(step.call, oom);
        HRESULT hr = S_OK;
        EXPECT_EQ(Init(&hr), step.lines);
        EXPECT_EQ(hr, step.hr);
        EXPECT_EQ(pVertexShader != nullptr, step.vertexShader);
        EXPECT_EQ(pVertexScreen, nullptr) << "the last step must not have run";
        CapturedStdout([] { D3DRelease(); });
        EXPECT_EQ(LiveD3DObjects(), 0) << "D3DRelease releases what was made";
    }
}

TEST_F(StartupTest, BufferFactoryDumpsFirstAndKeepsTheBufferWhenTheViewFails) {
    HRESULT hr;
    Init(&hr);
    ASSERT_EQ(hr, S_OK);
    const std::string dump = BufferDump(14745600, 136, 64, 16);
    ID3D11Buffer* buffer = nullptr;
    ID3D11UnorderedAccessView* view = nullptr;
    EXPECT_EQ(CapturedStdout([&] { EXPECT_EQ(D3DCreateBufferUAV(&buffer, &view, 14745600, 16), S_OK); }),
              dump);
    ASSERT_NE(view, nullptr);
    D3D11_UNORDERED_ACCESS_VIEW_DESC desc;
    view->GetDesc(&desc);
    EXPECT_EQ(desc.Buffer.NumElements, 921600u);
    EXPECT_EQ(desc.Buffer.FirstElement, 0u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_UNKNOWN);
    view->Release();
    buffer->Release();
    view = nullptr;
    buffer = nullptr;

    fxtest::FailNextCall("CreateUnorderedAccessView", E_OUTOFMEMORY);
    std::string out =
        CapturedStdout([&] { EXPECT_EQ(D3DCreateBufferUAV(&buffer, &view, 14745600, 16), E_OUTOFMEMORY); });
    EXPECT_EQ(out, dump + ErrorLine(51, E_OUTOFMEMORY, "D3DCreateBufferUAV CS"));
    EXPECT_NE(buffer, nullptr) << "a failing view leaves the buffer in its slot";
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), 2) << "the quad and the kept buffer";
    buffer->Release();
    buffer = nullptr;

    out = CapturedStdout([&] { EXPECT_EQ(D3DCreateBufferUAV(&buffer, &view, 64, 0), E_INVALIDARG); });
    EXPECT_EQ(out, BufferDump(64, 136, 64, 0) + ErrorLine(34, E_INVALIDARG, "D3DCreateBuffer"))
        << "a structured buffer with a zero stride is refused at its creation, not divided by";
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(view, nullptr);
}

} // namespace
