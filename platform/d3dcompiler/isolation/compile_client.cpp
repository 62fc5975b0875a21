#include "compile_client.h"

#include "compile_server.h"
#include "console_relay.h"
#include "hooks.h"
#include "standard_streams.h"
#include "wire.h"

#include <testing.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::d3dcompiler {

namespace {

// The server answers within the job's own limit; past this much more it is taken for hung.
constexpr int kAnswerGraceMs = 5000;
constexpr int kHelloLimitMs = 10000;

struct Server {
    std::mutex lock;
    int fd = -1;
    pid_t pid = 0;
    pid_t owner = 0;             // the process that started it; any other is a child forked from that one
    std::atomic<bool> use{true}; // tests turn it off to compile as without a server
};
Server gServer;

// Threads of this process, 0 when they cannot be counted.
size_t CountThreads() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return 0;
    size_t n = 0;
    while (const dirent* entry = readdir(tasks))
        n += entry->d_name[0] != '.';
    if (closedir(tasks) != 0)
        return 0;
    return n;
}

// A child forked from the program (a test's, a death test's, a compile child) holds a copy of the
// program's connection: closed here, so that the server still ends with the program and never reads
// two clients' requests interleaved. The lock is left alone: another thread may have held it.
void ForgetServerInChild() {
    if (gServer.fd >= 0)
        close(gServer.fd);
    gServer.fd = -1;
    gServer.pid = 0;
}

// Reads the server's process id, its first message, which says it is ready.
bool ReadHello(int fd, pid_t* pid, std::string* failure) {
    std::string hello;
    if (!ReceiveMessage(fd, &hello, After(kHelloLimitMs), failure))
        return false;
    if (hello.size() != sizeof *pid) {
        *failure = "a malformed first message";
        return false;
    }
    std::memcpy(pid, hello.data(), sizeof *pid);
    return true;
}

// Moves `fd` above the standard descriptors: a program started with one of them closed would get the
// socket there, and its console output, or the server's /dev/null, would land on the socket.
bool AboveStandardDescriptors(int* fd) {
    if (*fd > STDERR_FILENO)
        return true;
    int moved = fcntl(*fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0 || close(*fd) != 0)
        return false;
    *fd = moved;
    return true;
}

// The server's parent is a short-lived middle process, so the server is never the program's child:
// it cannot become the program's zombie, and the program's own waits never see it.
bool Start(int* fd, pid_t* pid, std::string* failure) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        *failure = ErrnoText("socketpair");
        return false;
    }
    if (!AboveStandardDescriptors(&fds[0]) || !AboveStandardDescriptors(&fds[1])) {
        *failure = ErrnoText("fcntl");
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    pid_t middle = fork();
    if (middle == 0) {
        close(fds[0]);
        pid_t server = fork();
        if (server == 0)
            ServeCompiles(fds[1]);
        _exit(server < 0 ? 1 : 0);
    }
    const int forkErrno = errno;
    if (close(fds[1]) != 0)
        LogFailure("close", std::strerror(errno));
    int status = 0;
    bool ok = middle > 0 && Reap(middle, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok)
        *failure = middle < 0 ? std::string("fork: ") + std::strerror(forkErrno) : "the server's fork failed";
    ok = ok && ReadHello(fds[0], pid, failure);
    if (!ok) {
        close(fds[0]);
        return false;
    }
    *fd = fds[0];
    return true;
}

// After a failed exchange the server is not used again; one that still runs is stopped. A server
// that died is not signalled: its process id may belong to another process by now.
void Abandon(const std::string& failure, bool stop) {
    const std::string what = (failure.empty() ? std::string("it ended") : failure) +
                             "; compiles fork from the program from now on";
    LogFailure("compile server", what.c_str());
    if (stop && kill(gServer.pid, SIGKILL) != 0)
        LogFailure("kill", std::strerror(errno));
    if (close(gServer.fd) != 0)
        LogFailure("close", std::strerror(errno));
    gServer.fd = -1;
    gServer.pid = 0;
}

} // namespace

bool StartCompileServer() {
    const size_t threads = CountThreads();
    if (threads != 1) {
        LogFailure("compile server", threads == 0
                                         ? "cannot count this process's threads"
                                         : "other threads run already; compiles fork from the program");
        return false;
    }
    std::string failure;
    int fd;
    pid_t pid;
    if (!Start(&fd, &pid, &failure)) {
        LogFailure("compile server", failure.c_str());
        return false;
    }
    if (int error = pthread_atfork(nullptr, nullptr, ForgetServerInChild); error != 0) {
        LogFailure("pthread_atfork", std::strerror(error));
        close(fd);
        return false;
    }
    gServer.fd = fd;
    gServer.pid = pid;
    gServer.owner = getpid();
    return true;
}

bool RunOnCompileServer(const FrontEndJob& job, int limitMs, IsolatedRun* run) {
    if (!gServer.use || getpid() != gServer.owner)
        return false;
    std::lock_guard<std::mutex> guard(gServer.lock);
    if (gServer.fd < 0)
        return false;
    // A child forked from the program shares its folder even when it is gone; the server cannot.
    char* cwd = get_current_dir_name();
    if (!cwd) {
        LogFailure("get_current_dir_name", std::strerror(errno));
        return false;
    }
    const std::string directory = cwd;
    std::free(cwd);
    const ProcessClock::time_point deadline = After(limitMs + kAnswerGraceMs);
    std::string answer;
    std::string failure;
    bool confused = false;
    if (SendMessage(gServer.fd, EncodeJob(job, directory, limitMs), deadline, &failure) &&
        ReceiveMessage(gServer.fd, &answer, deadline, &failure)) {
        if (DecodeRun(answer, run))
            return true;
        failure = "an answer that could not be read";
        confused = true;
    }
    const bool late = failure == kNoAnswer;
    Abandon(failure, late || confused);
    // A server that died left the job undone, and it runs again from here; a hung one had its time.
    if (late) {
        run->end = ChildEnd::TimedOut;
        run->failure = "the compile server stopped answering";
    }
    return late;
}

int CompileServerPid() {
    if (getpid() != gServer.owner)
        return 0;
    std::lock_guard<std::mutex> guard(gServer.lock);
    return gServer.fd >= 0 ? gServer.pid : 0;
}

void UseCompileServer(bool use) {
    gServer.use = use;
}

} // namespace platform::d3dcompiler

extern "C" int __real_main(int argc, char** argv, char** envp);

// Linked in place of main (--wrap=main, see CMakeLists.txt): after every static initializer, glslang's
// and SPIRV-Tools' included, so the server starts with their globals built, and before main can start a
// thread, so the fork copies no lock another thread holds. Closed standard streams are opened first,
// before the server's socket or the display connection could take their numbers; piped ones are
// relayed, so that a reader who stops reading does not stop the program.
extern "C" int __wrap_main(int argc, char** argv, char** envp) {
    platform::OpenClosedStandardStreams();
    platform::RelayPipedStandardStreams();
    platform::d3dcompiler::StartCompileServer();
    return __real_main(argc, argv, envp);
}
