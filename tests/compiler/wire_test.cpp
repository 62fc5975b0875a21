// What crosses between the program and its compile server: a job and a run come back as they were
// sent, whatever their bytes, and a message cut short or out of step is refused, not half read.
#include "wire.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::ChildEnd;
using platform::FrontEndJob;
using platform::IsolatedRun;

FrontEndJob SampleJob() {
    FrontEndJob job;
    job.source = std::string("float4 f() {\0}", 14) + std::string(200000, 's');
    job.name = "shaders/main.fx";
    job.entry = "cs_main";
    job.kind = shaderc_glsl_compute_shader;
    job.optimize = true;
    job.macros = {{"WIDTH", "8"}, {"EMPTY", ""}};
    job.standardIncludes = true;
    return job;
}

TEST(WireTest, AJobComesBackAsItWasSent) {
    const FrontEndJob sent = SampleJob();
    const std::string bytes = platform::EncodeJob(sent, "/home/author/shaders", 1234);
    FrontEndJob got;
    int limitMs = 0;
    ASSERT_TRUE(platform::DecodeJob(bytes, &got, &limitMs));
    EXPECT_EQ(limitMs, 1234);
    EXPECT_TRUE(got.source == sent.source) << "the source came back changed";
    EXPECT_EQ(got.name, sent.name);
    EXPECT_EQ(got.entry, sent.entry);
    EXPECT_EQ(got.kind, sent.kind);
    EXPECT_EQ(got.optimize, sent.optimize);
    EXPECT_EQ(got.macros, sent.macros);
    EXPECT_EQ(got.standardIncludes, sent.standardIncludes);
    EXPECT_EQ(got.directory, "/home/author/shaders");
}

TEST(WireTest, ARunComesBackAsItWasSent) {
    IsolatedRun sent;
    sent.end = ChildEnd::Signalled;
    sent.exitStatus = 0;
    sent.signal = 11;
    sent.failure = "";
    sent.records = {{1, "first"}, {2, ""}, {7, std::string(100000, 'r')}};
    IsolatedRun got;
    ASSERT_TRUE(platform::DecodeRun(platform::EncodeRun(sent), &got));
    EXPECT_EQ(got.end, ChildEnd::Signalled);
    EXPECT_EQ(got.signal, 11);
    ASSERT_EQ(got.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got.records[i].tag, sent.records[i].tag) << "record " << i;
        EXPECT_TRUE(got.records[i].bytes == sent.records[i].bytes) << "record " << i << " came back changed";
    }
}

TEST(WireTest, CutOrPaddedMessagesAreRefused) {
    const std::string job = platform::EncodeJob(SampleJob(), "/tmp", 10);
    const std::string run = platform::EncodeRun(IsolatedRun());
    FrontEndJob j;
    IsolatedRun r;
    int limitMs;
    for (size_t cut : {size_t(0), size_t(3), job.size() / 2, job.size() - 1})
        EXPECT_FALSE(platform::DecodeJob(job.substr(0, cut), &j, &limitMs))
            << "a job cut to " << cut << " bytes";
    EXPECT_FALSE(platform::DecodeJob(job + "x", &j, &limitMs)) << "a job with a byte more";
    EXPECT_FALSE(platform::DecodeRun(run.substr(0, run.size() - 1), &r)) << "a run a byte short";
    EXPECT_FALSE(platform::DecodeRun(run + "x", &r)) << "a run with a byte more";
}

// Messages larger than a socket holds arrive whole; a close midway or before any message is told apart.
TEST(WireTest, MessagesCrossASocketWholeAndClosesAreToldApart) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string big(8 << 20, 'm');
    std::string sendFailure;
    bool sent = false;
    std::thread writer([&] {
        sent = platform::SendMessage(fds[0], big, platform::kNoDeadline, &sendFailure);
        const std::string cut("\x10\0\0\0\0\0\0\0abc", 11);
        sent = sent && write(fds[0], cut.data(), cut.size()) == static_cast<ssize_t>(cut.size());
        close(fds[0]);
    });
    std::string got, failure;
    EXPECT_TRUE(platform::ReceiveMessage(fds[1], &got, platform::kNoDeadline, &failure)) << failure;
    EXPECT_TRUE(got == big) << "got " << got.size() << " bytes, want " << big.size();
    EXPECT_FALSE(platform::ReceiveMessage(fds[1], &got, platform::kNoDeadline, &failure));
    EXPECT_EQ(failure, "the other end closed in the middle of a message");
    failure.clear();
    EXPECT_FALSE(platform::ReceiveMessage(fds[1], &got, platform::kNoDeadline, &failure));
    EXPECT_EQ(failure, "") << "a close between messages is not a failure";
    writer.join();
    EXPECT_TRUE(sent) << sendFailure;
    close(fds[1]);
}

TEST(WireTest, AReceiveWithoutAnswerEndsAtTheDeadline) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::string got, failure;
    const auto start = platform::ProcessClock::now();
    EXPECT_FALSE(platform::ReceiveMessage(fds[1], &got, start + std::chrono::milliseconds(100), &failure));
    const double ms =
        std::chrono::duration<double, std::milli>(platform::ProcessClock::now() - start).count();
    EXPECT_EQ(failure, platform::kNoAnswer);
    EXPECT_GE(ms, 100.0);
    EXPECT_LT(ms, 2000.0) << "got " << ms << " ms for a deadline of 100 ms";
    close(fds[0]);
    close(fds[1]);
}

} // namespace
