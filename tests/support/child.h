// Runs a piece of test code in a child process and returns what it printed on standard output,
// so that code with process-wide state (function-local statics) starts fresh in every case. A check
// that fails in the child fails the test: the child exits 1 and its output, with the failure, is shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

inline std::string StdoutOfChild(const std::function<void()>& body) {
    int status = -1;
    ::testing::internal::CaptureStdout();
    const pid_t pid = fork();
    if (pid == 0) {
        const bool failedBefore = ::testing::Test::HasFailure();
        body();
        std::fflush(stdout);
        _exit(!failedBefore && ::testing::Test::HasFailure() ? 1 : 0);
    }
    if (pid > 0)
        waitpid(pid, &status, 0);
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child process failed or a check in it did; its output:\n"
        << text;
    return text;
}
