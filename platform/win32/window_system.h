// What the Direct3D layer may know about a window, without knowing the window system under it: the
// window's client size, a Vulkan surface on it, full screen on and off, and a hook to hear Alt+Enter
// on it, as DXGI watches its window. Nothing else of the window leaks out.
#pragma once

#include <windows.h>

#include "vk_status.h"

#include <vulkan/vulkan.h>

namespace platform::win32 {

// The client area as the window system last reported it; 0 × 0 while the window is minimised.
// False when hwnd is not a live window of this process.
bool ClientSizeOf(HWND hwnd, UINT* width, UINT* height);

// Calls handler(context) when Alt+Enter is pressed on the window (not on its auto-repeat), before the
// program reads the WM_SYSKEYDOWN it still gets. A null handler stops it; false when hwnd is not a
// live window of this process.
bool SetAltEnterHandler(HWND hwnd, void (*handler)(void*), void* context);

// The Vulkan instance extension that window surfaces need, besides VK_KHR_surface.
const char* WindowSurfaceExtension();

// Creates a surface on the window in `instance`, which has WindowSurfaceExtension enabled.
VkStatus CreateWindowSurface(HWND hwnd, VkInstance instance, VkSurfaceKHR* surface);

// Makes the window cover its screen, or gives it back the place it had before; no display mode
// changes. Does nothing when hwnd is not a live window of this process.
void SetFullscreen(HWND hwnd, bool fullscreen);

} // namespace platform::win32
