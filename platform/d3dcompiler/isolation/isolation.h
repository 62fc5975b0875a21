// Runs a piece of work in a forked child process and brings back the tagged records it sends over a
// pipe, so that a crash or a hang in third-party code ends the child and not the program. It does not
// look inside the records; the work must only do what is safe after fork in a multithreaded process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// The child's end of the pipe. After the first failed write the rest are skipped, and the child
// exits with kExitWriteFailed.
class RecordWriter {
  public:
    explicit RecordWriter(int fd) : fd_(fd) {}
    void Write(uint32_t tag, const void* data, size_t size);
    void Write(uint32_t tag, const std::string& text) { Write(tag, text.data(), text.size()); }
    bool ok() const { return ok_; }

  private:
    bool WriteAll(const void* data, size_t size);
    int fd_;
    bool ok_ = true;
};

struct Record {
    uint32_t tag;
    std::string bytes;
};

// The child's exit statuses other than 0; any other non-zero status came from a runtime inside it
// (a sanitizer's report, for one).
constexpr int kExitWriteFailed = 120;
constexpr int kExitThrew = 121;
constexpr int kExitSetupFailed = 122;
constexpr int kExitOutOfMemory = 123; // the address-space cap was reached

// How much the child's address space may grow beyond its size at the fork. The samples take the
// compiler under 20 MB, a cs_main of 8,000 switch cases 130 MB and one of 20,000 lines of arithmetic
// 320 MB; an include that never ends would take all the machine's memory.
constexpr uint64_t kChildMemoryLimit = uint64_t{2} << 30;

enum class ChildEnd {
    Exited,     // of its own accord, with `exitStatus`
    Signalled,  // killed by `signal`: it crashed
    TimedOut,   // still running at the time limit, so killed
    NotStarted, // the pipe or the fork failed; `failure` says why
    Lost,       // reading the pipe or reaping failed, or the caller left; `failure` says why
    Killed,     // by `signal` from outside (the out-of-memory killer's SIGKILL, a SIGTERM); `failure` says
                // how much memory it had taken
};

struct IsolatedRun {
    ChildEnd end = ChildEnd::NotStarted;
    int exitStatus = 0;
    int signal = 0;
    std::string failure;
    std::vector<Record> records; // every complete record received, whatever the end
};

// Forks; the child sets default signal dispositions, no core file, an address space capped at
// kChildMemoryLimit beyond its size at the fork, and standard output on /dev/null,
// runs `work` and leaves with _exit. The parent reads the pipe while the child writes, kills the child
// at `limitMs`, reaps it and closes both ends of the pipe on every path. When `callerFd` is given and
// becomes readable or hangs up, whoever asked for the run has left: the child is killed at once.
IsolatedRun RunIsolated(const std::function<void(RecordWriter&)>& work, int limitMs, int callerFd = -1);

// The failure of a run abandoned because its caller left.
constexpr char kCallerLeft[] = "the caller left";

} // namespace platform::d3dcompiler
