// Vulkan surfaces on the stand-in's X windows.
#include "state.h"
#include "x11_window.h"

#include <vulkan/vulkan_xlib.h>

namespace platform::win32 {

const char* WindowSurfaceExtension() {
    return VK_KHR_XLIB_SURFACE_EXTENSION_NAME;
}

VkStatus CreateWindowSurface(HWND hwnd, VkInstance instance, VkSurfaceKHR* surface) {
    const char* call = "vkCreateXlibSurfaceKHR";
    VkXlibSurfaceCreateInfoKHR info = {};
    info.sType = VK_STRUCTURE_TYPE_XLIB_SURFACE_CREATE_INFO_KHR;
    if (!X11WindowOf(hwnd, &info.dpy, &info.window))
        return {call, VK_ERROR_INITIALIZATION_FAILED};
    return {call, vkCreateXlibSurfaceKHR(instance, &info, nullptr, surface)};
}

} // namespace platform::win32
