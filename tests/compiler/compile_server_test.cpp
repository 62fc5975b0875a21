// D3DCompile2's compile server: compiles run in children of a small process forked before main, not
// of the program; that process follows the program's working folder, leaves children forked from the
// program to compile on their own, ends with the program, and once killed is not missed.
#include "child.h"
#include "compiler_test_util.h"

#include <gtest/gtest.h>
#include <testing.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char kGood[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                     "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
const char kCrash[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                      "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                      "  o[id.x] = noise(float2(id.xy)); }\n";
using Result = fxtest::CompileResult;
using fxtest::kProgramFlags;

void Compile(Result* r, const std::string& source) {
    fxtest::Compile(r, source, "cs_main", "cs_5_0", kProgramFlags, "main.fx");
}

// The fields of /proc/<pid>/stat after the command name: state, parent, process group... threads.
std::vector<std::string> StatOf(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(file, line);
    std::vector<std::string> fields;
    size_t at = line.rfind(')');
    if (at == std::string::npos)
        return fields;
    std::istringstream rest(line.substr(at + 1));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

bool Exists(int pid) {
    return kill(pid, 0) == 0 || errno != ESRCH;
}

TEST(CompileServerTest, CompilesRunUnderASingleThreadedServerThatIsNotTheProgramsChild) {
    const int server = fxtest::CompileServerProcess();
    ASSERT_GT(server, 0) << "no compile server was started before main";
    Result r;
    Compile(&r, kGood);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_EQ(fxtest::CompileServerProcess(), server) << "the server changed during a compile";
    std::vector<std::string> stat = StatOf(server);
    ASSERT_GE(stat.size(), 18u);
    EXPECT_NE(stat[1], std::to_string(getpid())) << "the server is the program's child";
    EXPECT_NE(stat[2], std::to_string(getpgrp())) << "the server shares the program's process group";
    EXPECT_EQ(stat[17], "1") << "the server's threads";
    EXPECT_TRUE(fxtest::NoChildren()) << "a compile left a child of the program";
}

// A test's child (tests/support/child.h) shares nothing with the program's server, and the program's
// server still answers afterwards.
TEST(CompileServerTest, AChildForkedFromTheProgramCompilesOnItsOwn) {
    const int server = fxtest::CompileServerProcess();
    std::string out = StdoutOfChild([] {
        Result good, crash;
        Compile(&good, kGood);
        testing::internal::CaptureStderr();
        Compile(&crash, kCrash);
        testing::internal::GetCapturedStderr();
        std::printf("server %d good %d crash %d", fxtest::CompileServerProcess(), good.hr == S_OK,
                    crash.hr == E_FAIL && crash.messages.find("crashed") != std::string::npos);
    });
    EXPECT_EQ(out, "server 0 good 1 crash 1");
    Result r;
    Compile(&r, kGood);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_EQ(fxtest::CompileServerProcess(), server);
}

bool GoneWithin(int pid, int ms) {
    for (Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
        if (!Exists(pid))
            return true;
        usleep(10 * 1000);
    }
    return false;
}

// The copy prints its server's id and compiles, then exits, or hangs until it is killed.
TEST(CompileServerTest, TheServerEndsWithTheProgram) {
    if (const char* mode = fxtest::AloneMode()) {
        std::printf("server %d\n", fxtest::CompileServerProcess());
        std::fflush(stdout);
        Result good, crash;
        Compile(&good, kGood);
        Compile(&crash, kCrash);
        if (std::string(mode) == "hang")
            pause();
        return;
    }
    for (const char* mode : {"exit", "hang"}) {
        const bool killIt = std::string(mode) == "hang";
        std::string out;
        fxtest::RunAlone(mode, &out, [killIt](pid_t pid, const std::string& sofar) {
            if (killIt && sofar.find("server ") != std::string::npos) {
                usleep(300 * 1000);
                kill(pid, SIGKILL);
            }
        });
        const size_t at = out.find("server ");
        const int server = at == std::string::npos ? 0 : std::atoi(out.c_str() + at + 7);
        ASSERT_GT(server, 0) << mode << ": got output '" << out << "'";
        EXPECT_TRUE(GoneWithin(server, 5000)) << "the server " << server << " outlived its program, which "
                                              << (killIt ? "was killed" : "exited");
        // Only gtest's lines come with the id: the server and its children print nothing.
        EXPECT_EQ(out.find("crash"), std::string::npos) << mode << ": got output '" << out << "'";
    }
}

// The server is gone for good once killed, so this runs in a copy of the test program. The compile
// after it still works, forking from the program, and says once on standard error what happened.
TEST(CompileServerTest, AfterTheServerIsKilledCompilesForkFromTheProgram) {
    if (fxtest::RanAlone())
        return;
    const int server = fxtest::CompileServerProcess();
    ASSERT_GT(server, 0);
    ASSERT_EQ(kill(server, SIGKILL), 0);
    ASSERT_TRUE(GoneWithin(server, 5000)) << "the killed server " << server << " is still there";
    testing::internal::CaptureStderr();
    Result first, crash, last;
    Compile(&first, kGood);
    Compile(&crash, kCrash);
    Compile(&last, kGood);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first.hr, S_OK) << first.messages;
    EXPECT_EQ(last.hr, S_OK) << last.messages;
    EXPECT_EQ(crash.hr, E_FAIL);
    EXPECT_NE(crash.messages.find("crashed on this source (signal 11, SIGSEGV)"), std::string::npos)
        << "got " << crash.messages;
    EXPECT_EQ(fxtest::CompileServerProcess(), 0);
    EXPECT_EQ(Count(log, "compile server failed"), 1) << "got log " << log;
    EXPECT_TRUE(fxtest::NoChildren()) << "a compile left a child of the program";
}

} // namespace
