#include "hooks.h"
#include "state.h"

#include <X11/XKBlib.h>

namespace platform::win32 {

namespace {

bool pumping = false;

LPARAM SizeParam(UINT width, UINT height) {
    return static_cast<LPARAM>((width & 0xFFFF) | ((height & 0xFFFF) << 16));
}

// lParam of a key message: repeat count 1, scan code, previous state, transition.
LPARAM KeyParam(unsigned keycode, bool wasDown, bool release) {
    // X keycodes of the evdev driver are PC scan codes plus 8.
    DWORD scan = keycode >= 8 ? (keycode - 8) & 0xFF : 0;
    DWORD bits = 1u | (scan << 16);
    if (wasDown)
        bits |= 1u << 30;
    if (release)
        bits |= 1u << 31;
    return static_cast<LPARAM>(bits);
}

void QueueInput(WindowRecord* w, UINT message, WPARAM wParam, LPARAM lParam, Time when) {
    MSG msg = {HandleOf(w), message, wParam, lParam, static_cast<DWORD>(when), {0, 0}};
    State().input.Push(msg);
}

void Send(WindowRecord* w, UINT message, WPARAM wParam, LPARAM lParam) {
    w->proc(HandleOf(w), message, wParam, lParam);
}

// Keys as the focused window saw them, to mark auto-repeat in lParam.
bool windowKeyDown[256];

void OnKey(const XKeyEvent& e, bool press) {
    WindowRecord* w = FindWindowByX(e.window);
    if (!w)
        return;
    UINT vk = VirtualKeyOf(e.display, e.keycode);
    if (!vk)
        return;
    bool alt = (e.state & Mod1Mask) != 0 || vk == VK_F10;
    bool wasDown = windowKeyDown[vk];
    windowKeyDown[vk] = press;
    UINT message = press ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    QueueInput(w, message, vk, KeyParam(e.keycode, press ? wasDown : true, !press), e.time);
    if (press && !wasDown && vk == VK_RETURN && (e.state & Mod1Mask) && w->altEnter)
        w->altEnter(w->altEnterContext);
}

void OnConfigure(const XConfigureEvent& e) {
    WindowRecord* w = FindWindowByX(e.window);
    if (!w)
        return;
    UINT width = static_cast<UINT>(e.width), height = static_cast<UINT>(e.height);
    if (width == w->clientWidth && height == w->clientHeight)
        return;
    w->clientWidth = width;
    w->clientHeight = height;
    if (!w->minimised)
        Send(w, WM_SIZE, SIZE_RESTORED, SizeParam(width, height));
}

void OnMap(const XMapEvent& e) {
    WindowRecord* w = FindWindowByX(e.window);
    if (!w)
        return;
    w->mapped = true;
    w->needsPaint = true;
    if (w->minimised) {
        w->minimised = false;
        Send(w, WM_SIZE, SIZE_RESTORED, SizeParam(w->clientWidth, w->clientHeight));
    }
}

void OnUnmap(const XUnmapEvent& e) {
    WindowRecord* w = FindWindowByX(e.window);
    if (!w)
        return;
    w->mapped = false;
    // Unmapped by the window manager rather than by the program: the window was minimised.
    if (!w->hidden && !w->minimised) {
        w->minimised = true;
        Send(w, WM_SIZE, SIZE_MINIMIZED, 0);
    }
}

void OnDestroyed(const XDestroyWindowEvent& e) {
    WindowRecord* w = FindWindowByX(e.window);
    if (!w)
        return;
    // Destroyed from outside the program: the procedure still hears of it, once.
    HWND hwnd = HandleOf(w);
    Send(w, WM_DESTROY, 0, 0);
    if (WindowRecord* still = FindWindow(hwnd)) {
        *still = WindowRecord{};
        CountLive("HWND", -1);
    }
}

void OnClientMessage(const XClientMessageEvent& e) {
    Win32State& s = State();
    WindowRecord* w = FindWindowByX(e.window);
    if (!w || e.message_type != s.wmProtocols || static_cast<Atom>(e.data.l[0]) != s.wmDeleteWindow)
        return;
    // The close box: the system command that DefWindowProcA turns into WM_CLOSE.
    Send(w, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Translate(XEvent& e) {
    switch (e.type) {
    case KeyPress:
        OnKey(e.xkey, true);
        break;
    case KeyRelease:
        OnKey(e.xkey, false);
        break;
    case Expose:
        if (e.xexpose.count == 0) {
            if (WindowRecord* w = FindWindowByX(e.xexpose.window))
                w->needsPaint = true;
        }
        break;
    case ConfigureNotify:
        OnConfigure(e.xconfigure);
        break;
    case MapNotify:
        OnMap(e.xmap);
        break;
    case UnmapNotify:
        OnUnmap(e.xunmap);
        break;
    case DestroyNotify:
        OnDestroyed(e.xdestroywindow);
        break;
    case FocusIn:
    case FocusOut:
        if (e.xfocus.mode == NotifyNormal || e.xfocus.mode == NotifyWhileGrabbed) {
            if (WindowRecord* w = FindWindowByX(e.xfocus.window))
                Send(w, e.type == FocusIn ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
        }
        break;
    case ClientMessage:
        OnClientMessage(e.xclient);
        break;
    case GenericEvent:
        OnRawKeyEvent(e.xcookie);
        break;
    }
}

} // namespace

void PumpXEvents() {
    Win32State& s = State();
    // A window procedure that peeks at messages while one is being sent must not re-enter.
    if (!s.display || pumping)
        return;
    pumping = true;
    while (XPending(s.display)) {
        XEvent e;
        XNextEvent(s.display, &e);
        Translate(e);
    }
    pumping = false;
}

} // namespace platform::win32
