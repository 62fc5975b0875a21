// main itself, in a fresh process each: a quit request taken with messages waiting behind it ends
// the loop after exactly one more frame step and leaves those messages unprocessed; the clock's
// first step is that since its own first tick read; and a window class already registered ends main
// with exit code 1 and nothing printed (the class table is the process's own, so only a test inside
// the process can register the class first).
#include "child.h"
#include "text.h"

#include <scene.h>
#include <testing.h>
#include <window.h>

#include <filesystem>

int FxviewMain(int argc, char** argv);

namespace {

TEST(MessageLoop, QuitWithMessagesBehindItRunsOneMoreFrameStep) {
    // The program reads main.fx from the current directory.
    const char* source = std::getenv("FXVIEW_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::filesystem::copy_file(std::string(source) + "/main.fx", "main.fx",
                               std::filesystem::copy_options::overwrite_existing);
    std::string out = StdoutOfChild([&] {
        // Each tick read is a second later, so every frame step prints one frame-rate report, and
        // the clock's first step is one second: not the tick itself.
        fxtest::SetTick(0x10000000, 1000);
        PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        const int exitCode = FxviewMain(0, nullptr);
        MSG msg;
        const bool kept = PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_REMOVE) && msg.message == WM_USER;
        std::printf("exit %d, kept %d, clock %g\n", exitCode, kept ? 1 : 0, SceneConstants.time);
    });
    EXPECT_NE(out.find("exit 0, kept 1, clock 1\n"), std::string::npos) << out;
    EXPECT_EQ(Count(out, " fps"), 1) << "frame steps after the quit request:\n" << out;
}

TEST(MessageLoop, AWindowClassAlreadyRegisteredExitsWithOneAndPrintsNothing) {
    std::string out = StdoutOfChild([] {
        windowClass.hInstance = GetModuleHandleA(NULL);
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        // A main that went on regardless would end after one frame step, not hang the test.
        PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
        EXPECT_EQ(FxviewMain(0, nullptr), 1);
        EXPECT_EQ(fxtest::LiveObjects("HWND"), 0) << "no window";
    });
    EXPECT_EQ(out, "");
}

} // namespace
