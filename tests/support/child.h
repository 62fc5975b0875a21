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
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        const bool failedBefore = ::testing::Test::HasFailure();
        body();
        std::fflush(stdout);
        _exit(!failedBefore && ::testing::Test::HasFailure() ? 1 : 0);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child process failed or a check in it did; its output:\n"
        << text;
    return text;
}
