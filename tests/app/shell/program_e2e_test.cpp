// The real program under an Xvfb server of its own, driven with xdotool: its window, the
// screenshot and quit keys, close signals, the settings file, a second copy and the file
// it hands over, files named on the command line, what it says without a display or a
// font, and the saved placement. Each test runs a copy of the program in a temporary
// folder (its home folder) so the files it writes land there; what it writes on standard
// error is kept there too. A read-only copy writes to the user's folders instead, and a
// copy started with --scale 2 shows a window twice as large.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "support/wav_bytes.h"
#include "support/xvfb_support.h"

namespace {

using namespace std::chrono_literals;

constexpr char kTitle[] = "SE Retimer : Ver 1.00.1";

class ProgramEndToEnd : public xvfb_support::XvfbTest {
protected:
    TempFolder home;

    // Room for a window twice the program's size.
    ProgramEndToEnd() { screen_ = "1600x1200x24"; }

    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        namespace fs = std::filesystem;
        const fs::path program(SE_PROGRAM_PATH);
        fs::copy_file(program, home / "se-retimer");
        fs::create_directories(home / "Data");
        fs::copy_file(program.parent_path() / "Data/package", home / "Data/package");
    }
    void TearDown() override {
        for (pid_t pid : started_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (readOnly_) chmod(programFolder_.c_str(), 0755);  // to be removed with home
        XvfbTest::TearDown();
    }

    // Makes folder read-only to this process and what it starts: a read-only bind mount
    // in a mount namespace of its own for root (whom file modes do not stop), the modes
    // otherwise. For a forked child about to start the program; false when it cannot.
    static bool MakeReadOnly(const std::string& folder) {
        if (geteuid() != 0) return chmod(folder.c_str(), 0555) == 0;
        return unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
               mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
                   0;
    }

    // How a copy of the program is started.
    struct Launch {
        const char* audioDriver = "dummy";
        const char* argument = nullptr;
        std::vector<const char*> options;  // before the argument
        std::string folder;                // the current folder it starts in; empty: the test's own
        // Variables set (or, with a null value, unset) after the test's own.
        std::vector<std::pair<const char*, const char*>> environment;
    };

    // Starts the program on the test's display; audio goes nowhere (or, with an audio
    // driver that does not exist, there is no audio device at all).
    pid_t Start(const char* audioDriver = "dummy", const char* argument = nullptr) {
        Launch launch;
        launch.audioDriver = audioDriver;
        launch.argument = argument;
        return Start(launch);
    }
    pid_t Start(const Launch& launch) {
        const std::string errors = home / ("stderr-" + std::to_string(errors_.size()) + ".txt");
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, STDERR_FILENO);
            if (!launch.folder.empty() && chdir(launch.folder.c_str()) != 0) _exit(126);
            setenv("DISPLAY", display_.c_str(), 1);
            unsetenv("WAYLAND_DISPLAY");
            setenv("SDL_AUDIODRIVER", launch.audioDriver, 1);
            unsetenv("SDL_VIDEODRIVER");
            // The single-instance lock and the first copy's socket live in the runtime
            // folder: one per test, so tests running side by side are not each other's
            // first copy.
            setenv("XDG_RUNTIME_DIR", home.HostPath("").c_str(), 1);
            // In the sanitizer build the exit code must be the program's own: the blocks
            // that D-Bus and fontconfig keep until exit would otherwise turn it into the
            // leak checker's. (The in-process tests check our own code for leaks.) A fault
            // the sanitizers find ends it with 86, never mistaken for an exit of its own.
            setenv("ASAN_OPTIONS", "detect_leaks=0:exitcode=86", 1);
            for (const auto& [name, value] : launch.environment) {
                value ? setenv(name, value, 1) : unsetenv(name);
            }
            if (readOnly_ && !MakeReadOnly(programFolder_)) _exit(126);
            const std::string path = programFolder_ + "/se-retimer";
            std::vector<const char*> argv = {path.c_str()};
            argv.insert(argv.end(), launch.options.begin(), launch.options.end());
            argv.push_back(launch.argument);
            argv.push_back(nullptr);
            execv(path.c_str(), const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        started_.push_back(pid);
        errors_[pid] = errors;
        return pid;
    }

    // What a copy of the program wrote on standard error so far.
    std::string ErrorsOf(pid_t pid) {
        std::ifstream in(errors_[pid], std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Waits until the copy wrote text on standard error; false when the limit passed.
    bool Wrote(pid_t pid, const std::string& text, std::chrono::milliseconds limit = 20s) {
        return Within([&] { return ErrorsOf(pid).find(text) != std::string::npos; }, limit);
    }

    // The exit status once the program ended within the limit; -1 when it did not.
    int WaitFor(pid_t pid, std::chrono::milliseconds limit = 20s) {
        const auto deadline = xvfb_support::Clock::now() + Scaled(limit);
        while (xvfb_support::Clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                std::erase(started_, pid);
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }

    // The program's window id, once it is mapped.
    std::string FindWindow() {
        std::string id = X(std::string("search --sync --onlyvisible --name '") + kTitle + "'");
        return id.substr(0, id.find('\n'));
    }

    // Waits until ready() holds; false when the limit (scaled) passed first.
    static bool Within(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
        const auto deadline = xvfb_support::Clock::now() + Scaled(limit);
        while (!ready()) {
            if (xvfb_support::Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

    // A bitmap file holds as many bytes as its header says once it is written to its end.
    static bool CompleteBitmap(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadFile(path);
        if (bytes.size() < 6) return false;
        const size_t declared = bytes[2] | bytes[3] << 8 | bytes[4] << 16 | size_t(bytes[5]) << 24;
        return bytes.size() >= declared;
    }

    void Key(const std::string& window, const std::string& key) {
        X("key --window " + window + " " + key);
    }

    // Quits with F12 and answers the exit code (-1: still running at the limit). A window
    // is mapped before the program's first frame takes keys, so a press that came too
    // early is made again; a second F12 to a program already ending does nothing.
    int QuitWithF12(const std::string& window, pid_t program) {
        const auto deadline = xvfb_support::Clock::now() + Scaled(20s);
        do {
            Key(window, "F12");
            const int code = WaitFor(program, 1s);
            if (code != -1) return code;
        } while (xvfb_support::Clock::now() < deadline);
        return -1;
    }

    // A screenshot through the program's own F7: the path of the next numbered file once
    // it is written to its end.
    std::string Shoot(const std::string& window) {
        Key(window, "F7");
        char name[16];
        std::snprintf(name, sizeof name, "%4d.bmp", shots_++);
        const std::string path = shotFolder_ + "/" + name;
        EXPECT_TRUE(Within([&] { return CompleteBitmap(path); }, 10s)) << path;
        return path;
    }

    // Screenshots until shows(shot) holds or the limit passes; answers the last one. The
    // program draws at its own pace, slower in the sanitizer build and on a loaded
    // machine, so the tests wait for what they look for rather than for a fixed time.
    std::string ShootUntil(const std::string& window,
                           const std::function<bool(const std::string&)>& shows,
                           std::chrono::milliseconds limit = 15s) {
        const auto deadline = xvfb_support::Clock::now() + Scaled(limit);
        std::string shot = Shoot(window);
        while (!shows(shot) && xvfb_support::Clock::now() < deadline) {
            std::this_thread::sleep_for(300ms);
            shot = Shoot(window);
        }
        return shot;
    }

    // Holds key down until shows(shot), then lets it go: the program reads the keys once
    // a frame, so a key held until its effect shows is never missed however slow the
    // frames come. The key's next scene does not take it for a new press: only a key
    // going down counts.
    std::string PressUntil(const std::string& window, const std::string& key,
                           const std::function<bool(const std::string&)>& shows) {
        X("keydown --window " + window + " " + key);
        const std::string shot = ShootUntil(window, shows);
        X("keyup --window " + window + " " + key);
        return shot;
    }

    // Does act (a click, which the program sees only once a frame has picked the widget
    // under the pointer), then waits for shows(shot); without it for a while, act is done
    // again, as a person would click again. Only for acts that do nothing once they have
    // worked.
    std::string ActUntil(const std::string& window, const std::function<void()>& act,
                         const std::function<bool(const std::string&)>& shows) {
        std::string shot;
        for (int attempt = 0; attempt < 4; ++attempt) {
            act();
            shot = ShootUntil(window, shows, 5s);
            if (shows(shot)) break;
        }
        return shot;
    }

    // A click at (x, y) of the window once the pointer has rested there a moment.
    std::function<void()> ClickAt(const std::string& window, int x, int y) {
        return [this, window, x, y] {
            X("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
            std::this_thread::sleep_for(Scaled(200ms));
            X("click --window " + window + " 1");
        };
    }

    std::vector<pid_t> started_;
    std::map<pid_t, std::string> errors_;  // the file of each copy's standard error
    int shots_ = 0;
    // Where Start runs the program from (a copy of the program and its package), whether
    // that folder is read-only to it, and where its screenshots land.
    std::string programFolder_ = home.Host();
    bool readOnly_ = false;
    std::string shotFolder_ = home / "ss";
};

// The brightest channel sum (0 to 3) of an area ("WxH+X+Y") of a screenshot.
std::string Brightest(const std::string& shot, const std::string& area) {
    return Capture("convert " + Quote(shot) + " -crop " + area +
                   " -format '%[fx:maxima.r+maxima.g+maxima.b]' info: 2>/dev/null");
}
bool Lit(const std::string& shot, const std::string& area) { return Brightest(shot, area) != "0"; }

// The pixels of an area of a screenshot, to compare two shots.
std::string Pixels(const std::string& shot, const std::string& area) {
    return Capture("convert " + Quote(shot) + " -crop " + area + " +repage rgb:- 2>/dev/null");
}

// Whether the audio device's output file (SDL's disk driver) holds any sound yet.
bool SomethingPlayed(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.find_first_not_of('\0') != std::string::npos;
}

// A second of 16-bit mono sound at 44100 Hz made of bytes.
void WriteMonoSecond(const std::string& path, const wavbytes::Bytes& bytes) {
    wavbytes::Format format;
    format.channels = 1;
    WriteFile(path, wavbytes::Canonical(format, bytes));
}

// Where the workspace shows its first channel's graph, and where a dialog or wait screen
// shows its title over the help line's underline (black in the workspace).
constexpr char kFirstGraph[] = "100x10+100+166";
constexpr char kDialogTitle[] = "400x16+30+24";

// "Geometry: 640x480" and "Position: 80,60 (screen: 0)" of xdotool getwindowgeometry.
struct Geometry {
    int x = -1, y = -1, width = 0, height = 0;
};
Geometry Parse(const std::string& text) {
    Geometry g;
    const size_t position = text.find("Position: ");
    if (position != std::string::npos)
        std::sscanf(text.c_str() + position, "Position: %d,%d", &g.x, &g.y);
    const size_t geometry = text.find("Geometry: ");
    if (geometry != std::string::npos) {
        std::sscanf(text.c_str() + geometry, "Geometry: %dx%d", &g.width, &g.height);
    }
    return g;
}

TEST_F(ProgramEndToEnd, RunsItsWindowTakesAScreenshotAndQuitsWithF12) {
    const pid_t program = Start();
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty()) << "no window titled " << kTitle;
    EXPECT_EQ(X("getwindowname " + window), std::string(kTitle) + "\n");
    const Geometry g = Parse(X("getwindowgeometry " + window));
    EXPECT_EQ(g.width, 640);
    EXPECT_EQ(g.height, 480);
    X("windowactivate --sync " + window);

    // Pure white pixels in an area of a screenshot.
    const auto whitePixels = [&](const std::string& file, const std::string& area) {
        return Capture("convert " + Quote(file) + " -crop " + area +
                       " +repage -fill black +opaque white -fill white -opaque white -format "
                       "'%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null");
    };

    // The boot scenes, then the workspace fades in: its first channel's graph is drawn,
    // the help line's text is pure white once the fade is over, and left of the graphs
    // all is black (no trace of the white start-up paint).
    const std::string shot = ShootUntil(window, [&](const std::string& s) {
        return Lit(s, kFirstGraph) && whitePixels(s, "640x440+0+40") != "0";
    });
    EXPECT_EQ(Capture("identify -format '%w %h' " + Quote(shot) + " 2>/dev/null"), "640 480");
    EXPECT_TRUE(Lit(shot, kFirstGraph));
    EXPECT_FALSE(Lit(shot, "60x300+0+100"));

    // F5 with M and B held shows the frame-rate line: white text in the top 16 rows,
    // from the left edge; the program goes on running.
    EXPECT_EQ(whitePixels(shot, "256x16+0+0"), "0");
    // M and B stay down until the line shows: the layer records a key's state as the
    // window system delivers it, so a program slow to take its messages could see them
    // released already when it takes the F5.
    X("keydown --window " + window + " m b");
    Key(window, "F5");
    const std::string withLine = ShootUntil(window, [&](const std::string& s) {
        return std::atoi(whitePixels(s, "256x16+0+0").c_str()) > 100;
    });
    X("keyup --window " + window + " m b");
    EXPECT_GT(std::atoi(whitePixels(withLine, "256x16+0+0").c_str()), 100);
    // Nothing of it below its row.
    EXPECT_EQ(whitePixels(withLine, "640x440+0+40"), whitePixels(shot, "640x440+0+40"));

    EXPECT_EQ(QuitWithF12(window, program), 0);
    const std::string settings = home.ReadHostFile("Data/settings.ini");
    EXPECT_NE(settings.find("ProductName"), std::string::npos) << settings;
    EXPECT_NE(settings.find("SE Retimer"), std::string::npos) << settings;
}

// A second copy says so and ends; given a file (relative to the folder it was started
// in), it hands the file to the first copy, which opens it as a dropped file. SIGINT then
// closes the first copy as its window's close does.
TEST_F(ProgramEndToEnd, ASecondCopyHandsItsFileToTheFirstAndEnds) {
    const pid_t first = Start();
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    const pid_t second = Start();
    EXPECT_EQ(WaitFor(second), 0);
    EXPECT_EQ(ErrorsOf(second),
              "SE Retimer is already running; its window was brought to the front.\n");
    // Still one window of the program, and the first copy runs on.
    const std::string found = X(std::string("search --onlyvisible --name '") + kTitle + "'");
    EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), 1) << found;
    int status = 0;
    EXPECT_EQ(waitpid(first, &status, WNOHANG), 0);

    // The workspace takes dropped files: the file is handed over once it is up.
    ASSERT_TRUE(Lit(ShootUntil(window, [](const std::string& s) { return Lit(s, kFirstGraph); }),
                    kFirstGraph));
    std::filesystem::create_directory(home / "clips");
    WriteMonoSecond(home / "clips/handed.wav", wavbytes::Samples(88200));
    Launch launch;
    launch.argument = "handed.wav";
    launch.folder = home / "clips";
    const pid_t handing = Start(launch);
    EXPECT_EQ(WaitFor(handing), 0);
    EXPECT_EQ(ErrorsOf(handing),
              "SE Retimer is already running; the file was handed to it to open.\n");
    const auto panel = [](const std::string& s) { return Lit(s, "400x80+60+60"); };
    EXPECT_TRUE(panel(ShootUntil(window, panel))) << "the handed file is not shown";

    kill(first, SIGINT);
    EXPECT_EQ(WaitFor(first), 0);
    EXPECT_NE(home.ReadHostFile("Data/settings.ini").find("SE Retimer"), std::string::npos);
}

TEST_F(ProgramEndToEnd, RunsSilentlyWithoutAnAudioDevice) {
    const pid_t program = Start("no-such-audio-driver");
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    X("windowactivate --sync " + window);
    std::this_thread::sleep_for(1s);
    int status = 0;
    EXPECT_EQ(waitpid(program, &status, WNOHANG), 0) << "the program ended without sound";
    EXPECT_EQ(QuitWithF12(window, program), 0);
}

TEST_F(ProgramEndToEnd, PlacementIsKeptBetweenRunsAndMinus10000Centres) {
    // Saved at a position: the next run opens there and saves it again.
    home.WriteHostFile(
        "Data/settings.ini",
        "ProductName                     =SE Retimer\nFormat                          =1\n"
        "WindowLeft                      =30\nWindowTop                       =20\n");
    pid_t program = Start();
    std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    // The client area lies inside the frame the window's rectangle includes (3 pixels
    // and the 23-pixel caption). The window may show before it reaches its place.
    Geometry placed;
    Within(
        [&] {
            placed = Parse(X("getwindowgeometry " + window));
            return placed.x == 33 && placed.y == 46;
        },
        10s);
    EXPECT_EQ(placed.x, 33);
    EXPECT_EQ(placed.y, 46);
    ASSERT_EQ(QuitWithF12(window, program), 0);
    const std::string saved = home.ReadHostFile("Data/settings.ini");
    EXPECT_NE(saved.find("=30\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("=20\n"), std::string::npos) << saved;

    // -10000: centred on the 1600 x 1200 screen.
    home.WriteHostFile(
        "Data/settings.ini",
        "ProductName                     =SE Retimer\nFormat                          =1\n"
        "WindowLeft                      =-10000\nWindowTop                       =20\n");
    program = Start();
    window = FindWindow();
    ASSERT_FALSE(window.empty());
    const Geometry centred = Parse(X("getwindowgeometry " + window));
    EXPECT_NEAR(centred.x + centred.width / 2, 800, 20);
    EXPECT_NEAR(centred.y + centred.height / 2, 600, 40);
    EXPECT_EQ(QuitWithF12(window, program), 0);
}

TEST_F(ProgramEndToEnd, TitleAndSettingsFromTheWorkspaceAndOut) {
    const pid_t program = Start();
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    // The buttons' keys work only while the window is active: without a window manager
    // the keyboard focus is what makes it so.
    X("windowfocus --sync " + window);
    ShootUntil(window, [](const std::string& s) { return Lit(s, kFirstGraph); });
    // The title's menu with its last button in place: the buttons have slid in.
    const auto titleShown = [](const std::string& s) { return Lit(s, "127x27+200+378"); };

    // F9: the title menu, its four buttons in their column once they have slid in.
    Key(window, "F9");
    const std::string title = ShootUntil(window, titleShown);
    EXPECT_TRUE(Lit(title, "127x27+200+282")) << "the first menu button";
    EXPECT_TRUE(Lit(title, "127x27+200+378")) << "the last menu button";
    EXPECT_FALSE(Lit(title, "60x100+0+280")) << "nothing left of the column";

    // E: the setting scene, its caption where the title's logo was, the title's buttons
    // gone.
    const std::string setting = PressUntil(window, "e", [&](const std::string& s) {
        return Lit(s, "300x40+140+96") && !titleShown(s);
    });
    EXPECT_TRUE(Lit(setting, "300x40+140+96")) << "the \"Setting\" caption";
    EXPECT_FALSE(titleShown(setting)) << "the title's buttons are gone";

    // Back (its plate at the left end of the help line's title area): the title again.
    EXPECT_TRUE(titleShown(ActUntil(window, ClickAt(window, 55, 50), titleShown)))
        << "back on the title";

    // "終了" ends the program normally, and the settings file is written. A click that
    // came before a frame looked at the pointer is given again.
    int status = -1;
    for (int attempt = 0; attempt < 4 && status == -1; ++attempt) {
        ClickAt(window, 260, 390)();
        status = WaitFor(program, 5s);
    }
    EXPECT_EQ(status, 0);
    EXPECT_NE(home.ReadHostFile("Data/settings.ini").find("SE Retimer"), std::string::npos);
}

// A program folder that cannot be written (a read-only copy, as an installed program's
// is): the settings go to ~/.config/se-retimer, F7's screenshots to se-retimer in the
// pictures folder that user-dirs.dirs names, and nothing is written beside the program.
TEST_F(ProgramEndToEnd, AReadOnlyProgramFolderWritesToTheUserFolders) {
    namespace fs = std::filesystem;
    programFolder_ = home / "program";
    fs::create_directories(programFolder_ + "/Data");
    fs::copy_file(home / "se-retimer", programFolder_ + "/se-retimer");
    fs::copy_file(home / "Data/package", programFolder_ + "/Data/package");
    fs::create_directories(home / "user/.config");
    home.WriteHostFile("user/.config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    const std::string user = home / "user";
    Launch launch;
    launch.environment = {{"HOME", user.c_str()},
                          {"XDG_CONFIG_HOME", nullptr},
                          {"XDG_STATE_HOME", nullptr},
                          {"XDG_DATA_HOME", nullptr}};
    shotFolder_ = home / "user/Bilder/se-retimer";
    readOnly_ = true;
    const pid_t probe = fork();
    if (probe == 0) _exit(MakeReadOnly(programFolder_) ? 0 : 1);
    int status = -1;
    waitpid(probe, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        GTEST_SKIP() << "no way to make a folder read-only to the program here";
    }

    const pid_t program = Start(launch);
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    X("windowactivate --sync " + window);
    EXPECT_TRUE(Lit(ShootUntil(window, [](const std::string& s) { return Lit(s, kFirstGraph); }),
                    kFirstGraph));
    EXPECT_EQ(QuitWithF12(window, program), 0);
    const std::string settings = home.ReadHostFile("user/.config/se-retimer/settings.ini");
    EXPECT_NE(settings.find("SE Retimer"), std::string::npos) << settings;
    const std::vector<std::string> beside = {"Data", "se-retimer"};
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(programFolder_)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, beside);
    EXPECT_FALSE(fs::exists(programFolder_ + "/Data/settings.ini"));
}

// A high-density screen: --scale 2 opens the window at twice its size, centred on the
// 800 x 600 screen the program sees; clicks at twice the places work as at 1x; the frame
// reaches the screen in sharp 2 x 2 blocks; the saved placement is unscaled.
TEST_F(ProgramEndToEnd, ScaleTwoOpensTwiceTheWindowThatClicksDriveAsAtOneTimes) {
    Launch launch;
    launch.options = {"--scale", "2"};
    const pid_t program = Start(launch);
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    // The window's rectangle at ((800 - 646) / 2, (600 - 509) / 2) = (77, 45), its
    // client area 3 and 26 further: (80, 71), twice that on the real screen.
    Geometry placed;
    Within(
        [&] {
            placed = Parse(X("getwindowgeometry " + window));
            return placed.x == 160 && placed.y == 142;
        },
        10s);
    EXPECT_EQ(placed.x, 160);
    EXPECT_EQ(placed.y, 142);
    EXPECT_EQ(placed.width, 1280);
    EXPECT_EQ(placed.height, 960);
    X("windowfocus --sync " + window);
    const std::string workspace =
        ShootUntil(window, [](const std::string& s) { return Lit(s, kFirstGraph); });
    EXPECT_EQ(Capture("identify -format '%w %h' " + Quote(workspace) + " 2>/dev/null"), "640 480");

    // What the screen shows: undone by sampling every other pixel and doubling them
    // again, nothing changes when every pixel is a block of four.
    const std::string screen = home / "screen.png", resampled = home / "resampled.png";
    Capture("DISPLAY=" + display_ + " import -window " + window + " " + Quote(screen));
    Capture("convert " + Quote(screen) + " -sample 50% -sample 200% " + Quote(resampled));
    EXPECT_EQ(Capture("identify -format '%w %h' " + Quote(screen) + " 2>/dev/null"), "1280 960");
    EXPECT_TRUE(Lit(screen, "1280x960+0+0"));
    EXPECT_EQ(
        Capture("compare -metric AE " + Quote(screen) + " " + Quote(resampled) + " null: 2>&1"),
        "0");

    // F9, then the title's "設定変更" (its third button) by a click: the setting scene;
    // its back plate by a click: the title; "終了" by a click: the end.
    const auto titleShown = [](const std::string& s) { return Lit(s, "127x27+200+378"); };
    Key(window, "F9");
    ASSERT_TRUE(titleShown(ShootUntil(window, titleShown)));
    const auto settingShown = [&](const std::string& s) {
        return Lit(s, "300x40+140+96") && !titleShown(s);
    };
    EXPECT_TRUE(settingShown(ActUntil(window, ClickAt(window, 2 * 260, 2 * 358), settingShown)));
    EXPECT_TRUE(titleShown(ActUntil(window, ClickAt(window, 2 * 55, 2 * 50), titleShown)));
    int status = -1;
    for (int attempt = 0; attempt < 4 && status == -1; ++attempt) {
        ClickAt(window, 2 * 260, 2 * 390)();
        status = WaitFor(program, 5s);
    }
    EXPECT_EQ(status, 0);
    const std::string saved = home.ReadHostFile("Data/settings.ini");
    EXPECT_NE(saved.find("=77\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("=45\n"), std::string::npos) << saved;
}

// When the display goes away under it, the window system's library ends the program
// with exit code 1. Nothing may fault on the way out: statics are destroyed while the
// program's own device is still held.
TEST_F(ProgramEndToEnd, EndsWithExitCodeOneWhenTheDisplayGoesAway) {
    const pid_t program = Start();
    ASSERT_FALSE(FindWindow().empty());
    std::this_thread::sleep_for(1s);  // the workspace runs
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
    server_ = -1;
    EXPECT_EQ(WaitFor(program), 1);
}

// A file named by a relative UTF-8 path is found in the folder the program was started
// in, not in its own. SIGTERM then closes it as its window's close does: exit code 0,
// the settings written.
TEST_F(ProgramEndToEnd, OpensARelativeFileFromWhereItStartedAndEndsOnSigterm) {
    // A second of silence: large enough to be held in pages of its own rather than on
    // the heap.
    const std::string clips = home / U8(u8"素材");
    std::filesystem::create_directory(clips);
    WriteMonoSecond(clips + "/" + U8(u8"効果音.wav"), wavbytes::Bytes(88200, 0));

    Launch launch;
    const std::string name = U8(u8"効果音.wav");
    launch.argument = name.c_str();
    launch.folder = clips;
    const pid_t program = Start(launch);
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    // Loading, then the workspace's fade-in: the panel's lines stand at the top left, the
    // file's name, its duration ...
    const auto panel = [](const std::string& s) { return Lit(s, "400x80+60+60"); };
    EXPECT_TRUE(panel(ShootUntil(window, panel)));
    // ... and the clip, which the program holds to the end, is let go cleanly at exit.
    kill(program, SIGTERM);
    EXPECT_EQ(WaitFor(program), 0);
    EXPECT_NE(home.ReadHostFile("Data/settings.ini").find("SE Retimer"), std::string::npos);
}

// What cannot be read is refused with the workspace's message, and the program goes
// on: a FIFO named on the command line (never opened, so nothing waits for a writer),
// then a missing file a second copy hands over, named relative to where that copy
// started. GTK is kept from the display so the boxes are written on standard error.
TEST_F(ProgramEndToEnd, RefusesWhatItCannotReadAndGoesOn) {
    const std::string fifo = home / "pipe.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    Launch launch;
    launch.argument = fifo.c_str();
    launch.environment = {{"GDK_BACKEND", "wayland"}};
    const pid_t program = Start(launch);
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(Wrote(program, fifo + U8(u8"は\n現在、読み込みができません\n")))
        << ErrorsOf(program);
    // The workspace opens empty: its graph, no panel.
    const std::string shot =
        ShootUntil(window, [](const std::string& s) { return Lit(s, kFirstGraph); });
    EXPECT_TRUE(Lit(shot, kFirstGraph));
    EXPECT_FALSE(Lit(shot, "400x80+60+60"));

    Launch second;
    second.argument = "missing.wav";
    second.folder = home.Host();
    second.environment = launch.environment;
    EXPECT_EQ(WaitFor(Start(second)), 0);
    EXPECT_TRUE(Wrote(program, home / U8(u8"missing.wavは\n現在、読み込みができません\n")))
        << ErrorsOf(program);
    int status = 0;
    EXPECT_EQ(waitpid(program, &status, WNOHANG), 0) << "the program ended";
    kill(program, SIGTERM);
    EXPECT_EQ(WaitFor(program), 0);
}

// Without a display, with one that cannot be opened, or without a font for Japanese
// text, the program says what is missing and how to get it in one line, ends with
// exit code 1 and makes nothing: no window, no lock; the missing font is in Error.log.
TEST_F(ProgramEndToEnd, SaysWhatIsMissingInsteadOfStarting) {
    // fontconfig set-ups: no fonts at all, and fonts without Japanese (DejaVu).
    const auto fonts = [&](const std::string& name, const std::string& folders) {
        home.WriteHostFile(name, "<?xml version=\"1.0\"?><fontconfig>" + folders + "<cachedir>" +
                                     home.HostPath("font-cache") + "</cachedir></fontconfig>");
        return home / name;
    };
    const std::string noFonts = fonts("no-fonts.conf", "");
    const std::string latin = fonts("latin.conf", "<dir>/usr/share/fonts/truetype/dejavu</dir>");
    struct Case {
        std::vector<std::pair<const char*, const char*>> environment;
        std::string line;  // its start
        std::string names;
    } cases[] = {
        {{{"DISPLAY", nullptr}}, "SE Retimer: no display found", "xvfb-run -a "},
        {{{"DISPLAY", "unix:/nonexistent/socket"}},
         "SE Retimer: cannot open the display unix:/nonexistent/socket",
         "xvfb-run -a "},
        {{{"FONTCONFIG_FILE", noFonts.c_str()}},
         "SE Retimer: no font for Japanese text",
         "fonts-ipafont-gothic"},
        {{{"FONTCONFIG_FILE", latin.c_str()}},
         "SE Retimer: no font for Japanese text",
         "fonts-noto-cjk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Launch launch;
        launch.environment = c.environment;
        const pid_t program = Start(launch);
        EXPECT_EQ(WaitFor(program), 1);
        const std::string said = ErrorsOf(program);
        EXPECT_EQ(said.rfind(c.line, 0), 0u) << said;
        EXPECT_NE(said.find(c.names), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        for (const std::string& name : home.Names()) {  // the runtime folder too
            EXPECT_NE(name.rfind("se-mutex-", 0), 0u) << name << " was made";
            EXPECT_NE(name.rfind("se-window-", 0), 0u) << name << " was made";
        }
    }
    EXPECT_EQ(X("search --onlyvisible --classname ."), "");
    const std::string log = home.ReadHostFile("error/Error.log");
    EXPECT_NE(log.find("fonts-ipafont-gothic"), std::string::npos) << log;
    EXPECT_NE(log.find("fonts-noto-cjk"), std::string::npos) << log;
}

// A whole session driven by keys, the mouse and the real save dialog: open a clip from
// the command line, lengthen it in the duration dialog, save it under a new
// name, play it. The saved file is what the batch tool writes for the same change, and
// the clip reaches the audio device.
TEST_F(ProgramEndToEnd, ChangesADurationSavesItAndPlaysIt) {
    WriteMonoSecond(home / "clip.wav", wavbytes::Samples(88200));
    const std::string audio = home.HostPath("played.raw");
    setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
    const pid_t program = Start("disk", home.HostPath("clip.wav").c_str());
    unsetenv("SDL_DISKAUDIOFILE");
    const std::string window = FindWindow();
    ASSERT_FALSE(window.empty());
    X("windowfocus --sync " + window);
    // Loading, then the workspace. The workspace shows no title at the top; the duration
    // dialog and the wait screen do.
    const auto workspace = [](const std::string& shot) {
        return Lit(shot, kFirstGraph) && !Lit(shot, kDialogTitle);
    };
    ASSERT_TRUE(workspace(ShootUntil(window, workspace)));

    // Q opens the duration dialog at 1000 ms; the bar's right arrow lengthens it; Q
    // confirms, and the change runs behind its wait screen.
    const auto dialogShown = [](const std::string& shot) { return Lit(shot, kDialogTitle); };
    ASSERT_TRUE(dialogShown(PressUntil(window, "q", dialogShown)));
    // The bar's value text, right of the bar, changes with the value. The bar steps
    // while its arrow is held down, one step at once and more past the repeat delay, so
    // the button is held until the value has changed. A press that came before a frame
    // had picked the arrow under the pointer changes nothing and is given again.
    const std::string before = Pixels(Shoot(window), "220x22+300+214");
    const auto changed = [&](const std::string& shot) {
        return Pixels(shot, "220x22+300+214") != before;
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        X("mousemove --window " + window + " 288 212");
        std::this_thread::sleep_for(Scaled(300ms));
        X("mousedown --window " + window + " 1");
        const bool stepped = changed(ShootUntil(window, changed, 5s));
        X("mouseup --window " + window + " 1");
        if (stepped) break;
    }
    // Confirmed: the dialog, its bar's arrow with it, gives way to the wait screen, then
    // the workspace comes back.
    const auto dialogGone = [](const std::string& shot) {
        return !(Lit(shot, kDialogTitle) && Lit(shot, "20x16+104+216"));
    };
    ASSERT_TRUE(dialogGone(PressUntil(window, "q", dialogGone)));
    ASSERT_TRUE(workspace(ShootUntil(window, workspace, 30s)));

    // R: the save dialog, the second visible window (its Japanese title is beyond
    // xdotool's name search). The name typed there, Return, and the file is written.
    const auto dialogWindow = [&]() -> std::string {
        std::istringstream found(X("search --onlyvisible --classname ."));
        for (std::string id; std::getline(found, id);) {
            if (!id.empty() && id != window) return id;
        }
        return "";
    };
    std::string dialog;
    X("keydown --window " + window + " r");
    Within([&] { return !(dialog = dialogWindow()).empty(); }, 20s);
    X("keyup --window " + window + " r");
    ASSERT_FALSE(dialog.empty()) << "no save dialog";
    // The file is saved through a temporary file renamed into place, so once the name is
    // there the file is whole. GTK completes
    // names as they are typed, and on a loaded machine a late completion can garble the
    // field: then it is typed again.
    const std::string saved = home.HostPath("longer.wav");
    for (int round = 0; round < 3 && !std::filesystem::exists(saved); ++round) {
        if (dialogWindow().empty()) break;
        X("windowfocus --sync " + dialog);
        X("key ctrl+a");
        X("type --delay 20 " + Quote(saved));
        for (int press = 0; press < 3 && !std::filesystem::exists(saved); ++press) {
            if (!dialogWindow().empty()) X("key Return");
            Within([&] { return std::filesystem::exists(saved); }, 3s);
        }
    }
    ASSERT_TRUE(std::filesystem::exists(saved));

    // T plays the clip once the workspace is back: the device's output file fills with
    // its samples.
    X("windowfocus --sync " + window);
    ASSERT_TRUE(workspace(ShootUntil(window, workspace)));
    X("keydown --window " + window + " t");
    Within([&] { return SomethingPlayed(audio); }, 15s);
    X("keyup --window " + window + " t");
    EXPECT_EQ(QuitWithF12(window, program), 0);

    // Longer by whole 100 ms steps (how many depends on the frames the button was held
    // for): the batch tool changes the same clip to the same length. The frame count
    // comes from a product in double precision, truncated, so it may fall one frame
    // short of the exact length: the duration is the nearest 100 ms.
    const std::string longer = home.ReadHostFile("longer.wav");
    ASSERT_GT(longer.size(), 44u + 88200u) << "not lengthened";
    const size_t frames = (longer.size() - 44) / 2;
    const size_t milliseconds = (frames * 1000 + 44100 * 50) / (44100 * 100) * 100;
    const std::string reference = home.HostPath("reference.wav");
    const Result cli =
        RunProgram(SE_CLI_PATH, "--ms " + std::to_string(milliseconds) + " -o " + Quote(reference) +
                                    " " + Quote(home.HostPath("clip.wav")));
    ASSERT_EQ(cli.status, 0) << cli.out;
    EXPECT_TRUE(longer == home.ReadHostFile("reference.wav"))
        << "the saved clip differs from the batch tool's: " << longer.size() << " bytes against "
        << home.ReadHostFile("reference.wav").size();
    EXPECT_TRUE(SomethingPlayed(audio)) << "nothing was played";
}

}  // namespace
