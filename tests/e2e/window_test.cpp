// The built program through a misbehaving window: resized to 1 x 1 and past the screen, minimised
// and restored, closed in the middle of a reload, and its X server going away. It never crashes or
// hangs, its validation layer stays silent, and it ends as it should.
#include "program.h"

#include <csignal>
#include <cstdio>
#include <filesystem>

namespace {

void CopyDefaultShader(const Scratch& scratch) {
    std::filesystem::copy_file(SourceDir() + "/main.fx", scratch.Path("main.fx"));
}

void Settle(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class WindowAbuse : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        CopyDefaultShader(scratch_);
    }
    void TearDown() override { XCloseDisplay(display_); }
    void ExpectCleanStderr(const Program& program) {
        std::string err = program.Stderr();
        EXPECT_EQ(err.find("validation"), std::string::npos) << err;
        EXPECT_EQ(err.find("failed"), std::string::npos) << err;
    }
    void Quit(Program& program, Window window) {
        RequestClose(display_, window);
        EXPECT_EQ(program.WaitExit(15), 0) << program.Stderr();
    }
    Display* display_ = nullptr;
    Scratch scratch_;
};

TEST_F(WindowAbuse, ResizedMinimisedAndRestoredItKeepsDrawing) {
    Program program(scratch_);
    Window window = FindProgramWindow(display_);
    ASSERT_NE(window, 0u) << program.Stderr();
    Settle(1000);
    for (auto [w, h] : {std::pair{1u, 1u}, {3000u, 2000u}, {640u, 360u}, {1280u, 720u}}) {
        XResizeWindow(display_, window, w, h);
        XSync(display_, False);
        Settle(700);
    }
    XUnmapWindow(display_, window); // what a window manager does to minimise
    XSync(display_, False);
    Settle(1000);
    XMapWindow(display_, window);
    XSync(display_, False);
    Settle(1500);
    size_t before = program.Stdout().size();
    Settle(1500);
    EXPECT_GT(Count(program.Stdout().substr(before), "Dispatch X=40,  y=22\r"), 0)
        << "frames after restoring";
    Quit(program, window);
    ExpectCleanStderr(program);
}

TEST_F(WindowAbuse, ClosedDuringAReloadItQuitsCleanly) {
    Program program(scratch_);
    Window window = FindProgramWindow(display_);
    ASSERT_NE(window, 0u) << program.Stderr();
    Settle(500);
    ASSERT_EQ(std::system("xdotool keydown F5"), 0);
    Settle(300);
    RequestClose(display_, window);
    EXPECT_EQ(program.WaitExit(15), 0) << program.Stderr();
    ASSERT_EQ(std::system("xdotool keyup F5"), 0);
    EXPECT_GE(Count(program.Stdout(), "Loaded.\n"), 2) << "reloads ran while F5 was held";
    ExpectCleanStderr(program);
}

// An X server of the test's own, so that it can be killed under the program. Its display number is
// the first one from 40 on with no lock file.
struct OwnXServer {
    pid_t pid = -1;
    std::string name;
    OwnXServer() {
        int number = 40;
        while (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            ++number;
        name = ":" + std::to_string(number);
        pid = fork();
        if (pid == 0) {
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    ~OwnXServer() { Kill(); }
};

TEST_F(WindowAbuse, TheXServerGoingAwayEndsItWithAMessage) {
    OwnXServer server;
    ASSERT_FALSE(server.name.empty());
    Display* own = nullptr;
    for (int tries = 0; tries < 100 && !own; ++tries, Settle(100))
        own = XOpenDisplay(server.name.c_str());
    ASSERT_NE(own, nullptr) << "display " << server.name;
    Program program(scratch_, true, server.name);
    ASSERT_NE(FindProgramWindow(own), 0u) << program.Stderr();
    XCloseDisplay(own); // before its server goes, which would end this process too
    for (int waited = 0; waited < 100 && program.Stdout().find("Dispatch") == std::string::npos; ++waited)
        Settle(100);
    server.Kill();
    int code = program.WaitExit(15);
    EXPECT_NE(code, -1) << "still running 15 s after its X server went away";
    EXPECT_NE(code, 0) << program.Stderr();
    EXPECT_NE(program.Stderr().find("the connection to the X display was lost"), std::string::npos)
        << program.Stderr();
}

} // namespace
