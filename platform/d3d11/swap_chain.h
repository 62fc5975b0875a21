// IDXGISwapChain: one offscreen back buffer that the program draws into, and a Vulkan swapchain on
// the window that Present copies it to, scaled to the window's current size. The Vulkan swapchain is
// rebuilt inside whenever the window changes; the program never sees it. Alt+Enter on the window
// switches full screen, as DXGI does (the window covers its screen; no display modes change).
#pragma once

#include "texture.h"

#include <vector>

namespace d3d11 {

class SwapChain final : public IDXGISwapChain {
  public:
    // The checks DXGI makes on a description before any device work.
    static HRESULT Validate(const DXGI_SWAP_CHAIN_DESC& desc);
    // Takes ownership of `surface`, also on failure.
    static HRESULT Create(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface,
                          IDXGISwapChain** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Present(UINT SyncInterval, UINT Flags) override;
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) override;
    HRESULT STDMETHODCALLTYPE SetFullscreenState(BOOL Fullscreen, IDXGIOutput* pTarget) override;
    HRESULT STDMETHODCALLTYPE GetFullscreenState(BOOL* pFullscreen, IDXGIOutput** ppTarget) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC* pDesc) override;

  private:
    SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface);
    ~SwapChain();

    // Makes a swapchain for the window's current size; VK_NOT_READY while the window has no area.
    VkResult Rebuild(bool immediate);
    void DestroySwapchain(VkSwapchainKHR swapchain);
    // Makes the window cover its screen or gives it its windowed place back, after fullscreen_.
    void ApplyFullscreen();
    static void OnAltEnter(void* context);
    // Records the copy of the back buffer into swapchain image `index`.
    void RecordBlit(VkCommandBuffer cmd, uint32_t index);
    HRESULT SubmitWithoutPresent();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    DXGI_SWAP_CHAIN_DESC desc_;
    Texture2D* backBuffer_ = nullptr;
    VkSurfaceKHR surface_;
    VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
    VkFormat format_ = VK_FORMAT_UNDEFINED;
    VkExtent2D extent_ = {};
    bool immediate_ = false;
    bool outOfDate_ = true;
    bool fullscreen_ = false;
    XRectangle windowed_ = {}; // where the window was before full screen, when no window manager runs
    std::vector<VkImage> images_;
    std::vector<VkSemaphore> rendered_; // one per swapchain image, waited on by its present
};

} // namespace d3d11
