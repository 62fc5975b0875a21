#include "state.h"

#include <cstring>
#include <strings.h>

using namespace platform::win32;

namespace {

// Distinct non-null handles for the stock objects the program asks for; nothing draws with them.
char moduleAnchor;
char stockIcon;
char stockCursor;
char stockBlackBrush;

} // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName)
        return nullptr;
    return reinterpret_cast<HMODULE>(&moduleAnchor);
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (hInstance || lpIconName != IDI_APPLICATION)
        return nullptr;
    return reinterpret_cast<HICON>(&stockIcon);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    if (hInstance || lpCursorName != IDC_ARROW)
        return nullptr;
    return reinterpret_cast<HCURSOR>(&stockCursor);
}

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i != BLACK_BRUSH)
        return nullptr;
    return &stockBlackBrush;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXA) || !lpwcx->lpfnWndProc || !lpwcx->lpszClassName)
        return 0;
    size_t length = std::strlen(lpwcx->lpszClassName);
    Win32State& s = State();
    if (length == 0 || length >= sizeof s.classes[0].name)
        return 0;
    int freeSlot = -1;
    for (int i = 0; i < kMaxClasses; ++i) {
        if (s.classes[i].used && strcasecmp(s.classes[i].name, lpwcx->lpszClassName) == 0)
            return 0; // already registered
        if (!s.classes[i].used && freeSlot < 0)
            freeSlot = i;
    }
    if (freeSlot < 0)
        return 0;
    WindowClass& c = s.classes[freeSlot];
    c.used = true;
    std::memcpy(c.name, lpwcx->lpszClassName, length + 1);
    c.record = *lpwcx;
    c.record.lpszClassName = c.name;
    // Class atoms live in 0xC000..0xFFFF on Windows.
    return static_cast<ATOM>(0xC000 + freeSlot);
}
