// What the rest of the layer may know about a window: its X display connection and X window,
// for the Vulkan surface, and its current client size, for the swap chain's scaling.
#pragma once

#include <windows.h>

#include <X11/Xlib.h>

namespace platform {

// False when hwnd is not a live window of this process.
bool X11WindowOf(HWND hwnd, Display** display, Window* window);

// The client area as the X server last reported it; 0 × 0 while the window is minimised.
bool ClientSizeOf(HWND hwnd, UINT* width, UINT* height);

} // namespace platform
