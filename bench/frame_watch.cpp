// frame_watch: the benchmark's eyes and hands on an X display, from outside the programs it measures.
// It reports every frame presented into any mapped window (X Damage: a frame ends with the damage
// that reaches the window's bottom edge), optionally with the colour of the window's centre pixel,
// and presses or releases keys on command (XTest). Times are CLOCK_MONOTONIC nanoseconds.
//
// Commands on standard input, one a line: "sample on", "sample off", "down KEY", "up KEY", "quit"
// (KEY is an X keysym name such as F5). Lines on standard output: "ready" once watching,
// "window ID WxH" when a window is mapped, "frame NS" or "frame NS RRGGBB" per frame, "key NS" after
// each key event has reached the server.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

struct Watched {
    Damage damage;
    int width;
    int height;
};

uint64_t NowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// The colour of the centre pixel as RRGGBB, read back from the server.
unsigned long CentrePixel(Display* display, Window window, const Watched& w) {
    XImage* image = XGetImage(display, window, w.width / 2, w.height / 2, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// Carries out one command line; false on "quit".
bool Command(Display* display, const std::string& line, bool* sample) {
    char verb[16] = {};
    char argument[64] = {};
    if (std::sscanf(line.c_str(), "%15s %63s", verb, argument) < 1)
        return true;
    if (!std::strcmp(verb, "quit"))
        return false;
    if (!std::strcmp(verb, "sample")) {
        *sample = !std::strcmp(argument, "on");
        return true;
    }
    bool down = !std::strcmp(verb, "down");
    if (!down && std::strcmp(verb, "up")) {
        std::fprintf(stderr, "frame_watch: unknown command '%s'\n", line.c_str());
        return true;
    }
    KeyCode code = XKeysymToKeycode(display, XStringToKeysym(argument));
    if (!code) {
        std::fprintf(stderr, "frame_watch: no key '%s'\n", argument);
        return true;
    }
    uint64_t sent = NowNs();
    XTestFakeKeyEvent(display, code, down, CurrentTime);
    XSync(display, False);
    std::printf("key %llu\n", static_cast<unsigned long long>(sent));
    return true;
}

void HandleEvent(Display* display, int damageEvent, const XEvent& event, std::map<Window, Watched>& windows,
                 bool sample) {
    if (event.type == MapNotify && !windows.count(event.xmap.window)) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, event.xmap.window, &attributes))
            return;
        Damage damage = XDamageCreate(display, event.xmap.window, XDamageReportRawRectangles);
        windows[event.xmap.window] = {damage, attributes.width, attributes.height};
        std::printf("window %lu %dx%d\n", event.xmap.window, attributes.width, attributes.height);
        return;
    }
    if (event.type != damageEvent + XDamageNotify)
        return;
    const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
    auto it = windows.find(notify.drawable);
    if (it == windows.end() || notify.more || notify.area.y + notify.area.height != it->second.height)
        return;
    uint64_t now = NowNs();
    if (sample)
        std::printf("frame %llu %06lx\n", static_cast<unsigned long long>(now),
                    CentrePixel(display, notify.drawable, it->second));
    else
        std::printf("frame %llu\n", static_cast<unsigned long long>(now));
}

} // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "frame_watch: no X display\n");
        return 1;
    }
    int damageEvent = 0, damageError = 0, testEvent = 0, testError = 0, major = 0, minor = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError) ||
        !XTestQueryExtension(display, &testEvent, &testError, &major, &minor)) {
        std::fprintf(stderr, "frame_watch: the X server lacks DAMAGE or XTEST\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    std::map<Window, Watched> windows;
    bool sample = false;
    std::string pending;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            HandleEvent(display, damageEvent, event, windows, sample);
        }
        std::fflush(stdout);
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char chunk[256];
            ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0)
                break;
            pending.append(chunk, static_cast<size_t>(got));
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!Command(display, line, &sample)) {
                    XCloseDisplay(display);
                    return 0;
                }
            }
            std::fflush(stdout);
        }
    }
    XCloseDisplay(display);
    return 0;
}
