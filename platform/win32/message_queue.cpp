#include "monotonic_clock.h"
#include "state.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform::win32 {

namespace {

// Message times come from the clock directly: the program's own tick reads must stay its own.
DWORD MessageTime() {
    return MonotonicMilliseconds();
}

bool Matches(const MSG& msg, HWND hwnd, UINT first, UINT last) {
    if (hwnd && msg.hwnd != hwnd)
        return false;
    if (first == 0 && last == 0)
        return true;
    return msg.message >= first && msg.message <= last;
}

// Takes the first message of the ring that passes the filter, keeping the order of the rest.
bool Take(MessageRing& ring, MSG* out, HWND hwnd, UINT first, UINT last, bool remove) {
    for (int i = 0; i < ring.count; ++i) {
        int at = (ring.head + i) % kQueueCapacity;
        if (!Matches(ring.items[at], hwnd, first, last))
            continue;
        *out = ring.items[at];
        if (remove) {
            for (int j = i; j > 0; --j)
                ring.items[(ring.head + j) % kQueueCapacity] =
                    ring.items[(ring.head + j - 1) % kQueueCapacity];
            ring.head = (ring.head + 1) % kQueueCapacity;
            --ring.count;
        }
        return true;
    }
    return false;
}

bool Post(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MSG msg = {hWnd, Msg, wParam, lParam, MessageTime(), {0, 0}};
    return State().posted.Push(msg);
}

} // namespace

bool MessageRing::Push(const MSG& msg) {
    if (count == kQueueCapacity)
        return false;
    items[(head + count) % kQueueCapacity] = msg;
    ++count;
    return true;
}

} // namespace platform::win32

using namespace platform::win32;

DWORD WINAPI GetCurrentThreadId(void) {
    return static_cast<DWORD>(syscall(SYS_gettid));
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg)
        return FALSE;
    Win32State& s = State();
    bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    // Windows' order: posted messages, then input, then the quit request, then painting.
    if (Take(s.posted, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove))
        return TRUE;
    PumpXEvents();
    CheckScreenSaver();
    if (Take(s.posted, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove))
        return TRUE;
    if (Take(s.input, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove))
        return TRUE;
    MSG quit = {nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, MessageTime(), {0, 0}};
    if (s.quitPosted && Matches(quit, hWnd, wMsgFilterMin, wMsgFilterMax)) {
        *lpMsg = quit;
        if (remove)
            s.quitPosted = false;
        return TRUE;
    }
    for (WindowRecord& w : s.windows) {
        MSG paint = {HandleOf(&w), WM_PAINT, 0, 0, MessageTime(), {0, 0}};
        if (FindWindow(HandleOf(&w)) && w.needsPaint && Matches(paint, hWnd, wMsgFilterMin, wMsgFilterMax)) {
            // Painting is not removed from the queue: it ends when the window is validated.
            *lpMsg = paint;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg)
        return FALSE;
    if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_KEYUP && lpMsg->message != WM_SYSKEYDOWN &&
        lpMsg->message != WM_SYSKEYUP)
        return FALSE;
    if (lpMsg->message == WM_KEYDOWN) {
        WPARAM vk = lpMsg->wParam;
        bool shift = State().keys[VK_SHIFT].down;
        WPARAM ch = 0;
        if (vk >= 'A' && vk <= 'Z')
            ch = shift ? vk : vk + ('a' - 'A');
        else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE ||
                 vk == VK_BACK || vk == VK_TAB)
            ch = vk;
        if (ch)
            Post(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg)
        return 0;
    WindowRecord* w = FindWindow(lpMsg->hwnd);
    if (!w)
        return 0;
    return w->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !FindWindow(hWnd))
        return FALSE;
    return Post(hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    // The one thread of the program owns the one queue.
    if (idThread != GetCurrentThreadId())
        return FALSE;
    return Post(nullptr, Msg, wParam, lParam) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = FindWindow(hWnd);
    if (!w)
        return 0;
    return w->proc(hWnd, Msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
    Win32State& s = State();
    s.quitPosted = true;
    s.quitCode = nExitCode;
}
