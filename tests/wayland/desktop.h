// The parts of a Wayland desktop the tests start for themselves, each stopped by its destructor: a
// private session bus, the real desktop portal with the tests' own GlobalShortcuts backend
// (portal_backend.cpp), and a headless weston with Xwayland. Each runs on names and sockets of its
// own, so that tests run side by side.
#pragma once

#include <gtest/gtest.h>

#include <systemd/sd-bus.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "program.h"

// A process of the test's, its standard input and output on pipes when asked; killed on destruction.
struct Process {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string pending;

    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool pipeIn = false) {
        int input[2] = {-1, -1}, output[2] = {-1, -1};
        if ((pipeIn && pipe(input) != 0) || pipe(output) != 0)
            return;
        if ((pid = fork()) == 0) {
            if (pipeIn)
                dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        if (pipeIn) {
            close(input[0]);
            in = input[1];
        }
        close(output[1]);
        out = output[0];
    }
    ~Process() {
        if (in >= 0)
            close(in);
        if (out >= 0)
            close(out);
        if (pid > 0 && kill(pid, SIGTERM) == 0)
            waitpid(pid, nullptr, 0);
    }
    // The next line of its standard output, waited for up to `seconds` while `meanwhile` runs every
    // 10 ms; empty when none came.
    std::string Line(double seconds, const std::function<void()>& meanwhile = {}) {
        std::string line;
        Within(seconds, [&] {
            for (int i = 0; i < 5; ++i) {
                if (size_t end = pending.find('\n'); end != std::string::npos) {
                    line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    return true;
                }
                if (meanwhile)
                    meanwhile();
                pollfd fd = {out, POLLIN, 0};
                char text[512];
                ssize_t n = 0;
                if (poll(&fd, 1, 10) > 0 && (n = read(out, text, sizeof text)) > 0)
                    pending.append(text, static_cast<size_t>(n));
            }
            return false;
        });
        return line;
    }
    void Say(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(write(in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
};

// A session bus of the test's own: a private dbus-daemon with no services to start.
struct SessionBus {
    Scratch scratch;
    std::unique_ptr<Process> daemon;
    std::string address;

    SessionBus() {
        WriteFile(scratch.Path("bus.conf"), R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)" + scratch.dir.string() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        daemon =
            std::make_unique<Process>(std::vector<std::string>{"dbus-daemon", "--nofork", "--print-address",
                                                               "--config-file=" + scratch.Path("bus.conf")},
                                      std::vector<std::string>{});
        address = daemon->Line(20);
    }
    std::string Environment() const { return "DBUS_SESSION_BUS_ADDRESS=" + address; }

    // Whether `name` has an owner on the bus within `seconds`.
    bool Owned(const std::string& name, double seconds) const {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0)
            return false;
        bool owned = false;
        if (sd_bus_set_address(bus, address.c_str()) >= 0 && sd_bus_set_bus_client(bus, 1) >= 0 &&
            sd_bus_start(bus) >= 0) {
            owned = Within(seconds, [&] {
                sd_bus_message* reply = nullptr;
                int has = 0;
                if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                       name.c_str()) >= 0)
                    sd_bus_message_read(reply, "b", &has);
                sd_bus_message_unref(reply);
                return has != 0;
            });
        }
        sd_bus_flush_close_unref(bus);
        return owned;
    }
};

// The desktop portal on `bus`, with the tests' GlobalShortcuts backend ("accept" or "decline") or,
// with `mode` empty, with no backend, so without the GlobalShortcuts interface.
struct DesktopPortal {
    std::unique_ptr<Process> backend, portal;

    DesktopPortal(const SessionBus& bus, const std::string& mode) {
        if (!mode.empty()) {
            backend = std::make_unique<Process>(std::vector<std::string>{PortalBackendPath(), mode},
                                                std::vector<std::string>{bus.Environment()}, true);
            EXPECT_EQ(backend->Line(20), "ready") << "the backend did not start";
            // The portal finds backends through the .portal files of XDG_DESKTOP_PORTAL_DIR, the one
            // whose UseIn names the desktop of XDG_CURRENT_DESKTOP.
            WriteFile(bus.scratch.Path("fxviewtest.portal"),
                      "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.fxviewtest\n"
                      "Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;\nUseIn=fxviewtest\n");
        }
        portal = std::make_unique<Process>(
            std::vector<std::string>{"/usr/libexec/xdg-desktop-portal"},
            std::vector<std::string>{bus.Environment(), "XDG_DESKTOP_PORTAL_DIR=" + bus.scratch.dir.string(),
                                     "XDG_CURRENT_DESKTOP=fxviewtest"});
        EXPECT_TRUE(bus.Owned("org.freedesktop.portal.Desktop", 20)) << "the portal did not start";
    }
    static std::string PortalBackendPath() {
        const char* path = std::getenv("FXVIEW_PORTAL_BACKEND");
        return path ? path : "portal_backend";
    }
};

// Weston with Xwayland, its sockets in a runtime folder of its own; `display` is the X display
// Xwayland serves, empty when weston did not start. Its output is a window on the test's Xvfb, not its
// headless backend, which has no seat: there no client would ever hold the keyboard focus.
struct Weston {
    Scratch runtime;
    std::unique_ptr<Process> compositor;
    std::string display;

    Weston() {
        compositor = std::make_unique<Process>(
            std::vector<std::string>{"weston", "--backend=x11-backend.so", "--use-pixman", "--xwayland",
                                     "--no-config", "--socket=wayland-0", "--width=1920", "--height=1080",
                                     "--idle-time=0", "--log=" + runtime.Path("weston.log")},
            std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.dir.string(), "DISPLAY=" + HostDisplay()});
        // Weston picks a free X display number itself and says which in its log.
        const std::string said = "xserver listening on display ";
        Within(20, [&] {
            const std::string log = ReadFile(runtime.Path("weston.log"));
            const size_t at = log.find(said);
            const size_t end = at == std::string::npos ? at : log.find('\n', at);
            if (end != std::string::npos)
                display = log.substr(at + said.size(), end - at - said.size());
            return !display.empty();
        });
    }
    std::string Log() const { return ReadFile(runtime.Path("weston.log")); }
    // The test's Xvfb, which SetEnvironment replaces with Xwayland for the rest of the process.
    static std::string HostDisplay() {
        static const std::string host = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        return host;
    }
    // What its clients need: the Wayland socket, the X display and the runtime folder.
    void SetEnvironment() const {
        setenv("XDG_RUNTIME_DIR", runtime.dir.c_str(), 1);
        setenv("WAYLAND_DISPLAY", "wayland-0", 1);
        setenv("DISPLAY", display.c_str(), 1);
    }
};
