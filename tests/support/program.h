// Runs the built fxview as a user would: in a directory of its own with a main.fx, its console
// going to files, and finds its window on the X display.
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

#include "text.h"
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline std::string SourceDir() {
    const char* dir = std::getenv("FXVIEW_SOURCE_DIR");
    return dir ? dir : ".";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A scratch directory that holds main.fx and the program's console output.
struct Scratch {
    std::filesystem::path dir;
    Scratch() {
        char name[] = "/tmp/fxview-test-XXXXXX";
        dir = mkdtemp(name);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
};

class Program {
  public:
    // Starts the binary in `dir`; `withDisplay` false runs it with no DISPLAY at all. `display`
    // names another X display to run on; the Vulkan validation layer is on unless `validation` is off.
    // `beforeStart` runs in the new process just before the binary starts, with the console redirected.
    Program(const Scratch& scratch, bool withDisplay = true, const std::string& display = "",
            bool validation = true, const std::function<void()>& beforeStart = {})
        : scratch_(scratch) {
        const char* binary = std::getenv("FXVIEW_BINARY");
        std::string path = binary ? binary : "fxview";
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(scratch.dir.c_str()) != 0)
                _exit(127);
            freopen("stdout.txt", "w", stdout);
            freopen("stderr.txt", "w", stderr);
            if (!withDisplay)
                unsetenv("DISPLAY");
            else if (!display.empty())
                setenv("DISPLAY", display.c_str(), 1);
            if (validation)
                setenv("FXVIEW_VALIDATION", "1", 1);
            if (beforeStart)
                beforeStart();
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The exit code, or -1 when the program is still running after `seconds`.
    int WaitExit(double seconds) {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    pid_t Pid() const { return pid_; }
    std::string Stdout() const { return ReadFile(scratch_.Path("stdout.txt")); }
    std::string Stderr() const { return ReadFile(scratch_.Path("stderr.txt")); }

  private:
    const Scratch& scratch_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

// The top-level window titled "test", waited for up to `seconds`; 0 if none appears.
inline Window FindProgramWindow(Display* display, double seconds = 10) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display, root, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                char* name = nullptr;
                if (XFetchName(display, children[i], &name) && name) {
                    if (std::string(name) == "test")
                        found = children[i];
                    XFree(name);
                }
            }
            XFree(children);
        }
        if (found) {
            XWindowAttributes attributes;
            XGetWindowAttributes(display, found, &attributes);
            if (attributes.map_state == IsViewable)
                return found;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
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

// Counts the frame-rate reports in the console text; each must read "<rate> fps" and twelve blanks.
inline int FrameRateLines(const std::string& out) {
    int count = 0;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        // The dispatch line ends in a carriage return: the report is written over it.
        std::string report =
            line.substr(line.find_last_of('\r') == std::string::npos ? 0 : line.find_last_of('\r') + 1);
        size_t fps = report.find(" fps");
        if (fps == std::string::npos)
            continue;
        EXPECT_EQ(report.substr(fps), " fps            ") << "report: " << report;
        ++count;
    }
    return count;
}
