#include "d3d.h"
#include "fps.h"
#include "scene.h"
#include "window.h"

#include <windows.h>

int appArgc = 0;
char** appArgv = NULL;

void FrameUpdate() {
    UpdateFps();
    UpdateTime();
    // The key state of the whole display: F5 reloads while the shader's editor has the focus, and
    // on every frame while it is held.
    if (GetAsyncKeyState(VK_F5))
        SceneLoad();
    if (pVertexShader && pPixelShader && pConstant && pComputeShader)
        SceneFrame();
}

int main(int argc, char** argv) {
    appArgc = argc;
    appArgv = argv;

    RECT rect;
    SetRect(&rect, 0, 0, 1280, 720);
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;

    windowClass.hInstance = GetModuleHandleA(NULL);
    if (!RegisterClassExA(&windowClass))
        return 1;

    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    hwnd = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, appName, appName, WS_OVERLAPPEDWINDOW, x, y,
                           width, height, NULL, NULL, windowClass.hInstance, NULL);
    if (!hwnd) {
        OutputDebugStringA("ERROR : Can't Create Window");
        // A window that cannot be made is a failure, and the exit code says so.
        return 1;
    }

    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);

    HRESULT hr = D3DInit(hwnd, 1280, 720, "main.fx");
    if (hr != 0) {
        // Nothing to show: release what was made, and say in the exit code that start-up failed.
        SceneRelease();
        D3DRelease();
        return 1;
    }
    SceneLoad();

    bool quit = false;
    MSG msg;
    while (!quit) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        FrameUpdate();
    }
    SceneRelease();
    D3DRelease();
    return 0;
}
