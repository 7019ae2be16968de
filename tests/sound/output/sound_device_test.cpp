// The sound device, its buffers and clip playback: volumes as attenuation, the clip
// played to SDL's disk driver, a refused format reported to the caller, and a program
// without an audio device that stays silent without an error.
#include "sound/output/sound_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/audio_child.h"
#include "support/test_support.h"

namespace {

using namespace NVireo::NDirectX::NSound;

TEST(SoundVolume, AttenuationIsHundredthsOfADecibelFromMinusFifty) {
    const struct {
        double volume;
        int32_t attenuation;
    } rows[] = {
        {1.0, 0},
        {0.5, -2500},
        {0.25, -3750},
        {0.0, -5000},
        // Halves round away from zero: 0.5 hundredths up, 0.25 down.
        {0.0001, -4999},
        {0.00005, -5000},
        {0.9999, 0},
        {0.99989, -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(VolumeToAttenuation(row.volume), row.attenuation) << row.volume;
}

// A 16-bit mono clip at the mix rate whose every frame has its own value.
CSoundClip Clip(uint32_t frames, int first) {
    CSoundClip clip;
    clip.wFormatTag = 1;
    clip.nChannels = 1;
    clip.nSamplesPerSec = audiotest::kRate;
    clip.wBitsPerSample = 16;
    clip.nBlockAlign = 2;
    clip.nAvgBytesPerSec = audiotest::kRate * 2;
    clip.data.Resize(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const int v = first + static_cast<int>(i);
        clip.data.data[2 * i] = static_cast<uint8_t>(v);
        clip.data.data[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return clip;
}

TEST(ClipPlayback, EachPlayRebuildsTheBufferFromTheCurrentClip) {
    TempFolder folder;
    const std::string output = folder / "mix.raw";
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("disk", output, [&] {
        RaisePolicy policy;  // a fatal report would throw and end the child early
        CHILD_CHECK(notes, SoundDevice().Create(nullptr) == DS_OK);
        CSoundClip clip = Clip(441, 1000);
        CHILD_CHECK(notes, PlayClip(clip) == EClipPlay::Playing);
        CHILD_CHECK(notes, IsClipPlaying());
        CHILD_CHECK(notes, audiotest::WaitFor([] { return !IsClipPlaying(); }));
        // The clip changed (as after a duration change): the next play has its length.
        clip = Clip(882, 5000);
        CHILD_CHECK(notes, PlayClip(clip) == EClipPlay::Playing);
        CHILD_CHECK(notes, audiotest::WaitFor([] { return !IsClipPlaying(); }));
        CHILD_CHECK(notes, audiotest::Drain(output));
        ReleaseClip();
        CHILD_CHECK(notes, !IsClipPlaying() && ClipBuffer().Empty());
        SoundDevice().Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
    const auto mix = audiotest::ReadFrames(output);
    auto value = [](const audiotest::Frame& f) {
        return static_cast<int>(std::lround(f.left * 32768.0f));
    };
    // Two runs: 1000..1440, then 5000..5881, each sample as the clip held it.
    std::vector<int> sounding;
    for (const auto& f : mix)
        if (value(f) != 0) sounding.push_back(value(f));
    ASSERT_EQ(sounding.size(), 441u + 882u);
    EXPECT_EQ(sounding[0], 1000);
    EXPECT_EQ(sounding[440], 1440);
    EXPECT_EQ(sounding[441], 5000);
    EXPECT_EQ(sounding.back(), 5881);
}

TEST(ClipPlayback, AClipTheDeviceCannotPlayIsReportedNotFatal) {
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        RaisePolicy policy;
        CHILD_CHECK(notes, SoundDevice().Create(nullptr) == DS_OK);
        const struct {
            uint16_t tag, channels, bits, blockAlign;
        } refused[] = {
            {1, 1, 12, 2},    // 12-bit samples
            {1, 2, 16, 8},    // a block larger than the frame
            {1, 12, 16, 24},  // more channels than the device mixes
            {3, 1, 64, 8},    // 64-bit float
        };
        for (const auto& r : refused) {
            CSoundClip clip = Clip(100, 1);
            clip.wFormatTag = r.tag, clip.nChannels = r.channels, clip.wBitsPerSample = r.bits,
            clip.nBlockAlign = r.blockAlign;
            CHILD_CHECK(notes, PlayClip(clip) == EClipPlay::Refused);
            CHILD_CHECK(notes, !IsClipPlaying());
        }
        // Nothing to hear is no error either.
        CSoundClip empty = Clip(0, 0);
        CHILD_CHECK(notes, PlayClip(empty) == EClipPlay::Silent);
        CHILD_CHECK(notes, NVireo::NError::Record().file[0] == '\0');  // nothing was reported
        SoundDevice().Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

TEST(ClipPlayback, WithoutAnAudioDeviceEverySoundIsSkipped) {
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("no-such-driver", "", [&] {
        RaisePolicy policy;
        CHILD_CHECK(notes, FAILED(SoundDevice().Create(nullptr)));
        CHILD_CHECK(notes, !SoundDevice().Exists());
        const CSoundClip clip = Clip(441, 1000);
        CHILD_CHECK(notes, PlayClip(clip) == EClipPlay::Silent);
        CHILD_CHECK(notes, !IsClipPlaying());
        StopClip();
        ReleaseClip();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

}  // namespace
