// On a screen no larger than the window, the centring arithmetic on the frame's size gives a negative
// position, which is passed on unchanged: the client area starts where the frame would end. The close
// box ends the program with exit code 0.
#include "program.h"

namespace {

using ProgramOnSmallScreen = ProgramTest;

TEST_F(ProgramOnSmallScreen, NegativePositionIsPassedOn) {
    ASSERT_EQ(DisplayWidth(display, DefaultScreen(display)), 1280);
    const Window window = Start();
    ASSERT_NE(window, 0u);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    // Outer frame at ((1280 - 1296) / 2, (720 - 759) / 2) = (-8, -19); client 8 and 31 further in.
    EXPECT_EQ(x, -8 + 8);
    EXPECT_EQ(y, -19 + 31);
    Quit(window, true);
}

} // namespace
