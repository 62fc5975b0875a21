#include "swap_chain.h"

#include "formats.h"
#include "vk_result.h"

#include "../win32/x11_window.h"

#include <X11/Xatom.h>

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

// Vsync off: immediate, else mailbox, else FIFO (always there). Vsync on: FIFO.
VkPresentModeKHR ChoosePresentMode(VkPhysicalDevice physical, VkSurfaceKHR surface, bool immediate) {
    if (!immediate)
        return VK_PRESENT_MODE_FIFO_KHR;
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfacePresentModesKHR(physical, surface, &count, nullptr);
    std::vector<VkPresentModeKHR> modes(count);
    vkGetPhysicalDeviceSurfacePresentModesKHR(physical, surface, &count, modes.data());
    const VkPresentModeKHR order[2] = {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR};
    for (VkPresentModeKHR wanted : order) {
        for (VkPresentModeKHR mode : modes) {
            if (mode == wanted)
                return mode;
        }
    }
    return VK_PRESENT_MODE_FIFO_KHR;
}

// The back buffer's own format when the window takes it (a plain copy), else a UNORM format a blit
// converts to; never sRGB, which would re-encode the program's colours.
VkSurfaceFormatKHR ChooseFormat(VkPhysicalDevice physical, VkSurfaceKHR surface, VkFormat backBuffer) {
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(physical, surface, &count, nullptr);
    std::vector<VkSurfaceFormatKHR> formats(count);
    vkGetPhysicalDeviceSurfaceFormatsKHR(physical, surface, &count, formats.data());
    const VkFormat order[3] = {backBuffer, VK_FORMAT_B8G8R8A8_UNORM, VK_FORMAT_R8G8B8A8_UNORM};
    for (VkFormat wanted : order) {
        for (const VkSurfaceFormatKHR& format : formats) {
            if (format.format == wanted)
                return format;
        }
    }
    return formats.empty() ? VkSurfaceFormatKHR{VK_FORMAT_UNDEFINED, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR}
                           : formats[0];
}

// The format of the back buffer's image: the description's when the window takes it, else the
// same texels with red and blue swapped when the window takes that, so that Present of the same size
// is a plain copy rather than a converting blit. Copies out of the back buffer reorder the channels.
VkFormat ChooseBackBufferStorage(VkPhysicalDevice physical, VkSurfaceKHR surface, VkFormat wanted) {
    const VkFormat swapped = wanted == VK_FORMAT_R8G8B8A8_UNORM   ? VK_FORMAT_B8G8R8A8_UNORM
                             : wanted == VK_FORMAT_B8G8R8A8_UNORM ? VK_FORMAT_R8G8B8A8_UNORM
                                                                  : wanted;
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(physical, surface, &count, nullptr);
    std::vector<VkSurfaceFormatKHR> formats(count);
    vkGetPhysicalDeviceSurfaceFormatsKHR(physical, surface, &count, formats.data());
    bool offersSwapped = false;
    for (const VkSurfaceFormatKHR& format : formats) {
        if (format.format == wanted)
            return wanted;
        offersSwapped = offersSwapped || format.format == swapped;
    }
    return offersSwapped ? swapped : wanted;
}

// The stages that may touch a lent swapchain image first, which wait for its acquisition.
constexpr VkPipelineStageFlags2 kLentImageStages =
    VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT | VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;

// True when an EWMH window manager runs on the window's screen, to act on _NET_WM_STATE requests.
bool WindowManagerRuns(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                          &type, &format, &count, &after, &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data)
        XFree(data);
    return found;
}

} // namespace

namespace d3d11 {

void SwapChain::ApplyFullscreen() {
    Display* display;
    Window window;
    if (!platform::X11WindowOf(desc_.OutputWindow, &display, &window))
        return;
    if (WindowManagerRuns(display)) {
        // Asks the window manager to make the window cover the screen, or not, as DXGI's switch does.
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = fullscreen_ ? 1 : 0; // _NET_WM_STATE_ADD : _NET_WM_STATE_REMOVE
        event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
        event.xclient.data.l[3] = 1;
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else if (fullscreen_) {
        // No window manager would act on the request: cover the screen directly, and remember where
        // the window was to put it back.
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes))
            return;
        windowed_ = {static_cast<short>(attributes.x), static_cast<short>(attributes.y),
                     static_cast<unsigned short>(attributes.width),
                     static_cast<unsigned short>(attributes.height)};
        Screen* screen = attributes.screen;
        XMoveResizeWindow(display, window, 0, 0, static_cast<unsigned>(WidthOfScreen(screen)),
                          static_cast<unsigned>(HeightOfScreen(screen)));
        XRaiseWindow(display, window);
    } else if (windowed_.width && windowed_.height) {
        XMoveResizeWindow(display, window, windowed_.x, windowed_.y, windowed_.width, windowed_.height);
    }
    XFlush(display);
}

void SwapChain::OnAltEnter(void* context) {
    auto* chain = static_cast<SwapChain*>(context);
    chain->fullscreen_ = !chain->fullscreen_;
    chain->ApplyFullscreen();
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
    return S_OK;
}

SwapChain::SwapChain(Device* device, const DXGI_SWAP_CHAIN_DESC& desc, VkSurfaceKHR surface)
    : device_(device), desc_(desc), surface_(surface) {
    device_->AddPrivateRef();
    platform::CountLive("IDXGISwapChain", +1);
}

SwapChain::~SwapChain() {
    platform::SetAltEnterHandler(desc_.OutputWindow, nullptr, nullptr);
    // A lent image goes back unshown; the frame's submission below still waits for its acquisition.
    if (backBuffer_) {
        backBuffer_->Reclaim();
        backBuffer_->chain = nullptr;
    }
    if (fullscreen_) {
        fullscreen_ = false;
        ApplyFullscreen();
    }
    // The queue is waited on only once every frame has finished, when nothing but presents can be
    // left in it. A removed device keeps its swapchain: the work that never ends may use its images.
    if (device_->frames.Finish() == VK_SUCCESS && vkQueueWaitIdle(device_->vk.queue) == VK_SUCCESS) {
        DestroySwapchain(swapchain_);
        if (surface_)
            vkDestroySurfaceKHR(device_->vk.instance, surface_, nullptr);
    }
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
        platform::ClientSizeOf(d.OutputWindow, &width, &height);
        d.BufferDesc.Width = d.BufferDesc.Width ? d.BufferDesc.Width : std::max(width, 1u);
        d.BufferDesc.Height = d.BufferDesc.Height ? d.BufferDesc.Height : std::max(height, 1u);
    }
    auto* chain = new SwapChain(device, d, surface);
    D3D11_TEXTURE2D_DESC texture = {};
    texture.Width = d.BufferDesc.Width;
    texture.Height = d.BufferDesc.Height;
    texture.MipLevels = 1;
    texture.ArraySize = 1;
    texture.Format = d.BufferDesc.Format;
    texture.SampleDesc = {1, 0};
    texture.Usage = D3D11_USAGE_DEFAULT;
    texture.BindFlags = ToBindFlags(d.BufferUsage);
    ID3D11Texture2D* backBuffer = nullptr;
    const VkFormat storage =
        ChooseBackBufferStorage(device->vk.physical, surface, ToVkFormat(d.BufferDesc.Format));
    HRESULT hr = Texture2D::CreateBackBuffer(device, &texture, storage, &backBuffer);
    if (FAILED(hr)) {
        chain->Release();
        return hr;
    }
    chain->backBuffer_ = static_cast<Texture2D*>(backBuffer);
    chain->backBuffer_->chain = chain;
    // DXGI watches the window for Alt+Enter and switches full screen; the program never turns it off.
    platform::SetAltEnterHandler(d.OutputWindow, &SwapChain::OnAltEnter, chain);
    if (!d.Windowed)
        chain->SetFullscreenState(TRUE, nullptr);
    // The window's swapchain is made now, for presents without vsync (the usual case), so that the
    // first frame can be drawn straight into it; a window without area yet, or any failure, leaves
    // it to the first Present, which reports what goes wrong.
    chain->Rebuild(true);
    *out = chain;
    return S_OK;
}

ULONG SwapChain::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT SwapChain::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDXGIObject || riid == IID_IDXGIDeviceSubObject ||
        riid == IID_IDXGISwapChain) {
        AddRef();
        *ppvObject = static_cast<IDXGISwapChain*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
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
        ApplyFullscreen();
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

void SwapChain::DestroySwapchain(VkSwapchainKHR swapchain) {
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

VkResult SwapChain::Rebuild(bool immediate) {
    const Vulkan& vk = device_->vk;
    VkSurfaceCapabilitiesKHR caps;
    VkResult result = vkGetPhysicalDeviceSurfaceCapabilitiesKHR(vk.physical, surface_, &caps);
    if (result != VK_SUCCESS)
        return result;
    VkExtent2D extent = caps.currentExtent;
    if (extent.width == UINT32_MAX) {
        UINT width = 0, height = 0;
        platform::ClientSizeOf(desc_.OutputWindow, &width, &height);
        extent = {std::clamp(width, caps.minImageExtent.width, caps.maxImageExtent.width),
                  std::clamp(height, caps.minImageExtent.height, caps.maxImageExtent.height)};
    }
    if (extent.width == 0 || extent.height == 0)
        return VK_NOT_READY;
    VkImageUsageFlags usage = VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    if ((caps.supportedUsageFlags & usage) != usage)
        return VK_ERROR_FORMAT_NOT_SUPPORTED;
    // Images that are to be lent to the back buffer take every use the back buffer's own image takes.
    const VkImageUsageFlags lendable = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
                                       VK_IMAGE_USAGE_TRANSFER_DST_BIT;

    // The old swapchain's images may still be waited on by a present: let the queue drain first,
    // once every frame has finished, so that the wait is as bounded as theirs.
    if (swapchain_) {
        result = device_->frames.Finish();
        if (result == VK_SUCCESS)
            result = vkQueueWaitIdle(vk.queue);
        if (result != VK_SUCCESS)
            return result;
    }
    const VkSurfaceFormatKHR format = ChooseFormat(vk.physical, surface_, backBuffer_->Format());
    const bool lend =
        (caps.supportedUsageFlags & lendable) == lendable && format.format == backBuffer_->Format();
    if (lend)
        usage |= lendable;
    VkSwapchainCreateInfoKHR info = {VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = surface_;
    info.minImageCount =
        caps.maxImageCount ? std::min(caps.minImageCount + 1, caps.maxImageCount) : caps.minImageCount + 1;
    info.imageFormat = format.format;
    info.imageColorSpace = format.colorSpace;
    info.imageExtent = extent;
    info.imageArrayLayers = 1;
    info.imageUsage = usage;
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.preTransform = caps.currentTransform;
    info.compositeAlpha = (caps.supportedCompositeAlpha & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR)
                              ? VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR
                              : static_cast<VkCompositeAlphaFlagBitsKHR>(caps.supportedCompositeAlpha &
                                                                         -caps.supportedCompositeAlpha);
    info.presentMode = ChoosePresentMode(vk.physical, surface_, immediate);
    info.clipped = VK_TRUE;
    info.oldSwapchain = swapchain_;
    VkSwapchainKHR created;
    result = vkCreateSwapchainKHR(vk.device, &info, nullptr, &created);
    DestroySwapchain(swapchain_);
    swapchain_ = VK_NULL_HANDLE;
    if (result != VK_SUCCESS)
        return result;
    swapchain_ = created;
    uint32_t count = 0;
    vkGetSwapchainImagesKHR(vk.device, swapchain_, &count, nullptr);
    images_.resize(count);
    result = vkGetSwapchainImagesKHR(vk.device, swapchain_, &count, images_.data());
    rendered_.assign(count, VK_NULL_HANDLE);
    for (VkSemaphore& semaphore : rendered_) {
        VkSemaphoreCreateInfo semaphoreInfo = {VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
        if (result == VK_SUCCESS)
            result = vkCreateSemaphore(vk.device, &semaphoreInfo, nullptr, &semaphore);
    }
    if (lend) {
        views_.assign(count, VK_NULL_HANDLE);
        for (uint32_t i = 0; i < count && result == VK_SUCCESS; ++i) {
            VkImageViewCreateInfo viewInfo = {VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
            viewInfo.image = images_[i];
            viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
            viewInfo.format = format.format;
            viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
            result = vkCreateImageView(vk.device, &viewInfo, nullptr, &views_[i]);
        }
    }
    format_ = format.format;
    extent_ = extent;
    immediate_ = immediate;
    outOfDate_ = result != VK_SUCCESS;
    return result;
}

void SwapChain::RecordBlit(VkCommandBuffer cmd, uint32_t index) {
    Texture2D* source = backBuffer_;
    UseImage(cmd, source->Image(), &source->hazard, VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT,
             VK_ACCESS_2_TRANSFER_READ_BIT, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL);
    // The swapchain image is overwritten whole: its old contents are not kept.
    VkImageMemoryBarrier2 toCopy = {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    toCopy.srcStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    toCopy.dstStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    toCopy.dstAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    toCopy.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    toCopy.newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    toCopy.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    toCopy.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    toCopy.image = images_[index];
    toCopy.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &toCopy;
    vkCmdPipelineBarrier2(cmd, &dependency);

    const UINT width = source->Desc().Width;
    const UINT height = source->Desc().Height;
    const VkImageSubresourceLayers layers = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    if (format_ == source->Format() && extent_.width == width && extent_.height == height) {
        VkImageCopy region = {layers, {0, 0, 0}, layers, {0, 0, 0}, {width, height, 1}};
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

    VkImageMemoryBarrier2 toPresent = toCopy;
    toPresent.srcStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    toPresent.srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    toPresent.dstStageMask = VK_PIPELINE_STAGE_2_NONE;
    toPresent.dstAccessMask = VK_ACCESS_2_NONE;
    toPresent.oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    toPresent.newLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
    dependency.pImageMemoryBarriers = &toPresent;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

HRESULT SwapChain::SubmitWithoutPresent() {
    FrameRing& frames = device_->frames;
    VkResult result = frames.Submit(VK_NULL_HANDLE, VK_PIPELINE_STAGE_2_NONE, VK_NULL_HANDLE);
    if (result == VK_SUCCESS)
        result = frames.Advance();
    return result == VK_SUCCESS ? DXGI_STATUS_OCCLUDED : device_->Failed("vkQueueSubmit2", result);
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
    const bool immediate = SyncInterval == 0;
    // A lent image is shown whatever the window has become since: it must go back to the swapchain.
    if (lent_ != kNoneLent) {
        if (immediate != immediate_)
            outOfDate_ = true;
        return PresentLent();
    }
    UINT width = 0, height = 0;
    platform::ClientSizeOf(desc_.OutputWindow, &width, &height);
    // A minimised window shows nothing; the frame's work still runs, so that nothing piles up.
    if (width == 0 || height == 0)
        return SubmitWithoutPresent();
    if (outOfDate_ || immediate != immediate_ || width != extent_.width || height != extent_.height) {
        VkResult result = Rebuild(immediate);
        if (result == VK_NOT_READY)
            return SubmitWithoutPresent();
        if (result != VK_SUCCESS) {
            hr = device_->Failed("vkCreateSwapchainKHR", result);
            return hr == DXGI_ERROR_DEVICE_REMOVED ? hr : SubmitWithoutPresent();
        }
    }

    uint32_t index = 0;
    VkResult result = AcquireImage(&index);
    // No image came back in time, or the window changed: this frame's work runs unseen.
    if (result == VK_NOT_READY)
        return SubmitWithoutPresent();
    if (result != VK_SUCCESS)
        return device_->Failed("vkAcquireNextImageKHR", result);

    VkCommandBuffer cmd;
    result = device_->frames.Commands(&cmd);
    if (result != VK_SUCCESS)
        return device_->Failed("vkBeginCommandBuffer", result);
    RecordBlit(cmd, index);
    return SubmitAndPresent(index, device_->frames.AcquireSemaphore(), VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT);
}

VkResult SwapChain::AcquireImage(uint32_t* index) {
    VkResult result = vkAcquireNextImageKHR(device_->vk.device, swapchain_, FrameRing::kFrameTimeoutNs,
                                            device_->frames.AcquireSemaphore(), VK_NULL_HANDLE, index);
    if (result == VK_TIMEOUT)
        return VK_NOT_READY;
    if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_ERROR_SURFACE_LOST_KHR) {
        outOfDate_ = true;
        return VK_NOT_READY;
    }
    if (result == VK_SUBOPTIMAL_KHR) {
        outOfDate_ = true;
        return VK_SUCCESS;
    }
    return result;
}

HRESULT SwapChain::SubmitAndPresent(uint32_t index, VkSemaphore acquired, VkPipelineStageFlags2 stages) {
    FrameRing& frames = device_->frames;
    VkResult result = frames.Submit(acquired, stages, rendered_[index]);
    // A software device's presentation waits for the frame on the CPU, without a bound: wait here
    // first, with one, so that a frame that never ends removes the device instead of hanging.
    if (result == VK_SUCCESS && device_->vk.properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU)
        result = frames.WaitSubmitted();
    if (result != VK_SUCCESS)
        return device_->Failed("vkQueueSubmit2", result);

    VkPresentInfoKHR present = {VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &rendered_[index];
    present.swapchainCount = 1;
    present.pSwapchains = &swapchain_;
    present.pImageIndices = &index;
    result = vkQueuePresentKHR(device_->vk.queue, &present);
    if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR)
        outOfDate_ = true;
    else if (result != VK_SUCCESS &&
             device_->Failed("vkQueuePresentKHR", result) == DXGI_ERROR_DEVICE_REMOVED)
        return DXGI_ERROR_DEVICE_REMOVED;
    result = frames.Advance();
    if (result != VK_SUCCESS)
        return device_->Failed("vkWaitForFences", result);
    return S_OK;
}

void SwapChain::LendWindowImage() {
    if (lent_ != kNoneLent || views_.empty() || outOfDate_ || FAILED(device_->Removed()))
        return;
    const D3D11_TEXTURE2D_DESC& size = backBuffer_->Desc();
    UINT width = 0, height = 0;
    platform::ClientSizeOf(desc_.OutputWindow, &width, &height);
    if (width != extent_.width || height != extent_.height || size.Width != extent_.width ||
        size.Height != extent_.height)
        return;
    uint32_t index = 0;
    VkResult result = AcquireImage(&index);
    // Without an image the frame is drawn into the back buffer's own image, and Present copies it.
    if (result != VK_SUCCESS) {
        if (result != VK_NOT_READY)
            device_->Failed("vkAcquireNextImageKHR", result);
        return;
    }
    device_->frames.WaitBeforeNextSubmit(device_->frames.AcquireSemaphore(), kLentImageStages);
    // The image's earlier contents are not kept; its first use waits for the acquisition.
    Hazard fresh;
    fresh.writeStages = kLentImageStages;
    backBuffer_->Lend(images_[index], views_[index], fresh);
    lent_ = index;
}

HRESULT SwapChain::PresentLent() {
    const uint32_t index = lent_;
    lent_ = kNoneLent;
    VkCommandBuffer cmd;
    VkResult result = device_->frames.Commands(&cmd);
    if (result == VK_SUCCESS)
        UseImage(cmd, backBuffer_->Image(), &backBuffer_->hazard, VK_PIPELINE_STAGE_2_NONE, VK_ACCESS_2_NONE,
                 VK_IMAGE_LAYOUT_PRESENT_SRC_KHR);
    backBuffer_->Reclaim();
    if (result != VK_SUCCESS)
        return device_->Failed("vkBeginCommandBuffer", result);
    return SubmitAndPresent(index, VK_NULL_HANDLE, VK_PIPELINE_STAGE_2_NONE);
}

} // namespace d3d11
