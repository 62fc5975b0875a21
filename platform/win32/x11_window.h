// What the rest of the layer may know about a window: its X display connection and X window,
// for the Vulkan surface, its current client size, for the swap chain's scaling, and a hook for the
// swap chain to hear Alt+Enter on it, as DXGI watches its window. Nothing else of the window leaks out.
#pragma once

#include <windows.h>

#include <X11/Xlib.h>

namespace platform {

// False when hwnd is not a live window of this process.
bool X11WindowOf(HWND hwnd, Display** display, Window* window);

// The client area as the X server last reported it; 0 × 0 while the window is minimised.
bool ClientSizeOf(HWND hwnd, UINT* width, UINT* height);

// Calls handler(context) when Alt+Enter is pressed on the window (not on its auto-repeat), before the
// program reads the WM_SYSKEYDOWN it still gets. A null handler stops it; false when hwnd is not a
// live window of this process.
bool SetAltEnterHandler(HWND hwnd, void (*handler)(void*), void* context);

} // namespace platform
