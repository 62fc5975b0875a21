// What crosses between the program and its compile server: a job comes back as it was sent, whatever
// its bytes, a message cut short or padded is refused, not half read, and messages larger than a
// socket holds arrive whole.
#include "wire.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::d3dcompiler::ChildEnd;
using platform::d3dcompiler::FrontEndJob;
using platform::d3dcompiler::IsolatedRun;

FrontEndJob SampleJob() {
    FrontEndJob job;
    job.source = std::string("float4 f() {\0}", 14) + std::string(200000, 's');
    job.name = "shaders/main.fx";
    job.entry = "cs_main";
    job.stage = platform::ShaderStage::Pixel;
    job.optimize = true;
    job.macros = {{"WIDTH", "8"}, {"EMPTY", ""}};
    job.standardIncludes = true;
    job.includeDirectories = {"include", "/opt/shaders/common"};
    return job;
}

TEST(WireTest, AJobComesBackAsItWasSent) {
    const FrontEndJob sent = SampleJob();
    const std::string bytes = platform::d3dcompiler::EncodeJob(sent, "/home/author/shaders", 1234);
    FrontEndJob got;
    int limitMs = 0;
    ASSERT_TRUE(platform::d3dcompiler::DecodeJob(bytes, &got, &limitMs));
    EXPECT_EQ(limitMs, 1234);
    EXPECT_TRUE(got.source == sent.source) << "the source came back changed";
    EXPECT_EQ(got.name, sent.name);
    EXPECT_EQ(got.entry, sent.entry);
    EXPECT_EQ(got.stage, sent.stage);
    EXPECT_EQ(got.optimize, sent.optimize);
    EXPECT_EQ(got.macros, sent.macros);
    EXPECT_EQ(got.standardIncludes, sent.standardIncludes);
    EXPECT_EQ(got.includeDirectories, sent.includeDirectories);
    EXPECT_EQ(got.directory, "/home/author/shaders");
}

TEST(WireTest, CutOrPaddedMessagesAreRefused) {
    const std::string job = platform::d3dcompiler::EncodeJob(SampleJob(), "/tmp", 10);
    const std::string run = platform::d3dcompiler::EncodeRun(IsolatedRun());
    FrontEndJob j;
    IsolatedRun r;
    int limitMs;
    for (size_t cut : {size_t(0), size_t(3), job.size() / 2, job.size() - 1})
        EXPECT_FALSE(platform::d3dcompiler::DecodeJob(job.substr(0, cut), &j, &limitMs))
            << "a job cut to " << cut << " bytes";
    EXPECT_FALSE(platform::d3dcompiler::DecodeJob(job + "x", &j, &limitMs)) << "a job with a byte more";
    EXPECT_FALSE(platform::d3dcompiler::DecodeRun(run.substr(0, run.size() - 1), &r)) << "a run a byte short";
    EXPECT_FALSE(platform::d3dcompiler::DecodeRun(run + "x", &r)) << "a run with a byte more";
}

// Messages larger than a socket holds arrive whole; a close midway or before any message is told apart.
TEST(WireTest, MessagesCrossASocketWholeAndClosesAreToldApart) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string big(8 << 20, 'm');
    std::string sendFailure;
    bool sent = false;
    std::thread writer([&] {
        sent = platform::d3dcompiler::SendMessage(fds[0], big, platform::d3dcompiler::kNoDeadline, &sendFailure);
        const std::string cut("\x10\0\0\0\0\0\0\0abc", 11);
        sent = sent && write(fds[0], cut.data(), cut.size()) == static_cast<ssize_t>(cut.size());
        close(fds[0]);
    });
    std::string got, failure;
    EXPECT_TRUE(platform::d3dcompiler::ReceiveMessage(fds[1], &got, platform::d3dcompiler::kNoDeadline, &failure)) << failure;
    EXPECT_TRUE(got == big) << "got " << got.size() << " bytes, want " << big.size();
    EXPECT_FALSE(platform::d3dcompiler::ReceiveMessage(fds[1], &got, platform::d3dcompiler::kNoDeadline, &failure));
    EXPECT_EQ(failure, "the other end closed in the middle of a message");
    failure.clear();
    EXPECT_FALSE(platform::d3dcompiler::ReceiveMessage(fds[1], &got, platform::d3dcompiler::kNoDeadline, &failure));
    EXPECT_EQ(failure, "") << "a close between messages is not a failure";
    writer.join();
    EXPECT_TRUE(sent) << sendFailure;
    close(fds[1]);
}

} // namespace
