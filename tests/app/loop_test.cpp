// The message loop of main: a quit request taken with messages waiting behind it ends the loop
// after exactly one more frame step, and leaves those messages unprocessed.
#include "child.h"

#include <testing.h>
#include <windows.h>

#include <filesystem>

int FxviewMain(int argc, char** argv);

namespace {

TEST(MessageLoop, QuitWithMessagesBehindItRunsOneMoreFrameStep) {
    // The program reads main.fx from the current directory.
    const char* source = std::getenv("FXVIEW_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::filesystem::copy_file(std::string(source) + "/main.fx", "main.fx",
                               std::filesystem::copy_options::overwrite_existing);
    int exitCode = -1;
    bool behindKept = false;
    std::string out = StdoutOfChild([&] {
        // Each tick read is a second later, so every frame step prints one frame-rate report.
        fxtest::SetTick(0, 1000);
        PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        exitCode = FxviewMain(0, nullptr);
        MSG msg;
        behindKept = PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_REMOVE) && msg.message == WM_USER;
        std::printf("exit %d, kept %d\n", exitCode, behindKept ? 1 : 0);
    });
    EXPECT_NE(out.find("exit 0, kept 1\n"), std::string::npos) << out;
    size_t reports = 0;
    for (size_t at = out.find(" fps"); at != std::string::npos; at = out.find(" fps", at + 1))
        ++reports;
    EXPECT_EQ(reports, 1u) << "frame steps after the quit request:\n" << out;
}

} // namespace
