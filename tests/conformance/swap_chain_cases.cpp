// The swap chain on a window: its back buffer, the view of it, clears presented, references reaching
// zero; and 2D textures, the back buffer among them, copied in and out of a staging texture and
// written by UpdateSubresource.
#include "cases.h"
#include "differences.h"
#include "harness.h"

namespace conformance {

namespace {

constexpr UINT kWidth = 320;
constexpr UINT kHeight = 200;

// Four distinct bytes per texel: any swap of channels shows.
uint32_t Pattern(UINT x, UINT y) {
    return Rgba(x & 255, y & 255, (x >> 8) | 0x10, 0x80 | (y >> 8));
}

// Copies a staging texture of Pattern into `target`, writes a box of it with UpdateSubresource and
// copies it to a plain texture, reading back each step.
void CheckCopies(const Device& d, ID3D11Texture2D* target) {
    std::vector<uint32_t> texels(size_t(kWidth) * kHeight);
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x)
            texels[size_t(y) * kWidth + x] = Pattern(x, y);
    }
    const D3D11_TEXTURE2D_DESC stagingDesc =
        TextureDesc(kWidth, kHeight, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE);
    const D3D11_TEXTURE2D_DESC plainDesc =
        TextureDesc(kWidth, kHeight, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0);
    const D3D11_SUBRESOURCE_DATA data = {texels.data(), kWidth * 4, 0};
    Ref<ID3D11Texture2D> staging, copy;
    if (!CheckHr(d.device->CreateTexture2D(&stagingDesc, &data, staging.out()), S_OK, "a staging texture") ||
        !CheckHr(d.device->CreateTexture2D(&plainDesc, nullptr, copy.out()), S_OK, "a plain texture"))
        return;
    d.context->CopyResource(target, staging.get());
    CheckTexels(ReadTexture(d, target), kWidth, kHeight, Pattern, "a staging texture copied in");

    uint32_t patch[6];
    for (uint32_t i = 0; i < 6; ++i)
        patch[i] = Rgba(4 * i + 1, 4 * i + 2, 4 * i + 3, 4 * i + 4);
    const D3D11_BOX box = {100, 150, 0, 103, 152, 1};
    d.context->UpdateSubresource(target, 0, &box, patch, 3 * 4, 0);
    auto patched = [&](UINT x, UINT y) {
        if (x >= box.left && x < box.right && y >= box.top && y < box.bottom)
            return patch[(y - box.top) * 3 + (x - box.left)];
        return Pattern(x, y);
    };
    CheckTexels(ReadTexture(d, target), kWidth, kHeight, patched, "after UpdateSubresource of a box");
    d.context->CopyResource(copy.get(), target);
    CheckTexels(ReadTexture(d, copy.get()), kWidth, kHeight, patched, "a plain texture copied from it");
}

} // namespace

void SwapChainBackBuffer() {
    Window window(kWidth, kHeight);
    DXGI_SWAP_CHAIN_DESC desc = SwapChainDesc(window.hwnd(), kWidth, kHeight);
    Device d;
    Ref<IDXGISwapChain> chain;
    if (!CheckHr(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                               D3D11_SDK_VERSION, &desc, chain.out(), d.device.out(), nullptr,
                                               d.context.out()),
                 S_OK, "D3D11CreateDeviceAndSwapChain"))
        return;
    Ref<ID3D11Texture2D> backBuffer;
    if (!CheckHr(chain->GetBuffer(0, IID_ID3D11Texture2D, backBuffer.outVoid()), S_OK, "GetBuffer(0)"))
        return;
    D3D11_TEXTURE2D_DESC texture;
    backBuffer->GetDesc(&texture);
    CheckEq(texture.Width, kWidth, "back buffer width");
    CheckEq(texture.Height, kHeight, "back buffer height");
    CheckEq(int(texture.Format), int(DXGI_FORMAT_R8G8B8A8_UNORM), "back buffer format");
    CheckTrue((texture.BindFlags & D3D11_BIND_RENDER_TARGET) != 0, "back buffer bound as a render target");
    CheckEq(int(texture.Usage), int(D3D11_USAGE_DEFAULT), "back buffer usage");
    DXGI_SWAP_CHAIN_DESC got = {};
    CheckHr(chain->GetDesc(&got), S_OK, "GetDesc");
    CheckTrue(got.OutputWindow == window.hwnd() && got.BufferDesc.Width == kWidth && got.Windowed,
              "GetDesc: the window, the width and windowed");

    Ref<ID3D11Buffer> notABuffer;
    CheckHr(chain->GetBuffer(0, IID_ID3D11Buffer, notABuffer.outVoid()), E_NOINTERFACE,
            "GetBuffer as a buffer");
    Ref<ID3D11Texture2D> second;
    CheckHr(chain->GetBuffer(1, IID_ID3D11Texture2D, second.outVoid()), DXGI_ERROR_INVALID_CALL,
            "GetBuffer(1) of a one-buffer discard chain");
    CheckTrue(!notABuffer && !second, "nothing handed out for what GetBuffer refused");
    CheckHr(chain->SetFullscreenState(FALSE, nullptr), S_OK, "SetFullscreenState(FALSE) while windowed");
    BOOL fullscreen = TRUE;
    CheckHr(chain->GetFullscreenState(&fullscreen, nullptr), S_OK, "GetFullscreenState");
    CheckEq(int(fullscreen), int(FALSE), "windowed");

    // A clear of the back buffer through its view reads back, and presents.
    Ref<ID3D11RenderTargetView> rtv;
    if (!CheckHr(d.device->CreateRenderTargetView(backBuffer.get(), nullptr, rtv.out()), S_OK,
                 "a view of the back buffer"))
        return;
    const float clear[4] = {0x10 / 255.0f, 0x80 / 255.0f, 0xF0 / 255.0f, 1.0f};
    d.context->ClearRenderTargetView(rtv.get(), clear);
    CheckTexels(
        ReadTexture(d, backBuffer.get()), kWidth, kHeight,
        [](UINT, UINT) { return Rgba(0x10, 0x80, 0xF0, 0xFF); }, "the back buffer cleared");
    CheckHr(chain->Present(0, 0), S_OK, "Present");
    PumpMessages();
    // The back buffer keeps Direct3D's channel order through copies in and out, whatever order the
    // window keeps.
    CheckCopies(d, backBuffer.get());

    // Nothing is made for what is not a window.
    DXGI_SWAP_CHAIN_DESC notAWindow = SwapChainDesc(reinterpret_cast<HWND>(0x1234), kWidth, kHeight);
    Ref<IDXGISwapChain> none;
    Ref<ID3D11Device> noDevice;
    CheckHr(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                          D3D11_SDK_VERSION, &notAWindow, none.out(), noDevice.out(), nullptr,
                                          nullptr),
            DXGI_ERROR_INVALID_CALL, "a swap chain on what is not a window", &kWineNotAWindow);
    CheckTrue(!none && !noDevice, "nothing made for what is not a window", &kWineNotAWindow);

    // The back buffer and its view outlive the swap chain's reference; all reach zero.
    CheckEq(chain.take()->Release(), ULONG(0), "the swap chain released");
    d.context->ClearRenderTargetView(rtv.get(), clear);
    CheckEq(rtv.take()->Release(), ULONG(0), "the view released");
    CheckEq(backBuffer.take()->Release(), ULONG(0), "the back buffer released");
}

void TextureCopies() {
    Device d;
    if (!MakeDevice(&d))
        return;
    const D3D11_SUBRESOURCE_DATA empty = {nullptr, 0, 0};
    const struct {
        const char* what;
        D3D11_TEXTURE2D_DESC desc;
        const D3D11_SUBRESOURCE_DATA* initial;
        HRESULT want;
        const Difference* difference = nullptr;
    } cases[] = {
        {"zero width", TextureDesc(0, 8, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0), nullptr,
         E_INVALIDARG},
        {"default usage with CPU access",
         TextureDesc(8, 8, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, D3D11_CPU_ACCESS_READ), nullptr,
         E_INVALIDARG, &kWineDefaultTextureCpuAccess},
        {"staging with a bind flag",
         TextureDesc(8, 8, D3D11_USAGE_STAGING, D3D11_BIND_RENDER_TARGET, D3D11_CPU_ACCESS_READ), nullptr,
         E_INVALIDARG},
        {"staging without CPU access", TextureDesc(8, 8, D3D11_USAGE_STAGING, 0, 0), nullptr, E_INVALIDARG},
        {"initial data without memory", TextureDesc(8, 8, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0),
         &empty, E_INVALIDARG},
        {"a render target", TextureDesc(8, 8, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0), nullptr,
         S_OK},
    };
    for (const auto& c : cases) {
        Ref<ID3D11Texture2D> texture;
        CheckHr(d.device->CreateTexture2D(&c.desc, c.initial, texture.out()), c.want, c.what, c.difference);
        CheckEq(bool(texture), c.want == S_OK, std::string(c.what) + ": a texture made", c.difference);
    }

    const D3D11_TEXTURE2D_DESC targetDesc =
        TextureDesc(kWidth, kHeight, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0);
    Ref<ID3D11Texture2D> target;
    if (!CheckHr(d.device->CreateTexture2D(&targetDesc, nullptr, target.out()), S_OK, "a render target"))
        return;
    CheckTexels(
        ReadTexture(d, target.get()), kWidth, kHeight, [](UINT, UINT) { return 0u; },
        "a new texture reads as zeros");
    CheckCopies(d, target.get());
}

} // namespace conformance
