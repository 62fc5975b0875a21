// The X window and its event queue.
#include "window.h"

#include "check.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace baseline {

XWindowState OpenWindow(unsigned width, unsigned height) {
    XWindowState w;
    XInitThreads();
    w.display = XOpenDisplay(nullptr);
    if (!w.display)
        Fail("XOpenDisplay", "no X display (is DISPLAY set?)");
    int screen = DefaultScreen(w.display);
    int x = (DisplayWidth(w.display, screen) - static_cast<int>(width)) / 2;
    int y = (DisplayHeight(w.display, screen) - static_cast<int>(height)) / 2;
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = BlackPixel(w.display, screen);
    attributes.event_mask =
        KeyPressMask | KeyReleaseMask | ExposureMask | StructureNotifyMask | FocusChangeMask;
    w.window = XCreateWindow(w.display, RootWindow(w.display, screen), x, y, width, height, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (!w.window)
        Fail("XCreateWindow", "no window");
    XStoreName(w.display, w.window, "baseline");
    w.deleteWindow = XInternAtom(w.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(w.display, w.window, &w.deleteWindow, 1);
    XMapWindow(w.display, w.window);
    XFlush(w.display);
    return w;
}

void CloseWindow(XWindowState& w) {
    XDestroyWindow(w.display, w.window);
    XCloseDisplay(w.display);
    w = {};
}

bool DrainEvents(XWindowState& w) {
    bool quit = false;
    while (XPending(w.display)) {
        XEvent event;
        XNextEvent(w.display, &event);
        if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Escape)
            quit = true;
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == w.deleteWindow)
            quit = true;
    }
    return quit;
}

} // namespace baseline
