// The tests' desktop: a GlobalShortcuts backend for the real portal. It binds what it is asked, or
// declines with `decline` as its argument, says "bound ID: DESCRIPTION, TRIGGER" on standard output,
// and activates or deactivates the bound shortcut on the lines "activate" and "deactivate" of its
// standard input. It ends when its standard input does.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kName = "org.freedesktop.impl.portal.desktop.fxviewtest";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.impl.portal.GlobalShortcuts";

bool decline = false;
std::string session, shortcut;

int CreateSession(sd_bus_message* m, void*, sd_bus_error*) {
    const char *handle = nullptr, *sessionHandle = nullptr;
    int r = sd_bus_message_read(m, "oo", &handle, &sessionHandle);
    if (r < 0)
        return r;
    session = sessionHandle;
    return sd_bus_reply_method_return(m, "ua{sv}", 0u, 0);
}

// Reads one (sa{sv}) shortcut: its id, description and preferred trigger.
int ReadShortcut(sd_bus_message* m, std::string& id, std::string& description, std::string& trigger) {
    const char* text = nullptr;
    int r = sd_bus_message_read(m, "s", &text);
    if (r < 0)
        return r;
    id = text;
    if ((r = sd_bus_message_enter_container(m, 'a', "{sv}")) < 0)
        return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(m, "s", &key)) < 0)
            return r;
        std::string* into = !std::strcmp(key, "description")         ? &description
                            : !std::strcmp(key, "preferred_trigger") ? &trigger
                                                                     : nullptr;
        if (into && (r = sd_bus_message_read(m, "v", "s", &text)) >= 0)
            *into = text;
        else if (!into)
            r = sd_bus_message_skip(m, "v");
        if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0)
            return r;
    }
    return r < 0 ? r : sd_bus_message_exit_container(m);
}

int BindShortcuts(sd_bus_message* m, void*, sd_bus_error*) {
    const char *handle = nullptr, *sessionHandle = nullptr;
    int r = sd_bus_message_read(m, "oo", &handle, &sessionHandle);
    if (r < 0 || (r = sd_bus_message_enter_container(m, 'a', "(sa{sv})")) < 0)
        return r;
    std::string id, description, trigger;
    while ((r = sd_bus_message_enter_container(m, 'r', "sa{sv}")) > 0) {
        if ((r = ReadShortcut(m, id, description, trigger)) < 0 || (r = sd_bus_message_exit_container(m)) < 0)
            return r;
        std::printf("bound %s: %s, %s\n", id.c_str(), description.c_str(), trigger.c_str());
    }
    std::fflush(stdout);
    if (r < 0)
        return r;
    // Declined, as a desktop's dialog does when cancelled: the portal relays the Response with no
    // shortcut bound.
    if (decline)
        return sd_bus_reply_method_return(m, "ua{sv}", 1u, 1, "shortcuts", "a(sa{sv})", 0);
    shortcut = id;
    return sd_bus_reply_method_return(m, "ua{sv}", 0u, 1, "shortcuts", "a(sa{sv})", 1, id.c_str(), 2,
                                      "description", "s", description.c_str(), "trigger_description", "s",
                                      trigger.c_str());
}

int ListShortcuts(sd_bus_message* m, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(m, "ua{sv}", 0u, 0);
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("CreateSession", "oosa{sv}", "ua{sv}", CreateSession, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("BindShortcuts", "ooa(sa{sv})sa{sv}", "ua{sv}", BindShortcuts, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ListShortcuts", "oo", "ua{sv}", ListShortcuts, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Activated", "osta{sv}", 0),
    SD_BUS_SIGNAL("Deactivated", "osta{sv}", 0),
    SD_BUS_SIGNAL("ShortcutsChanged", "oa(sa{sv})", 0),
    SD_BUS_VTABLE_END,
};

} // namespace

int main(int argc, char** argv) {
    decline = argc > 1 && !std::strcmp(argv[1], "decline");
    sd_bus* bus = nullptr;
    int r = sd_bus_open_user(&bus);
    if (r >= 0)
        r = sd_bus_add_object_vtable(bus, nullptr, kPath, kInterface, kVtable, nullptr);
    if (r >= 0)
        r = sd_bus_request_name(bus, kName, 0);
    if (r < 0) {
        std::fprintf(stderr, "portal_backend: %s\n", std::strerror(-r));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string input;
    for (;;) {
        while ((r = sd_bus_process(bus, nullptr)) > 0) {
        }
        if (r < 0)
            return 1;
        pollfd fds[2] = {{sd_bus_get_fd(bus), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        poll(fds, 2, 100);
        if (!(fds[1].revents & (POLLIN | POLLHUP)))
            continue;
        char text[256];
        ssize_t n = read(STDIN_FILENO, text, sizeof text);
        if (n <= 0)
            break;
        input.append(text, static_cast<size_t>(n));
        for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
            const std::string command = input.substr(0, end);
            if (command == "activate" || command == "deactivate")
                sd_bus_emit_signal(bus, kPath, kInterface,
                                   command == "activate" ? "Activated" : "Deactivated", "osta{sv}",
                                   session.c_str(), shortcut.c_str(), uint64_t{0}, 0);
        }
        sd_bus_flush(bus);
    }
    sd_bus_flush_close_unref(bus);
    return 0;
}
