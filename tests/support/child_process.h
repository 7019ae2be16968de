// Runs a piece of a test in a forked child, for code that ends the process (the error
// handlers, the emergency logs) or changes process-wide state (the call trace, the home
// folder, the current folder). The child reports through files and its exit code; it
// must not use gtest assertions, which would not reach the parent.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

// Exit code of a child that ran body and returned from it: the code under test was
// expected to end the process and did not.
inline constexpr int kChildReturned = 99;

// Answers the child's exit code, or 128 + the signal that ended it (SIGALRM after 30 s).
inline int RunInChild(const std::function<void()>& body) {
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(30);  // a child that hangs ends with SIGALRM instead of holding up the run
        body();
        std::fflush(nullptr);
        _exit(kChildReturned);
    }
    if (pid < 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
