#include "state.h"

namespace platform::win32 {

DefWindowProcLog& Log() {
    static DefWindowProcLog log;
    return log;
}

void RecordDefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    DefWindowProcLog& log = Log();
    ++log.calls;
    log.last = MSG{nullptr, msg, wParam, lParam, 0, {0, 0}};
}

} // namespace platform::win32

using namespace platform::win32;

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    RecordDefWindowProc(Msg, wParam, lParam);
    WindowRecord* w = FindWindow(hWnd);
    switch (Msg) {
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_PAINT:
        if (w)
            w->needsPaint = false;
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            return SendMessageA(hWnd, WM_CLOSE, 0, 0);
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            State().saverAllowed = true;
            return 0;
        case SC_MINIMIZE:
            ShowWindow(hWnd, SW_MINIMIZE);
            return 0;
        case SC_RESTORE:
            ShowWindow(hWnd, SW_RESTORE);
            return 0;
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes, as the system menu's accelerator does on Windows.
        if (wParam == VK_F4)
            return SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    return 0;
}
