#include "process.h"

#include "hooks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::d3dcompiler {

ProcessClock::time_point After(int ms) {
    return ProcessClock::now() + std::chrono::milliseconds(ms);
}

int PollTimeout(ProcessClock::time_point deadline) {
    if (deadline == kNoDeadline)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ProcessClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

std::string ErrnoText(const char* call) {
    return std::string(call) + ": " + std::strerror(errno);
}

bool Reap(pid_t pid, int* status, rusage* usage) {
    for (;;) {
        if (wait4(pid, status, 0, usage) == pid)
            return true;
        if (errno != EINTR)
            return false;
    }
}

void Fd::Close() {
    if (fd_ < 0)
        return;
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    if (close(fd_) != 0)
        LogFailure("close", std::strerror(errno));
    fd_ = -1;
}

Child::~Child() {
    if (reaped_)
        return;
    int status;
    if (kill(pid_, SIGKILL) != 0 || !Reap(pid_, &status))
        LogFailure("waitpid", std::strerror(errno));
}

bool Child::Wait(bool stop, int* status, rusage* usage) {
    if (stop && kill(pid_, SIGKILL) != 0)
        return false;
    reaped_ = Reap(pid_, status, usage);
    return reaped_;
}

} // namespace platform::d3dcompiler
