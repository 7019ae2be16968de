// What the tests of GTK dialogs share: a forked child that shows the dialog with its
// standard error captured, and a fixture with an Xvfb server of its own that xdotool
// drives. Dialogs run in children so GTK never starts in the test process, and a broken
// dialog is killed after a bounded wait.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "support/xvfb_server.h"

namespace xvfb_support {

using Clock = std::chrono::steady_clock;

// A forked child running body with its standard error captured. A child still running
// when the parent is done with it is killed.
class Child {
public:
    Child(const std::vector<std::pair<const char*, const char*>>& env, std::function<void()> body) {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::fflush(nullptr);  // nothing buffered is written twice
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            for (const auto& [name, value] : env) {
                value ? setenv(name, value, 1) : unsetenv(name);
            }
            body();
            std::fflush(stderr);
            _exit(0);  // no exit handlers: GTK's state is the child's own business
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The line of standard error that starts with prefix (without its newline), read as
    // it comes; empty when none came within the limit (scaled) or the child closed its end.
    std::string Line(const std::string& prefix,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + Scaled(limit);
        for (;;) {
            const size_t at = err_.find(prefix);
            const size_t end = at == std::string::npos ? at : err_.find('\n', at);
            if (end != std::string::npos) return err_.substr(at, end - at);
            if (!ReadSome(deadline)) return {};
        }
    }
    // Everything on standard error up to the child's end; bounded (scaled).
    bool ReadToEnd(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + Scaled(limit);
        while (ReadSome(deadline)) {
        }
        return eof_;
    }
    const std::string& Err() const { return err_; }
    // Whether the child has not ended yet.
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Sends the child a signal.
    void Signal(int signalNumber) const {
        if (pid_ > 0) kill(pid_, signalNumber);
    }
    // Where the child's threads are now, for the report of a child that hangs (when gdb
    // is installed).
    std::string Stacks() const {
        return Capture("timeout 60 gdb -p " + std::to_string(pid_) +
                       " -batch -ex 'thread apply all bt 30' 2>/dev/null | grep '^#\\|^Thread'");
    }

private:
    bool ReadSome(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_, POLLIN, 0};
        if (eof_ || left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[1024];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        err_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string err_;
    bool eof_ = false;
};

inline bool Installed(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// An Xvfb server of our own on a display number it picks itself. Tests on a display run
// one at a time: CTest gives their suites a lock of their own (SE_DESKTOP_SUITES in
// CMakeLists.txt) and marks every other test as shared, so a suite missing from that
// list fails here instead of fighting the others for the machine.
class XvfbTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* group = std::getenv("SE_TEST_GROUP");
        ASSERT_FALSE(group != nullptr && std::string(group) == "shared")
            << "a test on a display must be in SE_DESKTOP_SUITES (CMakeLists.txt)";
        for (const char* tool : {"Xvfb", "xdotool", "timeout"}) {
            if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed";
        }
        display_ = StartXvfb(
            screen_,
            std::chrono::duration_cast<std::chrono::milliseconds>(Scaled(std::chrono::seconds(10))),
            false, server_);
        ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }
    std::string X(const std::string& command) {
        const auto limit =
            std::chrono::duration_cast<std::chrono::seconds>(Scaled(std::chrono::seconds(20)));
        return Capture("DISPLAY=" + display_ + " timeout " + std::to_string(limit.count()) +
                       " xdotool " + command + " 2>/dev/null");
    }

    std::string screen_ = "800x600x24";  // the server's screen; a fixture may set its own
    pid_t server_ = -1;
    std::string display_;
};

}  // namespace xvfb_support
