// F5 across windows on a Wayland desktop: the desktop portal's global shortcut "Reload main.fx",
// whose Activated and Deactivated signals press and release VK_F5 in the key table. Only the one
// shortcut, asked for once; the bus is read without waiting, from the key poll, on the one thread.
#pragma once

#include <X11/Xlib.h>

namespace platform::win32 {

// True when WAYLAND_DISPLAY is set and `display` is Xwayland's, where X clients see keys only while
// one of Xwayland's windows has the focus.
bool OnWaylandSession(Display* display);

// Opens the session bus and asks the portal for the shortcut; returns at once. Where that cannot work
// (no bus, no portal, no global shortcuts, the binding declined), says once on standard error what
// reloads instead.
void StartPortalShortcut();

// Reads what the portal has sent since the last call, without waiting.
void PollPortalShortcut();

} // namespace platform::win32
