// The drawing half of the stand-in, driven as the program drives it every frame: constants, dispatch
// over the screen buffer, a full-screen quad whose pixel stage reads that buffer, then Present.
#include "d3d11_test.h"

#include "x11_window.h"

#include <array>
#include <chrono>
#include <cstring>
#include <cmath>
#include <string>

namespace {

using conformance::Rgba;

constexpr UINT kWidth = 1280;
constexpr UINT kHeight = 720;

// The compute stage writes a known function of the cell and the clock; the pixel stage shows the
// cell under it, except on a checkerboard of 64-pixel squares where it discards.
const char* kShaders = R"(
cbuffer SceneConstants : register(b0) { float time; float unused[211]; };
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    uint t = (uint)time;
    screenOut[id.y * 1280 + id.x] = float4(id.x & 255, id.y & 255, (id.x + id.y + t) & 255, 255) / 255.0;
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint2 p = uint2(position.xy);
    if (((p.x / 64) + (p.y / 64)) % 2 == 1)
        discard;
    return screenIn[p.y * 1280 + p.x];
}
float4 ps_opaque(float4 position : SV_Position) : SV_Target {
    uint2 p = uint2(position.xy);
    return float4(screenIn[p.y * 1280 + p.x].rgb, 1.0);
}
)";

// The vertex stage writes five semantics, an array among them; each pixel stage reads some of them,
// whole, in an order of its own, loose, in an array or in a structure, and writes what it read into
// cells 0 to 2 of the screen buffer; or it reads one the vertex stage does not write (at all, or as
// wide as it is read).
const char* kLinkage = R"(
RWStructuredBuffer<float4> cells : register(u1);
struct VsOut {
    float4 color : COLOR0;
    float4 position : SV_Position;
    float2 uv1 : TEXCOORD1;
    float4 uv0 : TexCoord0;
    float4 pair[2] : TEXCOORD2;
};
VsOut vs_link(float3 position : POSITION) {
    VsOut o;
    o.color = float4(0.25, 0.5, 0.75, 1.0);
    o.position = float4(position, 1.0);
    o.uv1 = float2(2.0, 3.0);
    o.uv0 = float4(4.0, 5.0, 6.0, 7.0);
    o.pair[0] = float4(8.0, 9.0, 10.0, 11.0);
    o.pair[1] = float4(12.0, 13.0, 14.0, 15.0);
    return o;
}
float4 ps_reordered(float4 uv0 : TEXCOORD0, float4 p : SV_Position, float2 uv1 : TEXCOORD1,
                    float4 c : color0) : SV_Target {
    cells[0] = c;
    cells[1] = float4(uv1, 0.0, 0.0);
    cells[2] = uv0;
    return 1.0;
}
float4 ps_array(float4 pair[2] : TEXCOORD2, float4 t0 : TEXCOORD0) : SV_Target {
    cells[0] = pair[1];
    cells[1] = pair[0];
    cells[2] = t0;
    return 1.0;
}
struct PsIn { float2 uv1 : TEXCOORD1; float4 c : COLOR; };
float4 ps_struct(PsIn i) : SV_Target {
    cells[0] = i.c;
    cells[1] = float4(i.uv1, 0.0, 0.0);
    cells[2] = 0.0;
    return 1.0;
}
float4 ps_unwritten(float4 c : COLOR0, float4 t : TEXCOORD5) : SV_Target { return c + t; }
float4 ps_wider(float4 uv1 : TEXCOORD1) : SV_Target { return uv1; }
)";

// Direct3D's float to UNORM rule: scale in single precision, round to nearest even.
uint32_t Unorm8(float value) {
    return uint32_t(std::lrint(value * 255.0f));
}

// The clear colour (0, 0.125, 0.3, 1) as RGBA8.
const uint32_t kClear = Rgba(Unorm8(0.0f), Unorm8(0.125f), Unorm8(0.3f), Unorm8(1.0f));

// What the frame at clock `t` must leave at pixel (x, y).
uint32_t Expected(UINT x, UINT y, uint32_t t) {
    if (((x / 64) + (y / 64)) % 2 == 1)
        return kClear;
    // 22 groups of 32 rows cover rows 0 to 703; the rest of the buffer was never written.
    if (y >= 22 * 32)
        return 0;
    return Rgba(x & 255, y & 255, (x + y + t) & 255, 255);
}

class DrawTest : public d3dtest::D3D11Test {
  protected:
    void SetUp() override {
        D3D11Test::SetUp();
        ASSERT_NO_FATAL_FAILURE(MakeChain(window_.hwnd()));
        ASSERT_TRUE(platform::win32::X11WindowOf(window_.hwnd(), &display_, &xwindow_));
        D3D11_VIEWPORT viewport = {0, 0, float(kWidth), float(kHeight), 0, 1};
        context->RSSetViewports(1, &viewport);

        std::vector<uint8_t> vs = d3dtest::Compile(kShaders, "vs_main", "vs_5_0");
        std::vector<uint8_t> cs = d3dtest::Compile(kShaders, "cs_main", "cs_5_0");
        ASSERT_EQ(device->CreateVertexShader(vs.data(), vs.size(), nullptr, &vs_), S_OK);
        ASSERT_EQ(device->CreateComputeShader(cs.data(), cs.size(), nullptr, &cs_), S_OK);
        ps_ = MakePixelShader("ps_main");
        D3D11_INPUT_ELEMENT_DESC element = {
            "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
        ASSERT_EQ(device->CreateInputLayout(&element, 1, vs.data(), vs.size(), &layout_), S_OK);
        const float quad[12] = {-1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1};
        D3D11_BUFFER_DESC vb = {48, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
        D3D11_SUBRESOURCE_DATA data = {quad, 0, 0};
        ASSERT_EQ(device->CreateBuffer(&vb, &data, &quad_), S_OK);
        ASSERT_NO_FATAL_FAILURE(d3dtest::MakeScreen(device, &constants_, &screen_, &uav_));
    }

    void TearDown() override {
        for (IUnknown* object :
             std::initializer_list<IUnknown*>{uav_, screen_, constants_, quad_, layout_, ps_, cs_, vs_}) {
            if (object)
                object->Release();
        }
        D3D11Test::TearDown();
    }

    ID3D11PixelShader* MakePixelShader(const char* entry, const char* source = kShaders) {
        std::vector<uint8_t> code = d3dtest::Compile(source, entry, "ps_5_0");
        ID3D11PixelShader* shader = nullptr;
        EXPECT_EQ(device->CreatePixelShader(code.data(), code.size(), nullptr, &shader), S_OK);
        return shader;
    }

    // One frame as the program records it; `view` is the compute buffer's view or null. The clear
    // lends the back buffer the window's own image whenever the window is the back buffer's size.
    void Frame(float time, ID3D11UnorderedAccessView* view, bool present = true) {
        float block[212] = {time};
        context->UpdateSubresource(constants_, 0, nullptr, block, 0, 0);
        context->CSSetConstantBuffers(0, 1, &constants_);
        context->CSSetShader(cs_, nullptr, 0);
        context->CSSetUnorderedAccessViews(0, 1, &view, nullptr);
        context->Dispatch(40, 22, 1);
        context->OMSetRenderTargetsAndUnorderedAccessViews(1, &rtv, nullptr, 1, 1, &view, nullptr);
        UINT stride = 12, offset = 0;
        context->IASetIndexBuffer(nullptr, DXGI_FORMAT_UNKNOWN, 0);
        context->IASetVertexBuffers(0, 1, &quad_, &stride, &offset);
        context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        context->IASetInputLayout(layout_);
        const float clear[4] = {0.0f, 0.125f, 0.3f, 1.0f};
        context->ClearRenderTargetView(rtv, clear);
        context->VSSetShader(vs_, nullptr, 0);
        context->GSSetShader(nullptr, nullptr, 0);
        context->PSSetShader(ps_, nullptr, 0);
        context->VSSetConstantBuffers(0, 1, &constants_);
        context->GSSetConstantBuffers(0, 1, &constants_);
        context->PSSetConstantBuffers(0, 1, &constants_);
        context->Draw(4, 0);
        if (present) {
            EXPECT_TRUE(SUCCEEDED(chain->Present(0, 0)));
        }
    }

    // Compares the back buffer with `want(x, y)`.
    template <class Want> void ExpectBackBuffer(Want want, const char* what) {
        conformance::CheckTexels(d3dtest::ReadTexture(device, context, backBuffer), kWidth, kHeight, want,
                                 what);
    }

    // Frames go on while the window changes, until its client area is width x height.
    void FramesUntilSize(UINT width, UINT height) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        RECT client = {};
        while (std::chrono::steady_clock::now() < until) {
            d3dtest::PumpMessages();
            Frame(6.0f, uav_);
            GetClientRect(window_.hwnd(), &client);
            if (UINT(client.right) == width && UINT(client.bottom) == height)
                return;
        }
        ADD_FAILURE() << "client area: got " << client.right << " x " << client.bottom << ", want " << width
                      << " x " << height;
    }
    void Resize(UINT width, UINT height) {
        XResizeWindow(display_, xwindow_, width, height);
        FramesUntilSize(width, height);
        Frame(2.0f, uav_); // at the new size from the first
    }

    d3dtest::TestWindow window_;
    Display* display_ = nullptr;
    Window xwindow_ = 0;
    ID3D11VertexShader* vs_ = nullptr;
    ID3D11PixelShader* ps_ = nullptr;
    ID3D11ComputeShader* cs_ = nullptr;
    ID3D11InputLayout* layout_ = nullptr;
    ID3D11Buffer* quad_ = nullptr;
    ID3D11Buffer* constants_ = nullptr;
    ID3D11Buffer* screen_ = nullptr;
    ID3D11UnorderedAccessView* uav_ = nullptr;
};

TEST_F(DrawTest,
       TheBackBufferHoldsExactlyWhatTheComputeStageWroteAndTheClearColourWhereThePixelStageDiscards) {
    // Several frames in a row: each must show its own clock, never the previous frame's buffer.
    for (uint32_t t : {0u, 7u, 100u}) {
        Frame(float(t), uav_, false);
        ExpectBackBuffer([t](UINT x, UINT y) { return Expected(x, y, t); }, "frame");
        EXPECT_TRUE(SUCCEEDED(chain->Present(0, 0)));
    }
}

// A dispatch with no view writing nothing, and a draw without a pixel stage keeping the clear, are
// checked by the conformance program; here, a null view read in both stages of the program's frame.
TEST_F(DrawTest, ANullViewReadsZerosInBothStages) {
    ps_->Release();
    ps_ = MakePixelShader("ps_opaque");
    Frame(5.0f, nullptr, false);
    ExpectBackBuffer([](UINT, UINT) { return Rgba(0, 0, 0, 255); }, "null view in both stages");
}

// The back buffer's description, copies in and out in Direct3D's channel order and GetBuffer's answers
// are checked by the conformance program; here, the references this layer counts on it.
TEST_F(DrawTest, TheBackBufferCountsTheSwapChainsGetBuffersAndTheViewsReferences) {
    backBuffer->AddRef();
    EXPECT_EQ(backBuffer->Release(), 3u);
}

TEST_F(DrawTest, ShadersMadeAgainFromTheSameCodeDrawWithoutNewPipelinesAndReleasedOnesAreBounded) {
    Frame(1.0f, uav_);
    const long pipelines = fxtest::LiveObjects("VkPipeline");
    // F5 with only the pixel stage edited: the compute stage comes back with the same code.
    std::vector<uint8_t> cs = d3dtest::Compile(kShaders, "cs_main", "cs_5_0");
    for (int i = 0; i < 6; ++i) {
        ps_->Release();
        cs_->Release();
        ASSERT_EQ(device->CreateComputeShader(cs.data(), cs.size(), nullptr, &cs_), S_OK);
        ps_ = MakePixelShader(i % 2 ? "ps_main" : "ps_opaque");
        Frame(float(i), uav_);
    }
    EXPECT_EQ(fxtest::LiveObjects("VkPipeline"), pipelines + 1) << "only ps_opaque's pipeline is new";
    Frame(4.0f, uav_, false);
    ExpectBackBuffer([](UINT x, UINT y) { return Expected(x, y, 4); }, "drawn with pipelines made again");

    // Pixel stages of code never seen before, one after another: what is kept of released ones stops
    // growing.
    auto flat = [&](int i) {
        const std::string source = "float4 ps_flat(float4 p : SV_Position) : SV_Target { return float4(" +
                                   std::to_string(i) + " / 255.0, 0, 0, 1); }";
        std::vector<uint8_t> code = d3dtest::Compile(source.c_str(), "ps_flat", "ps_5_0");
        ps_->Release();
        ps_ = nullptr;
        ASSERT_EQ(device->CreatePixelShader(code.data(), code.size(), nullptr, &ps_), S_OK);
        Frame(5.0f, uav_);
    };
    for (int i = 0; i < 12; ++i)
        flat(i);
    const long kept = fxtest::LiveObjects("VkPipeline");
    for (int i = 12; i < 24; ++i)
        flat(i);
    EXPECT_EQ(fxtest::LiveObjects("VkPipeline"), kept);
    EXPECT_LT(kept, 16);
}

TEST_F(DrawTest, PixelInputsReadTheVertexOutputOfTheirSemanticAndOnesNotWrittenDrawNothingWithAMessage) {
    std::vector<uint8_t> vs = d3dtest::Compile(kLinkage, "vs_link", "vs_5_0");
    vs_->Release();
    vs_ = nullptr;
    ASSERT_EQ(device->CreateVertexShader(vs.data(), vs.size(), nullptr, &vs_), S_OK);
    using Cells = std::array<float, 12>;
    const struct {
        const char* entry;
        Cells cells;      // what a pair that links writes
        const char* said; // for a pair that does not link: what its message names
    } cases[] = {
        {"ps_reordered", {0.25f, 0.5f, 0.75f, 1, 2, 3, 0, 0, 4, 5, 6, 7}, nullptr},
        {"ps_array", {12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7}, nullptr},
        {"ps_struct", {0.25f, 0.5f, 0.75f, 1, 2, 3, 0, 0, 0, 0, 0, 0}, nullptr},
        {"ps_unwritten", {}, "reads TEXCOORD5, which the vertex shader does not write"},
        {"ps_wider", {}, "reads TEXCOORD1 with 4 components; the vertex shader writes 2"},
    };
    for (const auto& c : cases) {
        ps_->Release();
        ps_ = MakePixelShader(c.entry, kLinkage);
        testing::internal::CaptureStderr();
        Frame(1.0f, uav_, false);
        Frame(2.0f, uav_, false);
        const std::string said = testing::internal::GetCapturedStderr();
        if (c.said) {
            ExpectBackBuffer([](UINT, UINT) { return kClear; }, c.entry);
            EXPECT_NE(said.find(c.said), std::string::npos) << c.entry << ": " << said;
            EXPECT_EQ(said.find("Draw failed"), said.rfind("Draw failed")) << "said once: " << said;
            continue;
        }
        EXPECT_EQ(said.find("fxview platform"), std::string::npos) << c.entry << ": " << said;
        const std::vector<uint8_t> bytes = d3dtest::ReadBuffer(device, context, screen_);
        Cells got;
        std::memcpy(got.data(), bytes.data(), sizeof got);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.cells[i], 1e-5f) << c.entry << ", float " << i;
    }
}

TEST_F(DrawTest, PresentScalesToTheWindowThroughResizesMinimisingAndFullScreenAndReleasedShadersGo) {
    const long before = fxtest::LiveObjects("ID3D11PixelShader");
    const long live = fxtest::LiveObjects();
    // The back buffer's contents are undefined after Present, so every check below draws first.
    // Pixel (70, 10) is in a discarded square: the clear colour, which must reach the window as is;
    // so must what the compute stage wrote, in another square.
    Frame(1.0f, uav_);
    EXPECT_EQ(window_.Texel(70, 10), kClear);
    EXPECT_EQ(window_.Texel(10, 10), Expected(10, 10, 1));
    Resize(640, 360);
    // The square at (64..127, 0..63) of the back buffer lands at (32..63, 0..31) of the window.
    EXPECT_EQ(window_.Texel(48, 16), kClear);
    Resize(1, 1);
    Resize(kWidth, kHeight);
    EXPECT_EQ(window_.Texel(10, 10), Expected(10, 10, 2));
    ShowWindow(window_.hwnd(), SW_MINIMIZE);
    for (int i = 0; i < 3; ++i) {
        d3dtest::PumpMessages();
        Frame(3.0f, uav_);
    }
    ShowWindow(window_.hwnd(), SW_RESTORE);

    // Alt+Enter: full screen and back while frames go on, as DXGI switches; back buffer pixel (96, 32),
    // in a discarded square, lands at the same place scaled to the screen.
    const UINT screenWidth = UINT(DisplayWidth(display_, DefaultScreen(display_)));
    const UINT screenHeight = UINT(DisplayHeight(display_, DefaultScreen(display_)));
    const std::string altEnter = "xdotool windowfocus --sync " + std::to_string(xwindow_) + " key alt+Return";
    BOOL fullscreen = FALSE;
    for (BOOL want : {TRUE, FALSE}) {
        ASSERT_EQ(std::system(altEnter.c_str()), 0);
        FramesUntilSize(want ? screenWidth : kWidth, want ? screenHeight : kHeight);
        EXPECT_EQ(chain->GetFullscreenState(&fullscreen, nullptr), S_OK);
        EXPECT_EQ(fullscreen, want);
        Frame(6.0f, uav_);
        if (want) {
            EXPECT_EQ(window_.Texel(int(96 * screenWidth / kWidth), int(32 * screenHeight / kHeight)),
                      kClear);
        }
    }
    // Pixel stages released while frames that use them are in flight, as F5 held down does: they
    // and their pipelines go once the GPU is done with them.
    for (int i = 0; i < 4; ++i) {
        d3dtest::PumpMessages();
        ps_->Release();
        ps_ = MakePixelShader(i % 2 ? "ps_main" : "ps_opaque");
        Frame(4.0f, uav_);
    }
    EXPECT_EQ(fxtest::LiveObjects("ID3D11PixelShader"), before);
    EXPECT_EQ(fxtest::LiveObjects(), live);
    Frame(9.0f, uav_, false);
    ExpectBackBuffer([](UINT x, UINT y) { return Expected(x, y, 9); },
                     "after resizes, full screen and reloads");
}

// The clear lends the back buffer the window's own image: it is shown though the window is resized
// before Present, Present's sync interval may change while it is lent, and the swap chain may go
// while it is lent, the device carrying on.
TEST_F(DrawTest, ALentWindowImageOutlivesAResizeASyncIntervalChangeAndItsSwapChain) {
    Frame(1.0f, uav_);
    Frame(2.0f, uav_, false);
    XResizeWindow(display_, xwindow_, 640, 360);
    XSync(display_, False);
    d3dtest::PumpMessages();
    EXPECT_TRUE(SUCCEEDED(chain->Present(0, 0))) << "resized between the clear and Present";
    Resize(640, 360);
    EXPECT_EQ(window_.Texel(48, 16), kClear);
    Resize(kWidth, kHeight);

    Frame(3.0f, uav_, false);
    EXPECT_TRUE(SUCCEEDED(chain->Present(1, 0))) << "vsync asked for while an image is lent";
    for (float t : {4.0f, 5.0f})
        Frame(t, uav_);
    EXPECT_EQ(window_.Texel(10, 10), Expected(10, 10, 5));

    // The back buffer and its view outlive their swap chain, on the back buffer's own image again.
    Frame(6.0f, uav_, false);
    EXPECT_EQ(chain->Release(), 0u) << "released with an image lent";
    chain = nullptr;
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    context->ClearRenderTargetView(rtv, red);
    ExpectBackBuffer([](UINT, UINT) { return Rgba(255, 0, 0, 255); }, "cleared after the swap chain went");
}

} // namespace
