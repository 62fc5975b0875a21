// A window's X display connection and X window, for the window system's own code and its tests; the
// Direct3D layer sees windows only through window_system.h.
#pragma once

#include "window_system.h"

#include <X11/Xlib.h>

namespace platform::win32 {

// False when hwnd is not a live window of this process.
bool X11WindowOf(HWND hwnd, Display** display, Window* window);

} // namespace platform::win32
