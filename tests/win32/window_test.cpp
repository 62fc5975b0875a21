// The Win32 stand-in on a real X server: window geometry, the message queue (its order, its ring
// and its limit), the close box, resizing and minimising, the keys and the screen saver.
// gtest before Xlib, whose macros (None, Bool) would rewrite gtest's names.
#include <gtest/gtest.h>

#include "program.h"

#include "state.h"

#include <testing.h>
#include <windows.h>
#include <x11_window.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

std::vector<MSG> received;
bool swallowSaver = false;

// Records what the window receives and lets everything but WM_CLOSE (and a screen-saver request
// while `swallowSaver`) reach DefWindowProcA, which would destroy the window.
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    received.push_back(MSG{hwnd, msg, wParam, lParam, 0, {0, 0}});
    if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SCREENSAVE && swallowSaver))
        return 0;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeWindow(const char* cls, int x, int y, int clientWidth, int clientHeight) {
    RECT rect;
    SetRect(&rect, 0, 0, clientWidth, clientHeight);
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
    HWND hwnd = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, cls, cls, WS_OVERLAPPEDWINDOW, x, y,
                                rect.right - rect.left, rect.bottom - rect.top, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The window's X window, for the X server to be asked or told about it.
// The window's X id, once the server has carried out every request the layer sent: the server does
// not order one client's requests after another's, so another client's query could come first.
Window XWindowOf(HWND hwnd) {
    Display* display = nullptr;
    Window xwindow = 0;
    EXPECT_TRUE(platform::win32::X11WindowOf(hwnd, &display, &xwindow));
    if (display)
        XSync(display, False);
    return xwindow;
}

// Pumps messages until `done` holds or about two seconds pass.
template <typename Pred> bool PumpUntil(Pred done, long ms = 2000) {
    for (long waited = 0; waited < ms; waited += 10) {
        Pump();
        if (done())
            return true;
        usleep(10 * 1000);
    }
    return false;
}

bool Received(UINT msg, WPARAM wParam) {
    return std::any_of(received.begin(), received.end(),
                       [&](const MSG& m) { return m.message == msg && m.wParam == wParam; });
}

ATOM Register(const char* name) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc);
}

// A second client of the same X server: what another program (a window manager, an editor) sees.
struct OtherClient {
    Display* display = XOpenDisplay(nullptr);
    ~OtherClient() { XCloseDisplay(display); }
};

class Win32OnX : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Register("recording"); }
    void SetUp() override { received.clear(); }
};

TEST_F(Win32OnX, FrameMetricsLeaveAnExactClientAreaAndUnknownClassesMakeNoWindow) {
    using Size = std::pair<long, long>;
    RECT rect;
    SetRect(&rect, 0, 0, 1280, 720);
    ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    EXPECT_EQ(Size(rect.right - rect.left, rect.bottom - rect.top), Size(1296, 759));
    OtherClient other;
    const int screen = DefaultScreen(other.display);
    EXPECT_EQ(Size(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
              Size(DisplayWidth(other.display, screen), DisplayHeight(other.display, screen)));

    HWND hwnd = MakeWindow("recording", 312, 160, 1280, 720);
    ASSERT_NE(hwnd, nullptr);
    const Window xwindow = XWindowOf(hwnd);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(other.display, xwindow, &attributes));
    EXPECT_EQ(Size(attributes.width, attributes.height), Size(1280, 720));
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(other.display, xwindow, DefaultRootWindow(other.display), 0, 0, &x, &y, &child);
    EXPECT_EQ(Size(x, y), Size(312 + 8, 160 + 31)) << "the client area inside the frame";
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(Size(rect.left, rect.top), Size(312, 160));
    EXPECT_EQ(Size(rect.right - rect.left, rect.bottom - rect.top), Size(1296, 759));
    DestroyWindow(hwnd);
    EXPECT_EQ(fxtest::LiveObjects("HWND"), 0);

    EXPECT_EQ(MakeWindow("no such class", 0, 0, 100, 100), nullptr);
    EXPECT_EQ(Register("RECORDING"), 0) << "class names are case-insensitive and registered once";
}

TEST_F(Win32OnX, PostedMessagesComeBeforeTheQuitRequestWhichComesBeforePainting) {
    HWND hwnd = MakeWindow("recording", 0, 0, 200, 100);
    PostQuitMessage(7);
    PostMessageA(hwnd, WM_USER, 1, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 2, 0);
    // The window was shown and never painted: painting comes last and stays until validated.
    using Message = std::tuple<HWND, UINT, WPARAM>;
    const Message want[] = {
        {hwnd, WM_USER, 1}, {nullptr, WM_USER + 1, 2}, {nullptr, WM_QUIT, 7}, {hwnd, WM_PAINT, 0}};
    MSG msg;
    for (const Message& w : want) {
        ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) << std::get<1>(w);
        EXPECT_EQ(Message(msg.hwnd, msg.message, msg.wParam), w);
    }
    DispatchMessageA(&msg);
    Pump();
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(Win32OnX, AWrappedQueueGivesUpAFilteredMessageFromItsMiddleAndAFullOneRefusesAPost) {
    using platform::win32::kQueueCapacity;
    Pump();
    platform::win32::MessageRing& ring = platform::win32::State().posted;
    ASSERT_EQ(ring.count, 0);
    ring.head = kQueueCapacity - 2; // empty, so that the next posts run round the ring's end
    const DWORD thread = GetCurrentThreadId();
    for (UINT i = 0; i < 5; ++i)
        ASSERT_TRUE(PostThreadMessageA(thread, WM_USER + i, i, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    for (WPARAM want : {0u, 1u, 2u, 4u}) {
        ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER, WM_USER + 4, PM_REMOVE));
        EXPECT_EQ(msg.wParam, want) << "the others in the order posted";
    }

    int posted = 0;
    while (posted <= kQueueCapacity && PostThreadMessageA(thread, WM_USER, WPARAM(posted), 0))
        ++posted;
    EXPECT_EQ(posted, kQueueCapacity) << "posts until the queue refuses one";
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u) << "the oldest message is kept, not overwritten";
    Pump();
}

// What a window manager does: resize, minimise, restore, and the close box, which asks the procedure
// without destroying the window.
TEST_F(Win32OnX, ResizingMinimisingAndTheCloseBoxReachTheProcedure) {
    HWND hwnd = MakeWindow("recording", 0, 0, 640, 360);
    Window xwindow = XWindowOf(hwnd);
    OtherClient wm;

    XResizeWindow(wm.display, xwindow, 1, 1);
    XFlush(wm.display);
    ASSERT_TRUE(PumpUntil([] { return Received(WM_SIZE, SIZE_RESTORED); }));
    UINT width = 0, height = 0;
    platform::win32::ClientSizeOf(hwnd, &width, &height);
    EXPECT_EQ(width + height, 2u);
    EXPECT_TRUE(std::all_of(received.begin(), received.end(), [](const MSG& m) {
        return m.message != WM_SIZE || m.lParam == ((1 << 16) | 1);
    })) << "WM_SIZE carries the client size, height high";

    XUnmapWindow(wm.display, xwindow);
    XFlush(wm.display);
    ASSERT_TRUE(PumpUntil([] { return Received(WM_SIZE, SIZE_MINIMIZED); }));
    platform::win32::ClientSizeOf(hwnd, &width, &height);
    EXPECT_EQ(width, 0u) << "a minimised window has no client area to draw into";

    received.clear();
    XMapWindow(wm.display, xwindow);
    XResizeWindow(wm.display, xwindow, 800, 600);
    XFlush(wm.display);
    ASSERT_TRUE(PumpUntil([&] {
        platform::win32::ClientSizeOf(hwnd, &width, &height);
        return width == 800u && height == 600u;
    }));
    EXPECT_TRUE(Received(WM_SIZE, SIZE_RESTORED));

    RequestClose(wm.display, xwindow);
    EXPECT_TRUE(PumpUntil([] { return Received(WM_CLOSE, 0); }));
    EXPECT_TRUE(Received(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_FALSE(Received(WM_DESTROY, 0));
    EXPECT_EQ(fxtest::LiveObjects("HWND"), 1);
    DestroyWindow(hwnd);
    EXPECT_TRUE(Received(WM_DESTROY, 0));
}

TEST_F(Win32OnX, KeysAreReadFromTheWholeDisplay) {
    HWND hwnd = MakeWindow("recording", 0, 0, 200, 100);
    // Another program's window has the focus, as the shader editor does.
    OtherClient editor;
    Window other =
        XCreateSimpleWindow(editor.display, DefaultRootWindow(editor.display), 300, 300, 100, 100, 0, 0, 0);
    XMapWindow(editor.display, other);
    XSync(editor.display, False);
    XSetInputFocus(editor.display, other, RevertToParent, CurrentTime);
    XSync(editor.display, False);
    Pump();
    GetAsyncKeyState(VK_F6);
    // Pressed and released between two polls: the next poll still sees the press, once.
    ASSERT_EQ(std::system("xdotool key F6"), 0);
    usleep(200 * 1000);
    EXPECT_EQ(GetAsyncKeyState(VK_F6), 1);
    EXPECT_EQ(GetAsyncKeyState(VK_F6), 0);
    EXPECT_FALSE(Received(WM_KEYDOWN, VK_F6)) << "key messages go to the focused window only";

    XDestroyWindow(editor.display, other);
    XSync(editor.display, False);
    DestroyWindow(hwnd);
}

int altEnterCalls = 0;
void* altEnterContext = nullptr;

void OnAltEnter(void* context) {
    ++altEnterCalls;
    altEnterContext = context;
}

TEST_F(Win32OnX, KeyMessagesReachTheFocusedWindowAndAltEnterItsHandlerToo) {
    HWND hwnd = MakeWindow("recording", 0, 0, 200, 100);
    Window xwindow = XWindowOf(hwnd);
    OtherClient focus;
    XSetInputFocus(focus.display, xwindow, RevertToParent, CurrentTime);
    XSync(focus.display, False);
    int marker = 0;
    altEnterCalls = 0;
    ASSERT_TRUE(platform::win32::SetAltEnterHandler(hwnd, OnAltEnter, &marker));
    ASSERT_EQ(std::system("xdotool key Escape key a key Return key alt+Return"), 0);
    EXPECT_TRUE(PumpUntil([] { return Received(WM_SYSKEYDOWN, VK_RETURN); }));
    for (UINT message : {WM_KEYDOWN, WM_KEYUP})
        EXPECT_TRUE(Received(message, VK_ESCAPE) && Received(message, 'A') && Received(message, VK_RETURN));
    EXPECT_TRUE(Received(WM_CHAR, 'a'));
    EXPECT_EQ(altEnterCalls, 1) << "Alt+Enter, not Enter alone";
    EXPECT_EQ(altEnterContext, &marker);

    ASSERT_TRUE(platform::win32::SetAltEnterHandler(hwnd, nullptr, nullptr));
    received.clear();
    ASSERT_EQ(std::system("xdotool key alt+Return"), 0);
    EXPECT_TRUE(PumpUntil([] { return Received(WM_SYSKEYDOWN, VK_RETURN); }));
    EXPECT_EQ(altEnterCalls, 1) << "after the handler was removed";
    DestroyWindow(hwnd);
    EXPECT_FALSE(platform::win32::SetAltEnterHandler(hwnd, OnAltEnter, &marker)) << "a destroyed window";
}

TEST_F(Win32OnX, ASwallowedScreenSaverRequestKeepsTheSaverAway) {
    HWND hwnd = MakeWindow("recording", 0, 0, 200, 100);
    OtherClient observer;
    XSetScreenSaver(observer.display, 2, 0, DontPreferBlanking, AllowExposures);
    XResetScreenSaver(observer.display);
    XSync(observer.display, False);
    auto saverState = [&] {
        XScreenSaverInfo info = {};
        XScreenSaverQueryInfo(observer.display, DefaultRootWindow(observer.display), &info);
        return info.state;
    };

    swallowSaver = true;
    PumpUntil([] { return false; }, 3500);
    EXPECT_TRUE(Received(WM_SYSCOMMAND, SC_SCREENSAVE));
    EXPECT_EQ(saverState(), ScreenSaverOff);

    swallowSaver = false;
    received.clear();
    EXPECT_TRUE(PumpUntil([&] { return saverState() == ScreenSaverOn; }, 4000))
        << "a request passed to DefWindowProcA lets the saver start";
    EXPECT_TRUE(Received(WM_SYSCOMMAND, SC_SCREENSAVE));
    XSetScreenSaver(observer.display, 0, 0, DontPreferBlanking, AllowExposures);
    XForceScreenSaver(observer.display, ScreenSaverReset);
    XSync(observer.display, False);
    DestroyWindow(hwnd);
}

} // namespace
