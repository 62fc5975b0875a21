// D3DCompile2 when the HLSL front end itself fails: each source here once crashed glslang, and with it
// the program, when a half-edited main.fx was reloaded. Now the compile fails with a message, the
// call is logged once, and the process, the compile server and the compiler carry on. Also the costs
// of running the front end in a child: no descriptor or child process left behind, other threads,
// large results.
#include "compiler_test_util.h"

#include <gtest/gtest.h>
#include <testing.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char kCrashMessage[] = "main.fx: error: the HLSL compiler crashed on this source (signal 11, SIGSEGV); "
                             "this is a compiler fault triggered by the code above: simplify the last edit\n";

const char kBuffer[] = "RWStructuredBuffer<float4> o : register(u0);\n";
const char kGood[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                     "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";

using Result = fxtest::CompileResult;
using fxtest::kProgramFlags;

void Compile(Result* r, const std::string& source, const std::string& name = "main.fx") {
    fxtest::Compile(r, source, "cs_main", "cs_5_0", kProgramFlags, name.c_str());
}

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

class CompilerFaultTest : public testing::Test {
  protected:
    void TearDown() override {
        fxtest::SetCompileTimeLimit(0);
        EXPECT_EQ(fxtest::LiveObjects("ID3D10Blob"), 0) << "blobs left alive after the test";
        EXPECT_TRUE(fxtest::NoChildren()) << "a compiler process was left behind";
    }
};

TEST_F(CompilerFaultTest, SourcesThatCrashTheFrontEndFailWithAMessage) {
    const struct {
        const char* what;
        std::string source;
    } cases[] = {
        {"noise() in a compute stage",
         std::string(kBuffer) + "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                                "  o[id.x] = noise(float2(id.xy)); }\n"},
        // The fuzzer's find: a bracket typed into a constant's name in the default main.fx.
        {"a broken array declaration with an initializer",
         std::string(kBuffer) + "void f() { const uint kIter[tions = 256; }\n" +
             "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n"},
        // Constants declared below the attribute pass the attribute check, yet glslang does not know them.
        {"[numthreads] of a constant declared below",
         std::string(kBuffer) + "[numthreads(kLate, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                                "  o[id.x] = 1; }\nstatic const uint kLate = 8;\n"},
        {"[numthreads] of constants declared below, in y and z",
         std::string(kBuffer) +
             "[numthreads(1, kLate, kLate)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
             "  o[id.x] = 1; }\nstatic const uint kLate = 8;\n"},
    };
    const int server = fxtest::CompileServerProcess();
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        Result r;
        Compile(&r, c.source);
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        EXPECT_EQ(r.code, nullptr) << c.what;
        EXPECT_EQ(r.messages, kCrashMessage) << c.what;
        EXPECT_EQ(Count(log, "fxview platform: D3DCompile2 failed: the HLSL compiler crashed"), 1)
            << c.what << ": got log " << log << "want the failing call logged once";

        Result after;
        Compile(&after, kGood);
        EXPECT_EQ(after.hr, S_OK) << "after " << c.what << ": " << after.messages;
        EXPECT_EQ(fxtest::CompileServerProcess(), server)
            << "after " << c.what << ": the compile server changed";
    }
}

TEST_F(CompilerFaultTest, ACompilePastTheTimeLimitIsStopped) {
    // Heavy enough that no compile can end within 1 ms.
    const std::string slow = std::string(kBuffer) +
                             "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                             "  float4 acc = id.x;\n"
                             "  [unroll] for (int i = 0; i < 256; ++i) acc = sin(acc * i + acc.yzwx);\n"
                             "  o[id.x] = acc; }\n";
    fxtest::SetCompileTimeLimit(1);
    testing::internal::CaptureStderr();
    Result r;
    Compile(&r, slow);
    std::string log = testing::internal::GetCapturedStderr();
    fxtest::SetCompileTimeLimit(0);
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.code, nullptr);
    EXPECT_EQ(r.messages,
              "main.fx: error: the HLSL compiler did not finish within 0.001 s and was stopped\n");
    EXPECT_EQ(Count(log, "fxview platform: D3DCompile2 failed: the HLSL compiler did not finish"), 1)
        << "got log " << log;
    Result again;
    Compile(&again, slow);
    EXPECT_EQ(again.hr, S_OK) << "with the program's limit: " << again.messages;
}

// One reload compiles main.fx for its pixel stage, then its compute stage, under one time limit: once
// the first ran out of time, the second is refused at once. A stage compiled again is the next reload.
TEST_F(CompilerFaultTest, AReloadHasOneTimeLimitForAllItsStages) {
    std::string slow = std::string(kBuffer) + "#define X0 id.x\n";
    for (int i = 1; i <= 12; ++i)
        slow += "#define X" + std::to_string(i) + " (X" + std::to_string(i - 1) + " + X" +
                std::to_string(i - 1) + ")\n";
    slow += "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = X12; }\n"
            "float4 ps_main(float4 id : SV_Position) : SV_Target { return X12; }\n";
    fxtest::SetCompileTimeLimit(1);
    testing::internal::CaptureStderr();
    Result ps, cs;
    fxtest::Compile(&ps, slow, "ps_main", "ps_5_0", kProgramFlags, "main.fx");
    fxtest::Compile(&cs, slow, "cs_main", "cs_5_0", kProgramFlags, "main.fx");
    std::string log = testing::internal::GetCapturedStderr();
    fxtest::SetCompileTimeLimit(0);
    EXPECT_EQ(ps.messages,
              "main.fx: error: the HLSL compiler did not finish within 0.001 s and was stopped\n");
    EXPECT_EQ(cs.hr, E_FAIL);
    EXPECT_EQ(cs.messages,
              "main.fx: error: 'cs_main' not compiled: compiling 'ps_main' of the same source took "
              "all the 0.001 s a reload may take\n");
    EXPECT_EQ(Count(log, "did not finish"), 1) << log;
    Result again;
    fxtest::Compile(&again, slow, "ps_main", "ps_5_0", kProgramFlags, "main.fx");
    EXPECT_EQ(again.hr, S_OK) << again.messages;
}

// A compile child killed from outside, as the out-of-memory killer does, is not blamed on the source.
TEST_F(CompilerFaultTest, AChildKilledFromOutsideIsNamedAsSuch) {
    const int server = fxtest::CompileServerProcess();
    if (server == 0)
        GTEST_SKIP() << "no compile server in this program, whose children could be told apart";
    // Seconds of preprocessing that expands to nothing.
    std::string slow = "#define E0\n";
    for (int i = 1; i <= 24; ++i)
        slow += "#define E" + std::to_string(i) + " E" + std::to_string(i - 1) + " E" +
                std::to_string(i - 1) + "\n";
    slow += "E24\n" + std::string(kGood);
    std::atomic<bool> done{false};
    std::thread killer([&done, server] {
        const std::string children =
            "/proc/" + std::to_string(server) + "/task/" + std::to_string(server) + "/children";
        pid_t child = 0;
        while (!done && !(std::ifstream(children) >> child))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (child > 0)
            kill(child, SIGKILL);
    });
    testing::internal::CaptureStderr();
    Result r;
    Compile(&r, slow);
    testing::internal::GetCapturedStderr();
    done = true;
    killer.join();
    EXPECT_EQ(
        r.messages.rfind("main.fx: error: the HLSL compiler was killed from outside (signal 9, SIGKILL, as "
                         "the out-of-memory killer sends): it had taken ",
                         0),
        0u)
        << r.messages;
    EXPECT_EQ(r.messages.find("compiler fault"), std::string::npos) << r.messages;
}

// Glslang makes wrong SPIR-V of a store to an array of structured buffers, on which legalisation
// crashes: the message names the assignment and its line, and not a missing entry point.
TEST_F(CompilerFaultTest, WrongSpirvFromGlslangNamesItsLine) {
    Result r;
    Compile(&r, "RWStructuredBuffer<float4> o[2] : register(u0);\n"
                "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[0][id.x] = 1; }\n");
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.code, nullptr);
    EXPECT_EQ(r.messages.rfind("main.fx:2: error: an assignment ", 0), 0u) << "got " << r.messages;
    EXPECT_EQ(r.messages.find("not found"), std::string::npos) << "got " << r.messages;
}

// Results larger than a pipe holds (64 KiB): the preprocessed text of a long source, and messages
// that name a source with a long path.
TEST_F(CompilerFaultTest, LargeResultsComeBackWhole) {
    std::string big = kGood;
    for (int i = 0; i < 4000; ++i)
        big += "static const float kUnused" + std::to_string(i) + " = " + std::to_string(i) + ".0;\n";
    ASSERT_GT(big.size(), 128u << 10);
    Result r;
    Compile(&r, big);
    EXPECT_EQ(r.hr, S_OK) << r.messages.substr(0, 500);

    const std::string longName = "/tmp/" + std::string(100000, 'n') + ".fx";
    Result broken;
    Compile(&broken, "float4 f( {\n", longName);
    EXPECT_EQ(broken.hr, E_FAIL);
    EXPECT_GT(broken.messages.size(), 100000u);
    EXPECT_EQ(broken.messages.rfind(longName, 0), 0u) << "got " << broken.messages.substr(0, 200);
}

// Fifty reloads leave no descriptor open and no child behind, whatever became of each compile: a
// descriptor or child lost per compile shows within a few.
TEST_F(CompilerFaultTest, ReloadsLeaveNoDescriptorsOrChildren) {
    const std::string preprocessorError = "#if\n";
    const std::string crash = std::string(kBuffer) +
                              "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                              "  o[id.x] = noise(float2(id.xy)); }\n";
    Result warmUp;
    Compile(&warmUp, kGood);
    size_t before = OpenDescriptors();
    testing::internal::CaptureStderr();
    int failures = 0;
    for (int i = 0; i < 50; ++i) {
        Result r;
        bool timed = i % 25 == 0;
        if (timed)
            fxtest::SetCompileTimeLimit(1);
        Compile(&r, i % 10 == 1 ? crash : i % 10 == 2 || timed ? std::string(kGood) : preprocessorError);
        fxtest::SetCompileTimeLimit(0);
        // A compile under the 1 ms limit may still win the race against its deadline.
        if (!timed)
            failures += FAILED(r.hr);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(OpenDescriptors(), before) << "descriptors open before and after 50 compiles";
    EXPECT_EQ(failures, 50 - 5 - 2) << "got " << failures << " failed compiles";
}

// The program's other threads (the Vulkan driver's) allocate and lock while it compiles: the child
// must not inherit a lock it then waits on for ever. The compile server forked before any thread,
// so only a program without one forks with its threads running; there glibc's malloc takes its locks
// around fork, but GCC 12's AddressSanitizer allocator does not, and a child can hang until the limit.
TEST_F(CompilerFaultTest, CompilesWhileOtherThreadsAllocateAndLock) {
#ifdef __SANITIZE_ADDRESS__
    if (fxtest::CompileServerProcess() == 0)
        GTEST_SKIP() << "without a compile server, the AddressSanitizer allocator is not safe to use "
                        "after fork while other threads allocate";
#endif
    std::atomic<bool> stop{false};
    std::mutex shared;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&stop, &shared] {
            while (!stop) {
                std::lock_guard<std::mutex> guard(shared);
                std::vector<std::string> garbage(64, std::string(1000, 'g'));
                char line[64];
                std::snprintf(line, sizeof line, "%zu", garbage.size());
            }
        });
    }
    int ok = 0;
    for (int i = 0; i < 40; ++i) {
        Result r;
        Compile(&r, kGood);
        ok += r.hr == S_OK;
    }
    stop = true;
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(ok, 40) << "compiles that succeeded while other threads ran";
}

// A server that stops answering is not the source's fault either. Compiles fork from the program
// afterwards; as the server is given up, this runs in a copy of the test program.
TEST_F(CompilerFaultTest, AServerThatStopsAnsweringIsNotBlamedOnTheSource) {
    if (fxtest::RanAlone())
        return;
    const int server = fxtest::CompileServerProcess();
    if (server == 0)
        GTEST_SKIP() << "no compile server in this program";
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    fxtest::SetCompileTimeLimit(1);
    testing::internal::CaptureStderr();
    Result r;
    Compile(&r, kGood);
    testing::internal::GetCapturedStderr();
    fxtest::SetCompileTimeLimit(0);
    EXPECT_EQ(r.messages,
              "main.fx: error: the HLSL compiler did not finish: the compile server stopped answering\n");
    Result after;
    Compile(&after, kGood);
    EXPECT_EQ(after.hr, S_OK) << after.messages;
}

} // namespace
