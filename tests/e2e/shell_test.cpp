// The built program under Xvfb: it opens its window, reports the frame rate about once a second,
// and ends with exit code 0 on Escape or on the close box, or 1 when there is no display.
#include "program.h"

#include <filesystem>

namespace {

void CopyDefaultShader(const Scratch& scratch) {
    std::filesystem::copy_file(SourceDir() + "/main.fx", scratch.Path("main.fx"));
}

class ProgramOnX : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        CopyDefaultShader(scratch_);
    }
    void TearDown() override { XCloseDisplay(display_); }
    Display* display_ = nullptr;
    Scratch scratch_;
};

TEST_F(ProgramOnX, EscapeQuitsWithExitCodeZeroAfterFrameRateReports) {
    Program program(scratch_);
    Window window = FindProgramWindow(display_);
    ASSERT_NE(window, 0u) << program.Stdout() << program.Stderr();
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, window, &attributes);
    EXPECT_EQ(attributes.width, 1280);
    EXPECT_EQ(attributes.height, 720);

    // The window shows before the device starts; on a loaded machine frames may take long.
    auto start = std::chrono::steady_clock::now();
    for (int waited = 0; waited < 600 && FrameRateLines(program.Stdout()) < 2; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(program.WaitExit(10), 0) << program.Stderr();
    int reports = FrameRateLines(program.Stdout());
    EXPECT_GE(reports, 2) << program.Stdout();
    EXPECT_LE(reports, seconds + 2) << "reports come about once a second";
}

TEST_F(ProgramOnX, TheCloseBoxQuitsWithExitCodeZero) {
    Program program(scratch_);
    Window window = FindProgramWindow(display_);
    ASSERT_NE(window, 0u) << program.Stdout() << program.Stderr();
    RequestClose(display_, window);
    EXPECT_EQ(program.WaitExit(10), 0) << program.Stderr();
}

TEST(ProgramWithoutDisplay, SaysItCannotCreateTheWindowAndFails) {
    Scratch scratch;
    CopyDefaultShader(scratch);
    Program program(scratch, false);
    EXPECT_EQ(program.WaitExit(10), 1);
    EXPECT_NE(program.Stderr().find("ERROR : Can't Create Window\n"), std::string::npos) << program.Stderr();
    EXPECT_EQ(program.Stdout(), "");
}

} // namespace
