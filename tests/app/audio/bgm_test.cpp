// Background music: the streamer loads ./menu.wma from the home folder (a short WMA made
// by the ffmpeg tool at test time), loops it, pauses and resumes with the program's
// activation, stops with the setting; without the file or without an audio device there
// is no music and no error. Also the player's count of plays and the stopwatch.
#include "app/audio/bgm.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "framework/platform/home.h"
#include "support/audio_child.h"
#include "support/test_support.h"

namespace {

// Writes folder/menu.wma: seconds of a tone. False when the ffmpeg tool cannot.
bool MakeMenuWma(const TempFolder& folder, double seconds) {
    int status = -1;
    Capture(
        "ffmpeg -nostdin -loglevel error -f lavfi -i "
        "sine=frequency=330:sample_rate=44100:duration=" +
            std::to_string(seconds) + " -ac 2 -c:a wmav2 -y " + Quote(folder / "menu.wma") +
            " 2>&1",
        &status);
    return status == 0;
}

LONGLONG Position(BGM::CStreamer& streamer) {
    LONGLONG position = -1;
    streamer.seeking->GetCurrentPosition(&position);
    return position;
}

TEST(BackgroundMusic, LoopsPausesWhileInactiveAndStopsWithTheSetting) {
    TempFolder folder;
    ASSERT_TRUE(MakeMenuWma(folder, 0.3)) << "the ffmpeg tool could not encode WMA";
    int status = -1;
    const std::string decoded =
        Capture("ffmpeg -nostdin -loglevel error -i " + Quote(folder / "menu.wma") +
                    " -f f32le -ac 2 -ar 44100 -",
                &status);
    ASSERT_EQ(status, 0);
    const size_t fileFrames = decoded.size() / sizeof(audiotest::Frame);
    // The sounding frames of the mix so far.
    const std::string output = folder / "mix.raw";
    const auto sounding = [&] {
        size_t count = 0;
        for (const auto& f : audiotest::ReadFrames(output))
            if (f.left != 0.0f || f.right != 0.0f) ++count;
        return count;
    };
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("disk", output, [&] {
        RaisePolicy policy;
        NVireo::NFile::SetHomeFolder(folder.Program().c_str());
        CoInitialize(nullptr);
        BGM::CStreamer& streamer = BGM::Streamer();
        streamer.mode.Reset(new BGM::IMode);
        BGM::MusicVolume() = 1.0;
        streamer.SetEnabled(1);
        CHILD_CHECK(notes, streamer.graph != nullptr && streamer.handle != nullptr);
        CHILD_CHECK(notes, streamer.mode.Get()->current == -2);
        CHILD_CHECK(notes, streamer.playCount == -1);
        LONG volume = 1;
        streamer.audio->get_Volume(&volume);
        CHILD_CHECK(notes, volume == 0);
        // More music than the file holds, by at least one whole restart: it restarted at
        // each end.
        CHILD_CHECK(notes, audiotest::WaitFor([&] { return sounding() >= 2 * fileFrames; }));
        CHILD_CHECK(notes, !streamer.IsFinished());
        // Inactive: paused where it was; active again: on from there. The pause comes in
        // the middle of the file (positions in 100 ns units; the file lasts 0.3 s).
        CHILD_CHECK(notes, audiotest::WaitFor([&] {
                        const LONGLONG now = Position(streamer);
                        return now > 500000 && now < 2000000;
                    }));
        streamer.SetActive(false);
        CHILD_CHECK(notes, streamer.IsPaused());
        const LONGLONG paused = Position(streamer);
        const int64_t watch = streamer.stopwatch.Reading();
        Sleep(120);
        CHILD_CHECK(notes, Position(streamer) == paused);
        CHILD_CHECK(notes, streamer.stopwatch.Reading() == watch);
        streamer.SetActive(true);
        CHILD_CHECK(notes, !streamer.IsPaused() && !streamer.IsStopped());
        CHILD_CHECK(notes, audiotest::WaitFor([&] { return Position(streamer) > paused; }));
        CHILD_CHECK(notes, streamer.stopwatch.Reading() > watch);
        // Music off: the thread ends, the graph stops at its start.
        streamer.SetEnabled(0);
        CHILD_CHECK(notes, streamer.handle == nullptr && streamer.IsStopped());
        CHILD_CHECK(notes,
                    streamer.mode.Get()->current == -1 && streamer.mode.Get()->previous == -2);
        CHILD_CHECK(notes, Position(streamer) == 0);
        // Activation does not bring it back.
        streamer.SetActive(true);
        CHILD_CHECK(notes, streamer.IsStopped());
        Sleep(60);
        streamer.Shutdown();
        CHILD_CHECK(notes, streamer.graph == nullptr && streamer.audio == nullptr);
        CoUninitialize();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
    // More music than the file holds, by at least one whole restart (give or take
    // samples that are exactly 0).
    EXPECT_GE(sounding(), 2 * fileFrames - 16);
}

TEST(BackgroundMusic, WithoutTheFileOrAnAudioDeviceThereIsNoMusicAndNoError) {
    TempFolder folder;
    TempFolder withMusic;
    ASSERT_TRUE(MakeMenuWma(withMusic, 0.1));
    const struct {
        const char* driver;
        const TempFolder& home;
    } rows[] = {{"dummy", folder}, {"no-such-driver", withMusic}};
    for (const auto& row : rows) {
        audiotest::Notes notes(folder / "notes.txt");
        std::filesystem::remove(folder / "notes.txt");
        const int code = audiotest::RunWithDriver(row.driver, "", [&] {
            RaisePolicy policy;
            NVireo::NFile::SetHomeFolder(row.home.Program().c_str());
            CoInitialize(nullptr);
            BGM::CStreamer& streamer = BGM::Streamer();
            streamer.mode.Reset(new BGM::IMode);
            streamer.SetEnabled(1);
            CHILD_CHECK(notes, streamer.graph == nullptr && streamer.handle == nullptr);
            CHILD_CHECK(notes, streamer.mode.Get()->current == -1);
            streamer.SetActive(false);
            streamer.SetActive(true);
            streamer.SetVolume(0.5);
            streamer.Shutdown();
            CHILD_CHECK(notes, NVireo::NError::Record().file[0] == '\0');
            notes.Add("DONE");
        });
        ASSERT_EQ(code, kChildReturned) << row.driver;
        ExpectDone(notes);
    }
}

TEST(BackgroundMusic, ThePlayerEndsWhenItsPlaysAreUsedUp) {
    TempFolder folder;
    ASSERT_TRUE(MakeMenuWma(folder, 0.1));
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        RaisePolicy policy;
        CoInitialize(nullptr);
        NVireo::NDirectX::NShow::NMedia::CPlayer* player = &BGM::Streamer();
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void**>(&player->graph));
        player->graph->QueryInterface(IID_IMediaControl,
                                      reinterpret_cast<void**>(&player->control));
        player->graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&player->event));
        player->graph->QueryInterface(IID_IMediaSeeking,
                                      reinterpret_cast<void**>(&player->seeking));
        player->graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&player->audio));
        const std::string path = folder / "menu.wma";
        const std::u16string wide(path.begin(), path.end());
        CHILD_CHECK(notes, player->graph->RenderFile(wide.c_str(), nullptr) == S_OK);
        player->playCount = 3;
        player->RunGraph();
        player->Start("DXShow::Media::CPlayer");
        // Three plays of 0.1 s, then the thread leaves by itself, the graph still there.
        CHILD_CHECK(notes, audiotest::WaitFor([&] { return player->IsFinished(); }));
        CHILD_CHECK(notes, player->playCount == 0 && !player->IsAborted());
        player->Close();
        player->ReleaseGraph();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

}  // namespace
