// The window's swapchain, drawn into directly: its images are the render target, so presenting costs
// no copy. Present mode immediate, else mailbox, else FIFO, as fxview's sync interval 0 asks for.
#pragma once

#include "device.h"

#include <vector>

namespace baseline {

struct Swapchain {
    VkSwapchainKHR swapchain = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkExtent2D extent = {};
    std::vector<VkImage> images;
    std::vector<VkImageView> views;
    // Signalled when an image's frame is drawn; the present waits on it.
    std::vector<VkSemaphore> drawn;
};

// Needs an 8-bit UNORM RGBA or BGRA surface format of the given size.
Swapchain CreateSwapchain(const Device& d, VkExtent2D extent);
void DestroySwapchain(const Device& d, Swapchain& s);

} // namespace baseline
