// The built program through its window: an edit followed by F5 pressed while another window has the
// focus brings in the new shader; its X server going away ends it with a message, not a crash or a
// hang.
#include "program.h"

namespace {

using ProgramWindow = ProgramTest;

TEST_F(ProgramWindow, F5FromAnotherWindowBringsInTheEditedShader) {
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

    Quit(window);
    EXPECT_EQ(Count(Stdout(), "Loaded.\n"), 2) << "start-up and one F5";
    XDestroyWindow(display, editor);
}

// An X server of the test's own, so that it can be killed under the program. It picks a free display
// number itself and writes it to a pipe, so that tests starting servers side by side do not race.
struct OwnXServer {
    pid_t pid = -1;
    std::string name;
    OwnXServer() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        if ((pid = fork()) == 0) {
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[16] = {};
        if (read(fds[0], number, sizeof number - 1) > 0 && number[0] != '\n')
            name = ":" + std::to_string(std::atoi(number));
        close(fds[0]);
    }
    ~OwnXServer() { Kill(); }
    void Kill() {
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

TEST_F(ProgramWindow, TheXServerGoingAwayEndsItWithAMessage) {
    OwnXServer server;
    ASSERT_FALSE(server.name.empty()) << "Xvfb gave no display number";
    Display* own = nullptr;
    ASSERT_TRUE(Within(10, [&] { return (own = XOpenDisplay(server.name.c_str())) != nullptr; }))
        << server.name;
    XCloseDisplay(own); // before its server goes, which would end this process too
    WriteFile(scratch.Path("main.fx"), ReadFile(SourceDir() + "/main.fx"));
    Run([&server] { setenv("DISPLAY", server.name.c_str(), 1); });
    ASSERT_NE(FindProgramWindow(server.name), 0u) << Stderr();
    Says("Dispatch", 1, 10);
    server.Kill();
    const int code = WaitExit(15);
    EXPECT_NE(code, -1) << "still running 15 s after its X server went away";
    EXPECT_NE(code, 0) << Stderr();
    EXPECT_NE(Stderr().find("the connection to the X display was lost"), std::string::npos) << Stderr();
}

} // namespace
