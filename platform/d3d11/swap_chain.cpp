#include "swap_chain.h"

#include "formats.h"
#include "vk_result.h"

#include "window_system.h"

#include <algorithm>

namespace {

UINT ToBindFlags(DXGI_USAGE usage) {
    UINT flags = 0;
    if (usage & DXGI_USAGE_RENDER_TARGET_OUTPUT)
        flags |= D3D11_BIND_RENDER_TARGET;
    if (usage & DXGI_USAGE_SHADER_INPUT)
        flags |= D3D11_BIND_SHADER_RESOURCE;
    return flags;
}

D3D11_TEXTURE2D_DESC BackBufferDesc(const DXGI_SWAP_CHAIN_DESC& d) {
    D3D11_TEXTURE2D_DESC texture = {};
    texture.Width = d.BufferDesc.Width;
    texture.Height = d.BufferDesc.Height;
    texture.MipLevels = 1;
    texture.ArraySize = 1;
    texture.Format = d.BufferDesc.Format;
    texture.SampleDesc = {1, 0};
    texture.Usage = D3D11_USAGE_DEFAULT;
    texture.BindFlags = ToBindFlags(d.BufferUsage);
    return texture;
}

} // namespace

namespace platform::d3d11 {

void SwapChain::OnAltEnter(void* context) {
    auto* chain = static_cast<SwapChain*>(context);
    chain->fullscreen_ = !chain->fullscreen_;
    platform::win32::SetFullscreen(chain->desc_.OutputWindow, chain->fullscreen_);
}

HRESULT SwapChain::Validate(const DXGI_SWAP_CHAIN_DESC& d) {
    if (!d.OutputWindow || d.BufferCount == 0 || d.BufferCount > 16 || d.SampleDesc.Count == 0)
        return DXGI_ERROR_INVALID_CALL;
    if (d.BufferDesc.Format != DXGI_FORMAT_R8G8B8A8_UNORM &&
        d.BufferDesc.Format != DXGI_FORMAT_B8G8R8A8_UNORM)
        return DXGI_ERROR_INVALID_CALL;
    const bool flip =
        d.SwapEffect == DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL || d.SwapEffect == DXGI_SWAP_EFFECT_FLIP_DISCARD;
    if (flip && (d.BufferCount < 2 || d.SampleDesc.Count > 1))
        return DXGI_ERROR_INVALID_CALL;
    if (d.SampleDesc.Count > 1)
        return Refuse("CreateSwapChain", "multisampled back buffers are not implemented",
                      DXGI_ERROR_UNSUPPORTED);
    UINT width, height;
    if (!platform::win32::ClientSizeOf(d.OutputWindow, &width, &height))
        return Refuse("D3D11CreateDeviceAndSwapChain", "OutputWindow is not a window of this process",
                      DXGI_ERROR_INVALID_CALL);
    return S_OK;
}

SwapChain::SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface)
    : device_(device), desc_(desc),
      presenter_(std::make_unique<Presenter>(device, desc.OutputWindow, surface)) {
    device_->AddPrivateRef();
    platform::CountLive("IDXGISwapChain", +1);
}

SwapChain::~SwapChain() {
    platform::win32::SetAltEnterHandler(desc_.OutputWindow, nullptr, nullptr);
    // A lent image goes back unshown; the frame's submission below still waits for its acquisition.
    if (backBuffer_) {
        backBuffer_->Reclaim();
        backBuffer_->SetLender(nullptr);
    }
    if (fullscreen_)
        platform::win32::SetFullscreen(desc_.OutputWindow, false);
    presenter_.reset();
    ReleaseRef(backBuffer_);
    platform::CountLive("IDXGISwapChain", -1);
    device_->ReleasePrivateRef();
}

HRESULT SwapChain::Create(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface,
                          IDXGISwapChain** out) {
    DXGI_SWAP_CHAIN_DESC d = desc;
    // A zero size takes the window's, as DXGI does.
    if (d.BufferDesc.Width == 0 || d.BufferDesc.Height == 0) {
        UINT width = 0, height = 0;
        platform::win32::ClientSizeOf(d.OutputWindow, &width, &height);
        d.BufferDesc.Width = d.BufferDesc.Width ? d.BufferDesc.Width : std::max(width, 1u);
        d.BufferDesc.Height = d.BufferDesc.Height ? d.BufferDesc.Height : std::max(height, 1u);
    }
    auto* chain = new SwapChain(device, d, surface);
    Presenter* presenter = chain->presenter_.get();
    const D3D11_TEXTURE2D_DESC texture = BackBufferDesc(d);
    ID3D11Texture2D* backBuffer = nullptr;
    HRESULT hr = presenter->QuerySurface();
    if (SUCCEEDED(hr))
        hr = Texture2D::CreateBackBuffer(
            device, &texture, presenter->PickBackBufferStorage(ToVkFormat(d.BufferDesc.Format)), &backBuffer);
    if (FAILED(hr)) {
        chain->Release();
        return hr;
    }
    chain->backBuffer_ = static_cast<Texture2D*>(backBuffer);
    chain->backBuffer_->SetLender(presenter);
    // DXGI watches the window for Alt+Enter and switches full screen; the program never turns it off.
    platform::win32::SetAltEnterHandler(d.OutputWindow, &SwapChain::OnAltEnter, chain);
    if (!d.Windowed)
        chain->SetFullscreenState(TRUE, nullptr);
    // The window's swapchain is made now, for presents without vsync (the usual case), so that the
    // first frame can be drawn straight into it; a window without area yet, or any failure, leaves
    // it to the first Present, which reports what goes wrong.
    presenter->Recreate(*chain->backBuffer_, true);
    *out = chain;
    return S_OK;
}

HRESULT SwapChain::QueryInterface(REFIID riid, void** ppvObject) {
    return Query(riid, ppvObject,
                 {&IID_IUnknown, &IID_IDXGIObject, &IID_IDXGIDeviceSubObject, &IID_IDXGISwapChain});
}

HRESULT SwapChain::GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) {
    HRESULT hr;
    if (platform::TakeInjectedFailure("GetBuffer", &hr))
        return hr;
    if (!ppSurface)
        return DXGI_ERROR_INVALID_CALL;
    *ppSurface = nullptr;
    // With the discard effect only buffer 0 can be reached.
    if (Buffer != 0)
        return DXGI_ERROR_INVALID_CALL;
    return backBuffer_->QueryInterface(riid, ppSurface);
}

HRESULT SwapChain::GetDesc(DXGI_SWAP_CHAIN_DESC* pDesc) {
    if (!pDesc)
        return DXGI_ERROR_INVALID_CALL;
    *pDesc = desc_;
    pDesc->Windowed = !fullscreen_;
    return S_OK;
}

HRESULT SwapChain::SetFullscreenState(BOOL Fullscreen, IDXGIOutput* pTarget) {
    HRESULT hr;
    if (platform::TakeInjectedFailure("SetFullscreenState", &hr))
        return hr;
    // No output objects exist in this layer: only the window's own screen can be asked for.
    if (pTarget)
        return DXGI_ERROR_INVALID_CALL;
    if (!!Fullscreen != fullscreen_) {
        fullscreen_ = !!Fullscreen;
        platform::win32::SetFullscreen(desc_.OutputWindow, fullscreen_);
    }
    return S_OK;
}

HRESULT SwapChain::GetFullscreenState(BOOL* pFullscreen, IDXGIOutput** ppTarget) {
    if (pFullscreen)
        *pFullscreen = fullscreen_;
    if (ppTarget)
        *ppTarget = nullptr;
    return S_OK;
}

HRESULT SwapChain::Present(UINT SyncInterval, UINT) {
    HRESULT hr;
    if (platform::TakeInjectedFailure("Present", &hr))
        return hr;
    if (SyncInterval > 4)
        return DXGI_ERROR_INVALID_CALL;
    hr = device_->Removed();
    if (FAILED(hr))
        return hr;
    return presenter_->Present(backBuffer_, SyncInterval == 0);
}

} // namespace platform::d3d11
