// MessageBoxA: the seam tests answer, the headless answer, and the real GTK box under a
// virtual X display driven with xdotool. Boxes that touch GTK run in forked children, so
// GTK never starts in the test process and a broken box is killed after a bounded wait.
#include <seams.h>
#include <windows.h>

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
#include <thread>
#include <utility>
#include <vector>

#include "test_support.h"

namespace {

// "初期化" and "確認" in code page 932, and their UTF-8 forms.
const char kTextCp932[] = "\x8F\x89\x8A\xFA\x89\xBB";
const char kTextUtf8[] = "\xE5\x88\x9D\xE6\x9C\x9F\xE5\x8C\x96";
const char kCaptionCp932[] = "\x8A\x6D\x94\x46";
const char kCaptionUtf8[] = "\xE7\xA2\xBA\xE8\xAA\x8D";

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
    // it comes; empty when none came within the limit or the child closed its end.
    std::string Line(const std::string& prefix, std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            const size_t at = err_.find(prefix);
            const size_t end = at == std::string::npos ? at : err_.find('\n', at);
            if (end != std::string::npos) return err_.substr(at, end - at);
            if (!ReadSome(deadline)) return {};
        }
    }
    // Everything on standard error up to the child's end; bounded.
    bool ReadToEnd(std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + limit;
        while (ReadSome(deadline)) {
        }
        return eof_;
    }
    const std::string& Err() const { return err_; }

private:
    bool ReadSome(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_, POLLIN, 0};
        if (eof_ || left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
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

void Answer(UINT type, const char* text, const char* caption) {
    std::fprintf(stderr, "answer %d\n", MessageBoxA(nullptr, text, caption, type));
}

struct SeamCall {
    std::string text, caption;
    UINT type = 0;
    int calls = 0;
};
SeamCall seamCall;

int RecordAndCancel(LPCSTR text, LPCSTR caption, UINT type) {
    seamCall = {text, caption, type, seamCall.calls + 1};
    return IDCANCEL;
}

struct SeamGuard {
    SeamGuard() {
        seamCall = {};
        SetMessageBoxAnswer(RecordAndCancel);
    }
    ~SeamGuard() { SetMessageBoxAnswer(nullptr); }
};

TEST(MessageBox, SeamGetsTheProgramsBytesAndItsAnswerIsReturned) {
    SeamGuard seam;
    const UINT type = MB_OKCANCEL | MB_ICONWARNING | MB_SYSTEMMODAL;
    EXPECT_EQ(MessageBoxA(nullptr, kTextCp932, kCaptionCp932, type), IDCANCEL);
    EXPECT_EQ(seamCall.text, kTextCp932);
    EXPECT_EQ(seamCall.caption, kCaptionCp932);
    EXPECT_EQ(seamCall.type, type);
}

TEST(MessageBox, TypesOutsideTheSupportedSetAreRefusedBeforeAnyoneIsAsked) {
    SeamGuard seam;
    const UINT refused[] = {
        0x4u,                            // MB_YESNO
        0x10u,                           // MB_ICONERROR
        0x40u,                           // MB_ICONINFORMATION
        MB_OKCANCEL | 0x100u,            // MB_DEFBUTTON2
        MB_SYSTEMMODAL | MB_TASKMODAL,   // no such modality
        MB_OK | 0x40000u,                // MB_TOPMOST
    };
    for (const UINT type : refused) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MessageBoxA(nullptr, "x", "y", type), 0) << std::hex << type;
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << std::hex << type;
    }
    EXPECT_EQ(seamCall.calls, 0);
    for (const UINT type : {MB_OK, MB_OKCANCEL | MB_TASKMODAL, MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL}) {
        EXPECT_EQ(MessageBoxA(nullptr, "x", "y", type), IDCANCEL) << std::hex << type;
    }
    EXPECT_EQ(seamCall.calls, 3);
}

// Without a usable display the box is a line on standard error, answered OK at once
// (even where Cancel was offered): no display variable, an empty one, or one GTK cannot open.
TEST(MessageBox, HeadlessWritesUtf8ToStandardErrorAndAnswersOk) {
    struct Case {
        const char* display;
        const char* caption;
        std::string line;
    } cases[] = {
        {nullptr, kCaptionCp932, std::string(kCaptionUtf8) + ": " + kTextUtf8 + "\n"},
        {"", "", std::string(kTextUtf8) + "\n"},
        {"unix:/nonexistent/socket", kCaptionCp932, std::string(kCaptionUtf8) + ": " + kTextUtf8 + "\n"},
    };
    for (const Case& c : cases) {
        Child child({{"DISPLAY", c.display}, {"WAYLAND_DISPLAY", nullptr}},
                    [&] { Answer(MB_OKCANCEL, kTextCp932, c.caption); });
        ASSERT_TRUE(child.ReadToEnd()) << "no end; stderr: " << child.Err();
        EXPECT_EQ(child.Err(), c.line + "answer 1\n") << (c.display ? c.display : "(unset)");
    }
}

bool Installed(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// An Xvfb server of our own on a display number it picks itself.
class MessageBoxOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "timeout"}) {
            if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed";
        }
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server_ = fork();
        if (server_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Read up to the newline: Xvfb writes the number and the newline separately and
        // gives up if the pipe is closed between the two.
        std::string number;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (display_.empty() && Clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) continue;
            char ch = 0;
            if (read(fds[0], &ch, 1) != 1) break;
            if (ch != '\n') number += ch;
            else if (!number.empty()) display_ = ":" + number;
        }
        close(fds[0]);
        ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }
    std::string X(const std::string& command) {
        return Capture("DISPLAY=" + display_ + " timeout 20 xdotool " + command + " 2>/dev/null");
    }

    pid_t server_ = -1;
    std::string display_;
};

TEST_F(MessageBoxOnDisplay, KeysAnswerTheRealBoxWhichThenGoesAway) {
    struct Case {
        UINT type;
        const char* key;
        int answer;
        bool worker;  // shown from a thread other than the one that started the process
    } cases[] = {
        {MB_OKCANCEL, "Escape", IDCANCEL, false},
        {MB_OKCANCEL | MB_ICONWARNING | MB_SYSTEMMODAL, "Return", IDOK, true},
        {MB_OK, "Escape", IDOK, false},  // no Cancel button: closing is OK
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string caption = std::string("SE Retimer ") + kCaptionCp932;
        Child child({{"DISPLAY", display_.c_str()}, {"WAYLAND_DISPLAY", nullptr}, {"NO_AT_BRIDGE", "1"}},
                    [&] {
                        if (c.worker) {
                            std::thread([&] { Answer(c.type, kTextCp932, caption.c_str()); }).join();
                        } else {
                            Answer(c.type, kTextCp932, caption.c_str());
                        }
                        sleep(30);  // stay alive, holding the display, until killed
                    });
        // The display is this test's own: its one visible window is the box. (The search
        // goes by class: GTK sets only the UTF-8 title of a non-Latin-1 caption, which
        // xdotool's name search does not read.)
        std::string window = X("search --sync --onlyvisible --classname .");
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty()) << "no box appeared; stderr: " << child.Err();
        EXPECT_EQ(X("getwindowname " + window), std::string("SE Retimer ") + kCaptionUtf8 + "\n");
        X("windowfocus --sync " + window);
        X(std::string("key ") + c.key);
        EXPECT_EQ(child.Line("answer "), "answer " + std::to_string(c.answer)) << child.Err();
        // The box has left the screen while the child no longer runs GTK's loop.
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        while (!X("search --onlyvisible --classname .").empty() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(X("search --onlyvisible --classname ."), "");
    }
}

}  // namespace
