// IDXGISwapChain: DXGI's rules over one back buffer that the program draws into. The window's
// Vulkan swapchain, and how a frame reaches it, belong to the presenter (presenter.h), which the
// program never sees. Alt+Enter on the window switches full screen, as DXGI does (the window covers
// its screen; no display modes change).
#pragma once

#include "presenter.h"

#include <memory>

namespace platform::d3d11 {

class SwapChain final : public platform::RefCounted<IDXGISwapChain> {
  public:
    // The checks DXGI makes on a description before any device work.
    static HRESULT Validate(const DXGI_SWAP_CHAIN_DESC& desc);
    // Takes ownership of `surface`, also on failure.
    static HRESULT Create(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface,
                          IDXGISwapChain** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

    HRESULT STDMETHODCALLTYPE Present(UINT SyncInterval, UINT Flags) override;
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) override;
    HRESULT STDMETHODCALLTYPE SetFullscreenState(BOOL Fullscreen, IDXGIOutput* pTarget) override;
    HRESULT STDMETHODCALLTYPE GetFullscreenState(BOOL* pFullscreen, IDXGIOutput** ppTarget) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC* pDesc) override;

  private:
    SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface);
    ~SwapChain() override;

    static void OnAltEnter(void* context);

    Device* device_;
    DXGI_SWAP_CHAIN_DESC desc_;
    Texture2D* backBuffer_ = nullptr;
    std::unique_ptr<Presenter> presenter_;
    bool fullscreen_ = false;
};

} // namespace platform::d3d11
