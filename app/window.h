// The main window: its class record (filled before main runs), its procedure, and the handle
// that main stores when it creates the window.
#pragma once

#include <windows.h>

extern const char* appName;
extern WNDCLASSEXA windowClass;
extern HWND hwnd;

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
