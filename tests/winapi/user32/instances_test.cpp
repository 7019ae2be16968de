// FindWindowA across processes, SetForegroundWindow and SendMessageA with WM_COPYDATA
// on what it found: a window server process (this test program run again in the server
// role) owns a window of a class; this process finds it (on the same display only), asks
// for it to be raised and hands it data. Once under SDL's dummy
// driver (a socket left by a killed server is taken over), once end to end under a
// virtual X display, where the raised window really gets the keyboard focus.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "support/xvfb_support.h"

namespace {

using xvfb_support::Clock;

// The server role: run only when this program is started again with these variables.
constexpr const char* kClassVariable = "SE_USER32_SERVE_CLASS";
constexpr const char* kTitleVariable = "SE_USER32_SERVE_TITLE";

LRESULT ServerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        std::fprintf(stderr, "activated\n");
        std::fflush(stderr);
    }
    if (message == WM_COPYDATA) {
        // Says what came and answers its size: the sender gets the answer back.
        const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::fprintf(stderr, "copydata %lu ", static_cast<unsigned long>(data.dwData));
        std::fwrite(data.lpData, 1, data.cbData, stderr);
        std::fprintf(stderr, "\n");
        std::fflush(stderr);
        return static_cast<LRESULT>(data.cbData) + 1000;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

volatile sig_atomic_t stopServing = 0;

TEST(User32InstanceServer, Serve) {
    const char* className = std::getenv(kClassVariable);
    const char* title = std::getenv(kTitleVariable);
    if (className == nullptr || title == nullptr) GTEST_SKIP() << "run as a window server only";
    WNDCLASSEXA record{};
    record.cbSize = sizeof record;
    record.lpfnWndProc = ServerProcedure;
    record.lpszClassName = className;
    ASSERT_NE(RegisterClassExA(&record), 0);
    HWND window = CreateWindowExA(0, className, title, 0x00CA0000u, 10, 10, 200, 150, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    signal(SIGTERM, [](int) { stopServing = 1; });
    std::fprintf(stderr, "ready\n");
    std::fflush(stderr);
    const auto end = Clock::now() + Scaled(std::chrono::seconds(30));
    MSG message;
    while (Clock::now() < end && !stopServing) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);  // not WaitMessage: that waits for a message, and SIGTERM sends none
    }
    DestroyWindow(window);  // withdraws the class's socket
}

// This program in the server role, with its standard error readable.
class Server {
public:
    Server(const std::string& className, const std::string& title, const char* videoDriver,
           const std::string& display = {}) {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            const int quiet = open("/dev/null", O_WRONLY);  // gtest's own lines
            if (quiet >= 0) dup2(quiet, STDOUT_FILENO);
            setenv(kClassVariable, className.c_str(), 1);
            setenv(kTitleVariable, title.c_str(), 1);
            setenv("SDL_VIDEODRIVER", videoDriver, 1);
            if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
            execl("/proc/self/exe", "se_tests", "--gtest_filter=User32InstanceServer.Serve",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        err_ = fds[0];
    }
    ~Server() {
        Kill(SIGTERM);
        if (err_ >= 0) close(err_);
    }
    // SIGTERM ends the server in order (bounded); SIGKILL leaves its socket behind.
    void Kill(int signalNumber = SIGKILL) {
        if (pid_ <= 0) return;
        kill(pid_, signalNumber);
        const auto deadline = Clock::now() + Scaled(std::chrono::seconds(5));
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
    }
    // How often a line came on standard error so far.
    size_t Times(const std::string& line) const {
        size_t count = 0;
        for (size_t at = text_.find(line + "\n"); at != std::string::npos;
             at = text_.find(line + "\n", at + 1)) {
            ++count;
        }
        return count;
    }
    // Waits (bounded) until a line of standard error came times times.
    bool Said(const std::string& line, size_t times = 1,
              std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + Scaled(limit);
        while (Times(line) < times) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{err_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            char buffer[512];
            const ssize_t n = read(err_, buffer, sizeof buffer);
            if (n <= 0) return false;
            text_.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }
    const std::string& Text() const { return text_; }

private:
    pid_t pid_ = -1;
    int err_ = -1;
    std::string text_;
};

// This process on another display for a scope: windows are found on their own display.
class OnDisplay {
public:
    explicit OnDisplay(const std::string& display) {
        const char* old = std::getenv("DISPLAY");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("DISPLAY", display.c_str(), 1);
    }
    ~OnDisplay() { had_ ? setenv("DISPLAY", old_.c_str(), 1) : unsetenv("DISPLAY"); }
    OnDisplay(const OnDisplay&) = delete;
    OnDisplay& operator=(const OnDisplay&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

std::string UniqueClass(const char* stem) {
    return std::string(stem) + " " + std::to_string(getpid());
}

TEST(User32Instances, ASecondProcessFindsTheWindowAndAsksForItToBeRaised) {
    const std::string className = UniqueClass("SE instance test");
    EXPECT_EQ(FindWindowA(className.c_str(), nullptr), nullptr) << "nobody serves it yet";
    {
        Server first(className, "first", "dummy");
        ASSERT_TRUE(first.Said("ready")) << first.Text();
        HWND found = FindWindowA(className.c_str(), nullptr);
        ASSERT_NE(found, nullptr);
        EXPECT_TRUE(IsWindow(found));
        EXPECT_EQ(FindWindowA(className.c_str(), "first"), found);
        EXPECT_EQ(FindWindowA(className.c_str(), "other title"), nullptr);
        // Class names do not depend on case, across processes too.
        std::string upper = className;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindWindowA(upper.c_str(), nullptr), found);
        EXPECT_TRUE(SetForegroundWindow(found));

        // WM_COPYDATA reaches the window with its bytes (a double-byte character, a zero
        // byte) and its answer comes back; nothing else is sent across, nor more than
        // 16 KiB.
        const std::string bytes = std::string("\x95\x5C/a b") + '\0' + "z";
        COPYDATASTRUCT data{77, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
        EXPECT_EQ(SendMessageA(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 1008);
        EXPECT_TRUE(first.Said("copydata 77 " + bytes)) << first.Text();
        const std::string large(16385, 'x');
        COPYDATASTRUCT tooLarge{1, static_cast<DWORD>(large.size()),
                                const_cast<char*>(large.data())};
        EXPECT_EQ(SendMessageA(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&tooLarge)), 0);
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
        EXPECT_EQ(SendMessageA(found, WM_USER, 1, 2), 0);
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

        {
            // A process on another display does not find it.
            const char* display = std::getenv("DISPLAY");
            OnDisplay other(std::string(display != nullptr ? display : "") + "9");
            EXPECT_EQ(FindWindowA(className.c_str(), nullptr), nullptr);
        }

        // Killed, it leaves its socket behind; nobody answers there any more.
        first.Kill();
        EXPECT_FALSE(SetForegroundWindow(found));
        EXPECT_EQ(SendMessageA(found, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0);
        EXPECT_EQ(FindWindowA(className.c_str(), nullptr), nullptr);
    }
    // The next owner of the class takes the socket over.
    Server next(className, "next", "dummy");
    ASSERT_TRUE(next.Said("ready")) << next.Text();
    HWND found = FindWindowA(className.c_str(), nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(SetForegroundWindow(found));
}

class User32InstancesOnDisplay : public xvfb_support::XvfbTest {
protected:
    // xdotool's answer up to its first line break.
    std::string Xdotool(const std::string& command) {
        const std::string out = X(command);
        return out.substr(0, out.find('\n'));
    }
};

TEST_F(User32InstancesOnDisplay, TheFirstWindowComesForwardWithTheFocus) {
    OnDisplay here(display_);  // where the servers' windows are
    // Two programs' windows at the same place; the second one has the focus first.
    const std::string firstClass = UniqueClass("SE display instance test");
    const std::string coverClass = UniqueClass("SE display cover test");
    const std::string firstTitle = "SE first instance " + std::to_string(getpid());
    const std::string coverTitle = "SE cover window " + std::to_string(getpid());
    Server first(firstClass, firstTitle, "x11", display_);
    ASSERT_TRUE(first.Said("ready")) << first.Text();
    const std::string firstWindow =
        Xdotool("search --sync --onlyvisible --name '" + firstTitle + "'");
    ASSERT_FALSE(firstWindow.empty()) << first.Text();
    Server cover(coverClass, coverTitle, "x11", display_);
    ASSERT_TRUE(cover.Said("ready")) << cover.Text();
    const std::string coverWindow =
        Xdotool("search --sync --onlyvisible --name '" + coverTitle + "'");
    ASSERT_FALSE(coverWindow.empty()) << cover.Text();

    EXPECT_TRUE(SetForegroundWindow(FindWindowA(coverClass.c_str(), nullptr)));
    ASSERT_TRUE(cover.Said("activated")) << cover.Text();
    EXPECT_EQ(Xdotool("getwindowfocus"), coverWindow);

    // What a second copy of the program does: find the first one's window, bring it up.
    HWND found = FindWindowA(firstClass.c_str(), nullptr);
    ASSERT_NE(found, nullptr);
    const size_t activations = first.Times("activated");  // when it was mapped, perhaps
    EXPECT_TRUE(SetForegroundWindow(found));
    EXPECT_TRUE(first.Said("activated", activations + 1)) << first.Text();
    EXPECT_EQ(Xdotool("getwindowfocus"), firstWindow);
}

}  // namespace
