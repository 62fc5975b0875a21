// The monitor's power-down through the DPMS extension. Kept apart from the Win32 headers:
// the extension's headers define a BOOL of their own.
#pragma once

#include <X11/Xlib.h>

namespace platform::win32 {

// True when power-down has started or is due within `warningMs` of `idleMs` of idleness.
bool MonitorPowerDue(Display* display, unsigned long idleMs, long warningMs);

void KeepMonitorOn(Display* display);

} // namespace platform::win32
