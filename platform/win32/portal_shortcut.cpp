#include "portal_shortcut.h"

#include "state.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::win32 {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kShortcutId = "reload";

// Each step waits for the Response of one Request; Bound waits for Activated and Deactivated.
enum class Step { CreatingSession, Binding, Bound };

struct PortalState {
    sd_bus* bus = nullptr;
    Step step = Step::CreatingSession;
    bool ended = false;     // given up: the bus is closed after the callback that gave up returns
    bool held = false;      // between Activated and Deactivated
    char portal[64] = {};   // the unique name that answers for the portal; others are not listened to
    char request[256] = {}; // the Request whose Response is awaited
    char session[256] = {};
};

PortalState& Portal() {
    static PortalState state;
    return state;
}

void Copy(char* to, size_t size, const char* from) {
    std::snprintf(to, size, "%s", from ? from : "");
}

// Messages the bus makes itself carry no sender.
bool Same(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

// The one message, with what still reloads. A shortcut held when the portal goes is released, or
// every frame would reload from then on.
void GiveUp(const char* why) {
    PortalState& p = Portal();
    if (p.ended)
        return;
    p.ended = true;
    if (p.held && !State().keys[VK_F5].overridden)
        State().keys[VK_F5].down = false;
    p.held = false;
    std::fprintf(stderr,
                 "fxview: no global F5 from the desktop portal (%s): press F5 in fxview's window, or in an "
                 "editor that runs under X11 (XWayland).\n",
                 why);
}

void GiveUpOnError(const sd_bus_error* error) {
    if (sd_bus_error_has_names(error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
        GiveUp("no portal runs on the session bus");
    } else if (sd_bus_error_has_names(error, SD_BUS_ERROR_UNKNOWN_METHOD, SD_BUS_ERROR_UNKNOWN_INTERFACE,
                                      SD_BUS_ERROR_UNKNOWN_OBJECT)) {
        GiveUp("the portal has no GlobalShortcuts interface");
    } else {
        char why[512];
        std::snprintf(why, sizeof why, "%s: %s", error->name, error->message ? error->message : "");
        GiveUp(why);
    }
}

// The reply to CreateSession or BindShortcuts: the Request object whose Response will follow.
int OnRequest(sd_bus_message* reply, void*, sd_bus_error*) {
    PortalState& p = Portal();
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        GiveUpOnError(sd_bus_message_get_error(reply));
        return 0;
    }
    const char* handle = nullptr;
    if (sd_bus_message_read(reply, "o", &handle) < 0) {
        GiveUp("the portal's reply has no request handle");
        return 0;
    }
    Copy(p.request, sizeof p.request, handle);
    Copy(p.portal, sizeof p.portal, sd_bus_message_get_sender(reply));
    return 0;
}

// Calls `visit` on each entry of the a{sv} the message is at, the message at the entry's variant;
// `visit` reads the variant or returns false to have it skipped.
template <class Visit> int ForEachEntry(sd_bus_message* m, Visit visit) {
    int r = sd_bus_message_enter_container(m, 'a', "{sv}");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(m, "s", &key)) < 0)
            break;
        if (!visit(key) && (r = sd_bus_message_skip(m, "v")) < 0)
            break;
        r = sd_bus_message_exit_container(m);
    }
    return r < 0 ? r : sd_bus_message_exit_container(m);
}

// The session handle in CreateSession's results: a string, or an object path in older portals.
bool ReadSessionHandle(sd_bus_message* m, char* out, size_t size) {
    bool found = false;
    int r = ForEachEntry(m, [&](const char* key) {
        char type = 0;
        const char* contents = nullptr;
        if (std::strcmp(key, "session_handle") != 0 || sd_bus_message_peek_type(m, &type, &contents) < 0 ||
            !contents || (contents[0] != 's' && contents[0] != 'o') || contents[1])
            return false;
        const char* handle = nullptr;
        if (sd_bus_message_enter_container(m, 'v', contents) >= 0 &&
            sd_bus_message_read_basic(m, contents[0], &handle) >= 0 &&
            sd_bus_message_exit_container(m) >= 0) {
            Copy(out, size, handle);
            found = true;
        }
        return true;
    });
    return r >= 0 && found;
}

// Whether BindShortcuts' results hold the shortcut: the desktop may bind fewer than it was asked.
bool ResultsHoldShortcut(sd_bus_message* m) {
    bool found = false;
    int r = ForEachEntry(m, [&](const char* key) {
        if (std::strcmp(key, "shortcuts") != 0 || sd_bus_message_enter_container(m, 'v', "a(sa{sv})") < 0)
            return false;
        int q = sd_bus_message_enter_container(m, 'a', "(sa{sv})");
        while (q >= 0 && (q = sd_bus_message_enter_container(m, 'r', "sa{sv}")) > 0) {
            const char* id = nullptr;
            if (sd_bus_message_read(m, "s", &id) < 0 || sd_bus_message_skip(m, "a{sv}") < 0)
                break;
            found = found || std::strcmp(id, kShortcutId) == 0;
            q = sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
        sd_bus_message_exit_container(m);
        return true;
    });
    return r >= 0 && found;
}

void Bind() {
    PortalState& p = Portal();
    p.step = Step::Binding;
    p.request[0] = 0;
    int r = sd_bus_call_method_async(p.bus, nullptr, kPortal, kPortalPath, kShortcuts, "BindShortcuts",
                                     OnRequest, nullptr, "oa(sa{sv})sa{sv}", p.session, 1, kShortcutId, 2,
                                     "description", "s", "Reload main.fx", "preferred_trigger", "s", "F5", "",
                                     1, "handle_token", "s", "fxview_bind");
    if (r < 0) {
        char why[128];
        std::snprintf(why, sizeof why, "BindShortcuts failed: %s", std::strerror(-r));
        GiveUp(why);
    }
}

// org.freedesktop.portal.Request.Response: 0 the request was granted, 1 the user declined it, 2 it
// ended otherwise.
int OnResponse(sd_bus_message* m, void*, sd_bus_error*) {
    PortalState& p = Portal();
    if (p.ended || !p.request[0] || !Same(sd_bus_message_get_path(m), p.request) ||
        !Same(sd_bus_message_get_sender(m), p.portal))
        return 0;
    p.request[0] = 0;
    uint32_t response = 2;
    if (sd_bus_message_read(m, "u", &response) < 0) {
        GiveUp("the portal's Response could not be read");
        return 0;
    }
    if (response == 1) {
        GiveUp(p.step == Step::CreatingSession ? "the session was declined" : "the shortcut was declined");
        return 0;
    }
    if (response != 0) {
        GiveUp(p.step == Step::CreatingSession ? "the portal could not open a session"
                                               : "the portal could not bind the shortcut");
        return 0;
    }
    if (p.step == Step::CreatingSession) {
        if (ReadSessionHandle(m, p.session, sizeof p.session))
            Bind();
        else
            GiveUp("the portal gave no session handle");
    } else if (p.step == Step::Binding) {
        if (ResultsHoldShortcut(m))
            p.step = Step::Bound;
        else
            GiveUp("no key was bound to the shortcut");
    }
    return 0;
}

// Activated and Deactivated press and release F5 as a key event of the display would.
int OnShortcutSignal(sd_bus_message* m, void*, sd_bus_error*) {
    PortalState& p = Portal();
    bool activated = sd_bus_message_is_signal(m, kShortcuts, "Activated") > 0;
    if (p.step != Step::Bound || p.ended || !Same(sd_bus_message_get_sender(m), p.portal) ||
        (!activated && sd_bus_message_is_signal(m, kShortcuts, "Deactivated") <= 0))
        return 0;
    const char* session = nullptr;
    const char* id = nullptr;
    if (sd_bus_message_read(m, "os", &session, &id) < 0 || !Same(session, p.session) ||
        !Same(id, kShortcutId))
        return 0;
    KeyState& key = State().keys[VK_F5];
    if (key.overridden)
        return 0;
    p.held = activated;
    key.down = activated;
    if (activated)
        key.pressedSincePoll = true;
    return 0;
}

// The portal's session ends when the desktop closes it, or when the portal itself leaves the bus.
int OnSessionClosed(sd_bus_message* m, void*, sd_bus_error*) {
    PortalState& p = Portal();
    if (p.step == Step::Bound && Same(sd_bus_message_get_path(m), p.session) &&
        Same(sd_bus_message_get_sender(m), p.portal))
        GiveUp("the desktop closed the shortcut's session");
    return 0;
}

int OnPortalOwner(sd_bus_message* m, void*, sd_bus_error*) {
    PortalState& p = Portal();
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &before, &after) >= 0 && Same(name, kPortal) &&
        Same(before, p.portal))
        GiveUp("the portal left the session bus");
    return 0;
}

} // namespace

void StartPortalShortcut() {
    PortalState& p = Portal();
    if (p.bus || p.ended)
        return;
    // Connecting and the first calls are queued; they go out as PollPortalShortcut reads the bus.
    int r = sd_bus_open_user(&p.bus);
    if (r < 0) {
        char why[128];
        std::snprintf(why, sizeof why, "no session bus: %s", std::strerror(-r));
        GiveUp(why);
        p.bus = nullptr;
        return;
    }
    // The matches go to the bus before the call, so no Response or signal can come before them.
    if ((r = sd_bus_match_signal_async(p.bus, nullptr, nullptr, nullptr, "org.freedesktop.portal.Request",
                                       "Response", OnResponse, nullptr, nullptr)) < 0 ||
        (r = sd_bus_match_signal_async(p.bus, nullptr, nullptr, kPortalPath, kShortcuts, nullptr,
                                       OnShortcutSignal, nullptr, nullptr)) < 0 ||
        (r = sd_bus_match_signal_async(p.bus, nullptr, nullptr, nullptr, "org.freedesktop.portal.Session",
                                       "Closed", OnSessionClosed, nullptr, nullptr)) < 0 ||
        (r = sd_bus_add_match_async(p.bus, nullptr,
                                    "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                                    "arg0='org.freedesktop.portal.Desktop'",
                                    OnPortalOwner, nullptr, nullptr)) < 0 ||
        (r = sd_bus_call_method_async(p.bus, nullptr, kPortal, kPortalPath, kShortcuts, "CreateSession",
                                      OnRequest, nullptr, "a{sv}", 2, "handle_token", "s", "fxview_session",
                                      "session_handle_token", "s", "fxview")) < 0) {
        char why[128];
        std::snprintf(why, sizeof why, "the session bus refused a message: %s", std::strerror(-r));
        GiveUp(why);
    }
}

void PollPortalShortcut() {
    PortalState& p = Portal();
    if (!p.bus)
        return;
    int r = 0;
    while (!p.ended && (r = sd_bus_process(p.bus, nullptr)) > 0) {
    }
    if (r < 0) {
        char why[128];
        std::snprintf(why, sizeof why, "the session bus connection failed: %s", std::strerror(-r));
        GiveUp(why);
    }
    if (p.ended)
        p.bus = sd_bus_close_unref(p.bus);
}

} // namespace platform::win32
