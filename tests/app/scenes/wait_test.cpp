// The wait screens, run in-process on a headless device: each job's outcomes with the
// message the user sees, what reaches the shared clip, cancelling a change, and saving
// over an existing file when the save cannot complete.
#include "app/scenes/wait.h"

#include <seams.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/scenes/jobs.h"
#include "app/scenes/scene_fixture.h"
#include "app/scenes/wait_widgets.h"
#include "app/scenes/workspace_start.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

namespace {

using namespace wavbytes;
using scene_test::ClipBytes;
using scene_test::Snapshot;

std::vector<std::string> messages;

int RecordMessage(LPCSTR text, LPCSTR, UINT) {
    messages.push_back(text);
    return IDOK;
}

// A clip of frames one-byte frames 0, 1, 2, ... (wrapping) at 8000 Hz, mono 8-bit.
void MakeRamp(CSoundClip& clip, uint32_t frames) {
    clip.wFormatTag = 1;
    clip.nChannels = 1;
    clip.nSamplesPerSec = 8000;
    clip.wBitsPerSample = 8;
    clip.nBlockAlign = 1;
    clip.nAvgBytesPerSec = 8000;
    clip.cbSize = 18;
    ASSERT_TRUE(clip.data.Resize(frames));
    for (uint32_t i = 0; i < clip.data.length; ++i) clip.data.data[i] = static_cast<uint8_t>(i);
}

bool WaitScreenIsCurrent() {
    return dynamic_cast<Scene::Main::BWait*>(NVireo::NGame::NScene::Current()) != nullptr;
}

class WaitScreens : public scene_test::HeadlessSceneTest {
protected:
    void SetUp() override {
        HeadlessSceneTest::SetUp();
        if (HasFatalFailure()) return;
        messages.clear();
        SetMessageBoxAnswer(RecordMessage);
        // A loaded clip that every failed job must leave exactly as it is.
        CClipState& s = SharedClipState();
        MakeRamp(s.clip, 800);
        ASSERT_EQ(TakeMetadata(s.clip.chunks, "cue ", CueBody({{1, 799}})), nullptr);
        s.loaded = true;
        s.currentDurationMs = 100;
        s.currentFilePath = "before.wav";
    }
    void TearDown() override {
        HeadlessSceneTest::TearDown();
        SetMessageBoxAnswer(nullptr);
    }

    // Runs frames until the wait screen has handed over.
    static void RunUntilDone() {
        try {
            for (int frame = 0; frame < 100000 && WaitScreenIsCurrent(); ++frame) {
                NVireo::NGame::NScene::Current()->Update();
                Sleep(1);
            }
        } catch (const NVireo::NError::CObject&) {
            ADD_FAILURE() << NVireo::NError::ErrorText();
        }
        EXPECT_FALSE(WaitScreenIsCurrent());
    }

    void Load(const std::string& programPath) {
        SharedClipState().jobPath = programPath;
        new Scene::Main::CLoading;
        RunUntilDone();
    }
};

// --- Loading -------------------------------------------------------------------------

TEST_F(WaitScreens, ALoadedFileBecomesTheClipWithItsDuration) {
    // 44100 Hz stereo 16-bit, 88200 bytes: 500 ms. The extension is taken in any case.
    WriteFile(folder / "take.WAV", Canonical(Format{}, Samples(88200)));
    const std::string path = folder.ProgramPath("take.WAV");
    Load(path);
    EXPECT_TRUE(messages.empty());
    const CClipState& s = SharedClipState();
    EXPECT_TRUE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 500u);
    EXPECT_EQ(s.currentFilePath, path);
    EXPECT_EQ(s.clip.nChannels, 2);
    EXPECT_EQ(s.clip.nSamplesPerSec, 44100u);
    EXPECT_EQ(s.clip.cbSize, 16);
    EXPECT_EQ(ClipBytes(s.clip), Samples(88200));
}

TEST_F(WaitScreens, FilesTheLoaderTurnsAwayLeaveTheClipAndSayWhy) {
    const Bytes valid = Canonical(Format{}, Samples(40));
    Bytes notRiff = valid;
    std::memcpy(notRiff.data(), "RIFX", 4);
    notRiff.resize(44);
    Bytes oversized = valid;
    oversized[40] += 1;  // the data chunk claims one byte more than the file holds
    namespace Id = StringId::Application;
    struct Case {
        const char* name;
        Bytes bytes;
        uint32_t reason;  // the line under "ファイルは不正です"
    };
    const Case cases[] = {
        {"clip.wave", valid, Id::RefusedNotWaveName},
        {"clip.txt", valid, Id::RefusedNotWaveName},
        {"no_extension", valid, Id::RefusedNotWaveName},
        {"short.wav", Bytes(valid.begin(), valid.begin() + 43), Id::RefusedShorterThanHeader},
        {"forty_four.wav", notRiff, Id::RefusedNotRiffWave},
        {"oversized.wav", oversized, Id::RefusedDataPastEnd},
        {"dot.wav.d/inside", valid, Id::RefusedNotWaveName},
    };
    const NVireo::NText::CStringTable& strings = NVireo::NText::ApplicationStrings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        if (name.find('/') != std::string::npos) mkdir((folder / "dot.wav.d").c_str(), 0755);
        WriteFile(folder / name, c.bytes);
        const Snapshot before = Snapshot::Take();
        messages.clear();
        Load(folder.ProgramPath(name));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0],
                  folder.ProgramPath(name) + "\nファイルは不正です\n" + strings.Get(c.reason));
        before.ExpectCurrent();
    }
    // Every reason the reader can give has its own line in the user's language.
    for (const char* reason : NWaveRejection::kAll) {
        const std::string line = Jobs::RefusalReason(reason);
        EXPECT_FALSE(line.empty()) << reason;
        EXPECT_NE(line, reason) << "no text of its own";
    }
}

TEST_F(WaitScreens, AFileThatCannotBeOpenedIsAFailedLoad) {
    const Snapshot before = Snapshot::Take();
    // A FIFO that became one after it was chosen: the job never opens it, so it is not
    // held up waiting for a writer.
    ASSERT_EQ(mkfifo((folder / "fifo.wav").c_str(), 0644), 0);
    for (const char* name : {"gone.wav", "folder.wav", "fifo.wav"}) {
        SCOPED_TRACE(name);
        if (std::string(name) == "folder.wav") mkdir((folder / name).c_str(), 0755);
        messages.clear();
        Load(folder.ProgramPath(name));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], folder.ProgramPath(name) + "\n" + "読み込みに失敗しました");
        before.ExpectCurrent();
    }
}

TEST_F(WaitScreens, ClosingDuringALoadKeepsTheClip) {
    WriteFile(folder / "big.wav", Canonical(Format{}, Samples(4 << 20)));
    const Snapshot before = Snapshot::Take();
    SharedClipState().jobPath = folder.ProgramPath("big.wav");
    new Scene::Main::CLoading;
    Scene::EndScenes();  // the program closes at once
    EXPECT_TRUE(messages.empty());
    before.ExpectCurrent();
}

// --- Duration change -----------------------------------------------------------------

TEST_F(WaitScreens, AFinishedChangeReplacesTheSamplesAndTakesTheRequestedDuration) {
    CClipState& s = SharedClipState();
    MakeRamp(s.clip, 8000);  // one second
    s.currentDurationMs = 1000;
    s.requestedDurationMs = 500;
    Scene::GoToTimeChangeWait();
    RunUntilDone();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 500u);
    ASSERT_EQ(s.clip.data.length, 4000u);
    for (uint32_t i = 0; i < 4000; ++i)
        ASSERT_EQ(s.clip.data.data[i], static_cast<uint8_t>(2 * i)) << i;
    EXPECT_EQ(s.clip.nSamplesPerSec, 8000u);
    EXPECT_EQ(s.currentFilePath, "before.wav");
}

TEST_F(WaitScreens, MetadataGoesThroughLoadingChangingAndSaving) {
    // One second of mono 8-bit: the cue points and the loop move with the change and are
    // saved with the clip; a malformed chunk is left out without a word.
    Format mono8;
    mono8.channels = 1;
    mono8.bits = 8;
    mono8.rate = 8000;
    WriteFile(folder / "marked.wav",
              Riff({Chunk("fmt ", FmtBody(mono8)), Chunk("data", Samples(8000)),
                    Chunk("cue ", CueBody({{1, 0}, {2, 7999}})),
                    Chunk("smpl", SamplerBody({{2000, 6000}})), Chunk("cue ", Bytes{5, 0})}));
    Load(folder.ProgramPath("marked.wav"));
    EXPECT_TRUE(messages.empty());
    CClipState& s = SharedClipState();
    ASSERT_EQ(s.clip.chunks.size(), 2u);
    s.requestedDurationMs = 500;
    Scene::GoToTimeChangeWait();
    RunUntilDone();
    s.jobPath = folder.ProgramPath("saved.wav");
    new Scene::Main::CSaving;
    RunUntilDone();
    EXPECT_TRUE(messages.empty());
    CWaveFile wave;
    CSoundClip saved;
    ASSERT_TRUE(LoadFromFile(wave, folder.ProgramPath("saved.wav").c_str(), saved));
    EXPECT_EQ(saved.data.length, 4000u);
    std::vector<uint32_t> cues;
    for (const CCuePoint& cue : CuePoints(saved.chunks)) cues.push_back(cue.position);
    EXPECT_EQ(cues, (std::vector<uint32_t>{0, 3999}));
    ASSERT_EQ(Loops(saved.chunks).size(), 1u);
    EXPECT_EQ(Loops(saved.chunks)[0].start, 1000u);
    EXPECT_EQ(Loops(saved.chunks)[0].end, 3000u);
}

TEST_F(WaitScreens, AChangeTheEngineCannotDoLeavesEverythingAsItWas) {
    // Three-channel A-law has no frame the change copies: an error, not a silent success.
    CClipState& s = SharedClipState();
    MakeRamp(s.clip, 300);
    s.clip.wFormatTag = 6;
    s.clip.nChannels = 3;
    s.clip.nBlockAlign = 3;
    s.requestedDurationMs = 2000;
    const Snapshot before = Snapshot::Take();
    Scene::GoToTimeChangeWait();
    RunUntilDone();
    EXPECT_EQ(messages, std::vector<std::string>{"エラーが発生して変更できませんでした"});
    before.ExpectCurrent();
}

TEST_F(WaitScreens, BreakReturnsWithEverythingAsBefore) {
    // Long enough that the change is still running when "中止" is pressed.
    CClipState& s = SharedClipState();
    MakeRamp(s.clip, 16u << 20);
    s.currentDurationMs = 2097;
    s.requestedDurationMs = 600000;
    const Snapshot before = Snapshot::Take();
    Scene::GoToTimeChangeWait();
    auto* wait = dynamic_cast<Scene::Main::CTimeChangeWait*>(NVireo::NGame::NScene::Current());
    ASSERT_NE(wait, nullptr);
    // A click: pressed, then released, which hands the click to the button's owner.
    const NVireo::NGUI::PointerPosition at{};
    wait->breakButton->OnLeftDown(at, MK_LBUTTON);
    wait->breakButton->OnLeftUp(at, 0);
    EXPECT_FALSE(WaitScreenIsCurrent());
    EXPECT_NE(NVireo::NGame::NScene::Current(), nullptr);
    EXPECT_TRUE(messages.empty());
    before.ExpectCurrent();
}

TEST_F(WaitScreens, ACancelBeforeTheChangeStartsIsHonoured) {
    Scene::Main::CTimeChangeWait::CCThread worker;
    MakeRamp(worker.clip, 1000);
    worker.requestedMs = 10000;
    worker.job.abort = true;  // set while the worker has not run yet
    worker.Start("TimeChangeWait");
    worker.WaitForEnd();
    EXPECT_EQ(worker.result, EChangeResult::Aborted);
    EXPECT_EQ(worker.job.progress, 0u);
    EXPECT_EQ(worker.clip.data.length, 1000u);
    EXPECT_EQ(worker.clip.data.data[999], static_cast<uint8_t>(999));
}

TEST(WaitProgress, TheLineCountsFramesAndTruncatesThePercentage) {
    struct Case {
        uint32_t done, total;
        std::string text;
    };
    const Case cases[] = {
        {0, 0, ""},  // the total is not known yet: nothing is drawn
        {0, 7, "残り処理数 0/7(0%)"},
        {1, 3, "残り処理数 1/3(33%)"},
        {2, 3, "残り処理数 2/3(66%)"},
        {4294967295u, 4294967295u, "残り処理数 4294967295/4294967295(100%)"},
        {4294967294u, 4294967295u, "残り処理数 4294967294/4294967295(99%)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Jobs::ProgressLine(c.done, c.total), c.text) << c.done;
}

// --- Saving --------------------------------------------------------------------------

TEST_F(WaitScreens, ASavedClipNamesItsFileAndLeavesNoTemporary) {
    WriteFile(folder / "out.wav", Text("old"));
    const std::string path = folder.ProgramPath("out.wav");
    SharedClipState().jobPath = path;
    new Scene::Main::CSaving;
    RunUntilDone();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SharedClipState().currentFilePath, path);
    EXPECT_EQ(ReadFile(folder / "out.wav").size(), 44u + 800u + 8u + 28u);  // and the cue point
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.wav"});
}

TEST_F(WaitScreens, ASaveThatFailsLeavesTheOldFileAndSaysSo) {
    // A folder standing at the path cannot be replaced by a file.
    mkdir((folder / "taken.wav").c_str(), 0755);
    const std::string path = folder.ProgramPath("taken.wav");
    SharedClipState().jobPath = path;
    new Scene::Main::CSaving;
    RunUntilDone();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], path + "を" + "\n" + "正常に保存できませんでした");
    EXPECT_EQ(SharedClipState().currentFilePath, "before.wav");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"taken.wav"});
}

TEST_F(WaitScreens, ASaveThatRunsOutOfSpaceLeavesTheOldFileUntouched) {
    const std::string small = folder / "small";
    ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    WriteFile(small + "/take.wav", Text("old"));
    MakeRamp(SharedClipState().clip, 1u << 20);
    const std::string path = folder.ProgramPath("small/take.wav");
    SharedClipState().jobPath = path;
    new Scene::Main::CSaving;
    RunUntilDone();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], path + "を" + "\n" + "正常に保存できませんでした");
    EXPECT_EQ(ReadFile(small + "/take.wav"), Text("old"));
    EXPECT_EQ(std::filesystem::directory_iterator(small)->path().filename(), "take.wav");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small), {}), 1);
    umount(small.c_str());
}

TEST_F(WaitScreens, ClosingDuringASaveNeverLeavesAPartFileOrATemporary) {
    WriteFile(folder / "take.wav", Text("old"));
    MakeRamp(SharedClipState().clip, 16u << 20);
    SharedClipState().jobPath = folder.ProgramPath("take.wav");
    new Scene::Main::CSaving;
    Scene::EndScenes();  // the program closes while the save runs
    EXPECT_TRUE(messages.empty());
    // The save was either stopped (the old file) or had already completed (all of it,
    // the cue chunk included).
    const Bytes now = ReadFile(folder / "take.wav");
    EXPECT_TRUE(now == Text("old") || now.size() == SavedFileSize(SharedClipState().clip))
        << now.size();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"take.wav"});

    // Aborted before it starts, the worker writes nothing at all.
    Scene::Main::CSaving::CCThread worker;
    worker.path = folder.ProgramPath("fresh.wav");
    worker.wave.abort = true;
    worker.Start("CSaving");
    worker.WaitForEnd();
    EXPECT_TRUE(worker.HasFailed());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"take.wav"});
}

// --- The workspace's start -----------------------------------------------------------

TEST_F(WaitScreens, TheStartPreparesASilentClipAndLoadsAnExistingFile) {
    CClipState& s = SharedClipState();
    s.currentDurationMs = 1000;
    s.clip.cbSize = 40;
    Main::PrepareWorkspaceClip();
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(s.clip.nChannels, 2);
    EXPECT_EQ(s.clip.nSamplesPerSec, 44100u);
    EXPECT_EQ(s.clip.nBlockAlign, 4);
    EXPECT_EQ(s.clip.wBitsPerSample, 16);
    EXPECT_EQ(s.clip.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(s.clip.cbSize, 40);  // kept
    EXPECT_EQ(ClipBytes(s.clip), Bytes(176400, 0));

    // What cannot be loaded is refused with the workspace's message and no loading
    // screen; the path is remembered all the same. Nothing but a regular file is opened,
    // so neither a FIFO nobody writes to nor an endless device holds the start up.
    ASSERT_EQ(mkfifo((folder / "fifo.wav").c_str(), 0644), 0);
    mkdir((folder / "folder.wav").c_str(), 0755);
    for (const std::string& refused :
         {folder.ProgramPath("missing.wav"), folder.ProgramPath("fifo.wav"),
          folder.ProgramPath("folder.wav"), std::string("/dev/zero")}) {
        SCOPED_TRACE(refused);
        messages.clear();
        EXPECT_FALSE(Main::StartLoadingNamedFile(refused));
        EXPECT_EQ(messages, std::vector<std::string>{refused + "は\n現在、読み込みができません"});
        EXPECT_FALSE(WaitScreenIsCurrent());
        EXPECT_EQ(s.currentFilePath, refused);
    }
    messages.clear();
    EXPECT_FALSE(Main::StartLoadingNamedFile(""));  // none named: nothing said
    EXPECT_TRUE(messages.empty());

    WriteFile(folder / "start.wav", Canonical(Format{}, Samples(176400)));
    const std::string path = folder.ProgramPath("start.wav");
    ASSERT_TRUE(Main::StartLoadingNamedFile(path));
    EXPECT_EQ(s.jobPath, path);
    EXPECT_TRUE(WaitScreenIsCurrent());
    RunUntilDone();
    EXPECT_TRUE(s.loaded);
    EXPECT_EQ(s.currentDurationMs, 1000u);
}

}  // namespace
