#include "monitor_power.h"
#include "monotonic_clock.h"
#include "state.h"

#include <X11/extensions/scrnsaver.h>

namespace platform::win32 {

namespace {

// How long before the saver or the monitor power-down is due the window procedure is asked.
constexpr long kWarningMs = 1500;
constexpr DWORD kCheckEveryMs = 500;

WindowRecord* ShownWindow() {
    for (WindowRecord& w : State().windows) {
        if (FindWindow(HandleOf(&w)) && w.mapped)
            return &w;
    }
    return nullptr;
}

// True when the procedure let the request through to DefWindowProcA.
bool Ask(WindowRecord* w, WPARAM command, LPARAM lParam) {
    Win32State& s = State();
    s.saverAllowed = false;
    w->proc(HandleOf(w), WM_SYSCOMMAND, command, lParam);
    return s.saverAllowed;
}

} // namespace

// The X mechanism: the MIT-SCREEN-SAVER extension says how long until the saver starts, and
// DPMS when the monitor powers down; a swallowed request resets the server's idle timer.
void CheckScreenSaver() {
    Win32State& s = State();
    if (!s.display)
        return;
    DWORD now = MonotonicMilliseconds();
    if (static_cast<int32_t>(now - s.nextSaverCheck) < 0)
        return;
    s.nextSaverCheck = now + kCheckEveryMs;
    WindowRecord* w = ShownWindow();
    if (!w)
        return;
    int event = 0, error = 0;
    if (!XScreenSaverQueryExtension(s.display, &event, &error))
        return;
    XScreenSaverInfo info = {};
    if (!XScreenSaverQueryInfo(s.display, DefaultRootWindow(s.display), &info))
        return;
    bool saverDue = info.state == ScreenSaverOn || (info.state == ScreenSaverOff && info.til_or_since > 0 &&
                                                    static_cast<long>(info.til_or_since) < kWarningMs);
    if (saverDue && !Ask(w, SC_SCREENSAVE, 0)) {
        XForceScreenSaver(s.display, ScreenSaverReset);
        XFlush(s.display);
    }
    if (MonitorPowerDue(s.display, info.idle, kWarningMs) && !Ask(w, SC_MONITORPOWER, 2)) {
        XForceScreenSaver(s.display, ScreenSaverReset);
        KeepMonitorOn(s.display);
        XFlush(s.display);
    }
}

} // namespace platform::win32
