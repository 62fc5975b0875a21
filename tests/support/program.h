// Runs the built fxview as a user would: in a directory of its own with a main.fx, its console
// going to files, and finds its window on the X display, looks at it and types into it.
#pragma once

// gtest before Xlib, whose macros (None, Bool) would rewrite gtest's names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "files.h"
#include "text.h"
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// True once `done` holds, asked every 50 ms for up to `seconds`.
inline bool Within(double seconds, const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        Pause(50);
    }
    return true;
}

// The shown window titled "test" on `displayName` (the test's own when empty), waited for up to 10
// s; 0 when none appears.
inline Window FindProgramWindow(const std::string& displayName = "") {
    const std::string command = (displayName.empty() ? "" : "DISPLAY=" + displayName + " ") +
                                "timeout 10 xdotool search --sync --onlyvisible --name '^test$' 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    unsigned long window = 0;
    if (out && std::fscanf(out, "%lu", &window) != 1)
        window = 0;
    if (out)
        pclose(out);
    return window;
}

// Sends the window manager's close request, as a click on the close box does.
inline void RequestClose(Display* display, Window window) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &e);
    XFlush(display);
}

// Types `key` into the window, which takes the focus first.
inline void Key(Window window, const char* key) {
    const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key " + key;
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// True when the probe points of the first 704 rows (those 40 x 22 groups of 32 x 32 cover) all
// show `rgb` (0xRRGGBB) within `seconds`.
inline bool Shows(Display* display, Window window, unsigned long rgb, double seconds) {
    return Within(seconds, [&] {
        for (auto [x, y] : {std::pair{0, 0}, {1279, 0}, {640, 360}, {0, 703}, {1279, 703}}) {
            XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
            const unsigned long pixel = image ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0xFFFFFFFF;
            if (image)
                XDestroyImage(image);
            if (pixel != rgb)
                return false;
        }
        return true;
    });
}

// A shader whose compute stage runs `compute` and pixel stage `pixel`, with `cell` the thread's or
// the pixel's cell of the screen buffer (screenOut at u0, screenIn at u1).
inline std::string Shader(const std::string& compute, const std::string& pixel) {
    std::string text = R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) { uint cell = id.y * 1280 + id.x; COMPUTE }
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint cell = uint(position.y) * 1280 + uint(position.x); PIXEL }
)";
    text.replace(text.find("COMPUTE"), 7, compute);
    return text.replace(text.find("PIXEL"), 5, pixel);
}

// A shader whose image is one colour, "r, g, b", made by the compute stage and shown by the pixel stage.
inline std::string Solid(const std::string& rgb) {
    return Shader("screenOut[cell] = float4(" + rgb + ", 1) + time * 0.0;", "return screenIn[cell];");
}

// The test's X display and a scratch folder, in which the built program runs.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A window that goes away while it is read (the program ended) reads as no colour.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        Stop();
        if (display)
            XCloseDisplay(display);
    }

    // Starts the program in the scratch folder with the Vulkan validation layer on, once the one
    // started before has been ended. `beforeStart` runs in the new process just before the binary
    // starts, with the console redirected to files.
    void Run(const std::function<void()>& beforeStart = {}) {
        Stop();
        const char* binary = std::getenv("FXVIEW_BINARY");
        const std::string path = binary ? binary : "fxview";
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(scratch.dir.c_str()) != 0)
                _exit(127);
            freopen("stdout.txt", "w", stdout);
            freopen("stderr.txt", "w", stderr);
            setenv("FXVIEW_VALIDATION", "1", 0);
            if (beforeStart)
                beforeStart();
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Runs the program on `shader`, the default main.fx when empty, and returns its window (0 when
    // none showed, which has failed the test).
    Window Start(const std::string& shader = "", const std::function<void()>& beforeStart = {}) {
        WriteFile(scratch.Path("main.fx"), shader.empty() ? ReadFile(SourceDir() + "/main.fx") : shader);
        Run(beforeStart);
        const Window window = FindProgramWindow();
        if (!window)
            ADD_FAILURE() << "no window; standard output:\n" << Stdout() << Stderr();
        return window;
    }
    void Stop() {
        if (pid_ > 0)
            kill(pid_, SIGKILL);
        WaitExit(10);
    }
    // Sends `signal` to the running program.
    void Signal(int signal) const {
        if (pid_ > 0)
            kill(pid_, signal);
    }
    // The exit code, or -1 when the program is still running after `seconds`.
    int WaitExit(double seconds) {
        int status = 0;
        if (pid_ <= 0 || !Within(seconds, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Escape, or the close box: the program ends with exit code 0 within `seconds`.
    void Quit(Window window, bool closeBox = false, double seconds = 10) {
        if (closeBox)
            RequestClose(display, window);
        else
            Key(window, "Escape");
        EXPECT_EQ(WaitExit(seconds), 0) << Stderr();
    }

    std::string Stdout() const { return ReadFile(scratch.Path("stdout.txt")); }
    std::string Stderr() const { return ReadFile(scratch.Path("stderr.txt")); }
    // The program ran under the validation layer, which reported nothing (its hints aside).
    bool Validated() const {
        const std::string text = Stderr();
        return text.find("fxview vulkan validation") == std::string::npos &&
               text.find("VK_LAYER_KHRONOS_validation is not installed") == std::string::npos;
    }
    // `text` said `times` times on standard output (or error) within `seconds`.
    bool Says(const std::string& text, int times, double seconds, bool error = false) const {
        return Within(seconds, [&] { return Count(error ? Stderr() : Stdout(), text) >= times; });
    }

    Display* display = nullptr;
    Scratch scratch;

  private:
    pid_t pid_ = -1;
};
