// MessageBoxA: the seam tests answer, the headless answer, and the real GTK box under a
// virtual X display driven with xdotool. Boxes that touch GTK run in forked children, so
// GTK never starts in the test process and a broken box is killed after a bounded wait.
#include <gtest/gtest.h>
#include <seams.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "backend/close_signals.h"
#include "support/test_support.h"
#include "support/xvfb_support.h"

namespace {

using xvfb_support::Child;
using xvfb_support::Clock;
using xvfb_support::XvfbTest;

// "初期化" and "確認" in code page 932, and their UTF-8 forms.
const char kTextCp932[] = "\x8F\x89\x8A\xFA\x89\xBB";
const char kTextUtf8[] = "\xE5\x88\x9D\xE6\x9C\x9F\xE5\x8C\x96";
const char kCaptionCp932[] = "\x8A\x6D\x94\x46";
const char kCaptionUtf8[] = "\xE7\xA2\xBA\xE8\xAA\x8D";

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
        0x4u,                           // MB_YESNO
        0x10u,                          // MB_ICONERROR
        0x40u,                          // MB_ICONINFORMATION
        MB_OKCANCEL | 0x100u,           // MB_DEFBUTTON2
        MB_SYSTEMMODAL | MB_TASKMODAL,  // no such modality
        MB_OK | 0x40000u,               // MB_TOPMOST
    };
    for (const UINT type : refused) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MessageBoxA(nullptr, "x", "y", type), 0) << std::hex << type;
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << std::hex << type;
    }
    EXPECT_EQ(seamCall.calls, 0);
    for (const UINT type :
         {MB_OK, MB_OKCANCEL | MB_TASKMODAL, MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL}) {
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
        {"unix:/nonexistent/socket", kCaptionCp932,
         std::string(kCaptionUtf8) + ": " + kTextUtf8 + "\n"},
    };
    for (const Case& c : cases) {
        Child child({{"DISPLAY", c.display}, {"WAYLAND_DISPLAY", nullptr}},
                    [&] { Answer(MB_OKCANCEL, kTextCp932, c.caption); });
        ASSERT_TRUE(child.ReadToEnd()) << "no end; stderr: " << child.Err();
        EXPECT_EQ(child.Err(), c.line + "answer 1\n") << (c.display ? c.display : "(unset)");
    }
}

// An Xvfb server of its own for each test.
class MessageBoxOnDisplay : public XvfbTest {};

// A key answers the box; so does a close signal of a process that catches them (as the
// program does once it has a window), as closing the box would.
TEST_F(MessageBoxOnDisplay, KeysAnswerTheRealBoxWhichThenGoesAway) {
    struct Case {
        UINT type;
        const char* key;  // or null: the signal
        int signal;
        int answer;
        bool worker;  // shown from a thread other than the one that started the process
    } cases[] = {
        {MB_OKCANCEL, "Escape", 0, IDCANCEL, false},
        {MB_OKCANCEL | MB_ICONWARNING | MB_SYSTEMMODAL, "Return", 0, IDOK, true},
        {MB_OK, "Escape", 0, IDOK, false},  // no Cancel button: closing is OK
        {MB_OKCANCEL, nullptr, SIGTERM, IDCANCEL, false},
        {MB_OK | MB_TASKMODAL, nullptr, SIGINT, IDOK, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key ? c.key : "signal " + std::to_string(c.signal));
        const std::string caption = std::string("SE Retimer ") + kCaptionCp932;
        Child child(
            {{"DISPLAY", display_.c_str()}, {"WAYLAND_DISPLAY", nullptr}, {"NO_AT_BRIDGE", "1"}},
            [&] {
                winapi::backend::CatchCloseSignals();
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
        if (c.key != nullptr) {
            X("windowfocus --sync " + window);
            X(std::string("key ") + c.key);
        } else {
            child.Signal(c.signal);
        }
        EXPECT_EQ(child.Line("answer "), "answer " + std::to_string(c.answer)) << child.Err();
        // The box has left the screen while the child no longer runs GTK's loop.
        const auto deadline = Clock::now() + Scaled(std::chrono::seconds(3));
        while (!X("search --onlyvisible --classname .").empty() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(X("search --onlyvisible --classname ."), "");
    }
}

}  // namespace
