// The main window's procedure: what it turns into a quit request, what it swallows, and what it
// hands on to DefWindowProcA (and with which lParam).
#include <testing.h>
#include <window.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowProcedure, EachMessageQuitsSwallowsOrReachesDefWindowProc) {
    const struct {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        bool quits, handedOn; // handed to DefWindowProcA, with `lParam` as below
        LPARAM handedLParam;
    } cases[] = {
        {WM_KEYDOWN, VK_ESCAPE, 0x00010001, true, true, 0x00010001},
        {WM_KEYDOWN, VK_F5, 0, false, true, 0},
        // Handed on, these would destroy the window.
        {WM_CLOSE, 0, 0, true, false, 0},
        {WM_DESTROY, 0, 0, true, false, 0},
        // The low four bits of the command are the system's own and do not change the answer.
        {WM_SYSCOMMAND, SC_SCREENSAVE | 3, 2, false, false, 0},
        {WM_SYSCOMMAND, SC_MONITORPOWER | 0xF, 2, false, false, 0},
        {WM_SYSCOMMAND, SC_MINIMIZE, 0, false, true, 0},
        {WM_SYSCOMMAND, SC_CLOSE, 0, false, true, 0},
        // The input method's windows are not shown: the ISC_SHOWUI bits go.
        {WM_IME_SETCONTEXT, 1, (LPARAM)0xC000000F, false, true, 0},
        {WM_IME_SETCONTEXT, 1, 0x3FFFFFFF, false, true, 0x3FFFFFF0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << c.msg << ", wParam 0x" << c.wParam);
        const unsigned long before = fxtest::DefWindowProcCalls();
        const LRESULT result = WndProc(NULL, c.msg, c.wParam, c.lParam);
        MSG quit;
        EXPECT_EQ(PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != 0, c.quits);
        EXPECT_EQ(fxtest::DefWindowProcCalls() - before, c.handedOn ? 1u : 0u);
        if (c.handedOn) {
            const MSG handed = fxtest::LastDefWindowProc();
            EXPECT_EQ(handed.message, c.msg);
            EXPECT_EQ(handed.wParam, c.wParam);
            EXPECT_EQ(handed.lParam, c.handedLParam);
        } else {
            EXPECT_EQ(result, 0);
        }
    }
}

} // namespace
