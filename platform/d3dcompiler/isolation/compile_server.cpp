#include "compile_server.h"

#include "front_end.h"
#include "hooks.h"
#include "wire.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace platform::d3dcompiler {

namespace {

// The server's own exit statuses; nobody waits on them, they are for whoever traces it.
constexpr int kServerSetupFailed = 1;
constexpr int kServerLost = 2;

// Standard input and output on /dev/null: the program's console is its user's, and the stdio buffers
// copied from the program are never flushed, because every exit here is _exit. Its own process group,
// so that Ctrl+C at the program's terminal is the program's to handle.
bool PrepareServer() {
    int null = open("/dev/null", O_RDWR);
    if (null < 0)
        return false;
    return dup2(null, STDIN_FILENO) == STDIN_FILENO && dup2(null, STDOUT_FILENO) == STDOUT_FILENO &&
           close(null) == 0 && setpgid(0, 0) == 0;
}

[[noreturn]] void Serve(int fd) {
    const pid_t self = getpid();
    std::string failure;
    if (!SendMessage(fd, std::string(reinterpret_cast<const char*>(&self), sizeof self), kNoDeadline,
                     &failure))
        _exit(kServerLost);
    for (;;) {
        std::string request;
        if (!ReceiveMessage(fd, &request, kNoDeadline, &failure)) {
            // A close between requests is the program ending: the normal way out.
            if (failure.empty())
                _exit(0);
            LogFailure("compile server", failure.c_str());
            _exit(kServerLost);
        }
        FrontEndJob job;
        int limitMs = 0;
        IsolatedRun run;
        if (DecodeJob(request, &job, &limitMs))
            run = RunFrontEndChild(job, limitMs, fd);
        else
            run.failure = "the compile server could not read the request";
        if (run.failure == kCallerLeft)
            _exit(0);
        if (!SendMessage(fd, EncodeRun(run), kNoDeadline, &failure)) {
            LogFailure("compile server", failure.c_str());
            _exit(kServerLost);
        }
    }
}

} // namespace

void ServeCompiles(int fd) {
    if (!PrepareServer()) {
        LogFailure("compile server", std::strerror(errno));
        _exit(kServerSetupFailed);
    }
    try {
        Serve(fd);
    } catch (const std::exception& e) {
        LogFailure("compile server", e.what());
    }
    _exit(kServerLost);
}

} // namespace platform::d3dcompiler
