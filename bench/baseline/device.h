// Vulkan 1.3 instance, device and queue for an X window, chosen as fxview's Direct3D 11 stand-in
// chooses them: discrete, then integrated, then virtual, then CPU; one queue that does graphics,
// compute and present. No validation layer, no debug messenger.
#pragma once

#include <X11/Xlib.h>

#define VK_USE_PLATFORM_XLIB_KHR
#include <vulkan/vulkan.h>

namespace baseline {

struct Device {
    VkInstance instance = VK_NULL_HANDLE;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    VkPhysicalDevice physical = VK_NULL_HANDLE;
    VkPhysicalDeviceMemoryProperties memory = {};
    VkDevice device = VK_NULL_HANDLE;
    uint32_t queueFamily = 0;
    VkQueue queue = VK_NULL_HANDLE;
};

Device CreateDevice(Display* display, Window window);
void DestroyDevice(Device& d);

// A memory type among `typeBits` with all of `flags`; exits when there is none.
uint32_t FindMemoryType(const Device& d, uint32_t typeBits, VkMemoryPropertyFlags flags);

} // namespace baseline
