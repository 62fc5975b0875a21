#include "console_relay.h"

#include "hooks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

struct Stream {
    int in = -1;  // the relay's end of the program's new stream
    int out = -1; // the stream the program was given
    const char* name = "";
    std::string held; // read, not yet written out; written from `sent` on
    size_t sent = 0;
    unsigned long long dropped = 0;

    size_t Pending() const { return held.size() - sent; }
};

bool Piped(int fd, struct stat* st) {
    return fstat(fd, st) == 0 && (S_ISFIFO(st->st_mode) || S_ISSOCK(st->st_mode));
}

// Where text was dropped, a line says how much, once the reader has caught up or the program ended.
void NoteDropped(Stream& s) {
    if (s.dropped == 0)
        return;
    s.held += "\nfxview: " + std::to_string(s.dropped) + " bytes of " + s.name +
              " were dropped here: nothing read them\n";
    s.dropped = 0;
}

void TakeIn(Stream& s) {
    char chunk[65536];
    const ssize_t n = read(s.in, chunk, sizeof chunk);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        close(s.in);
        s.in = -1;
        NoteDropped(s);
        return;
    }
    if (n < 0)
        return;
    if (s.Pending() + static_cast<size_t>(n) > kRelayHeldBytes) {
        s.dropped += static_cast<unsigned long long>(n);
        return;
    }
    if (s.Pending() == 0)
        NoteDropped(s);
    s.held.append(chunk, static_cast<size_t>(n));
}

// A write of at most PIPE_BUF bytes once the stream is writable does not block. A reader that has
// gone ends the relay by SIGPIPE, and the program's next write ends it the same way, as without a
// relay.
void GiveOut(Stream& s) {
    const ssize_t n = write(s.out, s.held.data() + s.sent, std::min<size_t>(s.Pending(), PIPE_BUF));
    if (n < 0 && errno != EINTR && errno != EAGAIN)
        _exit(1);
    if (n > 0)
        s.sent += static_cast<size_t>(n);
    if (s.sent == s.held.size() || s.sent > kRelayHeldBytes) {
        s.held.erase(0, s.sent);
        s.sent = 0;
    }
}

[[noreturn]] void Relay(std::vector<Stream> streams) {
    // Every other descriptor is closed: one held here would outlive the program.
    close(STDIN_FILENO);
    std::vector<int> kept;
    for (const Stream& s : streams)
        kept.push_back(s.in);
    std::sort(kept.begin(), kept.end());
    unsigned from = STDERR_FILENO + 1;
    for (int fd : kept) {
        if (static_cast<unsigned>(fd) > from)
            close_range(from, static_cast<unsigned>(fd) - 1, 0);
        from = static_cast<unsigned>(fd) + 1;
    }
    close_range(from, ~0u, 0);
    for (;;) {
        std::vector<pollfd> fds;
        for (const Stream& s : streams) {
            fds.push_back({s.in, POLLIN, 0});
            fds.push_back({s.Pending() > 0 ? s.out : -1, POLLOUT, 0});
        }
        bool open = false;
        for (const Stream& s : streams)
            open = open || s.in >= 0 || s.Pending() > 0;
        if (!open)
            _exit(0);
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            _exit(1);
        }
        for (size_t i = 0; i < streams.size(); ++i) {
            if (fds[2 * i].revents != 0)
                TakeIn(streams[i]);
            if (fds[2 * i + 1].revents != 0)
                GiveOut(streams[i]);
        }
    }
}

} // namespace

void RelayPipedStandardStreams() {
    struct stat outStat, errStat;
    const bool outPiped = Piped(STDOUT_FILENO, &outStat);
    const bool errPiped = Piped(STDERR_FILENO, &errStat);
    if (!outPiped && !errPiped)
        return;
    // Both streams into one pipe (2>&1) keep one relay stream, so that their order is kept.
    const bool shared =
        outPiped && errPiped && outStat.st_dev == errStat.st_dev && outStat.st_ino == errStat.st_ino;
    std::vector<Stream> streams;
    std::vector<int> writeEnds; // indexed like streams
    std::vector<std::vector<int>> targets;
    auto add = [&](std::vector<int> fds, const char* name) {
        int p[2];
        if (pipe2(p, O_CLOEXEC) != 0) {
            LogFailure("pipe2", std::strerror(errno));
            return;
        }
        if (fcntl(p[0], F_SETFL, O_NONBLOCK) != 0)
            LogFailure("fcntl", std::strerror(errno));
        Stream s;
        s.in = p[0];
        s.out = fds[0];
        s.name = name;
        streams.push_back(s);
        writeEnds.push_back(p[1]);
        targets.push_back(fds);
    };
    if (shared)
        add({STDOUT_FILENO, STDERR_FILENO}, "console output");
    else {
        if (outPiped)
            add({STDOUT_FILENO}, "standard output");
        if (errPiped)
            add({STDERR_FILENO}, "standard error");
    }
    // The relay's parent is a short-lived middle process, so the relay is never the program's child
    // and outlives it to write out what it holds.
    const pid_t middle = streams.empty() ? -1 : fork();
    if (middle == 0) {
        for (int fd : writeEnds)
            close(fd);
        const pid_t relay = fork();
        if (relay == 0)
            Relay(streams);
        _exit(relay < 0 ? 1 : 0);
    }
    if (middle < 0 && !streams.empty())
        LogFailure("fork", std::strerror(errno));
    int status = 0;
    const bool started =
        middle > 0 && waitpid(middle, &status, 0) == middle && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (middle > 0 && !started)
        LogFailure("console relay", "its fork failed; console text goes straight to its reader");
    for (size_t i = 0; i < streams.size(); ++i) {
        for (int fd : targets[i])
            if (started && dup2(writeEnds[i], fd) < 0)
                LogFailure("dup2", std::strerror(errno));
        close(writeEnds[i]);
        close(streams[i].in);
    }
}

} // namespace platform
