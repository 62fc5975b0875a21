// What the compile stack's processes share: descriptors closed with their owner, children killed and
// reaped with theirs, errno as text, and deadlines as poll timeouts. The client, the server and the
// isolated front end use these alone, so each process call is made one way.
#pragma once

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>

namespace platform::d3dcompiler {

using ProcessClock = std::chrono::steady_clock;
// No deadline: the server waits on its program for as long as the program lives.
constexpr ProcessClock::time_point kNoDeadline = ProcessClock::time_point::max();

// `ms` milliseconds from now.
ProcessClock::time_point After(int ms);

// The milliseconds left until `deadline` as poll takes them: -1 for kNoDeadline, 0 once it has passed.
int PollTimeout(ProcessClock::time_point deadline);

// "call: what errno says".
std::string ErrnoText(const char* call);

// Waits for `pid` through interrupted waits, with its resource use when `usage` is given; false, with
// errno, when it cannot be waited for.
bool Reap(pid_t pid, int* status, rusage* usage = nullptr);

// A descriptor, closed when it goes out of scope if it was not closed before.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    void Close();

  private:
    int fd_;
};

// A started child, killed and reaped when it goes out of scope unreaped (an exception while reading).
class Child {
  public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
    // Kills the child first when `stop` is set; false, with errno, when it cannot be reaped.
    bool Wait(bool stop, int* status, rusage* usage = nullptr);

  private:
    pid_t pid_;
    bool reaped_ = false;
};

} // namespace platform::d3dcompiler
