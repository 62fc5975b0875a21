// The built program on a Wayland desktop, weston with Xwayland: its window shows the default shader,
// and the desktop portal's global shortcut reloads main.fx while a Wayland client has the focus, where
// the program's X connection sees no key; with no portal to ask, it says what works instead.
#include "desktop.h"

#include <X11/Xatom.h>

#include <set>

namespace {

class OnWeston : public ProgramTest {
  protected:
    void SetUp() override {
        ASSERT_FALSE(weston.display.empty()) << "weston did not start:\n" << weston.Log();
        weston.SetEnvironment();
        ProgramTest::SetUp();
    }
    // The window the compositor has given the focus, as its X window manager tells X clients.
    Window ActiveWindow() {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        Window active = 0;
        if (XGetWindowProperty(display, DefaultRootWindow(display),
                               XInternAtom(display, "_NET_ACTIVE_WINDOW", False), 0, 1, False, XA_WINDOW,
                               &type, &format, &count, &left, &data) == Success &&
            data && count == 1)
            active = *reinterpret_cast<Window*>(data);
        if (data)
            XFree(data);
        return active;
    }
    // The default shader's moving colours: more than a few distinct ones over a grid of the window.
    bool ShowsManyColours(Window window) {
        return Within(20, [&] {
            std::set<unsigned long> colours;
            for (int y = 40; y < 704; y += 80) {
                for (int x = 40; x < 1280; x += 160) {
                    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
                    if (image) {
                        colours.insert(XGetPixel(image, 0, 0) & 0xFFFFFF);
                        XDestroyImage(image);
                    }
                }
            }
            return colours.size() > 8;
        });
    }

    Weston weston;
};

TEST_F(OnWeston, TheGlobalShortcutReloadsWhileAnotherClientHasTheFocus) {
    SessionBus bus;
    DesktopPortal desktop(bus, "accept");
    const Window window = Start("", [&] { setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.c_str(), 1); });
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(ShowsManyColours(window)) << "the default shader";
    EXPECT_EQ(desktop.backend->Line(20), "bound reload: Reload main.fx, F5");
    ASSERT_TRUE(Says("Loaded.\n", 1, 20)) << Stdout();

    // F5 typed on the compositor's seat while the program's window has the focus reaches it as an X key.
    EXPECT_TRUE(Within(20, [&] { return ActiveWindow() == window; })) << "the program's window first";
    ASSERT_EQ(std::system(("DISPLAY=" + Weston::HostDisplay() + " xdotool key F5").c_str()), 0);
    EXPECT_TRUE(Says("Loaded.\n", 2, 20)) << "F5 in the program's window";

    // A Wayland client, shown after the program's window, takes the focus from it.
    Process editor({"weston-simple-shm"}, {});
    EXPECT_TRUE(Within(20, [&] { return ActiveWindow() != window; })) << "the Wayland client's then";
    const int before = Count(Stdout(), "Loaded.\n");
    desktop.backend->Say("activate");
    EXPECT_TRUE(Says("Loaded.\n", before + 1, 20)) << Stdout() << Stderr();
    desktop.backend->Say("deactivate");
    EXPECT_GE(Count(Stdout(), "D3DCompileShaderFromFile : cs_main cs_5_0::00000000\n"), before + 1)
        << "the reload's compile";
    EXPECT_EQ(Count(Stderr(), "fxview: no global F5"), 0) << Stderr();
    EXPECT_TRUE(Validated()) << Stderr();
}

TEST_F(OnWeston, WithoutASessionBusItSaysWhatWorksAndRuns) {
    const Window window = Start("", [] { unsetenv("DBUS_SESSION_BUS_ADDRESS"); });
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(ShowsManyColours(window)) << "the default shader";
    EXPECT_TRUE(Says("fxview: no global F5 from the desktop portal (no session bus: ", 1, 20, true))
        << Stderr();
    EXPECT_EQ(Count(Stderr(), "press F5 in fxview's window, or in an editor that runs under X11"), 1)
        << Stderr();
}

} // namespace
