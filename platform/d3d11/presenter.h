// The Vulkan side of a swap chain: the window's surface and a swapchain on it, rebuilt whenever the
// window changes, and the presentation of the back buffer. A frame is shown one of two ways:
// - lent: a frame that begins by clearing the whole back buffer while the window is the back
//   buffer's size is drawn straight into an acquired swapchain image that TryLend lends to the back
//   buffer (the texture's image and its render-target views stand in for it until Present); Present
//   then shows it as it is: no copy.
// - copied: any other frame is drawn into the back buffer's own image, which Present copies to the
//   window, scaled to its current size.
// Either way the back buffer's contents are undefined after Present, as DXGI's discard effect says.
// An acquired image is used only once the window has given it back (its fence): the queue never
// waits for the window, so that only the GPU's own work can outlast the frame's bound.
#pragma once

#include "texture.h"

#include <vector>

namespace platform::d3d11 {

class Presenter final : public ImageLender {
  public:
    // How long a frame waits for the window's next image before it goes unseen.
    static constexpr uint64_t kImageTimeoutNs = 2'000'000'000;

    // Takes ownership of `surface`.
    Presenter(Device* device, HWND window, VkSurfaceKHR surface);
    // Destroys the swapchain and the surface once every frame has finished; a removed device keeps
    // them: the work that never ends may use their images.
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // Looks up the formats the window takes; the failing HRESULT when the surface cannot tell.
    HRESULT QuerySurface();
    // The format of the back buffer's image: `wanted` when the window takes it, else the same texels
    // with red and blue swapped when the window takes that, so that Present of the same size is a
    // plain copy rather than a converting blit. Copies out of the back buffer reorder the channels.
    VkFormat PickBackBufferStorage(VkFormat wanted) const;

    // Makes a swapchain for the window's current size; VK_NOT_READY while the window has no area.
    platform::VkStatus Recreate(const Texture2D& backBuffer, bool immediate);
    // Shows the back buffer's frame, lent or copied; DXGI_STATUS_OCCLUDED when the window shows
    // nothing of it (minimised, or no image came in time), though the frame's work still runs.
    HRESULT Present(Texture2D* backBuffer, bool immediate);
    // Called before a clear of the whole back buffer is recorded: lends it the window's next image
    // when the window can show that image as it is. Does nothing otherwise, or when one is lent.
    void TryLend(Texture2D* backBuffer) override;

  private:
    VkSurfaceFormatKHR PickFormat(VkFormat backBuffer) const;
    VkResult PickPresentMode(bool immediate, VkPresentModeKHR* mode) const;
    // The window's size as the surface gives it, else the client area within the surface's limits.
    VkExtent2D PickExtent(const VkSurfaceCapabilitiesKHR& caps) const;
    // The old swapchain's images may still be waited on by a present: lets the queue drain first,
    // once every frame has finished, so that the wait is as bounded as theirs.
    platform::VkStatus DrainOldSwapchain();
    // Gives up an acquisition of the swapchain just destroyed, with a new fence for the next one
    // when the window never gave that image back.
    platform::VkStatus ForgetAcquired();
    // Fetches the new swapchain's images and makes a semaphore per image, and a render-target view
    // per image when `lend`.
    platform::VkStatus CreateImageObjects(VkFormat format, bool lend);
    void DestroySwapchain(VkSwapchainKHR swapchain);
    // The next swapchain image, once the window has given it back, waiting up to `waitNs` for that.
    // VK_NOT_READY when none came in time (an image named but not given back is kept for the next
    // frame) or the window changed (then the swapchain is rebuilt before the next frame).
    VkResult Acquire(uint32_t* index, uint64_t waitNs);
    // Notes an acquire's or a present's VK_SUCCESS or VK_SUBOPTIMAL_KHR: the swapchain is rebuilt
    // once per run of SUBOPTIMAL answers, which some drivers keep giving for one that still presents.
    void NoteSuboptimal(VkResult result);
    // Records the copy of the back buffer into swapchain image `index`, scaled where it blits.
    void RecordBlit(VkCommandBuffer cmd, Texture2D* source, uint32_t index);
    HRESULT PresentCopy(Texture2D* backBuffer, bool immediate);
    // Presents the image lent to the back buffer for this frame, and takes it back.
    HRESULT PresentLent(Texture2D* backBuffer);
    HRESULT SubmitWithoutPresent();
    // Submits the frame and presents image `index`.
    HRESULT SubmitAndPresent(uint32_t index);

    Device* device_;
    HWND window_;
    VkSurfaceKHR surface_;
    std::vector<VkSurfaceFormatKHR> formats_; // what the window takes, looked up once
    VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
    VkFormat format_ = VK_FORMAT_UNDEFINED;
    VkExtent2D extent_ = {};
    bool immediate_ = false;
    bool outOfDate_ = true;
    bool suboptimal_ = false; // the last acquire or present answered SUBOPTIMAL
    bool blit_ = false;       // the back buffer's format blits into the swapchain's
    std::vector<VkImage> images_;
    std::vector<VkSemaphore> rendered_; // one per swapchain image, waited on by its present
    // One render-target view per swapchain image, when the images can be lent to the back buffer.
    std::vector<VkImageView> views_;
    static constexpr uint32_t kNoneLent = UINT32_MAX;
    uint32_t lent_ = kNoneLent; // the swapchain image the back buffer has for this frame
    static constexpr uint32_t kNoImage = UINT32_MAX;
    uint32_t acquired_ = kNoImage;          // named by the window, not yet given back
    VkFence acquireFence_ = VK_NULL_HANDLE; // signalled when the window gives `acquired_` back
};

} // namespace platform::d3d11
