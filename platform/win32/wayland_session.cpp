#include "portal_shortcut.h"

#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <cstring>

namespace platform::win32 {

namespace {

// Xwayland before 23.1 has no extension of its own, but names its RandR outputs XWAYLAND0,
// XWAYLAND1…, which no other X server does.
bool HasXwaylandOutput(Display* display) {
    int event = 0, error = 0;
    if (!XRRQueryExtension(display, &event, &error))
        return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return false;
    bool found = false;
    for (int i = 0; i < resources->noutput && !found; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output) {
            found = std::strncmp(output->name, "XWAYLAND", 8) == 0;
            XRRFreeOutputInfo(output);
        }
    }
    XRRFreeScreenResources(resources);
    return found;
}

} // namespace

bool OnWaylandSession(Display* display) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland)
        return false;
    int opcode = 0, event = 0, error = 0;
    return XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) || HasXwaylandOutput(display);
}

} // namespace platform::win32
