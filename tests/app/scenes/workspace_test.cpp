// The workspace and the duration dialog, run in-process on a headless device with
// answered dialogs and message boxes: which commands are enabled when, what the panel
// and graphs show, drops, the open and save dialogs with their checks, the dialog's
// bar, ratio line, confirmation and cancel, and undo and redo through the keys. Then
// what a user meets, driven through the main window's keys and mouse and the program's
// frames: back from the title, the bar's steps, the workspace drawn at once, why a file
// was refused, names code page 932 lacks, play without a sound device, where the dialogs
// start, refused changes, clips too big for memory and what F7 says.
#include "app/scenes/workspace.h"

#include <d3d8_seams.h>
#include <hostpath.h>
#include <seams.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/scenes/scene_fixture.h"
#include "app/scenes/time_changer.h"
#include "app/scenes/title.h"
#include "app/scenes/wait.h"
#include "app/scenes/workspace_commands.h"
#include "app/scenes/workspace_start.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "framework/window/dropped_files.h"
#include "sound/output/sound_device.h"
#include "support/child_process.h"
#include "support/main_window_fixture.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

namespace {

using namespace wavbytes;
using Scene::Main::CTimeChanger;
using Scene::Main::CWorkSpace;

struct Message {
    std::string text, caption;
    UINT type;
};
std::vector<Message> messages;
int messageAnswer = IDOK;

int RecordMessage(LPCSTR text, LPCSTR caption, UINT type) {
    messages.push_back({text, caption ? caption : "", type});
    return messageAnswer;
}

// The file dialogs' answer: a host path, or cancel when empty. The folder the last one
// started in is kept (empty: none given).
std::string dialogAnswer;
int dialogCalls = 0;
std::string dialogStartedIn;
const char* AnswerDialog(const OPENFILENAMEA* record, BOOL) {
    ++dialogCalls;
    dialogStartedIn = record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "";
    return dialogAnswer.empty() ? nullptr : dialogAnswer.c_str();
}

template <typename T>
T* CurrentAs() {
    return dynamic_cast<T*>(NVireo::NGame::NScene::Current());
}

// The enabled state of the six command buttons, Q W E R T A.
std::vector<bool> Enabled(CWorkSpace& workspace) {
    std::vector<bool> enabled;
    for (auto& button : workspace.commands.buttons) enabled.push_back(!button.disabled);
    return enabled;
}

// Draws the current scene as the main loop does, inside a frame of the device.
void DrawCurrent() {
    NVireo::NDirectX::N3D::CFrameSteps steps;
    steps.drawScene = [] { NVireo::NGame::NScene::Current()->Draw(); };
    NVireo::NDirectX::N3D::RenderFrame(steps);
}

// Frames (Draw, then Update) until the current scene is no wait screen.
void RunWaitScreen() {
    for (int frame = 0; frame < 100000 && CurrentAs<Scene::Main::BWait>(); ++frame) {
        DrawCurrent();
        NVireo::NGame::NScene::Current()->Update();
        Sleep(1);
    }
    ASSERT_EQ(CurrentAs<Scene::Main::BWait>(), nullptr);
}

// One frame of the current scene; a raised error fails the test with its text.
void Frame() {
    try {
        NVireo::NGame::NScene::Current()->Update();
        if (NVireo::NGame::NScene::Current()) DrawCurrent();
    } catch (const NVireo::NError::CObject&) {
        ADD_FAILURE() << NVireo::NError::ErrorText();
        NVireo::NError::Clear();
    }
}

// Message boxes and file dialogs answered by the test, nothing dropped yet; and undone.
void AnswerBoxesAndDialogs() {
    messages.clear();
    messageAnswer = IDOK;
    dialogAnswer.clear();
    dialogCalls = 0;
    dialogStartedIn.clear();
    SetMessageBoxAnswer(RecordMessage);
    SetFileDialogAnswer(AnswerDialog);
    NVireo::NDrop::DroppedFiles().Clear();
}
void StopAnswering() {
    SetMessageBoxAnswer(nullptr);
    SetFileDialogAnswer(nullptr);
    NVireo::NDrop::DroppedFiles().Clear();
}

class Workspace : public scene_test::HeadlessSceneTest {
protected:
    void SetUp() override {
        HeadlessSceneTest::SetUp();
        if (HasFatalFailure()) return;
        AnswerBoxesAndDialogs();
    }
    void TearDown() override {
        HeadlessSceneTest::TearDown();
        StopAnswering();
    }

    // The first start: the prepared clip, then the workspace.
    static CWorkSpace& FirstStart() {
        Main::PrepareWorkspaceClip();
        return *new CWorkSpace;
    }

    // A 16-bit stereo WAV of bytes sample bytes in the folder; answers its program path.
    std::string WriteWave(const std::string& name, size_t bytes) {
        WriteFile(folder / name, Canonical(Format{}, Samples(bytes)));
        return folder.ProgramPath(name);
    }

    // Loads path as the open-file dialog does and runs the loading screen.
    CWorkSpace& LoadThroughDialog(const std::string& name) {
        dialogAnswer = folder / name;
        Scene::Main::Button::CNexter::Select(Scene::Main::kLoad);
        EXPECT_NE(CurrentAs<Scene::Main::CLoading>(), nullptr);
        RunWaitScreen();
        CWorkSpace* workspace = CurrentAs<CWorkSpace>();
        EXPECT_NE(workspace, nullptr);
        return *workspace;
    }
};

// --- enabling, panel and graphs ---------------------------------------------------------

TEST_F(Workspace, FirstStartOffersOnlyLoading) {
    CWorkSpace& workspace = FirstStart();
    EXPECT_EQ(CWorkSpace::Current(), &workspace);
    EXPECT_EQ(Enabled(workspace), (std::vector<bool>{false, false, true, false, false, false}));
    EXPECT_TRUE(workspace.panelLabels.count == 0);
    // Two flat graphs of the silent stereo clip.
    ASSERT_EQ(workspace.graphs.size(), 2u);
    for (const auto& graph : workspace.graphs) {
        EXPECT_EQ(graph.bitsPerSample, 16);
        EXPECT_FALSE(graph.values.empty());
        for (double v : graph.values) ASSERT_EQ(v, 0.0);
    }
    EXPECT_EQ(workspace.graphs[0].top, 164);
    EXPECT_EQ(workspace.graphs[1].top, 274);
    EXPECT_EQ(workspace.graphs[1].bottom, 374);
    Frame();
    EXPECT_EQ(CurrentAs<CWorkSpace>(), &workspace);
    UINT width = 0, height = 0;
    const std::vector<DWORD> frame =
        SePresentedFrame(NVireo::NDirectX::N3D::Device().Get(), &width, &height);
    ASSERT_EQ(frame.size(), static_cast<size_t>(640 * 480));
    const auto at = [&](int x, int y) {
        return frame[static_cast<size_t>(y) * width + x] | 0xFF000000u;
    };
    EXPECT_EQ(at(100, 170), 0xFF646464u);  // panel of the first graph, above its grid
    EXPECT_EQ(at(300, 181), 0xFF969696u);  // its top grid line: 264 - trunc(5 x 100 / 6)
    EXPECT_EQ(at(100, 280), 0xFF646464u);  // the second graph
    EXPECT_EQ(at(20, 300), 0xFF000000u);   // beside the graphs
    EXPECT_EQ(at(300, 150), 0xFF000000u);  // between the panel and the graphs
}

TEST_F(Workspace, ALoadEnablesAllButStopAndInitialiseTakesItBack) {
    FirstStart();
    WriteWave("take.wav", 88200);  // 500 ms
    CWorkSpace& loaded = LoadThroughDialog("take.wav");
    EXPECT_EQ(Enabled(loaded), (std::vector<bool>{true, true, true, true, true, false}));
    ASSERT_EQ(loaded.panelLines.size(), 5u);
    EXPECT_EQ(loaded.panelLines[0].text, "take.wav");
    EXPECT_EQ(loaded.panelLines[0].description, folder.Program() + "/");
    EXPECT_EQ(loaded.panelLines[1].text, "再生時間       500ミリ秒(約0.5秒)(約0.01分)");
    EXPECT_EQ(loaded.panelLines[2].text, "サンプル総数   44100");
    EXPECT_EQ(loaded.panelLabels.count, 5);
    // Only the file name's line has a hover text: its folder.
    int32_t line = 0;
    for (const auto& label : loaded.panelLabels) {
        if (line++ == 0) {
            ASSERT_EQ(label.description.count, 1);
            EXPECT_EQ(std::string((*label.description.begin()).c_str()), folder.Program() + "/");
        } else {
            EXPECT_EQ(label.description.count, 0) << line;
        }
        EXPECT_EQ(label.x, 70);
        EXPECT_EQ(label.y, 64 + 18 * (line - 1));
    }
    ASSERT_EQ(loaded.graphs.size(), 2u);
    EXPECT_GE(loaded.graphs[0].values.size(), 400u);  // about 2000 bytes of the clip
    Frame();

    Scene::Main::Button::CNexter::Select(Scene::Main::kInitialise);
    EXPECT_EQ(CurrentAs<CWorkSpace>(), &loaded);
    const CClipState& s = SharedClipState();
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 0u);
    EXPECT_EQ(s.clip.data.length, 88200u);  // silence of the old length
    EXPECT_EQ(s.clip.nChannels, 2);
    EXPECT_TRUE(loaded.panelLines.empty());
    EXPECT_TRUE(loaded.panelLabels.count == 0);
    ASSERT_EQ(loaded.graphs.size(), 2u);
    for (const auto& graph : loaded.graphs) {
        for (double v : graph.values) ASSERT_EQ(v, 0.0);
    }
    Frame();
    EXPECT_EQ(Enabled(loaded), (std::vector<bool>{false, false, true, false, false, false}));
}

TEST_F(Workspace, AnEmptyDataChunkHasNoDurationAndCannotPlay) {
    WriteFile(folder / "empty.wav", Canonical(Format{}, {}));
    FirstStart();
    CWorkSpace& workspace = LoadThroughDialog("empty.wav");
    EXPECT_TRUE(SharedClipState().loaded);
    EXPECT_EQ(SharedClipState().currentDurationMs, 0u);
    EXPECT_TRUE(workspace.panelLines.empty());
    EXPECT_EQ(Enabled(workspace), (std::vector<bool>{true, true, true, true, false, false}));
}

TEST_F(Workspace, ACommandNotEnabledDoesNothing) {
    CWorkSpace& workspace = FirstStart();
    for (int32_t number : {-1, 0, 1, 3, 4, 5, 6, 100}) Scene::Main::Button::CNexter::Select(number);
    EXPECT_EQ(CurrentAs<CWorkSpace>(), &workspace);
    EXPECT_EQ(dialogCalls, 0);
    EXPECT_TRUE(messages.empty());
}

// --- drops ----------------------------------------------------------------------------------

TEST_F(Workspace, OfThreeDroppedFilesTheFirstLoads) {
    const std::string first = WriteWave("first.wav", 400);
    const std::string second = WriteWave("second.wav", 800);
    FirstStart();
    auto& dropped = NVireo::NDrop::DroppedFiles();
    for (const std::string& path : {first, second, WriteWave("third.wav", 1200)}) {
        dropped.paths.emplace_back(path.c_str());
    }
    Frame();
    ASSERT_NE(CurrentAs<Scene::Main::CLoading>(), nullptr);
    EXPECT_EQ(SharedClipState().jobPath, first);
    EXPECT_TRUE(dropped.Empty());
    // A drop while the loading screen is shown is discarded by the next workspace.
    dropped.paths.emplace_back(second.c_str());
    RunWaitScreen();
    EXPECT_EQ(SharedClipState().currentFilePath, first);
    EXPECT_EQ(SharedClipState().clip.data.length, 400u);
    EXPECT_TRUE(dropped.Empty());
    Frame();
    EXPECT_NE(CurrentAs<CWorkSpace>(), nullptr);
}

TEST_F(Workspace, ADroppedFileIsCheckedByTheLoadingJob) {
    FirstStart();
    const std::string path = folder.ProgramPath("notes.txt");
    WriteFile(folder / "notes.txt", Canonical(Format{}, Samples(40)));
    NVireo::NDrop::DroppedFiles().paths.emplace_back(path.c_str());
    Frame();
    RunWaitScreen();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, path + "\nファイルは不正です\n" +
                                    NVireo::NText::ApplicationStrings().Get(
                                        StringId::Application::RefusedNotWaveName));
    EXPECT_FALSE(SharedClipState().loaded);
}

// --- the open-file dialog ---------------------------------------------------------------------

// Chosen in the dialog or dropped, what is not a readable file is refused before any
// job starts: nothing is opened that could wait (a FIFO nobody writes to) or never end.
TEST_F(Workspace, OpenDialogAndDropRefuseWhatIsNotAReadableFile) {
    CWorkSpace& workspace = FirstStart();
    ASSERT_EQ(mkfifo((folder / "fifo.wav").c_str(), 0644), 0);
    std::filesystem::create_directory(folder / "folder.wav");
    for (const char* name : {"missing.wav", "fifo.wav", "folder.wav"}) {
        for (const bool dropped : {false, true}) {
            SCOPED_TRACE(std::string(name) + (dropped ? " dropped" : " chosen"));
            messages.clear();
            if (dropped) {
                NVireo::NDrop::DroppedFiles().paths.emplace_back(folder.ProgramPath(name).c_str());
                Frame();
            } else {
                dialogAnswer = folder / name;
                Scene::Main::Button::CNexter::Select(Scene::Main::kLoad);
            }
            EXPECT_EQ(CurrentAs<CWorkSpace>(), &workspace);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text,
                      folder.ProgramPath(name) + "は\n現在、読み込みができません");
            EXPECT_EQ(messages[0].caption, "");
            EXPECT_EQ(messages[0].type, static_cast<UINT>(MB_OK | MB_SYSTEMMODAL));
        }
    }
    EXPECT_EQ(dialogCalls, 3);
}

TEST_F(Workspace, CancellingTheOpenDialogDoesNothing) {
    CWorkSpace& workspace = FirstStart();
    Scene::Main::Button::CNexter::Select(Scene::Main::kLoad);
    EXPECT_EQ(dialogCalls, 1);
    EXPECT_EQ(CurrentAs<CWorkSpace>(), &workspace);
    EXPECT_TRUE(messages.empty());
}

// --- the save-file dialog ---------------------------------------------------------------------

TEST_F(Workspace, SaveCompletesTheExtensionAndWritesTheClip) {
    struct Case {
        const char* answer;
        const char* saved;
    };
    const Case cases[] = {
        {"plain", "plain.wav"},         {"LOUD.WAV", "LOUD.WAV"},       {"Mixed.Wav", "Mixed.Wav"},
        {"notes.txt", "notes.txt.wav"}, {"take.wave", "take.wave.wav"},
    };
    WriteWave("source.wav", 4000);
    FirstStart();
    LoadThroughDialog("source.wav");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        dialogAnswer = folder / c.answer;
        Scene::Main::Button::CNexter::Select(Scene::Main::kSave);
        ASSERT_NE(CurrentAs<Scene::Main::CSaving>(), nullptr);
        EXPECT_EQ(SharedClipState().jobPath, folder.ProgramPath(c.saved));
        RunWaitScreen();
        EXPECT_EQ(ReadFile(folder / c.saved), Canonical(Format{}, Samples(4000)));
        EXPECT_EQ(SharedClipState().currentFilePath, folder.ProgramPath(c.saved));
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Workspace, SavingOverAFileAsksFirst) {
    WriteWave("source.wav", 4000);
    FirstStart();
    LoadThroughDialog("source.wav");
    const Bytes old = Text("an older file");
    WriteFile(folder / "keep.wav", old);
    const NVireo::NText::CStringTable& strings = NVireo::NText::SystemStrings();
    const std::string question = folder.ProgramPath("keep.wav") + "\n\n" +
                                 strings.Get(StringId::System::OverwriteQuestion) + "\n" +
                                 strings.Get(StringId::System::OverwriteConfirm);

    dialogAnswer = folder / "keep";  // completed to keep.wav, which exists
    messageAnswer = IDCANCEL;
    Scene::Main::Button::CNexter::Select(Scene::Main::kSave);
    ASSERT_NE(CurrentAs<CWorkSpace>(), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, question);
    EXPECT_EQ(messages[0].caption, strings.Get(StringId::System::OverwriteCaption));
    EXPECT_EQ(messages[0].type, static_cast<UINT>(MB_ICONWARNING | MB_OKCANCEL));
    EXPECT_EQ(ReadFile(folder / "keep.wav"), old);

    messages.clear();
    messageAnswer = IDOK;
    Scene::Main::Button::CNexter::Select(Scene::Main::kSave);
    ASSERT_NE(CurrentAs<Scene::Main::CSaving>(), nullptr);
    RunWaitScreen();
    EXPECT_EQ(messages.size(), 1u);  // the question only
    EXPECT_EQ(ReadFile(folder / "keep.wav"), Canonical(Format{}, Samples(4000)));
}

TEST_F(Workspace, SaveRefusesAPathThatCannotBeWritten) {
    WriteWave("source.wav", 40);
    FirstStart();
    LoadThroughDialog("source.wav");
    // A folder where the file would go.
    std::filesystem::create_directory(folder / "taken.wav");
    dialogAnswer = folder / "taken.wav";
    Scene::Main::Button::CNexter::Select(Scene::Main::kSave);
    ASSERT_NE(CurrentAs<CWorkSpace>(), nullptr);
    ASSERT_EQ(messages.size(), 2u);  // the question, then the refusal
    EXPECT_EQ(messages[1].text, folder.ProgramPath("taken.wav") + "は\n現在、書き込みができません");

    messages.clear();
    dialogAnswer.clear();  // cancel
    Scene::Main::Button::CNexter::Select(Scene::Main::kSave);
    EXPECT_NE(CurrentAs<CWorkSpace>(), nullptr);
    EXPECT_TRUE(messages.empty());
}

// --- the duration dialog ----------------------------------------------------------------------

TEST_F(Workspace, DurationDialogStartsAtTheCurrentDurationInWholeSteps) {
    struct Case {
        uint32_t currentMs;
        int32_t value;
    };
    const Case cases[] = {{1500, 15}, {1534, 15}, {149, 1},       {0, 1},
                          {199, 1},   {200, 2},   {600000, 6000}, {700000, 6000}};
    for (const Case& c : cases) {
        SharedClipState().currentDurationMs = c.currentMs;
        CTimeChanger& dialog = *new CTimeChanger;
        EXPECT_EQ(CTimeChanger::Current(), &dialog);
        EXPECT_EQ(dialog.bar.GetValue(), c.value) << c.currentMs;
        EXPECT_EQ(dialog.ChosenMs(), static_cast<uint32_t>(c.value) * 100) << c.currentMs;
    }
}

TEST_F(Workspace, DurationDialogBarCoversOneHundredMillisecondsToTenMinutes) {
    CTimeChanger& dialog = *new CTimeChanger;
    dialog.bar.SetValue(-5);
    EXPECT_EQ(dialog.ChosenMs(), 100u);
    dialog.bar.SetValue(6001);
    EXPECT_EQ(dialog.ChosenMs(), 600000u);
    dialog.bar.SetValue(1234);
    EXPECT_EQ(dialog.ChosenMs(), 123400u);
    EXPECT_EQ(CTimeChanger::ValueText(90000), "90000ミリ秒(約90.00秒)(約1.50分)");
    EXPECT_EQ(CTimeChanger::ValueText(100), "100ミリ秒(約0.10秒)(約0.00分)");
    // The ratio line: the multiple of the current duration and the pitch change.
    EXPECT_EQ(CTimeChanger::RatioText(1250, 1000), "x1.25 / -3.86 半音");
    EXPECT_EQ(CTimeChanger::RatioText(500, 1000), "x0.50 / +12.00 半音");
    EXPECT_EQ(CTimeChanger::RatioText(1000, 1000), "x1.00 / 0.00 半音");
    EXPECT_EQ(CTimeChanger::RatioText(1001, 1000), "x1.00 / -0.02 半音");
    EXPECT_EQ(CTimeChanger::RatioText(100, 600000), "x0.0002 / +150.61 半音");
    EXPECT_EQ(CTimeChanger::RatioText(100, 0), "");
    Frame();
    EXPECT_EQ(CurrentAs<CTimeChanger>(), &dialog);
}

TEST_F(Workspace, ConfirmingALoadedClipStartsTheChange) {
    WriteWave("source.wav", 88200);  // 500 ms
    FirstStart();
    LoadThroughDialog("source.wav");
    Scene::Main::Button::CNexter::Select(Scene::Main::kChangeDuration);
    CTimeChanger* dialog = CurrentAs<CTimeChanger>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->bar.GetValue(), 5);
    dialog->bar.SetValue(10);
    Frame();  // the line under the value follows the bar
    EXPECT_STREQ(dialog->ratio.caption.c_str(), "x2.00 / -12.00 半音");
    CTimeChanger::CNexter::Select(0);
    ASSERT_NE(CurrentAs<Scene::Main::CTimeChangeWait>(), nullptr);
    EXPECT_EQ(SharedClipState().requestedDurationMs, 1000u);
    RunWaitScreen();
    CWorkSpace* workspace = CurrentAs<CWorkSpace>();
    ASSERT_NE(workspace, nullptr);
    EXPECT_EQ(SharedClipState().currentDurationMs, 1000u);
    EXPECT_EQ(SharedClipState().clip.data.length, 176400u);
    EXPECT_EQ(workspace->panelLines[1].text, "再生時間       1000ミリ秒(約1.0秒)(約0.01分)");
}

TEST_F(Workspace, CancellingTheDialogChangesNothing) {
    WriteWave("source.wav", 88200);
    FirstStart();
    LoadThroughDialog("source.wav");
    const std::vector<uint8_t> before(SharedClipState().clip.data.data,
                                      SharedClipState().clip.data.data + 88200);
    Scene::Main::Button::CNexter::Select(Scene::Main::kChangeDuration);
    ASSERT_NE(CurrentAs<CTimeChanger>(), nullptr);
    CurrentAs<CTimeChanger>()->bar.SetValue(3000);
    CTimeChanger::CNexter::Select(1);
    CWorkSpace* workspace = CurrentAs<CWorkSpace>();
    ASSERT_NE(workspace, nullptr);
    const CClipState& s = SharedClipState();
    EXPECT_TRUE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 500u);
    ASSERT_EQ(s.clip.data.length, 88200u);
    EXPECT_EQ(std::vector<uint8_t>(s.clip.data.data, s.clip.data.data + 88200), before);
    EXPECT_EQ(Enabled(*workspace), (std::vector<bool>{true, true, true, true, true, false}));
}

TEST_F(Workspace, ConfirmingWithoutALoadedClipMakesSilenceOfTheChosenLength) {
    FirstStart();
    CTimeChanger& dialog = *new CTimeChanger;
    dialog.bar.SetValue(15);
    CTimeChanger::CNexter::Select(0);
    CWorkSpace* workspace = CurrentAs<CWorkSpace>();
    ASSERT_NE(workspace, nullptr);
    const CClipState& s = SharedClipState();
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 1500u);
    EXPECT_EQ(s.clip.data.length, 264600u);
    EXPECT_EQ(s.clip.nChannels, 2);
    ASSERT_EQ(workspace->panelLines.size(), 5u);
    EXPECT_EQ(workspace->panelLines[1].text.rfind("再生時間       1500ミリ秒(約1.5秒)", 0), 0u);
    EXPECT_EQ(Enabled(*workspace), (std::vector<bool>{false, false, true, false, false, false}));
}

// --- undo and redo through the keys -------------------------------------------------------

// The workspace with a real window, so that keys reach it as a user presses them.
class WorkspaceKeys : public gui_test::MainWindowTest {
protected:
    TempFolder folder;

    void SetUp() override {
        MainWindowTest::SetUp();
        scene_test::ResetClipState();
        SetMessageBoxAnswer(RecordMessage);
        messages.clear();
    }
    void TearDown() override {
        Scene::EndScenes();
        scene_test::ResetClipState();
        SetMessageBoxAnswer(nullptr);
        MainWindowTest::TearDown();
    }

    // The key pressed and let go, with Ctrl held or not, a frame after each.
    void Press(SDL_Keycode key, bool ctrl = true) {
        if (ctrl) Key(SDLK_LCTRL, true);
        Key(key, true);
        Frame();
        Key(key, false);
        if (ctrl) Key(SDLK_LCTRL, false);
        Frame();
    }
};

// What the workspace works on: the clip state an undo or redo brings back.
struct Shown {
    bool loaded;
    uint32_t durationMs;
    std::string path;
    uint32_t bytes;
    CMetaChunks chunks;

    static Shown Now() {
        const CClipState& s = SharedClipState();
        return {s.loaded, s.currentDurationMs, s.currentFilePath, s.clip.data.length,
                s.clip.chunks};
    }
    bool operator==(const Shown&) const = default;
};

TEST_F(WorkspaceKeys, CtrlZTakesBackTheLastChangeInitialisationOrLoadAndCtrlYBringsItAgain) {
    WriteFile(folder / "a.wav",
              Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", Samples(88200)),  // 500 ms
                    Chunk("cue ", CueBody({{1, 22049}}))}));
    Main::PrepareWorkspaceClip();
    new CWorkSpace;
    const Shown start = Shown::Now();
    Scene::Main::StartLoading(folder.ProgramPath("a.wav"));
    RunWaitScreen();
    const Shown loaded = Shown::Now();
    EXPECT_EQ(loaded.durationMs, 500u);
    EXPECT_EQ(loaded.chunks.size(), 1u);

    Press(SDLK_z);
    EXPECT_TRUE(Shown::Now() == start) << "the load taken back";
    EXPECT_TRUE(CurrentAs<CWorkSpace>()->panelLines.empty());
    Press(SDLK_y);
    EXPECT_TRUE(Shown::Now() == loaded) << "and brought again";
    ASSERT_FALSE(CurrentAs<CWorkSpace>()->panelLines.empty());

    // A change, then a save: taking the change back leaves the saved file alone.
    SharedClipState().requestedDurationMs = 1000;
    Scene::GoToTimeChangeWait();
    RunWaitScreen();
    SharedClipState().jobPath = folder.ProgramPath("saved.wav");
    new Scene::Main::CSaving;
    RunWaitScreen();
    const Shown saved = Shown::Now();
    EXPECT_EQ(saved.durationMs, 1000u);
    EXPECT_EQ(saved.path, folder.ProgramPath("saved.wav"));
    EXPECT_EQ(CuePoints(saved.chunks)[0].position, 44098u);  // 22049 x 2
    const Bytes file = ReadFile(folder / "saved.wav");
    Press(SDLK_z);
    EXPECT_TRUE(Shown::Now() == loaded);
    EXPECT_EQ(CurrentAs<CWorkSpace>()->panelLines[1].text.rfind("再生時間       500ミリ秒", 0), 0u);
    Press(SDLK_z);
    EXPECT_TRUE(Shown::Now() == loaded) << "one step back only";
    Press(SDLK_y);
    EXPECT_TRUE(Shown::Now() == saved);
    Press(SDLK_y);
    EXPECT_TRUE(Shown::Now() == saved) << "one step forward only";
    EXPECT_TRUE(ReadFile(folder / "saved.wav") == file);

    // "初期化" is taken back too; Z without Ctrl does nothing; a new step drops the
    // step forward.
    Scene::Main::Button::CNexter::Select(Scene::Main::kInitialise);
    const Shown initialised = Shown::Now();
    EXPECT_FALSE(initialised.loaded);
    EXPECT_TRUE(initialised.chunks.empty());
    Press(SDLK_z, false);
    EXPECT_TRUE(Shown::Now() == initialised);
    Press(SDLK_z);
    EXPECT_TRUE(Shown::Now() == saved);
    Scene::Main::Button::CNexter::Select(Scene::Main::kInitialise);
    Press(SDLK_y);
    EXPECT_TRUE(Shown::Now() == initialised);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(ReadFile(folder / "saved.wav") == file);
}

// --- what a user meets: the workspace driven through the window's keys and mouse -------

// The repeat clock of the scroll bars follows the program's frames.
bool ReadBarClock(uint32_t& milliseconds) {
    milliseconds = gui_test::FrameClock();
    return true;
}

// The presented pixel at (x, y), opaque.
uint32_t PresentedPixel(int x, int y) {
    UINT width = 0, height = 0;
    const std::vector<DWORD> frame =
        SePresentedFrame(NVireo::NDirectX::N3D::Device().Get(), &width, &height);
    const size_t at = static_cast<size_t>(y) * width + static_cast<size_t>(x);
    return at < frame.size() ? frame[at] | 0xFF000000u : 0;
}

// The waveform values of every graph of the workspace.
std::vector<std::vector<double>> Waveform(const CWorkSpace& workspace) {
    std::vector<std::vector<double>> values;
    for (const auto& graph : workspace.graphs) values.push_back(graph.values);
    return values;
}

class WorkspaceByHand : public gui_test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure()) return;
        scene_test::ResetClipState();
        AnswerBoxesAndDialogs();
        NVireo::NDrop::AcceptDroppedFiles();
        NVireo::NGUI::NScrollBar::Clock() = ReadBarClock;
        Main::PrepareWorkspaceClip();
        new CWorkSpace;
        ProgramFrame();
    }
    void TearDown() override {
        Scene::EndScenes();
        NVireo::NGUI::NScrollBar::Clock() = NVireo::NGUI::NScrollBar::ReadProcessClock;
        scene_test::ResetClipState();
        StopAnswering();
        MainWindowTest::TearDown();
    }

    // A command by its key, as a user gives it: the frame that sees the tap shows the
    // button pressed, the next one runs the command.
    void Command(SDL_Keycode key) {
        Tap(key);
        ProgramFrame();
        ProgramFrame();
    }
    // Frames until the workspace is on screen again (after a wait screen or a dialog).
    static bool BackAtWorkspace() {
        return FramesUntil([] { return SceneAs<CWorkSpace>() != nullptr; });
    }
    // Loads a host file through the open dialog, which E opens.
    CWorkSpace& LoadByKey(const std::string& hostPath) {
        dialogAnswer = hostPath;
        Command(SDLK_e);
        EXPECT_TRUE(BackAtWorkspace());
        return *SceneAs<CWorkSpace>();
    }
    // The duration dialog's thumb dragged to x with the left button.
    void DragThumbTo(CTimeChanger& dialog, int x) {
        const RECT& thumb = dialog.bar.thumb;
        const int from = (thumb.left + thumb.right) / 2;
        const int y = (thumb.top + thumb.bottom) / 2;
        MoveTo(from, y);
        Mouse(SDL_BUTTON_LEFT, true, from, y);
        MoveTo(x, y);
        Mouse(SDL_BUTTON_LEFT, false, x, y);
    }

    TempFolder folder;
};

TEST_F(WorkspaceByHand, TheTitlesGamePlayReturnsToTheWorkspaceWithTheClipAsItWas) {
    WriteFile(folder / "take.wav", Canonical(Format{}, Samples(88200)));
    const std::vector<Scene::Main::CPanelLine> panel = LoadByKey(folder / "take.wav").panelLines;
    const scene_test::Snapshot before = scene_test::Snapshot::Take();
    ASSERT_TRUE(before.loaded);
    Tap(SDLK_F9);
    ASSERT_TRUE(FramesUntil([] { return SceneAs<Scene::Title::CMain>() != nullptr; }));
    Command(SDLK_q);  // "ゲームプレイ"
    ASSERT_TRUE(BackAtWorkspace());
    before.ExpectCurrent();
    const std::vector<Scene::Main::CPanelLine>& now = SceneAs<CWorkSpace>()->panelLines;
    ASSERT_EQ(now.size(), panel.size());
    for (size_t i = 0; i < panel.size(); ++i) EXPECT_EQ(now[i].text, panel[i].text);
}

TEST_F(WorkspaceByHand, TheDurationBarStepsOnceForAClickAndOncePerFrameWhileHeld) {
    WriteFile(folder / "take.wav", Canonical(Format{}, Samples(176400)));  // 1 s
    LoadByKey(folder / "take.wav");
    Command(SDLK_q);
    CTimeChanger* dialog = SceneAs<CTimeChanger>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->bar.GetValue(), 10);
    // A click shorter than a frame on the left arrow: one step.
    Click(112, 212);
    ProgramFrame(false);
    ProgramFrame(false);
    EXPECT_EQ(dialog->bar.GetValue(), 9);
    // The right arrow held: a step with the press, none until the repeat delay (240 ms,
    // six frames), then one each frame.
    MoveTo(288, 212);
    Mouse(SDL_BUTTON_LEFT, true, 288, 212);
    std::vector<int32_t> values{dialog->bar.GetValue()};
    for (int frame = 1; frame <= 10; ++frame) {
        ProgramFrame(false);
        values.push_back(dialog->bar.GetValue());
    }
    Mouse(SDL_BUTTON_LEFT, false, 288, 212);
    ProgramFrame(false);
    EXPECT_EQ(values, (std::vector<int32_t>{10, 10, 10, 10, 10, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(dialog->bar.GetValue(), 15) << "released: no more steps";
}

TEST_F(WorkspaceByHand, TheWorkspaceIsDrawnAtOnceWheneverItComesBack) {
    WriteFile(folder / "take.wav", Canonical(Format{}, Samples(88200)));
    // The frame that brings the workspace back draws it whole: the first graph's panel,
    // not black under a fade.
    LoadByKey(folder / "take.wav");
    EXPECT_EQ(PresentedPixel(100, 170), 0xFF646464u) << "after a load";
    Command(SDLK_q);
    ASSERT_NE(SceneAs<CTimeChanger>(), nullptr);
    Command(SDLK_w);  // cancel
    ASSERT_NE(SceneAs<CWorkSpace>(), nullptr);
    EXPECT_EQ(PresentedPixel(100, 170), 0xFF646464u) << "after the dialog";
}

TEST_F(WorkspaceByHand, ARefusedFileSaysWhyOnALineOfItsOwn) {
    Format wide;
    wide.blockAlign = 65535;  // stereo 16-bit frames are 4 bytes
    WriteFile(folder / "wide.wav", Canonical(wide, Samples(400)));
    LoadByKey(folder / "wide.wav");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, folder.ProgramPath("wide.wav") + "\nファイルは不正です\n" +
                                    NVireo::NText::ApplicationStrings().Get(
                                        StringId::Application::RefusedBlockNotFrame));
    EXPECT_FALSE(SharedClipState().loaded);
}

TEST_F(WorkspaceByHand, ANameOutsideCodePage932ShowsOneQuestionMarkPerCharacterAndKeepsItsFile) {
    const std::string name =
        U8(u8"caf\u00e9 \u00fcber \U0001F3B5 音.wav");  // e and u accented, an emoji
    WriteFile(folder / name, Canonical(Format{}, Samples(4000)));
    CWorkSpace& workspace = LoadByKey(folder / name);
    ASSERT_TRUE(SharedClipState().loaded);
    EXPECT_EQ(ProgramToHostPath(SharedClipState().currentFilePath), folder / name);
    ASSERT_GE(workspace.panelLabels.count, 1);
    std::string drawn;
    for (const auto& chip : (*workspace.panelLabels.begin()).line.chips) {
        drawn += chip->character.c_str();
    }
    EXPECT_EQ(drawn, "caf? ?ber ? 音.wav");
    // Saving under such a name writes that very name.
    const std::string copy = U8(u8"copie \u00e9.wav");
    dialogAnswer = folder / copy;
    Command(SDLK_r);
    ASSERT_TRUE(BackAtWorkspace());
    EXPECT_EQ(ReadFile(folder / copy), Canonical(Format{}, Samples(4000)));
    EXPECT_TRUE(messages.empty());
}

TEST_F(WorkspaceByHand, PlayWithoutASoundDeviceSaysSoTheFirstTime) {
    NVireo::NDirectX::NSound::SoundDevice().Release();
    Scene::Main::NoDeviceMessageShown() = false;
    WriteFile(folder / "take.wav", Canonical(Format{}, Samples(4000)));
    LoadByKey(folder / "take.wav");
    Command(SDLK_t);
    Command(SDLK_t);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "サウンドデバイスが使えないため、再生できません");
    EXPECT_NE(SceneAs<CWorkSpace>(), nullptr) << "the program goes on";
}

TEST_F(WorkspaceByHand, DialogsStartInTheClipsFolderElseTheLastOneElseTheUsersHome) {
    const char* savedHome = std::getenv("HOME");
    const std::string previousHome = savedHome != nullptr ? savedHome : "";
    for (const char* sub : {"home", "a", "b", "c"}) std::filesystem::create_directory(folder / sub);
    setenv("HOME", (folder / "home").c_str(), 1);
    // No file chosen yet and no clip file: the user's home folder.
    Command(SDLK_e);
    EXPECT_EQ(dialogStartedIn, folder.ProgramPath("home/"));
    // A clip from a/: the save dialog starts there.
    WriteFile(folder / "a/1.wav", Canonical(Format{}, Samples(400)));
    LoadByKey(folder / "a/1.wav");
    dialogAnswer = folder / "b/2.wav";
    Command(SDLK_r);
    ASSERT_TRUE(BackAtWorkspace());
    EXPECT_EQ(dialogStartedIn, folder.ProgramPath("a/"));
    // Saved in b/: the clip's folder is b/ now.
    dialogAnswer.clear();
    Command(SDLK_e);
    EXPECT_EQ(dialogStartedIn, folder.ProgramPath("b/"));
    // A dropped clip whose folder is gone since: the last dialog's folder.
    WriteFile(folder / "c/3.wav", Canonical(Format{}, Samples(400)));
    Drop(window_.hwnd, SDL_DROPFILE, folder / "c/3.wav");
    user32_test::Pump();
    ASSERT_TRUE(FramesUntil([&] {
        return SceneAs<CWorkSpace>() != nullptr &&
               SharedClipState().currentFilePath == folder.ProgramPath("c/3.wav");
    }));
    std::filesystem::remove_all(folder / "c");
    Command(SDLK_e);
    EXPECT_EQ(dialogStartedIn, folder.ProgramPath("b/"));
    if (savedHome != nullptr) {
        setenv("HOME", previousHome.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

TEST_F(WorkspaceByHand, ChangesAWaveFileCannotHoldAreRefusedWithEverythingAsItWas) {
    // 384 kHz, 8 channels, 32 bits: ten minutes of it would be 7.4 GB.
    Format wide;
    wide.channels = 8;
    wide.rate = 384000;
    wide.bits = 32;
    WriteFile(folder / "wide.wav", Canonical(wide, Samples(122880)));  // 10 ms
    CWorkSpace* workspace = &LoadByKey(folder / "wide.wav");
    scene_test::Snapshot before = scene_test::Snapshot::Take();
    std::vector<std::vector<double>> waveform = Waveform(*workspace);
    Command(SDLK_q);
    CTimeChanger* dialog = SceneAs<CTimeChanger>();
    ASSERT_NE(dialog, nullptr);
    DragThumbTo(*dialog, 630);
    EXPECT_EQ(dialog->bar.GetValue(), 6000);
    Command(SDLK_q);  // confirm
    ASSERT_TRUE(BackAtWorkspace());
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.back().text, Scene::Main::kChangeFailedMessage);
    before.ExpectCurrent();
    EXPECT_EQ(Waveform(*SceneAs<CWorkSpace>()), waveform);

    // "初期化" of a clip whose silence a WAV file cannot hold: 30000 samples of 8-bit mono
    // at 1 Hz last 30000 s, which as 16-bit stereo at 44100 Hz would be 5.3 GB.
    Format slow;
    slow.channels = 1;
    slow.rate = 1;
    slow.bits = 8;
    WriteFile(folder / "slow.wav", Canonical(slow, Samples(30000)));
    workspace = &LoadByKey(folder / "slow.wav");
    before = scene_test::Snapshot::Take();
    waveform = Waveform(*workspace);
    messages.clear();
    Command(SDLK_w);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Scene::Main::kChangeFailedMessage);
    before.ExpectCurrent();
    ASSERT_EQ(SceneAs<CWorkSpace>(), workspace);
    EXPECT_EQ(Waveform(*workspace), waveform);
    EXPECT_EQ(Enabled(*workspace), (std::vector<bool>{true, true, true, true, true, false}));
    // Neither refusal is a step to take back: Ctrl+Z brings back the clip before the load.
    Key(SDLK_LCTRL, true);
    Tap(SDLK_z);
    ProgramFrame();
    Key(SDLK_LCTRL, false);
    ProgramFrame();
    EXPECT_EQ(SharedClipState().currentFilePath, folder.ProgramPath("wide.wav"));
}

// The address space the process may take from now on: what it holds plus headroom.
bool LimitAddressSpace(size_t headroom) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) != 0) continue;
        const rlim_t size = static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
        const rlimit limit{size + headroom, size + headroom};
        return setrlimit(RLIMIT_AS, &limit) == 0;
    }
    return false;
}

TEST_F(WorkspaceByHand, AClipTooBigForMemoryEndsItsJobWithAMessageAndTheProgramGoesOn) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space, so a limit on it "
                    "cannot leave room for the program but not for the clip";
#endif
    WriteFile(folder / "take.wav", Canonical(Format{}, Samples(176400)));  // 1 s
    LoadByKey(folder / "take.wav");
    // A file declaring 200 MB of samples; sparse, so the disk holds none of them.
    const uint32_t huge = 200u << 20;
    const Bytes header = Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", {}, false, huge)});
    WriteFile(folder / "huge.wav", header);
    std::filesystem::resize_file(folder / "huge.wav", header.size() + huge);
    const std::string notes = folder / "notes.txt";
    // In a child whose address space leaves 64 MB: room for the program and a worker,
    // none for 200 MB of samples or the 106 MB of ten minutes of this clip.
    const int code = RunInChild([&] {
        std::ofstream out(notes);
        if (!LimitAddressSpace(64u << 20)) out << "no limit\n";
        const scene_test::Snapshot before = scene_test::Snapshot::Take();
        LoadByKey(folder / "huge.wav");
        out << "load: " << (messages.empty() ? "" : messages.back().text) << "\n";
        Command(SDLK_q);
        if (CTimeChanger* dialog = SceneAs<CTimeChanger>()) {
            DragThumbTo(*dialog, 630);
            Command(SDLK_q);
        }
        BackAtWorkspace();
        out << "change: " << (messages.size() < 2 ? "" : messages.back().text) << "\n";
        out << "clip kept: " << (scene_test::Snapshot::Take() == before) << "\n";
        ProgramFrame();
        out << "running: " << (SceneAs<CWorkSpace>() != nullptr) << "\n";
    });
    ASSERT_EQ(code, kChildReturned);
    const Bytes seen = ReadFile(notes);
    EXPECT_EQ(std::string(seen.begin(), seen.end()),
              "load: " + folder.ProgramPath("huge.wav") + "\n" + Scene::Main::kNoMemoryMessage +
                  "\nchange: " + Scene::Main::kNoMemoryMessage + "\nclip kept: 1\nrunning: 1\n");
}

TEST_F(WorkspaceByHand, F7SaysWhereThePictureWentOrThatItCouldNotBeWritten) {
    TempFolder shots;
    NVireo::NFile::SetHomeFolder(shots.Program().c_str());
    testing::internal::CaptureStderr();
    Tap(SDLK_F7);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Screenshot saved: " + shots.HostPath("ss/   0.bmp") + "\n");
    EXPECT_TRUE(std::filesystem::exists(shots / "ss/   0.bmp"));
    // A file named "ss" where the folder would be.
    TempFolder blocked;
    blocked.WriteHostFile("ss", "not a folder");
    NVireo::NFile::SetHomeFolder(blocked.Program().c_str());
    testing::internal::CaptureStderr();
    Tap(SDLK_F7);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Screenshot could not be written: " + blocked.HostPath("ss/   0.bmp") + "\n");
}

}  // namespace
