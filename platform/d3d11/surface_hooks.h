// What a test may put in place of the window system's answers to the presenter, so that behaviour
// lavapipe under Xvfb never shows can be driven for real: the formats the surface offers, the format
// features a blit needs, SUBOPTIMAL for acquisitions and presents that succeeded, and a window that
// keeps an acquired image. Each hook passes the real answer through while no test has set it; the
// testing module (platform/testing) sets them.
#pragma once

#include "vulkan.h"

#include <vector>

namespace platform::d3d11::hooks {

// An acquisition a test holds: the real one signals `acquired`, and a submission waits on it and on
// `released`, an event the test sets, before it signals what the presenter asked for.
struct HeldImage {
    const Vulkan* vk = nullptr;
    VkEvent released = VK_NULL_HANDLE;
    VkSemaphore acquired = VK_NULL_HANDLE;
    VkCommandPool pool = VK_NULL_HANDLE;
};

struct SurfaceHooks {
    std::vector<VkSurfaceFormatKHR> formats;
    VkFormat hiddenFormat = VK_FORMAT_UNDEFINED;
    VkFormatFeatureFlags hiddenFeatures = 0;
    int suboptimalAnswers = 0;
    long swapchainsMade = 0;
    bool hold = false;
    HeldImage held;
};

SurfaceHooks& Hooks();
// Signals what a held acquisition asked for, once the queue has its image, and forgets it.
void LetHeldImageGo();

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

} // namespace platform::d3d11::hooks
