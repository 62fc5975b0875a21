// IDXGISwapChain: one back buffer that the program draws into, and a Vulkan swapchain on the window.
// A frame that begins by clearing the whole back buffer while the window is the back buffer's size
// is drawn straight into an acquired swapchain image lent to the back buffer, which Present then
// shows as it is: no copy. Any other frame is drawn into the back buffer's own image, which Present
// copies to the window, scaled to its current size. Either way the back buffer's contents are
// undefined after Present, as DXGI's discard effect says. The Vulkan swapchain is rebuilt inside
// whenever the window changes; the program never sees it. Alt+Enter on the window switches full
// screen, as DXGI does (the window covers its screen; no display modes change).
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

    // Called before a clear of the whole back buffer is recorded: lends it the window's next image
    // when the window can show that image as it is, so that the frame needs no copy at Present.
    void LendWindowImage();

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
    // Acquires the next swapchain image with the current frame's semaphore. VK_NOT_READY when none
    // came in time or the window changed (then the swapchain is rebuilt before the next frame).
    VkResult AcquireImage(uint32_t* index);
    // Presents the image lent to the back buffer for this frame, and takes it back.
    HRESULT PresentLent();
    // Submits the frame, waiting on `acquired` (when not null) at `stages`, and presents image `index`.
    HRESULT SubmitAndPresent(uint32_t index, VkSemaphore acquired, VkPipelineStageFlags2 stages);

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
    // One render-target view per swapchain image, when the images can be lent to the back buffer.
    std::vector<VkImageView> views_;
    static constexpr uint32_t kNoneLent = UINT32_MAX;
    uint32_t lent_ = kNoneLent; // the swapchain image the back buffer has for this frame
};

} // namespace d3d11
