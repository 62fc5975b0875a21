#include "presenter.h"

#include "device.h"
#include "enumerate.h"
#include "surface_hooks.h"
#include "vk_result.h"

#include "window_system.h"

#include <algorithm>

namespace {

// Every use the back buffer's own image takes, which an image lent to it must take too.
constexpr VkImageUsageFlags kLendableUsage =
    VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;

bool IsSrgb(VkFormat format) {
    switch (format) {
    case VK_FORMAT_R8G8B8A8_SRGB:
    case VK_FORMAT_B8G8R8A8_SRGB:
    case VK_FORMAT_A8B8G8R8_SRGB_PACK32:
    case VK_FORMAT_R8G8B8_SRGB:
    case VK_FORMAT_B8G8R8_SRGB:
        return true;
    default:
        return false;
    }
}

uint32_t PickImageCount(const VkSurfaceCapabilitiesKHR& caps) {
    return caps.maxImageCount ? std::min(caps.minImageCount + 1, caps.maxImageCount) : caps.minImageCount + 1;
}

// Opaque when the window takes it, else the lowest mode it takes.
VkCompositeAlphaFlagBitsKHR PickCompositeAlpha(const VkSurfaceCapabilitiesKHR& caps) {
    if (caps.supportedCompositeAlpha & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR)
        return VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
    return static_cast<VkCompositeAlphaFlagBitsKHR>(caps.supportedCompositeAlpha &
                                                    -caps.supportedCompositeAlpha);
}

// Whether the device blits images of format `from` into images of format `to`.
bool Blits(VkPhysicalDevice physical, VkFormat from, VkFormat to) {
    VkFormatProperties source, target;
    platform::d3d11::hooks::FormatProperties(physical, from, &source);
    platform::d3d11::hooks::FormatProperties(physical, to, &target);
    return (source.optimalTilingFeatures & VK_FORMAT_FEATURE_BLIT_SRC_BIT) &&
           (target.optimalTilingFeatures & VK_FORMAT_FEATURE_BLIT_DST_BIT);
}

// The images of a swapchain for the window: lent ones take every use of the back buffer's own.
void DescribeImages(const VkSurfaceCapabilitiesKHR& caps, VkSurfaceFormatKHR format, VkExtent2D extent,
                    bool lend, VkSwapchainCreateInfoKHR* info) {
    info->minImageCount = PickImageCount(caps);
    info->imageFormat = format.format;
    info->imageColorSpace = format.colorSpace;
    info->imageExtent = extent;
    info->imageArrayLayers = 1;
    info->imageUsage = lend ? kLendableUsage : VkImageUsageFlags{VK_IMAGE_USAGE_TRANSFER_DST_BIT};
    info->imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info->preTransform = caps.currentTransform;
    info->compositeAlpha = PickCompositeAlpha(caps);
    // A lent image is the back buffer and may be read back whole, hidden parts included.
    info->clipped = lend ? VK_FALSE : VK_TRUE;
}

} // namespace

namespace platform::d3d11 {

Presenter::Presenter(Device* device, HWND window, VkSurfaceKHR surface)
    : device_(device), window_(window), surface_(surface) {}

Presenter::~Presenter() {
    // The queue is waited on only once every frame has finished, when nothing but presents can be
    // left in it.
    if (device_->frames.Finish() == VK_SUCCESS && vkQueueWaitIdle(device_->vk.queue) == VK_SUCCESS) {
        DestroySwapchain(swapchain_);
        if (acquireFence_)
            vkDestroyFence(device_->vk.device, acquireFence_, nullptr);
        if (surface_)
            vkDestroySurfaceKHR(device_->vk.instance, surface_, nullptr);
    }
}

HRESULT Presenter::QuerySurface() {
    const Vulkan& vk = device_->vk;
    VkResult result = Enumerate<VkSurfaceFormatKHR>(
        [&](uint32_t* count, VkSurfaceFormatKHR* data) {
            return vkGetPhysicalDeviceSurfaceFormatsKHR(vk.physical, surface_, count, data);
        },
        &formats_);
    hooks::OfferedSurfaceFormats(&formats_);
    return result == VK_SUCCESS ? S_OK : device_->Failed({"vkGetPhysicalDeviceSurfaceFormatsKHR", result});
}

VkFormat Presenter::PickBackBufferStorage(VkFormat wanted) const {
    const VkFormat swapped = wanted == VK_FORMAT_R8G8B8A8_UNORM   ? VK_FORMAT_B8G8R8A8_UNORM
                             : wanted == VK_FORMAT_B8G8R8A8_UNORM ? VK_FORMAT_R8G8B8A8_UNORM
                                                                  : wanted;
    bool offersSwapped = false;
    for (const VkSurfaceFormatKHR& format : formats_) {
        if (format.format == wanted)
            return wanted;
        offersSwapped = offersSwapped || format.format == swapped;
    }
    return offersSwapped ? swapped : wanted;
}

// The back buffer's own format when the window takes it (a plain copy), else a UNORM format a blit
// converts to; never sRGB, which would re-encode the program's colours.
VkSurfaceFormatKHR Presenter::PickFormat(VkFormat backBuffer) const {
    const VkFormat order[3] = {backBuffer, VK_FORMAT_B8G8R8A8_UNORM, VK_FORMAT_R8G8B8A8_UNORM};
    for (VkFormat wanted : order) {
        for (const VkSurfaceFormatKHR& format : formats_) {
            if (format.format == wanted)
                return format;
        }
    }
    for (const VkSurfaceFormatKHR& format : formats_) {
        if (!IsSrgb(format.format))
            return format;
    }
    return VkSurfaceFormatKHR{VK_FORMAT_UNDEFINED, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
}

// Vsync off: immediate, else mailbox, else FIFO (always there). Vsync on: FIFO.
VkResult Presenter::PickPresentMode(bool immediate, VkPresentModeKHR* mode) const {
    *mode = VK_PRESENT_MODE_FIFO_KHR;
    if (!immediate)
        return VK_SUCCESS;
    std::vector<VkPresentModeKHR> modes;
    const VkResult result = Enumerate<VkPresentModeKHR>(
        [&](uint32_t* count, VkPresentModeKHR* data) {
            return vkGetPhysicalDeviceSurfacePresentModesKHR(device_->vk.physical, surface_, count, data);
        },
        &modes);
    for (VkPresentModeKHR wanted : {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR}) {
        if (std::find(modes.begin(), modes.end(), wanted) != modes.end()) {
            *mode = wanted;
            break;
        }
    }
    return result;
}

VkExtent2D Presenter::PickExtent(const VkSurfaceCapabilitiesKHR& caps) const {
    if (caps.currentExtent.width != UINT32_MAX)
        return caps.currentExtent;
    UINT width = 0, height = 0;
    platform::win32::ClientSizeOf(window_, &width, &height);
    return {std::clamp(width, caps.minImageExtent.width, caps.maxImageExtent.width),
            std::clamp(height, caps.minImageExtent.height, caps.maxImageExtent.height)};
}

platform::VkStatus Presenter::Recreate(const Texture2D& backBuffer, bool immediate) {
    const Vulkan& vk = device_->vk;
    VkSurfaceCapabilitiesKHR caps;
    platform::VkStatus status{"vkGetPhysicalDeviceSurfaceCapabilitiesKHR",
                              vkGetPhysicalDeviceSurfaceCapabilitiesKHR(vk.physical, surface_, &caps)};
    if (!status.Ok())
        return status;
    const VkExtent2D extent = PickExtent(caps);
    if (extent.width == 0 || extent.height == 0)
        return {"vkCreateSwapchainKHR (a window without area)", VK_NOT_READY};
    VkSwapchainCreateInfoKHR info = {VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    status = {"vkGetPhysicalDeviceSurfacePresentModesKHR", PickPresentMode(immediate, &info.presentMode)};
    if (!status.Ok())
        return status;
    if (!(caps.supportedUsageFlags & VK_IMAGE_USAGE_TRANSFER_DST_BIT))
        return {"vkCreateSwapchainKHR", VK_ERROR_FORMAT_NOT_SUPPORTED};
    status = DrainOldSwapchain();
    if (!status.Ok())
        return status;
    const VkSurfaceFormatKHR format = PickFormat(backBuffer.Format());
    blit_ = Blits(vk.physical, backBuffer.Format(), format.format);
    // Only a blit converts between formats; without one, the window takes no format this can show.
    if (format.format == VK_FORMAT_UNDEFINED || (format.format != backBuffer.Format() && !blit_)) {
        return {"vkCreateSwapchainKHR (the window offers no UNORM format the back buffer copies or blits to)",
                VK_ERROR_FORMAT_NOT_SUPPORTED};
    }
    const bool lend =
        (caps.supportedUsageFlags & kLendableUsage) == kLendableUsage && format.format == backBuffer.Format();
    info.surface = surface_;
    DescribeImages(caps, format, extent, lend, &info);
    info.oldSwapchain = swapchain_;
    VkSwapchainKHR created;
    status = {"vkCreateSwapchainKHR", vkCreateSwapchainKHR(vk.device, &info, nullptr, &created)};
    if (status.Ok())
        hooks::NoteSwapchainMade();
    DestroySwapchain(swapchain_);
    swapchain_ = status.Ok() ? created : VK_NULL_HANDLE;
    if (status.Ok())
        status = ForgetAcquired();
    if (status.Ok())
        status = CreateImageObjects(format.format, lend);
    format_ = format.format;
    extent_ = extent;
    immediate_ = immediate;
    outOfDate_ = !status.Ok();
    return status;
}

platform::VkStatus Presenter::DrainOldSwapchain() {
    if (!swapchain_)
        return {};
    const platform::VkStatus status{"vkWaitForFences", device_->frames.Finish()};
    if (!status.Ok())
        return status;
    return {"vkQueueWaitIdle", vkQueueWaitIdle(device_->vk.queue)};
}

platform::VkStatus Presenter::ForgetAcquired() {
    VkDevice device = device_->vk.device;
    const bool released = acquired_ == kNoImage || vkGetFenceStatus(device, acquireFence_) == VK_SUCCESS;
    acquired_ = kNoImage;
    if (acquireFence_ && released)
        return {};
    // An image of the swapchain just destroyed was never given back: its fence may never signal.
    if (acquireFence_)
        vkDestroyFence(device, acquireFence_, nullptr);
    acquireFence_ = VK_NULL_HANDLE;
    VkFenceCreateInfo info = {VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    return {"vkCreateFence", vkCreateFence(device, &info, nullptr, &acquireFence_)};
}

platform::VkStatus Presenter::CreateImageObjects(VkFormat format, bool lend) {
    VkDevice device = device_->vk.device;
    platform::VkStatus status{"vkGetSwapchainImagesKHR",
                              Enumerate<VkImage>(
                                  [&](uint32_t* count, VkImage* data) {
                                      return vkGetSwapchainImagesKHR(device, swapchain_, count, data);
                                  },
                                  &images_)};
    const size_t count = images_.size();
    rendered_.assign(count, VK_NULL_HANDLE);
    for (size_t i = 0; i < count && status.Ok(); ++i) {
        VkSemaphoreCreateInfo semaphoreInfo = {VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
        status = {"vkCreateSemaphore", vkCreateSemaphore(device, &semaphoreInfo, nullptr, &rendered_[i])};
    }
    if (lend)
        views_.assign(count, VK_NULL_HANDLE);
    for (size_t i = 0; i < count && lend && status.Ok(); ++i) {
        VkImageViewCreateInfo viewInfo = {VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
        viewInfo.image = images_[i];
        viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
        viewInfo.format = format;
        viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
        status = {"vkCreateImageView", vkCreateImageView(device, &viewInfo, nullptr, &views_[i])};
    }
    return status;
}

void Presenter::DestroySwapchain(VkSwapchainKHR swapchain) {
    VkDevice device = device_->vk.device;
    for (VkSemaphore semaphore : rendered_)
        vkDestroySemaphore(device, semaphore, nullptr);
    rendered_.clear();
    for (VkImageView view : views_)
        vkDestroyImageView(device, view, nullptr);
    views_.clear();
    images_.clear();
    if (swapchain)
        vkDestroySwapchainKHR(device, swapchain, nullptr);
}

VkResult Presenter::Acquire(uint32_t* index, uint64_t waitNs) {
    VkDevice device = device_->vk.device;
    if (acquired_ == kNoImage) {
        VkResult result = vkResetFences(device, 1, &acquireFence_);
        if (result != VK_SUCCESS)
            return result;
        uint32_t acquired = 0;
        result = hooks::AcquireNextImage(device_->vk, swapchain_, kImageTimeoutNs, VK_NULL_HANDLE,
                                         acquireFence_, &acquired);
        if (result == VK_TIMEOUT || result == VK_NOT_READY)
            return VK_NOT_READY;
        if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_ERROR_SURFACE_LOST_KHR) {
            outOfDate_ = true;
            return VK_NOT_READY;
        }
        if (result != VK_SUCCESS && result != VK_SUBOPTIMAL_KHR)
            return result;
        NoteSuboptimal(result);
        acquired_ = acquired;
    }
    // The window may name its next image before it has finished showing it. The wait for it is
    // made here, on its own bound, and never by the queue: a window that keeps its images (a hidden
    // one on XWayland) leaves frames unseen, where a wait on the GPU would outlast the frame's
    // bound and remove the device.
    VkResult result = vkWaitForFences(device, 1, &acquireFence_, VK_TRUE, waitNs);
    if (result == VK_TIMEOUT)
        return VK_NOT_READY;
    if (result != VK_SUCCESS)
        return result;
    *index = acquired_;
    acquired_ = kNoImage;
    return VK_SUCCESS;
}

void Presenter::NoteSuboptimal(VkResult result) {
    if (result == VK_SUBOPTIMAL_KHR && !suboptimal_)
        outOfDate_ = true;
    suboptimal_ = result == VK_SUBOPTIMAL_KHR;
}

void Presenter::TryLend(Texture2D* backBuffer) {
    if (lent_ != kNoneLent || views_.empty() || outOfDate_ || FAILED(device_->Removed()))
        return;
    const D3D11_TEXTURE2D_DESC& size = backBuffer->Desc();
    UINT width = 0, height = 0;
    platform::win32::ClientSizeOf(window_, &width, &height);
    if (width != extent_.width || height != extent_.height || size.Width != extent_.width ||
        size.Height != extent_.height)
        return;
    uint32_t index = 0;
    // An image the window kept past an earlier frame's wait is only looked at: Present waits for it.
    VkResult result = Acquire(&index, acquired_ == kNoImage ? kImageTimeoutNs : 0);
    // Without an image the frame is drawn into the back buffer's own image, and Present copies it.
    if (result != VK_SUCCESS) {
        if (result != VK_NOT_READY)
            device_->Failed({"vkAcquireNextImageKHR", result});
        return;
    }
    // The window has finished with the image, and its earlier contents are not kept.
    backBuffer->Lend(images_[index], views_[index], Hazard{});
    lent_ = index;
}

HRESULT Presenter::Present(Texture2D* backBuffer, bool immediate) {
    // A lent image is shown whatever the window has become since: it must go back to the swapchain.
    if (lent_ != kNoneLent) {
        if (immediate != immediate_)
            outOfDate_ = true;
        return PresentLent(backBuffer);
    }
    return PresentCopy(backBuffer, immediate);
}

HRESULT Presenter::PresentCopy(Texture2D* backBuffer, bool immediate) {
    UINT width = 0, height = 0;
    platform::win32::ClientSizeOf(window_, &width, &height);
    // A minimised window shows nothing; the frame's work still runs, so that nothing piles up.
    if (width == 0 || height == 0)
        return SubmitWithoutPresent();
    if (outOfDate_ || immediate != immediate_ || width != extent_.width || height != extent_.height) {
        const platform::VkStatus status = Recreate(*backBuffer, immediate);
        if (status.result == VK_NOT_READY)
            return SubmitWithoutPresent();
        if (!status.Ok()) {
            HRESULT hr = device_->Failed(status);
            return hr == DXGI_ERROR_DEVICE_REMOVED ? hr : SubmitWithoutPresent();
        }
    }
    uint32_t index = 0;
    VkResult result = Acquire(&index, kImageTimeoutNs);
    // No image came back in time, or the window changed: this frame's work runs unseen.
    if (result == VK_NOT_READY)
        return SubmitWithoutPresent();
    if (result != VK_SUCCESS)
        return device_->Failed({"vkAcquireNextImageKHR", result});
    VkCommandBuffer cmd;
    result = device_->frames.Commands(&cmd);
    if (result != VK_SUCCESS)
        return device_->Failed({"vkBeginCommandBuffer", result});
    RecordBlit(cmd, backBuffer, index);
    return SubmitAndPresent(index);
}

void Presenter::RecordBlit(VkCommandBuffer cmd, Texture2D* source, uint32_t index) {
    const UINT width = source->Desc().Width;
    const UINT height = source->Desc().Height;
    // Without blits (same format, by Recreate) the part both images share is copied unscaled.
    const bool copy =
        !blit_ || (format_ == source->Format() && extent_.width == width && extent_.height == height);
    const VkPipelineStageFlags2 writes = copy ? VK_PIPELINE_STAGE_2_COPY_BIT : VK_PIPELINE_STAGE_2_BLIT_BIT;
    source->Use(cmd, VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT, VK_ACCESS_2_TRANSFER_READ_BIT,
                VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL);
    // The swapchain image is overwritten whole: its old contents are not kept.
    RecordBarrier(cmd, ImageBarrier(images_[index], Wait{true, writes, VK_ACCESS_2_NONE}, writes,
                                    VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_UNDEFINED,
                                    VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL));

    const VkImageSubresourceLayers layers = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    if (copy) {
        VkImageCopy region = {layers,
                              {0, 0, 0},
                              layers,
                              {0, 0, 0},
                              {std::min(width, extent_.width), std::min(height, extent_.height), 1}};
        vkCmdCopyImage(cmd, source->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, images_[index],
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
    } else {
        VkImageBlit region = {};
        region.srcSubresource = layers;
        region.srcOffsets[1] = {static_cast<int32_t>(width), static_cast<int32_t>(height), 1};
        region.dstSubresource = layers;
        region.dstOffsets[1] = {static_cast<int32_t>(extent_.width), static_cast<int32_t>(extent_.height), 1};
        vkCmdBlitImage(cmd, source->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, images_[index],
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region, VK_FILTER_LINEAR);
    }

    RecordBarrier(cmd, ImageBarrier(images_[index], Wait{true, writes, VK_ACCESS_2_TRANSFER_WRITE_BIT},
                                    VK_PIPELINE_STAGE_2_NONE, VK_ACCESS_2_NONE,
                                    VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR));
}

HRESULT Presenter::PresentLent(Texture2D* backBuffer) {
    const uint32_t index = lent_;
    lent_ = kNoneLent;
    VkCommandBuffer cmd;
    VkResult result = device_->frames.Commands(&cmd);
    if (result == VK_SUCCESS) {
        backBuffer->Use(cmd, VK_PIPELINE_STAGE_2_NONE, VK_ACCESS_2_NONE, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR);
    }
    backBuffer->Reclaim();
    if (result != VK_SUCCESS)
        return device_->Failed({"vkBeginCommandBuffer", result});
    return SubmitAndPresent(index);
}

HRESULT Presenter::SubmitWithoutPresent() {
    FrameRing& frames = device_->frames;
    VkResult result = frames.Submit(VK_NULL_HANDLE);
    if (result == VK_SUCCESS)
        result = frames.Advance();
    return result == VK_SUCCESS ? DXGI_STATUS_OCCLUDED : device_->Failed({"vkQueueSubmit2", result});
}

HRESULT Presenter::SubmitAndPresent(uint32_t index) {
    FrameRing& frames = device_->frames;
    VkResult result = frames.Submit(rendered_[index]);
    // A software device's presentation waits for the frame on the CPU, without a bound: wait here
    // first, with one, so that a frame that never ends removes the device instead of hanging.
    if (result == VK_SUCCESS && device_->vk.properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU)
        result = frames.WaitSubmitted();
    if (result != VK_SUCCESS)
        return device_->Failed({"vkQueueSubmit2", result});

    VkPresentInfoKHR present = {VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &rendered_[index];
    present.swapchainCount = 1;
    present.pSwapchains = &swapchain_;
    present.pImageIndices = &index;
    result = hooks::Answer(vkQueuePresentKHR(device_->vk.queue, &present));
    if (result == VK_ERROR_OUT_OF_DATE_KHR)
        outOfDate_ = true;
    else if (result == VK_SUBOPTIMAL_KHR || result == VK_SUCCESS)
        NoteSuboptimal(result);
    else if (result != VK_SUCCESS &&
             device_->Failed({"vkQueuePresentKHR", result}) == DXGI_ERROR_DEVICE_REMOVED)
        return DXGI_ERROR_DEVICE_REMOVED;
    result = frames.Advance();
    if (result != VK_SUCCESS)
        return device_->Failed({"vkWaitForFences", result});
    return S_OK;
}

} // namespace platform::d3d11
