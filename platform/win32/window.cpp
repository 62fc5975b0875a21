#include "hooks.h"
#include "state.h"
#include "x11_window.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace platform::win32 {

namespace {

constexpr unsigned kWindowMagic = 0x57494e44; // "WIND"

// One fixed set of frame metrics, those of Windows 10 at 96 dots per inch, so that the outer size
// AdjustWindowRectEx computes is taken off again by CreateWindowExA and the client area is exact.
constexpr int kSizingFrame = 8;
constexpr int kFixedFrame = 3;
constexpr int kCaption = 23;
constexpr int kMenu = 20;

struct Frame {
    int left, top, right, bottom;
};

Frame FrameOf(DWORD style, BOOL menu) {
    int edge = 0;
    if (style & WS_THICKFRAME)
        edge = kSizingFrame;
    else if (style & WS_CAPTION)
        edge = kFixedFrame;
    Frame f = {edge, edge, edge, edge};
    if ((style & WS_CAPTION) == WS_CAPTION)
        f.top += kCaption;
    if (menu)
        f.top += kMenu;
    return f;
}

WindowClass* FindClass(LPCSTR name) {
    if (!name)
        return nullptr;
    for (WindowClass& c : State().classes) {
        if (c.used && strcasecmp(c.name, name) == 0)
            return &c;
    }
    return nullptr;
}

void SetTitle(Display* display, Window window, LPCSTR title) {
    const char* text = title ? title : "";
    XStoreName(display, window, text);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    XChangeProperty(display, window, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
}

// A record no live window holds, or null when every one is taken.
WindowRecord* FreeWindowRecord() {
    for (WindowRecord& candidate : State().windows) {
        if (candidate.magic != kWindowMagic)
            return &candidate;
    }
    return nullptr;
}

// Where the client area lies on the screen, and its size.
struct ClientArea {
    int x, y, width, height;
};

// The client area inside the outer rectangle the program asked for, at least one pixel each way.
ClientArea ClientAreaOf(const Frame& f, int x, int y, int width, int height) {
    return {x + f.left, y + f.top, std::max(width - f.left - f.right, 1),
            std::max(height - f.top - f.bottom, 1)};
}

// The X window of a top-level window, placed, named and closable as the program asked; 0 on failure.
Window CreateXWindow(Display* display, const ClientArea& area, const char* className, LPCSTR title) {
    int screen = DefaultScreen(display);
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask =
        KeyPressMask | KeyReleaseMask | ExposureMask | StructureNotifyMask | FocusChangeMask;
    Window xwindow =
        XCreateWindow(display, RootWindow(display, screen), area.x, area.y, static_cast<unsigned>(area.width),
                      static_cast<unsigned>(area.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixel | CWEventMask, &attributes);
    if (!xwindow) {
        LogFailure("XCreateWindow", "no window");
        return 0;
    }
    // Ask the window manager to keep the position the program computed.
    XSizeHints hints = {};
    hints.flags = USPosition | USSize;
    hints.x = area.x;
    hints.y = area.y;
    hints.width = area.width;
    hints.height = area.height;
    XSetWMNormalHints(display, xwindow, &hints);
    XClassHint classHint = {const_cast<char*>(className), const_cast<char*>(className)};
    XSetClassHint(display, xwindow, &classHint);
    SetTitle(display, xwindow, title);
    XSetWMProtocols(display, xwindow, &State().wmDeleteWindow, 1);
    return xwindow;
}

} // namespace

WindowRecord* FindWindow(HWND hwnd) {
    for (WindowRecord& w : State().windows) {
        if (w.magic == kWindowMagic && HandleOf(&w) == hwnd)
            return &w;
    }
    return nullptr;
}

WindowRecord* FindWindowByX(Window xwindow) {
    for (WindowRecord& w : State().windows) {
        if (w.magic == kWindowMagic && w.xwindow == xwindow)
            return &w;
    }
    return nullptr;
}

} // namespace platform::win32

namespace platform::win32 {

bool X11WindowOf(HWND hwnd, Display** display, Window* window) {
    WindowRecord* w = FindWindow(hwnd);
    if (!w)
        return false;
    *display = State().display;
    *window = w->xwindow;
    return true;
}

bool ClientSizeOf(HWND hwnd, UINT* width, UINT* height) {
    WindowRecord* w = FindWindow(hwnd);
    if (!w)
        return false;
    *width = w->minimised ? 0 : w->clientWidth;
    *height = w->minimised ? 0 : w->clientHeight;
    return true;
}

bool SetAltEnterHandler(HWND hwnd, void (*handler)(void*), void* context) {
    WindowRecord* w = FindWindow(hwnd);
    if (!w)
        return false;
    w->altEnter = handler;
    w->altEnterContext = handler ? context : nullptr;
    return true;
}

} // namespace platform::win32

using namespace platform::win32;

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc)
        return FALSE;
    *lprc = {xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD) {
    if (!lpRect)
        return FALSE;
    Frame f = FrameOf(dwStyle, bMenu);
    lpRect->left -= f.left;
    lpRect->top -= f.top;
    lpRect->right += f.right;
    lpRect->bottom += f.bottom;
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE, LPVOID) {
    WindowClass* cls = FindClass(lpClassName);
    if (!cls || hWndParent)
        return nullptr;
    Display* display = OpenDisplay();
    if (!display)
        return nullptr;
    WindowRecord* w = FreeWindowRecord();
    if (!w)
        return nullptr;
    const ClientArea area = ClientAreaOf(FrameOf(dwStyle, hMenu != nullptr), X, Y, nWidth, nHeight);
    Window xwindow = CreateXWindow(display, area, cls->name, lpWindowName);
    if (!xwindow)
        return nullptr;

    *w = WindowRecord{};
    w->magic = kWindowMagic;
    w->xwindow = xwindow;
    w->proc = cls->record.lpfnWndProc;
    w->style = dwStyle;
    w->clientWidth = static_cast<UINT>(area.width);
    w->clientHeight = static_cast<UINT>(area.height);
    platform::CountLive("HWND", 1);

    HWND hwnd = HandleOf(w);
    if (w->proc(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w)
        return FALSE;
    w->proc(hWnd, WM_DESTROY, 0, 0);
    // The procedure may have destroyed the window itself.
    if (FindWindow(hWnd) != w)
        return TRUE;
    Win32State& s = State();
    XDestroyWindow(s.display, w->xwindow);
    XFlush(s.display);
    *w = WindowRecord{};
    platform::CountLive("HWND", -1);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w)
        return FALSE;
    Display* display = State().display;
    BOOL wasVisible = w->mapped ? TRUE : FALSE;
    switch (nCmdShow) {
    case SW_HIDE:
        w->hidden = true;
        XUnmapWindow(display, w->xwindow);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        XIconifyWindow(display, w->xwindow, DefaultScreen(display));
        break;
    default:
        w->hidden = false;
        XMapRaised(display, w->xwindow);
        w->needsPaint = true;
        break;
    }
    // The request is sent, not waited for: the X server maps and paints the window while the program
    // goes on starting, and the window's state follows from the events it sends back.
    XFlush(display);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w)
        return FALSE;
    if (w->needsPaint)
        w->proc(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w || !lpRect)
        return FALSE;
    UINT width = 0, height = 0;
    ClientSizeOf(hWnd, &width, &height);
    *lpRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w || !lpRect)
        return FALSE;
    // Where the client area is now, as the X server has it; the frame is added around it.
    Display* display = State().display;
    int clientX = 0, clientY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, w->xwindow, DefaultRootWindow(display), 0, 0, &clientX, &clientY,
                               &child))
        return FALSE;
    Frame f = FrameOf(w->style, FALSE);
    *lpRect = {clientX - f.left, clientY - f.top, clientX + static_cast<LONG>(w->clientWidth) + f.right,
               clientY + static_cast<LONG>(w->clientHeight) + f.bottom};
    return TRUE;
}
