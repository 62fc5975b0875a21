#include "hooks.h"
#include "state.h"

#include <X11/extensions/XInput2.h>

#include <cstdio>
#include <cstdlib>

namespace platform::win32 {

namespace {

// Xlib ends the process after this handler returns; the message says why, rather than leaving the
// user with Xlib's own text about a "fatal IO error".
int OnDisplayLost(Display*) {
    std::fprintf(stderr, "fxview: the connection to the X display was lost; exiting.\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

Win32State& State() {
    static Win32State state;
    return state;
}

Display* OpenDisplay() {
    Win32State& s = State();
    if (s.display || s.displayTried)
        return s.display;
    s.displayTried = true;
    // The Vulkan driver presents through the same connection, possibly from threads of its own.
    XInitThreads();
    s.display = XOpenDisplay(nullptr);
    if (!s.display) {
        const char* name = std::getenv("DISPLAY");
        char what[256];
        std::snprintf(what, sizeof what, "cannot open display \"%s\"", name ? name : "");
        LogFailure("XOpenDisplay", what);
        return nullptr;
    }
    XSetIOErrorHandler(OnDisplayLost);
    s.wmProtocols = XInternAtom(s.display, "WM_PROTOCOLS", False);
    s.wmDeleteWindow = XInternAtom(s.display, "WM_DELETE_WINDOW", False);
    StartKeyTracking(s.display);
    return s.display;
}

} // namespace platform::win32

using namespace platform::win32;

int WINAPI GetSystemMetrics(int nIndex) {
    Display* display = OpenDisplay();
    if (!display)
        return 0;
    switch (nIndex) {
    case SM_CXSCREEN:
        return DisplayWidth(display, DefaultScreen(display));
    case SM_CYSCREEN:
        return DisplayHeight(display, DefaultScreen(display));
    }
    return 0;
}
