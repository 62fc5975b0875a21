// Swapchain creation: format, present mode, image count, views and per-image semaphores.
#include "swapchain.h"

#include "check.h"

namespace baseline {

namespace {

// Direct3D's back buffer is R8G8B8A8_UNORM; BGRA holds the same values with the channels stored
// the other way, which the attachment write takes care of.
VkSurfaceFormatKHR ChooseFormat(const Device& d) {
    uint32_t count = 0;
    Check(vkGetPhysicalDeviceSurfaceFormatsKHR(d.physical, d.surface, &count, nullptr),
          "vkGetPhysicalDeviceSurfaceFormatsKHR");
    std::vector<VkSurfaceFormatKHR> formats(count);
    Check(vkGetPhysicalDeviceSurfaceFormatsKHR(d.physical, d.surface, &count, formats.data()),
          "vkGetPhysicalDeviceSurfaceFormatsKHR");
    for (VkFormat wanted : {VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_B8G8R8A8_UNORM}) {
        for (const VkSurfaceFormatKHR& f : formats) {
            if (f.format == wanted && f.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR)
                return f;
        }
    }
    Fail("vkGetPhysicalDeviceSurfaceFormatsKHR", "the surface offers no 8-bit UNORM RGBA or BGRA format");
}

VkPresentModeKHR ChoosePresentMode(const Device& d) {
    uint32_t count = 0;
    Check(vkGetPhysicalDeviceSurfacePresentModesKHR(d.physical, d.surface, &count, nullptr),
          "vkGetPhysicalDeviceSurfacePresentModesKHR");
    std::vector<VkPresentModeKHR> modes(count);
    Check(vkGetPhysicalDeviceSurfacePresentModesKHR(d.physical, d.surface, &count, modes.data()),
          "vkGetPhysicalDeviceSurfacePresentModesKHR");
    for (VkPresentModeKHR wanted : {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR}) {
        for (VkPresentModeKHR m : modes) {
            if (m == wanted)
                return m;
        }
    }
    return VK_PRESENT_MODE_FIFO_KHR;
}

} // namespace

Swapchain CreateSwapchain(const Device& d, VkExtent2D extent) {
    Swapchain s;
    VkSurfaceCapabilitiesKHR caps;
    Check(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(d.physical, d.surface, &caps),
          "vkGetPhysicalDeviceSurfaceCapabilitiesKHR");
    VkSurfaceFormatKHR format = ChooseFormat(d);
    uint32_t imageCount = caps.minImageCount + 1;
    if (caps.maxImageCount != 0 && imageCount > caps.maxImageCount)
        imageCount = caps.maxImageCount;
    s.format = format.format;
    s.extent = extent;

    VkSwapchainCreateInfoKHR info = {VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = d.surface;
    info.minImageCount = imageCount;
    info.imageFormat = format.format;
    info.imageColorSpace = format.colorSpace;
    info.imageExtent = extent;
    info.imageArrayLayers = 1;
    info.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.preTransform = caps.currentTransform;
    info.compositeAlpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
    info.presentMode = ChoosePresentMode(d);
    info.clipped = VK_TRUE;
    Check(vkCreateSwapchainKHR(d.device, &info, nullptr, &s.swapchain), "vkCreateSwapchainKHR");

    uint32_t count = 0;
    Check(vkGetSwapchainImagesKHR(d.device, s.swapchain, &count, nullptr), "vkGetSwapchainImagesKHR");
    s.images.resize(count);
    Check(vkGetSwapchainImagesKHR(d.device, s.swapchain, &count, s.images.data()), "vkGetSwapchainImagesKHR");
    s.views.resize(count);
    s.drawn.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        VkImageViewCreateInfo view = {VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
        view.image = s.images[i];
        view.viewType = VK_IMAGE_VIEW_TYPE_2D;
        view.format = s.format;
        view.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
        Check(vkCreateImageView(d.device, &view, nullptr, &s.views[i]), "vkCreateImageView");
        VkSemaphoreCreateInfo semaphore = {VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
        Check(vkCreateSemaphore(d.device, &semaphore, nullptr, &s.drawn[i]), "vkCreateSemaphore");
    }
    return s;
}

void DestroySwapchain(const Device& d, Swapchain& s) {
    for (size_t i = 0; i < s.images.size(); ++i) {
        vkDestroySemaphore(d.device, s.drawn[i], nullptr);
        vkDestroyImageView(d.device, s.views[i], nullptr);
    }
    vkDestroySwapchainKHR(d.device, s.swapchain, nullptr);
    s = {};
}

} // namespace baseline
