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
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char kGood[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                     "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
const char kCrash[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                      "[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                      "  o[id.x] = noise(float2(id.xy)); }\n";
// Set in the environment of this test program run again as a program whose server is watched.
constexpr char kHelperMode[] = "FXVIEW_SERVER_TEST_HELPER";

using Result = fxtest::CompileResult;
using fxtest::kProgramFlags;

void Compile(Result* r, const std::string& source, const char* entry = "cs_main",
             const char* target = "cs_5_0", const char* name = "main.fx") {
    fxtest::Compile(r, source, entry, target, kProgramFlags, name);
}

// The fields of /proc/<pid>/stat after the command name: state, parent, process group...
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

size_t ThreadsOf(int pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(tasks), std::filesystem::directory_iterator()));
}

bool Exists(int pid) {
    return kill(pid, 0) == 0 || errno != ESRCH;
}

bool NoChildren() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

TEST(CompileServerTest, CompilesRunUnderASingleThreadedServerThatIsNotTheProgramsChild) {
    const int server = fxtest::CompileServerProcess();
    ASSERT_GT(server, 0) << "no compile server was started before main";
    Result r;
    Compile(&r, kGood);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_EQ(fxtest::CompileServerProcess(), server) << "the server changed during a compile";
    std::vector<std::string> stat = StatOf(server);
    ASSERT_GE(stat.size(), 3u);
    EXPECT_NE(stat[1], std::to_string(getpid())) << "the server is the program's child";
    EXPECT_NE(stat[2], std::to_string(getpgrp())) << "the server shares the program's process group";
    EXPECT_EQ(ThreadsOf(server), 1u);
    EXPECT_TRUE(NoChildren()) << "a compile left a child of the program";
}

// The server's children move to the folder the caller is in at each compile.
TEST(CompileServerTest, IncludesFollowTheCallersCurrentFolder) {
    fxtest::ScratchDir dir;
    dir.Write("a/size.hlsl", "#define WIDTH 4\n");
    dir.Write("b/size.hlsl", "#define WIDTH 16\n");
    const std::string source = "#include \"size.hlsl\"\nRWStructuredBuffer<float4> o : register(u0);\n"
                               "[numthreads(WIDTH, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                               "  o[id.x] = 1; }\n";
    const std::filesystem::path before = std::filesystem::current_path();
    uint32_t widths[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::filesystem::current_path(dir.path() + (i == 0 ? "/a" : "/b"));
        Result r;
        Compile(&r, source, "cs_main", "cs_5_0", nullptr);
        EXPECT_EQ(r.hr, S_OK) << r.messages;
        if (r.code)
            widths[i] = fxtest::Decode(r.code).threadGroupSize[0];
    }
    std::filesystem::current_path(before);
    EXPECT_EQ(widths[0], 4u) << "got a group width of " << widths[0] << " in folder a, want 4";
    EXPECT_EQ(widths[1], 16u) << "got a group width of " << widths[1] << " in folder b, want 16";
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

// Run as its own program by TheServerEndsWithTheProgram: prints its server's id, compiles, then ends
// the way the mode says.
TEST(CompileServerTest, Helper) {
    const char* mode = std::getenv(kHelperMode);
    if (!mode)
        GTEST_SKIP() << "run only as the helper program of TheServerEndsWithTheProgram";
    std::printf("server %d\n", fxtest::CompileServerProcess());
    std::fflush(stdout);
    Result good, crash;
    Compile(&good, kGood);
    Compile(&crash, kCrash);
    if (std::string(mode) == "hang")
        pause();
}

// What the helper program printed, after it ended; `kill` ends it with SIGKILL after its first line.
std::string RunHelper(const char* mode, bool killIt) {
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        setenv(kHelperMode, mode, 1);
        execl("/proc/self/exe", "compiler_server_test", "--gtest_filter=CompileServerTest.Helper",
              "--gtest_brief=1", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<size_t>(n));
        if (killIt && out.find("server ") != std::string::npos) {
            usleep(300 * 1000);
            kill(pid, SIGKILL);
        }
    }
    close(fds[0]);
    int status;
    waitpid(pid, &status, 0);
    return out;
}

bool GoneWithin(int pid, int ms) {
    for (Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
        if (!Exists(pid))
            return true;
        usleep(10 * 1000);
    }
    return false;
}

TEST(CompileServerTest, TheServerEndsWithTheProgram) {
    for (const char* mode : {"exit", "hang"}) {
        const bool killIt = std::string(mode) == "hang";
        std::string out = RunHelper(mode, killIt);
        const size_t at = out.find("server ");
        const int server = at == std::string::npos ? 0 : std::atoi(out.c_str() + at + 7);
        ASSERT_GT(server, 0) << mode << ": got output '" << out << "'";
        EXPECT_TRUE(GoneWithin(server, 5000)) << "the server " << server << " outlived its program, which "
                                              << (killIt ? "was killed" : "exited");
        // Only gtest's lines come with the id: the server and its children print nothing.
        EXPECT_EQ(out.find("crash"), std::string::npos) << mode << ": got output '" << out << "'";
    }
}

// Last in this program: the server is gone for good once killed. The compile after it still works,
// forking from the program, and says once on standard error what happened.
TEST(CompileServerTest, AfterTheServerIsKilledCompilesForkFromTheProgram) {
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
    size_t lost = 0;
    for (size_t at = log.find("compile server failed"); at != std::string::npos;
         at = log.find("compile server failed", at + 1))
        ++lost;
    EXPECT_EQ(lost, 1u) << "got log " << log;
    EXPECT_TRUE(NoChildren()) << "a compile left a child of the program";
}

} // namespace
