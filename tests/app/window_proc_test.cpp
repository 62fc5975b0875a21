// The main window's procedure: what it turns into a quit request, what it swallows, and what it
// hands on to DefWindowProcA (and with which lParam).
#include <testing.h>
#include <window.h>

#include <gtest/gtest.h>

namespace {

// True when a quit request is pending; takes it off the queue.
bool TakeQuit() {
    MSG msg;
    if (!PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    return msg.message == WM_QUIT;
}

struct Call {
    LRESULT result;
    unsigned long defCalls; // DefWindowProcA calls made by this one
};

Call Deliver(UINT msg, WPARAM wParam, LPARAM lParam) {
    unsigned long before = fxtest::DefWindowProcCalls();
    LRESULT result = WndProc(NULL, msg, wParam, lParam);
    return {result, fxtest::DefWindowProcCalls() - before};
}

TEST(WindowProcedure, EscapeQuitsAndStillReachesDefWindowProc) {
    Call c = Deliver(WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(TakeQuit());
    EXPECT_EQ(c.defCalls, 1u);
    EXPECT_EQ(fxtest::LastDefWindowProc().message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(fxtest::LastDefWindowProc().wParam, (WPARAM)VK_ESCAPE);
}

TEST(WindowProcedure, OtherKeysDoNotQuit) {
    for (WPARAM key : {(WPARAM)'A', (WPARAM)VK_F5, (WPARAM)VK_SPACE}) {
        Call c = Deliver(WM_KEYDOWN, key, 0);
        EXPECT_FALSE(TakeQuit()) << "key " << key;
        EXPECT_EQ(c.defCalls, 1u);
    }
}

TEST(WindowProcedure, CloseAndDestroyQuitWithoutDefWindowProc) {
    for (UINT msg : {(UINT)WM_CLOSE, (UINT)WM_DESTROY}) {
        Call c = Deliver(msg, 0, 0);
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(c.defCalls, 0u) << "message " << msg << " reached DefWindowProcA, which would destroy the window";
        EXPECT_TRUE(TakeQuit());
    }
}

TEST(WindowProcedure, ScreenSaverAndMonitorPowerAreSwallowed) {
    // The low four bits of the command are the system's own and do not change the answer.
    for (WPARAM command : {(WPARAM)SC_SCREENSAVE, (WPARAM)SC_MONITORPOWER, (WPARAM)(SC_SCREENSAVE | 3),
                           (WPARAM)(SC_MONITORPOWER | 0xF)}) {
        Call c = Deliver(WM_SYSCOMMAND, command, 2);
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(c.defCalls, 0u) << "command 0x" << std::hex << command;
    }
    EXPECT_FALSE(TakeQuit());
}

TEST(WindowProcedure, OtherSystemCommandsGoToDefWindowProc) {
    for (WPARAM command : {(WPARAM)SC_MINIMIZE, (WPARAM)SC_MOVE, (WPARAM)SC_CLOSE}) {
        Call c = Deliver(WM_SYSCOMMAND, command, 0);
        EXPECT_EQ(c.defCalls, 1u) << "command 0x" << std::hex << command;
        EXPECT_EQ(fxtest::LastDefWindowProc().wParam, command);
    }
}

TEST(WindowProcedure, ImeContextLosesItsShowUiBits) {
    Call c = Deliver(WM_IME_SETCONTEXT, 1, (LPARAM)0xC000000F);
    EXPECT_EQ(c.defCalls, 1u);
    EXPECT_EQ(fxtest::LastDefWindowProc().lParam, (LPARAM)0);
    Deliver(WM_IME_SETCONTEXT, 1, (LPARAM)0x3FFFFFFF);
    EXPECT_EQ(fxtest::LastDefWindowProc().lParam, (LPARAM)0x3FFFFFF0);
}

TEST(WindowClass, RecordIsFilledBeforeMain) {
    EXPECT_EQ(windowClass.cbSize, 80u);
    EXPECT_EQ(windowClass.style, 0x43u);
    EXPECT_EQ(windowClass.lpfnWndProc, &WndProc);
    EXPECT_STREQ(windowClass.lpszClassName, "test");
    EXPECT_NE(windowClass.hIcon, nullptr);
    EXPECT_NE(windowClass.hCursor, nullptr);
    EXPECT_NE(windowClass.hbrBackground, nullptr);
    EXPECT_EQ(windowClass.hIconSm, nullptr);
}

} // namespace
