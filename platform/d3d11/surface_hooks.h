// What a test may put in place of the window system's answers to the presenter, so that behaviour
// lavapipe under Xvfb never shows can be driven for real: the formats the surface offers, the format
// features a blit needs, SUBOPTIMAL for acquisitions and presents that succeeded, and a window that
// keeps an acquired image. Each hook passes the real answer through while no test has set it.
#pragma once

#include "vulkan.h"

#include <vector>

namespace d3d11::hooks {

// Replaces `formats` with the list a test offers, when one does.
void OfferedSurfaceFormats(std::vector<VkSurfaceFormatKHR>* formats);
// vkGetPhysicalDeviceFormatProperties less the features a test hides.
void FormatProperties(VkPhysicalDevice physical, VkFormat format, VkFormatProperties* properties);
// VK_SUBOPTIMAL_KHR for a VK_SUCCESS while a test asks for such answers, else `result`.
VkResult Answer(VkResult result);
// vkAcquireNextImageKHR; while a test holds the window's images, the image is given at once but
// `semaphore` and `fence` are signalled on the queue only once the test lets it go.
VkResult AcquireNextImage(const Vulkan& vk, VkSwapchainKHR swapchain, uint64_t timeout, VkSemaphore semaphore,
                          VkFence fence, uint32_t* index);
// Counts the swapchains made, for the tests of rebuilds.
void NoteSwapchainMade();

} // namespace d3d11::hooks
