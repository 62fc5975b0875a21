#include "monitor_power.h"

#include <X11/extensions/dpms.h>

namespace platform::win32 {

bool MonitorPowerDue(Display* display, unsigned long idleMs, long warningMs) {
    int event = 0, error = 0;
    if (!DPMSQueryExtension(display, &event, &error) || !DPMSCapable(display))
        return false;
    CARD16 level = 0;
    BOOL enabled = False;
    if (!DPMSInfo(display, &level, &enabled) || !enabled)
        return false;
    if (level != DPMSModeOn)
        return true;
    CARD16 timeouts[3] = {};
    if (!DPMSGetTimeouts(display, &timeouts[0], &timeouts[1], &timeouts[2]))
        return false;
    long first = 0;
    for (CARD16 t : timeouts) {
        if (t && (first == 0 || t < first))
            first = t;
    }
    return first && first * 1000L - static_cast<long>(idleMs) < warningMs;
}

void KeepMonitorOn(Display* display) {
    int event = 0, error = 0;
    if (DPMSQueryExtension(display, &event, &error) && DPMSCapable(display))
        DPMSForceLevel(display, DPMSModeOn);
}

} // namespace platform::win32
