#include "window.h"

const char* appName = "test";
HWND hwnd = NULL;

// clang-format off
WNDCLASSEXA windowClass = {
    sizeof(WNDCLASSEXA), CS_VREDRAW | CS_HREDRAW | CS_CLASSDC, WndProc, 0, 0, NULL, NULL, NULL, NULL, NULL, NULL, NULL};
// clang-format on

// The parts of the class record that need calls run before main; hInstance is set by main.
static bool InitWindowClass() {
    windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = appName;
    windowClass.hIconSm = NULL;
    return true;
}
static const bool windowClassReady = InitWindowClass();

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
    case WM_CLOSE:
        // Closing ends the program through the loop; the window itself stays until the process ends.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        break;
    case WM_SYSCOMMAND:
        // Keep the screen saver and the monitor's power-down away while shaders run.
        if ((wParam & 0xFFF0) == SC_MONITORPOWER || (wParam & 0xFFF0) == SC_SCREENSAVE)
            return 0;
        break;
    case WM_IME_SETCONTEXT:
        // Clearing the ISC_SHOWUIALL bits hides the input-method windows over the image.
        lParam &= 0x3FFFFFF0;
        break;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}
