#include "isolation.h"

#include "hooks.h"
#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::d3dcompiler {

namespace {

// A record on the pipe: the tag, the size, then the bytes, in the machine's own byte order.
constexpr size_t kHeaderSize = sizeof(uint32_t) + sizeof(uint64_t);
constexpr size_t kReadChunk = 64 * 1024;

// The address space the child has at the fork, from /proc with calls that are safe after a fork; 0
// when it cannot be read.
uint64_t AddressSpaceNow() {
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[64];
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    uint64_t pages = 0;
    for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + static_cast<uint64_t>(text[i] - '0');
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// The child may grow by kChildMemoryLimit beyond what it starts with (the program's libraries, a
// sanitizer's reserved shadow), never above a lower limit it was given.
bool CapAddressSpace() {
    const uint64_t now = AddressSpaceNow();
    rlimit limit;
    if (now == 0 || getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    const rlim_t cap = static_cast<rlim_t>(now + kChildMemoryLimit);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= cap)
        return true;
    limit.rlim_cur = cap;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

// What only the child does before the work: default signal handling, so that a crash ends it with
// its signal rather than in a handler of the parent's (a sanitizer's, a fuzzer's); no core file; a
// capped address space; and standard output on /dev/null, so that nothing reaches the parent's
// terminal or capture.
bool PrepareChild() {
    // Whatever the process waiting on it does, the child never outlives it.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return false;
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    // The standard signals; glibc keeps the first real-time ones for itself and refuses them.
    for (int s = 1; s <= SIGSYS; ++s) {
        if (s != SIGKILL && s != SIGSTOP && sigaction(s, &defaults, nullptr) != 0)
            return false;
    }
    sigset_t none;
    sigemptyset(&none);
    const rlimit noCore = {0, 0};
    if (sigprocmask(SIG_SETMASK, &none, nullptr) != 0 || setrlimit(RLIMIT_CORE, &noCore) != 0 ||
        !CapAddressSpace())
        return false;
    int null = open("/dev/null", O_WRONLY);
    if (null < 0)
        return false;
    return dup2(null, STDOUT_FILENO) == STDOUT_FILENO && close(null) == 0;
}

[[noreturn]] void RunChild(int fd, const std::function<void(RecordWriter&)>& work) {
    if (!PrepareChild())
        _exit(kExitSetupFailed);
    RecordWriter writer(fd);
    std::set_new_handler([] { _exit(kExitOutOfMemory); });
    try {
        work(writer);
    } catch (...) {
        _exit(kExitThrew);
    }
    _exit(writer.ok() ? 0 : kExitWriteFailed);
}

// Reads until the end of the pipe or the deadline; false when the deadline came first or reading
// failed, with the reason in `failure` in the latter case. A deadline already past reads what is
// in the pipe now. Activity on `callerFd` ends the read with kCallerLeft.
bool ReadAll(int fd, int callerFd, ProcessClock::time_point deadline, std::string* bytes,
             std::string* failure) {
    for (;;) {
        const int left = PollTimeout(deadline);
        pollfd p[2] = {{fd, POLLIN, 0}, {callerFd, POLLIN, 0}};
        int ready = poll(p, callerFd < 0 ? 1 : 2, left);
        if (ready < 0 && errno != EINTR) {
            *failure = ErrnoText("poll");
            return false;
        }
        if (ready == 0 && left == 0)
            return false;
        if (ready <= 0)
            continue;
        if (callerFd >= 0 && p[1].revents != 0) {
            *failure = kCallerLeft;
            return false;
        }
        if (p[0].revents == 0)
            continue;
        size_t old = bytes->size();
        bytes->resize(old + kReadChunk);
        ssize_t got = read(fd, bytes->data() + old, kReadChunk);
        bytes->resize(old + (got > 0 ? static_cast<size_t>(got) : 0));
        if (got == 0)
            return true;
        if (got < 0 && errno != EINTR && errno != EAGAIN) {
            *failure = ErrnoText("read");
            return false;
        }
    }
}

// Signals that no fault of the child's raises: another process sent them. The child's own time-out
// kill is told apart before.
bool KilledFromOutside(int signal) {
    return signal == SIGKILL || signal == SIGTERM || signal == SIGINT || signal == SIGHUP ||
           signal == SIGQUIT;
}

// The complete records in `bytes`; a record cut short by the child's end is left out.
std::vector<Record> ParseRecords(const std::string& bytes) {
    std::vector<Record> records;
    size_t at = 0;
    while (bytes.size() - at >= kHeaderSize) {
        uint32_t tag;
        uint64_t size;
        std::memcpy(&tag, bytes.data() + at, sizeof tag);
        std::memcpy(&size, bytes.data() + at + sizeof tag, sizeof size);
        at += kHeaderSize;
        if (size > bytes.size() - at)
            break;
        records.push_back({tag, bytes.substr(at, size)});
        at += size;
    }
    return records;
}

} // namespace

void RecordWriter::Write(uint32_t tag, const void* data, size_t size) {
    char header[kHeaderSize];
    const uint64_t size64 = size;
    std::memcpy(header, &tag, sizeof tag);
    std::memcpy(header + sizeof tag, &size64, sizeof size64);
    ok_ = ok_ && WriteAll(header, sizeof header) && WriteAll(data, size);
}

bool RecordWriter::WriteAll(const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t done = write(fd_, at, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        at += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

IsolatedRun RunIsolated(const std::function<void(RecordWriter&)>& work, int limitMs, int callerFd) {
    IsolatedRun run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        run.failure = ErrnoText("pipe2");
        return run;
    }
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);
    const ProcessClock::time_point deadline = After(limitMs);
    pid_t pid = fork();
    if (pid < 0) {
        run.failure = ErrnoText("fork");
        return run;
    }
    if (pid == 0)
        RunChild(writeEnd.get(), work);

    Child child(pid);
    // Only the child may hold the write end, or the end of the pipe would never come.
    writeEnd.Close();
    std::string bytes;
    const bool complete = ReadAll(readEnd.get(), callerFd, deadline, &bytes, &run.failure);
    int status = 0;
    rusage usage = {};
    if (!child.Wait(!complete, &status, &usage)) {
        run.end = ChildEnd::Lost;
        run.failure = ErrnoText("waitpid");
    } else if (!run.failure.empty()) {
        run.end = ChildEnd::Lost;
    } else if (!complete && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        run.end = ChildEnd::TimedOut;
    } else if (WIFSIGNALED(status) && KilledFromOutside(WTERMSIG(status))) {
        run.end = ChildEnd::Killed;
        run.signal = WTERMSIG(status);
        run.failure = "it had taken " + std::to_string(usage.ru_maxrss / 1024) + " MiB of memory";
    } else if (WIFSIGNALED(status)) {
        run.end = ChildEnd::Signalled;
        run.signal = WTERMSIG(status);
    } else {
        run.end = ChildEnd::Exited;
        run.exitStatus = WEXITSTATUS(status);
        // A child that ended of its own accord as the deadline came left the rest in the pipe.
        if (!complete && !ReadAll(readEnd.get(), -1, ProcessClock::now(), &bytes, &run.failure) &&
            !run.failure.empty())
            run.end = ChildEnd::Lost;
    }
    run.records = ParseRecords(bytes);
    return run;
}

} // namespace platform::d3dcompiler
