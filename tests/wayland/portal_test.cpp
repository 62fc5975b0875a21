// The desktop portal's global shortcut as GetAsyncKeyState(VK_F5) reads it, against the real portal on
// a private bus with the tests' backend: Activated is a press and a held key, Deactivated or the
// portal's end a release; each way it cannot work is said once on standard error. Each case runs in a child
// process, since the conversation happens once a process.
#include "desktop.h"

#include "child.h"
#include "portal_shortcut.h"

#include <windows.h>

namespace {

using platform::win32::StartPortalShortcut;

constexpr const char* kMessage = "fxview: no global F5 from the desktop portal";

// Runs `body` in a child process talking to `bus` (none when null), its standard error going to a
// file whose text `body` is given a way to read.
void InChild(const SessionBus* bus, const std::function<void(const std::function<std::string()>&)>& body) {
    Scratch scratch;
    const std::string errors = scratch.Path("stderr.txt");
    StdoutOfChild([&] {
        if (bus)
            setenv("DBUS_SESSION_BUS_ADDRESS", bus->address.c_str(), 1);
        else
            setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + scratch.Path("no-bus")).c_str(), 1);
        // Unbuffered, as the program's standard error is.
        if (!freopen(errors.c_str(), "w", stderr) || setvbuf(stderr, nullptr, _IONBF, 0) != 0)
            ADD_FAILURE() << "no standard error file";
        body([&] { return ReadFile(errors); });
        std::printf("standard error:\n%s", ReadFile(errors).c_str());
    });
}

unsigned F5() {
    return static_cast<unsigned short>(GetAsyncKeyState(VK_F5));
}

TEST(PortalShortcut, ActivatedIsAPressHeldUntilDeactivatedOrThePortalGoes) {
    SessionBus bus;
    DesktopPortal desktop(bus, "accept");
    InChild(&bus, [&](const auto& errors) {
        StartPortalShortcut();
        EXPECT_EQ(desktop.backend->Line(20, [] { EXPECT_EQ(F5(), 0u) << "before any activation"; }),
                  "bound reload: Reload main.fx, F5");
        desktop.backend->Say("activate");
        unsigned state = 0;
        Within(20, [&] { return (state = F5()) != 0; });
        EXPECT_EQ(state, 0x8001u) << "the first poll after Activated: down, and pressed since the last poll";
        EXPECT_EQ(F5(), 0x8000u) << "the next poll: held, no new press";
        desktop.backend->Say("deactivate");
        Within(20, [&] { return (state = F5()) != 0x8000u; });
        EXPECT_EQ(state, 0u) << "after Deactivated";
        EXPECT_EQ(errors(), "");

        // Held when the portal goes: released, with the message.
        desktop.backend->Say("activate");
        Within(20, [&] { return F5() == 0x8000u; });
        desktop.portal.reset();
        EXPECT_TRUE(Within(20, [&] { return F5() == 0; })) << "still held";
        EXPECT_EQ(Count(errors(), "(the portal left the session bus)"), 1) << errors();
    });
}

TEST(PortalShortcut, WhereItCannotWorkItSaysOnceWhatDoes) {
    struct Case {
        const char* name;
        bool bus, portal;
        const char* backend;
        const char* reason;
    };
    for (const Case& c : {
             Case{"no backend", true, true, "", "(the portal has no GlobalShortcuts interface)"},
             Case{"no portal", true, false, "", "(no portal runs on the session bus)"},
             Case{"no bus", false, false, "", "(no session bus: "},
             Case{"declined", true, true, "decline", "(the shortcut was declined)"},
         }) {
        SCOPED_TRACE(c.name);
        SessionBus bus;
        std::unique_ptr<DesktopPortal> desktop;
        if (c.portal)
            desktop = std::make_unique<DesktopPortal>(bus, c.backend);
        InChild(c.bus ? &bus : nullptr, [&](const auto& errors) {
            StartPortalShortcut();
            EXPECT_TRUE(Within(20, [&] { return F5() == 0 && Count(errors(), kMessage) > 0; })) << errors();
            for (int i = 0; i < 20; ++i)
                EXPECT_EQ(F5(), 0u);
            EXPECT_EQ(Count(errors(), kMessage), 1) << errors();
            EXPECT_EQ(Count(errors(), c.reason), 1) << errors();
            EXPECT_EQ(Count(errors(), "press F5 in fxview's window, or in an editor that runs under X11"), 1);
        });
    }
}

} // namespace
