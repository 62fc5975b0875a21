// The child-process runner under D3DCompile2: a crash, an exit, an exception or running out of memory
// in the child is told apart, and the child cannot touch the parent's output. (Large results and the
// time limit are checked through D3DCompile2 itself.)
#include "isolation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/time.h>
#include <unistd.h>

namespace {

using platform::d3dcompiler::ChildEnd;
using platform::d3dcompiler::IsolatedRun;
using platform::d3dcompiler::RecordWriter;
using platform::d3dcompiler::RunIsolated;

constexpr int kLimitMs = 10000;

TEST(IsolationTest, ACrashEndsTheChildWithItsSignalAndKeepsWhatItSent) {
    struct sigaction previous;
    struct sigaction handler = {};
    handler.sa_handler = [](int) { _exit(42); };
    ASSERT_EQ(sigaction(SIGSEGV, &handler, &previous), 0);
    for (int signal : {SIGSEGV, SIGABRT, SIGFPE}) {
        IsolatedRun run = RunIsolated(
            [signal](RecordWriter& out) {
                out.Write(7, "before");
                raise(signal);
            },
            kLimitMs);
        EXPECT_EQ(run.end, ChildEnd::Signalled) << "signal " << signal;
        EXPECT_EQ(run.signal, signal) << "got signal " << run.signal << ", want " << signal;
        ASSERT_EQ(run.records.size(), 1u) << "signal " << signal;
        EXPECT_EQ(run.records[0].bytes, "before");
    }
    ASSERT_EQ(sigaction(SIGSEGV, &previous, nullptr), 0);
}

// A kill from outside (the out-of-memory killer's SIGKILL, a SIGTERM) is told from a crash, with the
// memory the child had taken.
TEST(IsolationTest, AKillFromOutsideIsNotACrash) {
    for (int signal : {SIGKILL, SIGTERM}) {
        IsolatedRun run = RunIsolated(
            [signal](RecordWriter&) {
                kill(getpid(), signal);
                pause();
            },
            kLimitMs);
        EXPECT_EQ(run.end, ChildEnd::Killed) << "signal " << signal;
        EXPECT_EQ(run.signal, signal);
        EXPECT_NE(run.failure.find(" MiB of memory"), std::string::npos) << run.failure;
    }
}

TEST(IsolationTest, AnExitAnExceptionOrRunningOutOfMemoryIsNotACrash) {
    IsolatedRun exited = RunIsolated([](RecordWriter&) { _exit(7); }, kLimitMs);
    EXPECT_EQ(exited.end, ChildEnd::Exited);
    EXPECT_EQ(exited.exitStatus, 7);
    IsolatedRun threw = RunIsolated([](RecordWriter&) { throw std::runtime_error("no"); }, kLimitMs);
    EXPECT_EQ(threw.end, ChildEnd::Exited);
    EXPECT_EQ(threw.exitStatus, platform::d3dcompiler::kExitThrew);
#ifndef __SANITIZE_ADDRESS__
    // The sanitizer's allocator reports an allocation it cannot map as its own error instead.
    IsolatedRun grew = RunIsolated(
        [](RecordWriter&) {
            // Called, not a new-expression, so that the compiler may not leave it out.
            static_cast<volatile char*>(::operator new(2 * platform::d3dcompiler::kChildMemoryLimit))[0] = 1;
        },
        kLimitMs);
    EXPECT_EQ(grew.end, ChildEnd::Exited);
    EXPECT_EQ(grew.exitStatus, platform::d3dcompiler::kExitOutOfMemory);
#endif
}

// A signal arriving while the parent waits on the pipe interrupts its calls; the read goes on.
TEST(IsolationTest, SignalsToTheParentDoNotCutTheReadShort) {
    static volatile sig_atomic_t ticks = 0;
    struct sigaction previous;
    struct sigaction handler = {}; // no SA_RESTART: every tick interrupts poll and read
    handler.sa_handler = [](int) { ticks = ticks + 1; };
    ASSERT_EQ(sigaction(SIGALRM, &handler, &previous), 0);
    itimerval every = {{0, 1000}, {0, 1000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every, nullptr), 0);
    IsolatedRun run = RunIsolated(
        [](RecordWriter& out) {
            usleep(100 * 1000);
            out.Write(1, std::string(1 << 20, 'y'));
        },
        kLimitMs);
    itimerval off = {};
    ASSERT_EQ(setitimer(ITIMER_REAL, &off, nullptr), 0);
    ASSERT_EQ(sigaction(SIGALRM, &previous, nullptr), 0);
    EXPECT_GT(ticks, 0) << "the parent was never interrupted";
    EXPECT_EQ(run.end, ChildEnd::Exited);
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.records[0].bytes.size(), 1u << 20);
}

// What the child prints goes nowhere, and the parent's unflushed output is not written twice.
TEST(IsolationTest, TheChildLeavesTheParentsOutputAlone) {
    testing::internal::CaptureStdout();
    std::printf("parent ");
    IsolatedRun run = RunIsolated(
        [](RecordWriter&) {
            std::printf("child ");
            std::fflush(stdout);
            ssize_t written = write(STDOUT_FILENO, "raw ", 4);
            (void)written;
        },
        kLimitMs);
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(run.end, ChildEnd::Exited);
    EXPECT_EQ(out, "parent ");
}

} // namespace
