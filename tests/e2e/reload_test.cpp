// The built program as a shader author uses it: the image comes from main.fx, an edit followed by
// F5 pressed while another window has the focus brings in the new shader, and Escape quits.
#include "program.h"

namespace {

using ProgramReload = ProgramTest;

TEST_F(ProgramReload, F5FromAnotherWindowBringsInTheEditedShader) {
    const Window window = Start(Solid("1, 0, 0"));
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(Shows(display, window, 0xFF0000, 20)) << "the first shader's red";

    // The editor saves the file and keeps the focus.
    WriteFile(scratch.Path("main.fx"), Solid("0, 1, 0"));
    const Window editor = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
    XMapWindow(display, editor);
    XSync(display, False);
    XSetInputFocus(display, editor, RevertToParent, CurrentTime);
    XSync(display, False);
    ASSERT_EQ(std::system("xdotool key F5"), 0);
    EXPECT_TRUE(Shows(display, window, 0x00FF00, 20)) << "the edited shader's green";

    Pause(1200);
    Quit(window);
    const std::string out = Stdout();
    EXPECT_NE(out.find("Dispatch X=40,  y=22\r"), std::string::npos);
    EXPECT_GE(Count(out, " fps            \n"), 1);
    EXPECT_EQ(Count(out, "Loaded.\n"), 2) << "start-up and one F5";
    XDestroyWindow(display, editor);
}

} // namespace
