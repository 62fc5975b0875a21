#include "portal_shortcut.h"
#include "state.h"

#include <testing.h>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace platform::win32 {

namespace {

UINT VirtualKeyOfKeysym(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return static_cast<UINT>('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z)
        return static_cast<UINT>('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9)
        return static_cast<UINT>('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F12)
        return static_cast<UINT>(VK_F1 + (sym - XK_F1));
    switch (sym) {
    case XK_Escape:
        return VK_ESCAPE;
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
        return VK_TAB;
    case XK_Return:
        return VK_RETURN;
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_space:
        return VK_SPACE;
    case XK_Shift_L:
        return VK_SHIFT;
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
        return VK_CONTROL;
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
        return VK_MENU;
    case XK_Alt_R:
        return VK_MENU;
    case XK_Pause:
        return VK_PAUSE;
    case XK_Prior:
        return VK_PRIOR;
    case XK_Next:
        return VK_NEXT;
    case XK_End:
        return VK_END;
    case XK_Home:
        return VK_HOME;
    case XK_Left:
        return VK_LEFT;
    case XK_Up:
        return VK_UP;
    case XK_Right:
        return VK_RIGHT;
    case XK_Down:
        return VK_DOWN;
    case XK_Insert:
        return VK_INSERT;
    case XK_Delete:
        return VK_DELETE;
    }
    return 0;
}

// Without XInput 2 there are no key events from other windows, only the keymap to poll.
void PollKeymap(Display* display) {
    char keymap[32];
    XQueryKeymap(display, keymap);
    Win32State& s = State();
    bool down[256] = {};
    for (unsigned keycode = 8; keycode < 256; ++keycode) {
        if (keymap[keycode / 8] & (1 << (keycode % 8))) {
            if (UINT vk = VirtualKeyOf(display, keycode))
                down[vk] = true;
        }
    }
    for (int vk = 0; vk < 256; ++vk) {
        if (s.keys[vk].overridden)
            continue;
        if (down[vk] && !s.keys[vk].down)
            s.keys[vk].pressedSincePoll = true;
        s.keys[vk].down = down[vk];
    }
}

} // namespace

UINT VirtualKeyOf(Display* display, unsigned keycode) {
    return VirtualKeyOfKeysym(XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0));
}

void StartKeyTracking(Display* display) {
    Win32State& s = State();
    // Held keys repeat as presses only, as on Windows, not as release-press pairs.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 2;
    if (XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
        XIQueryVersion(display, &major, &minor) == Success) {
        // Raw key events come from the whole display, whichever window has the focus.
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask = {XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        if (XISelectEvents(display, DefaultRootWindow(display), &mask, 1) == Success)
            s.xinputOpcode = opcode;
    }
    PollKeymap(display);
    for (KeyState& k : s.keys)
        k.pressedSincePoll = false;
    // Xwayland shows an X client no key while a Wayland window has the focus: F5 comes from the
    // desktop portal there too.
    if (OnWaylandSession(display))
        StartPortalShortcut();
}

void OnRawKeyEvent(XGenericEventCookie& cookie) {
    Win32State& s = State();
    if (cookie.extension != s.xinputOpcode || !XGetEventData(cookie.display, &cookie))
        return;
    if (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease) {
        bool down = cookie.evtype == XI_RawKeyPress;
        UINT vk =
            VirtualKeyOf(s.display, static_cast<unsigned>(static_cast<XIRawEvent*>(cookie.data)->detail));
        if (vk && !s.keys[vk].overridden) {
            s.keys[vk].down = down;
            if (down)
                s.keys[vk].pressedSincePoll = true;
        }
    }
    XFreeEventData(cookie.display, &cookie);
}

} // namespace platform::win32

using namespace platform::win32;

SHORT WINAPI GetAsyncKeyState(int vKey) {
    if (vKey <= 0 || vKey > 255)
        return 0;
    Win32State& s = State();
    KeyState& key = s.keys[vKey];
    if (!key.overridden) {
        Display* display = OpenDisplay();
        if (!display)
            return 0;
        if (s.xinputOpcode >= 0) {
            // Only the raw key events: window events stay queued for the message loop.
            XEvent e;
            while (XCheckTypedEvent(display, GenericEvent, &e))
                OnRawKeyEvent(e.xcookie);
        } else {
            PollKeymap(display);
        }
        PollPortalShortcut();
    }
    SHORT result = static_cast<SHORT>((key.down ? 0x8000 : 0) | (key.pressedSincePoll ? 1 : 0));
    key.pressedSincePoll = false;
    return result;
}
