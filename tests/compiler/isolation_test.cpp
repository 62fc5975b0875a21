// The child-process runner under D3DCompile2: records come back whole and in order however large,
// a crash, a hang, an exit or an exception in the child is told apart, and the child cannot touch
// the parent's output. Also measures what a fork costs in a process of the program's size.
#include "isolation.h"

#include <d3dcompiler.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::ChildEnd;
using platform::IsolatedRun;
using platform::RecordWriter;
using platform::RunIsolated;
using Clock = std::chrono::steady_clock;

constexpr int kLimitMs = 10000;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(IsolationTest, RecordsComeBackInOrderWhateverTheirSize) {
    // Far more than a pipe holds: the parent must read while the child writes.
    const std::string big(4 << 20, 'x');
    IsolatedRun run = RunIsolated(
        [&big](RecordWriter& out) {
            out.Write(1, "first");
            out.Write(2, nullptr, 0);
            out.Write(3, big);
            out.Write(4, "last");
        },
        kLimitMs);
    EXPECT_EQ(run.end, ChildEnd::Exited);
    EXPECT_EQ(run.exitStatus, 0);
    ASSERT_EQ(run.records.size(), 4u);
    EXPECT_EQ(run.records[0].tag, 1u);
    EXPECT_EQ(run.records[0].bytes, "first");
    EXPECT_EQ(run.records[1].bytes, "");
    EXPECT_EQ(run.records[2].bytes.size(), big.size());
    EXPECT_TRUE(run.records[2].bytes == big) << "the big record came back changed";
    EXPECT_EQ(run.records[3].tag, 4u);
    EXPECT_EQ(run.records[3].bytes, "last");
}

// The parent's own handler must not run in the child: a crash ends it with its signal.
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

TEST(IsolationTest, AnExitAnExceptionOrRunningOutOfMemoryIsNotACrash) {
    IsolatedRun exited = RunIsolated([](RecordWriter&) { _exit(7); }, kLimitMs);
    EXPECT_EQ(exited.end, ChildEnd::Exited);
    EXPECT_EQ(exited.exitStatus, 7);
    IsolatedRun threw = RunIsolated([](RecordWriter&) { throw std::runtime_error("no"); }, kLimitMs);
    EXPECT_EQ(threw.end, ChildEnd::Exited);
    EXPECT_EQ(threw.exitStatus, platform::kExitThrew);
#ifndef __SANITIZE_ADDRESS__
    // The sanitizer's allocator reports an allocation it cannot map as its own error instead.
    IsolatedRun grew = RunIsolated(
        [](RecordWriter&) {
            // Called, not a new-expression, so that the compiler may not leave it out.
            static_cast<volatile char*>(::operator new(2 * platform::kChildMemoryLimit))[0] = 1;
        },
        kLimitMs);
    EXPECT_EQ(grew.end, ChildEnd::Exited);
    EXPECT_EQ(grew.exitStatus, platform::kExitOutOfMemory);
#endif
}

TEST(IsolationTest, AChildPastItsLimitIsKilled) {
    Clock::time_point start = Clock::now();
    IsolatedRun run = RunIsolated(
        [](RecordWriter& out) {
            out.Write(1, "started");
            for (;;)
                pause();
        },
        200);
    double ms = MillisecondsSince(start);
    EXPECT_EQ(run.end, ChildEnd::TimedOut);
    EXPECT_GE(ms, 200.0);
    EXPECT_LT(ms, 5000.0) << "got " << ms << " ms for a limit of 200 ms";
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.records[0].bytes, "started");
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

double MedianMillisecondsOfEmptyChildren() {
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        Clock::time_point start = Clock::now();
        IsolatedRun run = RunIsolated([](RecordWriter& out) { out.Write(1, nullptr, 0); }, kLimitMs);
        ms.push_back(MillisecondsSince(start));
        EXPECT_EQ(run.end, ChildEnd::Exited);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Fork copies the page tables of what the process has written to, so its cost grows with that:
// measured as the process is, then with 256 MiB more touched, as a program holding big buffers.
TEST(IsolationTest, ForkCostIsMeasured) {
    double small = MedianMillisecondsOfEmptyChildren();
    std::vector<char> ballast(256u << 20);
    for (size_t at = 0; at < ballast.size(); at += 4096)
        ballast[at] = 1;
    double big = MedianMillisecondsOfEmptyChildren();
    std::printf("fork, run and reap of an empty child: median %.2f ms, %.2f ms with 256 MiB more touched\n",
                small, big);
    RecordProperty("fork_median_us", static_cast<int>(small * 1000));
    RecordProperty("fork_median_256mib_us", static_cast<int>(big * 1000));
    // Loose, for a loaded machine and sanitizer builds: only an order of magnitude is at stake.
    EXPECT_LT(small, 50.0) << "got a median of " << small << " ms";
    EXPECT_LT(big, 250.0) << "got a median of " << big << " ms";
}

// The first compile of a stage builds glslang's tables of built-in functions in the parent; later
// compiles' children start with them. Without that, every reload paid the first compile's cost.
TEST(IsolationTest, LaterCompilesOfAStageSkipGlslangsSetUp) {
    const char source[] =
        "RWStructuredBuffer<float4> o : register(u0);\n"
        "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
    std::vector<double> ms;
    for (int i = 0; i < 11; ++i) {
        Clock::time_point start = Clock::now();
        ID3DBlob* code = nullptr;
        HRESULT hr = D3DCompile2(source, sizeof source - 1, "main.fx", nullptr, nullptr, "cs_main", "cs_5_0",
                                 0, 0, 0, nullptr, 0, &code, nullptr);
        ms.push_back(MillisecondsSince(start));
        ASSERT_EQ(hr, S_OK);
        code->Release();
    }
    double first = ms[0];
    std::sort(ms.begin() + 1, ms.end());
    double later = ms[ms.size() / 2];
    std::printf("D3DCompile2 of a small compute stage: first %.2f ms, later median %.2f ms\n", first, later);
    EXPECT_LT(later, first / 2) << "got " << later << " ms after a first compile of " << first << " ms";
}

} // namespace
