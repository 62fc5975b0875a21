// The Win32 stand-in's process-wide state: the one X display connection, the window classes,
// the windows, the message queues and the keyboard. One thread uses it, as the program has one.
// Fixed-size tables throughout, so that no message or key poll allocates.
#pragma once

#include <windows.h>

#include <X11/Xlib.h>

namespace platform::win32 {

constexpr int kMaxClasses = 8;
constexpr int kMaxWindows = 8;
constexpr int kQueueCapacity = 1024;

struct WindowClass {
    bool used = false;
    char name[64] = {};
    WNDCLASSEXA record = {};
};

// An HWND points at one of these; `magic` tells a live window from a stale or foreign pointer.
struct WindowRecord {
    unsigned magic = 0;
    Window xwindow = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    UINT clientWidth = 0, clientHeight = 0;
    bool mapped = false;
    bool minimised = false;
    bool hidden = false; // unmapped by ShowWindow(SW_HIDE), not by the window manager
    bool needsPaint = false;
    void (*altEnter)(void*) = nullptr; // the swap chain's full-screen switch
    void* altEnterContext = nullptr;
    XRectangle windowed = {}; // where the window was before full screen, when no window manager runs
};

// A ring of messages; full means the newest is refused, as Windows refuses to post past its limit.
struct MessageRing {
    MSG items[kQueueCapacity] = {};
    int head = 0;
    int count = 0;

    bool Push(const MSG& msg);
};

struct KeyState {
    bool down = false;
    bool pressedSincePoll = false;
    bool overridden = false; // tests: ignore the display for this key
};

struct Win32State {
    Display* display = nullptr;
    bool displayTried = false;
    Atom wmDeleteWindow = 0;
    Atom wmProtocols = 0;
    int xinputOpcode = -1; // -1: no XInput 2, so key state comes from polling the keymap
    WindowClass classes[kMaxClasses];
    WindowRecord windows[kMaxWindows];
    MessageRing posted;
    MessageRing input;
    bool quitPosted = false;
    int quitCode = 0;
    KeyState keys[256];
    // Set by DefWindowProcA when a screen-saver or monitor-power request is let through.
    bool saverAllowed = false;
    DWORD nextSaverCheck = 0;
};

Win32State& State();

// The display connection, opened on first use; null when there is no X server to talk to.
Display* OpenDisplay();

// The live window an HWND names, or null.
WindowRecord* FindWindow(HWND hwnd);
WindowRecord* FindWindowByX(Window xwindow);
inline HWND HandleOf(WindowRecord* w) {
    return reinterpret_cast<HWND>(w);
}

// Reads every pending X event: input becomes queued messages, window changes are sent to the
// window procedure at once, key presses update the key state.
void PumpXEvents();

// Asks the window procedure before the display's screen saver or monitor power-down starts.
void CheckScreenSaver();

// Keyboard tracking, fed by PumpXEvents.
void StartKeyTracking(Display* display);
// Takes an XInput 2 raw key event from any window of the display; ignores other generic events.
void OnRawKeyEvent(XGenericEventCookie& cookie);
UINT VirtualKeyOf(Display* display, unsigned keycode);

// Every call of DefWindowProcA is recorded, for the testing module (platform/testing) to read.
struct DefWindowProcLog {
    unsigned long calls = 0;
    MSG last = {};
};
DefWindowProcLog& Log();
void RecordDefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace platform::win32
