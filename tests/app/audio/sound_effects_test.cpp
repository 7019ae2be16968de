// Interface sound effects: the effect names, and the bank that loads an effect from the
// package on its first press, reuses and restarts it later, applies the SE volume, and
// stays silent when effects are off, when there is no sound device, or when the device
// cannot play the file.
#include "app/audio/sound_effects.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/package/package.h"
#include "support/audio_child.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"
#include "tools/packer/pack.h"

namespace {

using NVireo::NDirectX::NSound::SoundDevice;

TEST(SoundEffectNames, FiveNamedEffects) {
    SE::CSEID ids;
    ASSERT_EQ(ids.Count(), 5u);
    const char* names[] = {"OK", "SELECT", "CANCEL", "BAD", "TRAINING"};
    for (uint32_t id = 0; id < 5; ++id) EXPECT_STREQ(ids.Name(id), names[id]);
    EXPECT_EQ(ids.Name(5), nullptr);
    EXPECT_EQ(ids.Name(0xFFFFFFFFu), nullptr);
}

// A package holding pd/se/ok.wav with the given format; answers its program path.
std::string PackEffect(const TempFolder& folder, const wavbytes::Format& format) {
    wavbytes::Bytes samples;
    for (int i = 0; i < 4410 * format.channels; ++i) wavbytes::Put16(samples, 1000 + i % 300);
    const wavbytes::Bytes riff = wavbytes::Riff(
        {wavbytes::Chunk("fmt ", wavbytes::FmtBody(format)), wavbytes::Chunk("data", samples)});
    std::filesystem::create_directories(folder / "src/pd/se");
    WriteFile(folder / "src/pd/se/ok.wav", riff);
    std::string reason;
    EXPECT_TRUE(PackFolder(folder / "package", folder / "src", 3, reason)) << reason;
    return folder.ProgramPath("package");
}

TEST(SoundEffectBank, LoadsOnTheFirstPressThenReusesAndRestarts) {
    TempFolder folder;
    const std::string package = PackEffect(folder, wavbytes::Format{1, 1, 44100, 16});
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        RaisePolicy policy;
        NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
        CHILD_CHECK(notes, SoundDevice().Create(nullptr) == DS_OK);
        CSoundEffectBank& bank = SoundEffectBank();
        bank.Reset(new SE::CSEID);
        CHILD_CHECK(notes, bank.slotCount == 5);
        auto& okBuffer = bank.slots[0]->buffer;
        // Effects off: nothing is loaded, nothing plays.
        bank.Play(0);
        CHILD_CHECK(notes, okBuffer.Empty());
        bank.SetEnabled(2);  // only 1 means on
        bank.Play(0);
        CHILD_CHECK(notes, okBuffer.Empty());
        bank.SetEnabled(1);
        EffectVolume() = 0.25;
        bank.Play(0);
        CHILD_CHECK(notes, !okBuffer.Empty() && okBuffer.IsPlaying());
        IDirectSoundBuffer8* first = okBuffer.buffer;
        LONG volume = 0;
        okBuffer.buffer->GetVolume(&volume);
        CHILD_CHECK(notes, volume == -3750);
        // A second press while it sounds: the same buffer, back at its start.
        DWORD before = 0, after = 0;
        CHILD_CHECK(notes, audiotest::WaitFor([&] {
                        okBuffer.buffer->GetCurrentPosition(&before, nullptr);
                        return before > 0;
                    }));
        EffectVolume() = 1.0;
        bank.Play(0);
        okBuffer.buffer->GetCurrentPosition(&after, nullptr);
        CHILD_CHECK(notes, okBuffer.buffer == first);
        CHILD_CHECK(notes, before > 0 && after < before);
        okBuffer.buffer->GetVolume(&volume);
        CHILD_CHECK(notes, volume == 0);
        // Ids without a name or beyond the slots are ignored; the others are loaded lazily.
        bank.Play(7);
        CHILD_CHECK(notes, bank.slots[1]->buffer.Empty());
        bank.ReleaseAll();
        CHILD_CHECK(notes, okBuffer.Empty());
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectDone(notes);
}

TEST(SoundEffectBank, StaysSilentWithoutADeviceOrWithAnEffectTheDeviceRefuses) {
    TempFolder folder;
    // A-law samples: the reader takes them, the device refuses them.
    const std::string package = PackEffect(folder, wavbytes::Format{6, 1, 44100, 8, 1});
    audiotest::Notes notes(folder / "notes.txt");
    for (const char* driver : {"no-such-driver", "dummy"}) {
        const int code = audiotest::RunWithDriver(driver, "", [&] {
            RaisePolicy policy;
            NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
            SoundDevice().Create(nullptr);
            CSoundEffectBank& bank = SoundEffectBank();
            bank.Reset(new SE::CSEID);
            bank.SetEnabled(1);
            bank.Play(0);
            CHILD_CHECK(notes, bank.slots[0]->buffer.Empty());
            CHILD_CHECK(notes, NVireo::NError::Record().file[0] == '\0');
            notes.Add("DONE");
        });
        ASSERT_EQ(code, kChildReturned) << driver;
        ExpectDone(notes);
    }
}

}  // namespace
