// On a screen no larger than the window, the centring arithmetic gives a negative position,
// which is passed on unchanged: the client area starts where the frame would end.
#include "program.h"

#include <filesystem>

namespace {

TEST(ProgramOnSmallScreen, NegativePositionIsPassedOn) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    ASSERT_EQ(DisplayWidth(display, DefaultScreen(display)), 1280);
    Scratch scratch;
    std::filesystem::copy_file(SourceDir() + "/main.fx", scratch.Path("main.fx"));
    Program program(scratch);
    Window window = FindProgramWindow(display);
    ASSERT_NE(window, 0u) << program.Stderr();
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    // Outer frame at ((1280 - 1296) / 2, (720 - 759) / 2) = (-8, -19); client 8 and 31 further in.
    EXPECT_EQ(x, -8 + 8);
    EXPECT_EQ(y, -19 + 31);
    RequestClose(display, window);
    EXPECT_EQ(program.WaitExit(10), 0);
    XCloseDisplay(display);
}

} // namespace
