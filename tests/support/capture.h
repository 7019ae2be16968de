// Running a shell command for what it prints, shared by the tests and the idle benchmark
// (which cannot include the tests' Google Test helpers).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Runs a shell command and answers what it printed on standard output; status, when
// given, receives its exit status (-1 when it did not exit).
inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}
