// The real GTK file dialogs under a virtual X display, driven with xdotool as a person
// would: a path typed and Return, Escape, and the owner's window behind the dialog.
// Each dialog runs in a forked child that prints its answer on standard error.
#include <SDL.h>
#include <commdlg.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "backend/sdl/sdl_bridge.h"
#include "support/test_support.h"
#include "support/xvfb_support.h"

namespace {

const char kFilter[] = "Wave File(*.wav)\0*.wav\0";

// Shows the dialog (the title names it for xdotool) and prints
// "answer <result> <error> <filter index> <path>".
void ShowAndPrint(bool save, const char* title, HWND owner = nullptr, size_t size = 260) {
    std::vector<char> buffer(size, '\0');
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_WIN32;
    record.hwndOwner = owner;
    record.lpstrFilter = kFilter;
    record.nFilterIndex = 1;
    record.lpstrFile = buffer.data();
    record.nMaxFile = static_cast<DWORD>(buffer.size());
    record.lpstrTitle = title;
    std::fprintf(stderr, "showing %s\n", title);  // for the report of a dialog that never shows
    std::fflush(stderr);
    const BOOL result = save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
    if (!result && CommDlgExtendedError() == CDERR_DIALOGFAILURE) {
        // GTK found no display: say whether the display answers anyone at all.
        std::fprintf(stderr, "display check: %s",
                     Capture("xdotool getdisplaygeometry 2>&1; echo \"exit $?\"").c_str());
    }
    std::fprintf(stderr, "answer %d %u %u %s\n", result,
                 static_cast<unsigned>(CommDlgExtendedError()),
                 static_cast<unsigned>(record.nFilterIndex), buffer.data());
    std::fflush(stderr);
}

class FileDialogOnDisplay : public xvfb_support::XvfbTest {
protected:
    std::vector<std::pair<const char*, const char*>> Env() const {
        return {{"DISPLAY", display_.c_str()},
                {"WAYLAND_DISPLAY", nullptr},
                {"NO_AT_BRIDGE", "1"},
                {"GTK_USE_PORTAL", nullptr},
                {"GDK_BACKEND", "x11"}};
    }
    // What the display and the child show when a dialog did not appear.
    std::string NoDialog(xvfb_support::Child& child) {
        child.ReadToEnd(std::chrono::seconds(1));
        return "no dialog appeared; the child " +
               std::string(child.Running() ? "still runs" : "has ended") + "; windows:\n" +
               X("search --name . getwindowname %@") + "stderr: " + child.Err() +
               (child.Running() ? "stacks:\n" + child.Stacks() : "");
    }
    // The dialog's window, found by its title; empty when none appeared.
    std::string DialogWindow(const std::string& title) {
        std::string window = X("search --sync --onlyvisible --name '^" + title + "$'");
        window = window.substr(0, window.find('\n'));
        if (!window.empty()) X("windowfocus --sync " + window);
        return window;
    }
    // Presses Return until done() holds: GTK's name completion may take a press that
    // comes while it is still filling in. done() waits a short while itself; the presses
    // go on for a bounded (scaled) time.
    bool ReturnUntil(const std::function<bool()>& done) {
        const auto deadline = xvfb_support::Clock::now() + Scaled(std::chrono::seconds(30));
        do {
            X("key Return");
            if (done()) return true;
        } while (xvfb_support::Clock::now() < deadline);
        return false;
    }
    // Types text into the focused field, replacing what is there, and presses Return
    // until the child's answer line comes. GTK completes names as they are typed, and on
    // a loaded machine a late completion can garble the field: then it is typed again.
    std::string TypeForAnswer(xvfb_support::Child& child, const std::string& text) {
        std::string answer;
        for (int round = 0; round < 3 && answer.empty(); ++round) {
            X("key ctrl+a");
            X("type --delay 20 " + Quote(text));
            for (int press = 0; press < 3 && answer.empty(); ++press) {
                X("key Return");
                answer = child.Line("answer ", std::chrono::seconds(2));
            }
        }
        return answer;
    }
};

TEST_F(FileDialogOnDisplay, APathTypedIntoTheRealDialogComesBack) {
    TempFolder folder;
    folder.WriteHostFile("clip.WAV", "RIFF");
    struct Case {
        bool save;
        std::string typed;  // what the person types before Return
        std::string answer;
    } cases[] = {
        // The save dialog's name field takes a whole path.
        {true, folder.Host() + "/new take.wav", "answer 1 0 1 " + folder.Host() + "/new take.wav"},
        // In the open dialog "/" opens the location field.
        {false, folder.Host() + "/clip.WAV", "answer 1 0 1 " + folder.Host() + "/clip.WAV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.save ? "save" : "open");
        xvfb_support::Child child(Env(), [&] {
            ShowAndPrint(c.save, "Pick a clip");
            sleep(30);  // stay alive, holding the display, until killed
        });
        const std::string window = DialogWindow("Pick a clip");
        ASSERT_FALSE(window.empty()) << NoDialog(child);
        EXPECT_EQ(TypeForAnswer(child, c.typed), c.answer) << child.Err();
        EXPECT_EQ(X("search --onlyvisible --name '^Pick a clip$'"), "");
    }
}

// A path longer than the caller's buffer is refused with a warning and the dialog stays
// open for another choice, instead of failing with a buffer that is too small.
TEST_F(FileDialogOnDisplay, APathTooLongForTheBufferIsRefusedAndTheDialogStays) {
    TempFolder folder;
    const std::string tooLong = folder.Host() + "/" + std::string(40, 'n') + ".wav";
    const std::string fits = folder.Host() + "/a.wav";
    xvfb_support::Child child(Env(), [&] {
        ShowAndPrint(true, "Short paths", nullptr, fits.size() + 1);
        sleep(30);
    });
    const std::string dialog = DialogWindow("Short paths");
    ASSERT_FALSE(dialog.empty()) << NoDialog(child);
    const std::string before = X("search --onlyvisible --classname .");
    X("type --delay 20 " + Quote(tooLong));
    // The warning is the one new window.
    std::string warning;
    ReturnUntil([&] {
        for (int i = 0; i < 30 && warning.empty(); ++i) {
            const std::string now = X("search --onlyvisible --classname .");
            size_t start = 0;
            for (size_t end; (end = now.find('\n', start)) != std::string::npos; start = end + 1) {
                const std::string window = now.substr(start, end - start);
                if (before.find(window + "\n") == std::string::npos) warning = window;
            }
            if (warning.empty())
                std::this_thread::sleep_for(Scaled(std::chrono::milliseconds(100)));
        }
        return !warning.empty();
    });
    ASSERT_FALSE(warning.empty()) << "no warning appeared; stderr: " << child.Err();
    X("windowfocus --sync " + warning);
    X("key Return");
    EXPECT_EQ(X("getwindowname " + dialog), "Short paths\n");  // still open
    X("windowfocus --sync " + dialog);
    EXPECT_EQ(TypeForAnswer(child, fits), "answer 1 0 1 " + fits) << child.Err();
}

TEST_F(FileDialogOnDisplay, EscapeCancelsWithNoError) {
    xvfb_support::Child child(Env(), [] {
        ShowAndPrint(true, "Save it");
        sleep(30);
    });
    ASSERT_FALSE(DialogWindow("Save it").empty()) << NoDialog(child);
    X("key Escape");
    EXPECT_EQ(child.Line("answer "), "answer 0 0 1 ") << child.Err();
}

// The dialog is marked transient for the owner's SDL window, so a window manager keeps
// it above that window; keys the owner's window received meanwhile are dropped, as a
// disabled owner would never have seen them.
TEST_F(FileDialogOnDisplay, TheDialogStandsForItsOwnersWindow) {
    xvfb_support::Child child(Env(), [] {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        SDL_Window* window = SDL_CreateWindow("The owner", 0, 0, 320, 240, SDL_WINDOW_SHOWN);
        if (window == nullptr) return;
        HWND owner = reinterpret_cast<HWND>(0x10);
        winapi::backend::RegisterSdlWindow(owner, window);
        ShowAndPrint(false, "Owned", owner);
        SDL_PumpEvents();
        std::fprintf(stderr, "owner keys %d\n",
                     SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYUP));
        std::fflush(stderr);
        sleep(30);
    });
    std::string owner = X("search --sync --onlyvisible --name '^The owner$'");
    owner = owner.substr(0, owner.find('\n'));
    ASSERT_FALSE(owner.empty()) << "no SDL window; stderr: " << child.Err();
    const std::string window = DialogWindow("Owned");
    ASSERT_FALSE(window.empty()) << NoDialog(child);
    const std::string transient =
        Capture("DISPLAY=" + display_ + " xprop -id " + window + " WM_TRANSIENT_FOR");
    char want[64];
    std::snprintf(want, sizeof want, "window id # 0x%lx", std::stoul(owner));
    EXPECT_NE(transient.find(want), std::string::npos) << transient;

    X("windowfocus --sync " + owner);
    X("key a b c");
    X("windowfocus --sync " + window);
    X("key Escape");
    EXPECT_EQ(child.Line("answer "), "answer 0 0 1 ") << child.Err();
    EXPECT_EQ(child.Line("owner keys "), "owner keys 0") << child.Err();
}

}  // namespace
