// Full screen on and off for a window: through the window manager's _NET_WM_STATE when one runs,
// else by covering the screen directly and putting the window back afterwards.
#include "state.h"
#include "window_system.h"

#include <X11/Xatom.h>

namespace {

using platform::win32::WindowRecord;

// True when an EWMH window manager runs on the window's screen, to act on _NET_WM_STATE requests.
bool WindowManagerRuns(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                          &type, &format, &count, &after, &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data)
        XFree(data);
    return found;
}

// Asks the window manager to make the window cover the screen, or not, as DXGI's switch does.
void RequestFullscreen(Display* display, Window window, bool fullscreen) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = fullscreen ? 1 : 0; // _NET_WM_STATE_ADD : _NET_WM_STATE_REMOVE
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

// No window manager would act on the request: covers the screen directly, and remembers where the
// window was to put it back.
void CoverScreen(Display* display, WindowRecord* w) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, w->xwindow, &attributes))
        return;
    w->windowed = {static_cast<short>(attributes.x), static_cast<short>(attributes.y),
                   static_cast<unsigned short>(attributes.width),
                   static_cast<unsigned short>(attributes.height)};
    Screen* screen = attributes.screen;
    XMoveResizeWindow(display, w->xwindow, 0, 0, static_cast<unsigned>(WidthOfScreen(screen)),
                      static_cast<unsigned>(HeightOfScreen(screen)));
    XRaiseWindow(display, w->xwindow);
}

} // namespace

namespace platform::win32 {

void SetFullscreen(HWND hwnd, bool fullscreen) {
    WindowRecord* w = win32::FindWindow(hwnd);
    Display* display = win32::State().display;
    if (!w || !display)
        return;
    if (WindowManagerRuns(display))
        RequestFullscreen(display, w->xwindow, fullscreen);
    else if (fullscreen)
        CoverScreen(display, w);
    else if (w->windowed.width && w->windowed.height)
        XMoveResizeWindow(display, w->xwindow, w->windowed.x, w->windowed.y, w->windowed.width,
                          w->windowed.height);
    XFlush(display);
}

} // namespace platform::win32
