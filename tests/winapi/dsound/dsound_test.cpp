// dsound: buffers play through the mixer into SDL's audio device. Playback runs in child
// processes with SDL's disk driver, and the parent compares what was written with the
// samples the buffer held.
#include <dsound.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/audio_child.h"
#include "support/test_support.h"

namespace {

using audiotest::Frame;
using audiotest::kRate;

WAVEFORMATEX Format(WORD tag, WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * (bits / 8));
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

WAVEFORMATEXTENSIBLE Extensible(WORD channels, DWORD rate, WORD bits, WORD validBits,
                                const GUID& sub) {
    WAVEFORMATEXTENSIBLE f{};
    f.Format = Format(WAVE_FORMAT_EXTENSIBLE, channels, rate, bits);
    f.Format.cbSize = 22;
    f.Samples.wValidBitsPerSample = validBits;
    f.dwChannelMask = channels == 2 ? 3 : 4;
    f.SubFormat = sub;
    return f;
}

DSBUFFERDESC Desc(const void* format, DWORD bytes, DWORD flags = DSBCAPS_CTRLVOLUME) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = const_cast<WAVEFORMATEX*>(static_cast<const WAVEFORMATEX*>(format));
    return d;
}

// Creates a buffer holding bytes; null on failure.
IDirectSoundBuffer* MakeBuffer(IDirectSound8* sound, const void* format,
                               const std::vector<uint8_t>& bytes) {
    DSBUFFERDESC desc = Desc(format, static_cast<DWORD>(bytes.size()));
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(sound->CreateSoundBuffer(&desc, &buffer, nullptr))) return nullptr;
    void *p1, *p2;
    DWORD n1, n2;
    buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    std::memcpy(p1, bytes.data(), n1);
    buffer->Unlock(p1, n1, p2, n2);
    return buffer;
}

bool Playing(IDirectSoundBuffer* buffer) {
    DWORD status = 0;
    buffer->GetStatus(&status);
    return (status & DSBSTATUS_PLAYING) != 0;
}

void ExpectNoFailures(const audiotest::Notes& notes) {
    const auto lines = notes.Read();
    ASSERT_FALSE(lines.empty()) << "the child wrote nothing";
    for (const auto& line : lines) EXPECT_EQ(line.rfind("FAIL", 0), std::string::npos) << line;
    EXPECT_EQ(lines.back(), "DONE");
}

// One clip played to the disk driver, and what the mix must hold.
struct PlaybackCase {
    const char* name;
    std::vector<uint8_t> format;  // WAVEFORMATEX, or the extensible form
    std::vector<uint8_t> samples;
    LONG volume;
    size_t outputFrames;
    // Frames whose value is known exactly: (index, frame).
    std::vector<std::pair<size_t, Frame>> known;
};

template <typename T>
std::vector<uint8_t> Bytes(const T& value) {
    std::vector<uint8_t> b(sizeof value);
    std::memcpy(b.data(), &value, sizeof value);
    return b;
}

void Put16(std::vector<uint8_t>& b, int v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put24(std::vector<uint8_t>& b, int v) {
    for (int i = 0; i < 3; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// 8-bit mono at 8 kHz: 800 frames become 4410 mix frames; every 441st mix frame lands
// exactly on source frame 80k.
PlaybackCase EightBitMono() {
    PlaybackCase c{"8-bit mono 8 kHz", Bytes(Format(WAVE_FORMAT_PCM, 1, 8000, 8)), {}, 0, 4410, {}};
    for (int i = 0; i < 800; ++i) c.samples.push_back(static_cast<uint8_t>(129 + i % 100));
    for (size_t n = 0; n < 4410; n += 441) {
        const float v = (static_cast<float>(c.samples[n / 441 * 80]) - 128.0f) / 128.0f;
        c.known.push_back({n, {v, v}});
    }
    return c;
}

// 16-bit stereo at the mix rate: every frame comes out as it was, scaled by the volume.
PlaybackCase SixteenBitStereo(LONG volume, const std::vector<uint8_t>& format) {
    PlaybackCase c{"16-bit stereo 44.1 kHz", format, {}, volume, 441, {}};
    const float gain = static_cast<float>(std::pow(10.0, volume / 2000.0));
    for (int i = 0; i < 441; ++i) {
        const int left = 1000 + 50 * i, right = -(1000 + 30 * i);
        Put16(c.samples, left);
        Put16(c.samples, right);
        c.known.push_back(
            {static_cast<size_t>(i), {gain * left / 32768.0f, gain * right / 32768.0f}});
    }
    return c;
}

// 24-bit mono at half the mix rate: even mix frames are source frames, odd ones lie
// halfway between two (the last one holds the final frame).
PlaybackCase TwentyFourBit() {
    PlaybackCase c{
        "24-bit mono 22.05 kHz", Bytes(Format(WAVE_FORMAT_PCM, 1, 22050, 24)), {}, 0, 600, {}};
    std::vector<float> s;
    for (int i = 0; i < 300; ++i) {
        const int v = 20000 * (i + 1) * (i % 2 ? -1 : 1) + (i % 2 ? -1 : 1);
        Put24(c.samples, v);
        s.push_back(static_cast<float>(v) / 8388608.0f);
    }
    for (size_t k = 0; k < 300; ++k) {
        c.known.push_back({2 * k, {s[k], s[k]}});
        const float half = k + 1 < 300 ? s[k] + (s[k + 1] - s[k]) * 0.5f : s[k];
        c.known.push_back({2 * k + 1, {half, half}});
    }
    return c;
}

PlaybackCase FloatMono() {
    PlaybackCase c{
        "32-bit float mono", Bytes(Format(WAVE_FORMAT_IEEE_FLOAT, 1, kRate, 32)), {}, 0, 200, {}};
    for (int i = 0; i < 200; ++i) {
        const float v = 0.25f + 0.001f * static_cast<float>(i);
        const auto b = Bytes(v);
        c.samples.insert(c.samples.end(), b.begin(), b.end());
        c.known.push_back({static_cast<size_t>(i), {v, v}});
    }
    return c;
}

TEST(DsoundPlayback, EachFormatReachesTheMixConvertedAndScaled) {
    const std::vector<PlaybackCase> cases = {
        EightBitMono(),
        SixteenBitStereo(0, Bytes(Format(WAVE_FORMAT_PCM, 2, kRate, 16))),
        TwentyFourBit(),
        FloatMono(),
        // The extensible form of the same 16-bit stereo format plays the same.
        SixteenBitStereo(0, Bytes(Extensible(2, kRate, 16, 16, KSDATAFORMAT_SUBTYPE_PCM))),
        // -2500 hundredths of a decibel scales by 10^-1.25; -5000 is quiet, not silent.
        SixteenBitStereo(-2500, Bytes(Format(WAVE_FORMAT_PCM, 2, kRate, 16))),
        SixteenBitStereo(-5000, Bytes(Format(WAVE_FORMAT_PCM, 2, kRate, 16))),
    };
    for (const PlaybackCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at volume " + std::to_string(c.volume));
        TempFolder folder;
        const std::string output = folder / "mix.raw";
        audiotest::Notes notes(folder / "notes.txt");
        const int code = audiotest::RunWithDriver("disk", output, [&] {
            IDirectSound8* sound = nullptr;
            CHILD_CHECK(notes, SUCCEEDED(DirectSoundCreate8(nullptr, &sound, nullptr)));
            if (sound == nullptr) return;
            IDirectSoundBuffer* buffer = MakeBuffer(sound, c.format.data(), c.samples);
            CHILD_CHECK(notes, buffer != nullptr);
            if (buffer == nullptr) return;
            CHILD_CHECK(notes, buffer->SetVolume(c.volume) == DS_OK);
            CHILD_CHECK(notes, buffer->Play(0, 0, 0) == DS_OK);
            CHILD_CHECK(notes, audiotest::WaitFor([&] { return !Playing(buffer); }));
            CHILD_CHECK(notes, audiotest::Drain(output));
            buffer->Release();
            sound->Release();  // closes the device, which closes the file
            notes.Add("DONE");
        });
        ASSERT_EQ(code, kChildReturned);
        ExpectNoFailures(notes);
        const auto mix = audiotest::Sounding(audiotest::ReadFrames(output));
        ASSERT_EQ(mix.size(), c.outputFrames);
        for (const auto& [index, frame] : c.known) {
            ASSERT_NEAR(mix[index].left, frame.left, 1e-6) << "frame " << index;
            ASSERT_NEAR(mix[index].right, frame.right, 1e-6) << "frame " << index;
        }
    }
}

TEST(DsoundPlayback, StopThenPlayRestartsAndTheStatusEndsWithTheSound) {
    TempFolder folder;
    const std::string output = folder / "mix.raw";
    audiotest::Notes notes(folder / "notes.txt");
    const WAVEFORMATEX format = Format(WAVE_FORMAT_PCM, 1, kRate, 16);
    std::vector<uint8_t> samples;
    const int frames = 8820;  // 0.2 s, each frame its own value
    for (int i = 0; i < frames; ++i) Put16(samples, 100 + i);
    const int code = audiotest::RunWithDriver("disk", output, [&] {
        IDirectSound8* sound = nullptr;
        DirectSoundCreate8(nullptr, &sound, nullptr);
        if (sound == nullptr) return notes.Add("FAIL no device");
        IDirectSoundBuffer* buffer = MakeBuffer(sound, &format, samples);
        CHILD_CHECK(notes, buffer->Play(0, 0, 0) == DS_OK);
        CHILD_CHECK(notes, Playing(buffer));
        // Stop once the mixer has taken part of the sound.
        CHILD_CHECK(notes, audiotest::WaitFor([&] {
                        DWORD position = 0;
                        buffer->GetCurrentPosition(&position, nullptr);
                        return position > 0;
                    }));
        CHILD_CHECK(notes, buffer->Stop() == DS_OK);
        CHILD_CHECK(notes, !Playing(buffer));
        CHILD_CHECK(notes, buffer->SetCurrentPosition(0) == DS_OK);
        CHILD_CHECK(notes, buffer->Play(0, 0, 0) == DS_OK);
        CHILD_CHECK(notes, audiotest::WaitFor([&] { return !Playing(buffer); }));
        DWORD play = 1;
        buffer->GetCurrentPosition(&play, nullptr);
        CHILD_CHECK(notes, play == 0);  // a finished one-shot sound is back at its start
        CHILD_CHECK(notes, audiotest::Drain(output));
        buffer->Release();
        sound->Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectNoFailures(notes);
    const auto mix = audiotest::Sounding(audiotest::ReadFrames(output));
    auto value = [](const Frame& f) { return static_cast<int>(std::lround(f.left * 32768.0f)); };
    // The first run breaks off part-way; the second starts again at frame 0 and plays all.
    std::vector<size_t> starts;
    for (size_t i = 0; i < mix.size(); ++i)
        if (value(mix[i]) == 100) starts.push_back(i);
    ASSERT_EQ(starts.size(), 2u);
    ASSERT_GT(starts[1], 0u);
    ASSERT_EQ(mix.size() - starts[1], static_cast<size_t>(frames));
    for (int i = 0; i < frames; i += 97) ASSERT_EQ(value(mix[starts[1] + i]), 100 + i);
}

TEST(DsoundPlayback, SoundsPlayingTogetherAddUpAndClip) {
    TempFolder folder;
    const std::string output = folder / "mix.raw";
    audiotest::Notes notes(folder / "notes.txt");
    const WAVEFORMATEX format = Format(WAVE_FORMAT_PCM, 1, kRate, 16);
    std::vector<uint8_t> loud, quiet;
    for (int i = 0; i < 441; ++i) Put16(loud, 24576);   // 0.75
    for (int i = 0; i < 441; ++i) Put16(quiet, -8192);  // -0.25
    const int code = audiotest::RunWithDriver("disk", output, [&] {
        IDirectSound8* sound = nullptr;
        DirectSoundCreate8(nullptr, &sound, nullptr);
        if (sound == nullptr) return notes.Add("FAIL no device");
        IDirectSoundBuffer* a = MakeBuffer(sound, &format, loud);
        IDirectSoundBuffer* b = MakeBuffer(sound, &format, loud);
        IDirectSoundBuffer* c = MakeBuffer(sound, &format, quiet);
        // A period may start between two of these calls; the three still overlap for
        // most of the sound, and that is where the sum is looked for.
        a->Play(0, 0, 0);
        b->Play(0, 0, 0);
        c->Play(0, 0, 0);
        CHILD_CHECK(notes,
                    audiotest::WaitFor([&] { return !Playing(a) && !Playing(b) && !Playing(c); }));
        CHILD_CHECK(notes, audiotest::Drain(output));
        a->Release();
        b->Release();
        c->Release();
        sound->Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectNoFailures(notes);
    const auto mix = audiotest::ReadFrames(output);
    // 0.75 + 0.75 - 0.25 = 1.25 is clipped to 1; no frame exceeds full level.
    size_t clipped = 0;
    for (const Frame& f : mix) {
        ASSERT_LE(f.left, 1.0f);
        if (f.left == 1.0f && f.right == 1.0f) ++clipped;
    }
    EXPECT_GT(clipped, 0u);
}

TEST(DsoundFormats, BuffersTheDeviceCannotPlayAreRefusedWithTheirCode) {
    struct Row {
        const char* what;
        std::vector<uint8_t> format;
        DWORD bytes;
        DWORD flags;
        HRESULT expected;
    };
    WAVEFORMATEX badBlock = Format(WAVE_FORMAT_PCM, 2, kRate, 16);
    badBlock.nBlockAlign = 2;
    WAVEFORMATEXTENSIBLE shortExtension = Extensible(2, kRate, 16, 16, KSDATAFORMAT_SUBTYPE_PCM);
    shortExtension.Format.cbSize = 0;
    const GUID otherSub = {
        0x00000002, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    const DWORD v = DSBCAPS_CTRLVOLUME;
    const std::vector<Row> rows = {
        {"8-bit mono 8 kHz", Bytes(Format(1, 1, 8000, 8)), 100, v, DS_OK},
        {"16-bit stereo", Bytes(Format(1, 2, 44100, 16)), 100, v | DSBCAPS_CTRLPOSITIONNOTIFY,
         DS_OK},
        {"24-bit 8 channels 96 kHz", Bytes(Format(1, 8, 96000, 24)), 96, v, DS_OK},
        {"32-bit PCM 3 channels 11 kHz", Bytes(Format(1, 3, 11025, 32)), 96, v, DS_OK},
        {"float stereo", Bytes(Format(3, 2, 48000, 32)), 96, v, DS_OK},
        {"float extensible", Bytes(Extensible(2, 48000, 32, 32, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)),
         96, v, DS_OK},
        {"20 valid bits in 24", Bytes(Extensible(1, 48000, 24, 20, KSDATAFORMAT_SUBTYPE_PCM)), 96,
         v, DS_OK},
        {"64-bit float", Bytes(Format(3, 1, 48000, 64)), 96, v, DSERR_BADFORMAT},
        {"12-bit PCM", Bytes(Format(1, 1, 48000, 12)), 96, v, DSERR_BADFORMAT},
        {"9 channels", Bytes(Format(1, 9, 48000, 16)), 180, v, DSERR_BADFORMAT},
        {"no channels", Bytes(Format(1, 0, 48000, 16)), 96, v, DSERR_BADFORMAT},
        {"no sample rate", Bytes(Format(1, 1, 0, 16)), 96, v, DSERR_BADFORMAT},
        {"block align of a mono frame", Bytes(badBlock), 96, v, DSERR_BADFORMAT},
        {"ADPCM", Bytes(Format(2, 1, 22050, 4)), 96, v, DSERR_BADFORMAT},
        {"extensible without its extension", Bytes(shortExtension), 96, v, DSERR_BADFORMAT},
        {"extensible of another sub-format", Bytes(Extensible(2, kRate, 16, 16, otherSub)), 96, v,
         DSERR_BADFORMAT},
        {"more valid bits than stored",
         Bytes(Extensible(2, kRate, 16, 17, KSDATAFORMAT_SUBTYPE_PCM)), 96, v, DSERR_BADFORMAT},
        {"empty buffer", Bytes(Format(1, 1, 8000, 8)), 0, v, DSERR_INVALIDPARAM},
        {"3D control", Bytes(Format(1, 1, 8000, 8)), 100, DSBCAPS_CTRL3D, DSERR_UNSUPPORTED},
        {"primary buffer", Bytes(Format(1, 1, 8000, 8)), 100, DSBCAPS_PRIMARYBUFFER,
         DSERR_UNSUPPORTED},
    };
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        IDirectSound8* sound = nullptr;
        DirectSoundCreate8(nullptr, &sound, nullptr);
        if (sound == nullptr) return notes.Add("FAIL no device");
        for (const Row& row : rows) {
            DSBUFFERDESC desc = Desc(row.format.data(), row.bytes, row.flags);
            IDirectSoundBuffer* buffer = nullptr;
            const HRESULT result = sound->CreateSoundBuffer(&desc, &buffer, nullptr);
            char line[128];
            std::snprintf(line, sizeof line, "%08x", static_cast<unsigned>(result));
            notes.Add(line);
            if (buffer) buffer->Release();
        }
        DSBUFFERDESC wrongSize = Desc(rows[0].format.data(), 100);
        wrongSize.dwSize = 20;
        IDirectSoundBuffer* buffer = nullptr;
        CHILD_CHECK(notes,
                    sound->CreateSoundBuffer(&wrongSize, &buffer, nullptr) == DSERR_INVALIDPARAM);
        sound->Release();
    });
    ASSERT_EQ(code, kChildReturned);
    const auto lines = notes.Read();
    ASSERT_EQ(lines.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%08x", static_cast<unsigned>(rows[i].expected));
        EXPECT_EQ(lines[i], expected) << rows[i].what;
    }
}

TEST(DsoundBuffer, LockHandsOutTheBufferMemoryAndChecksWhatComesBack) {
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        IDirectSound8* sound = nullptr;
        DirectSoundCreate8(nullptr, &sound, nullptr);
        if (sound == nullptr) return notes.Add("FAIL no device");
        const WAVEFORMATEX format = Format(WAVE_FORMAT_PCM, 2, kRate, 16);
        DSBUFFERDESC desc = Desc(&format, 100);
        IDirectSoundBuffer* made = nullptr;
        sound->CreateSoundBuffer(&desc, &made, nullptr);
        IDirectSoundBuffer8* buffer = nullptr;
        CHILD_CHECK(notes, made->QueryInterface(IID_IDirectSoundBuffer8,
                                                reinterpret_cast<void**>(&buffer)) == S_OK);
        made->Release();
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        // A new buffer is silent: all zero bytes.
        CHILD_CHECK(notes, buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER) == DS_OK);
        CHILD_CHECK(notes, n1 == 100 && p2 == nullptr && n2 == 0);
        const std::vector<uint8_t> zeros(100, 0);
        CHILD_CHECK(notes, std::memcmp(p1, zeros.data(), 100) == 0);
        uint8_t* start = static_cast<uint8_t*>(p1);
        CHILD_CHECK(notes, buffer->Unlock(p1, n1, p2, n2) == DS_OK);
        // A region past the end goes on from the start.
        CHILD_CHECK(notes, buffer->Lock(90, 20, &p1, &n1, &p2, &n2, 0) == DS_OK);
        CHILD_CHECK(notes, p1 == start + 90 && n1 == 10 && p2 == start && n2 == 10);
        CHILD_CHECK(notes, buffer->Unlock(p1, n1, p2, n2) == DS_OK);
        CHILD_CHECK(notes,
                    buffer->Lock(90, 20, &p1, &n1, nullptr, nullptr, 0) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->Lock(100, 4, &p1, &n1, &p2, &n2, 0) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->Lock(0, 101, &p1, &n1, &p2, &n2, 0) == DSERR_INVALIDPARAM);
        uint8_t foreign[8];
        CHILD_CHECK(notes, buffer->Unlock(foreign, 8, nullptr, 0) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->Unlock(start + 96, 8, nullptr, 0) == DSERR_INVALIDPARAM);
        // Volume: hundredths of a decibel from -10000 to 0.
        LONG volume = 1;
        CHILD_CHECK(notes, buffer->SetVolume(-10000) == DS_OK);
        CHILD_CHECK(notes, buffer->GetVolume(&volume) == DS_OK && volume == -10000);
        CHILD_CHECK(notes, buffer->SetVolume(1) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->SetVolume(-10001) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->SetCurrentPosition(100) == DSERR_INVALIDPARAM);
        CHILD_CHECK(notes, buffer->Play(0, 0, 2) == DSERR_INVALIDPARAM);
        WAVEFORMATEX back{};
        DWORD written = 0;
        CHILD_CHECK(notes, buffer->GetFormat(&back, sizeof back, &written) == DS_OK);
        CHILD_CHECK(notes, written == sizeof back && std::memcmp(&back, &format, sizeof back) == 0);
        buffer->Release();
        // Without the volume control the volume cannot be set.
        DSBUFFERDESC plain = Desc(&format, 100, 0);
        sound->CreateSoundBuffer(&plain, &made, nullptr);
        CHILD_CHECK(notes, made->SetVolume(0) == DSERR_CONTROLUNAVAIL);
        made->Release();
        sound->Release();
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectNoFailures(notes);
}

TEST(DsoundDevice, NoAudioDeviceMeansNoDirectSound) {
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const int code = audiotest::RunWithDriver("no-such-driver", "", [&] {
        IDirectSound8* sound = reinterpret_cast<IDirectSound8*>(1);
        CHILD_CHECK(notes, DirectSoundCreate8(nullptr, &sound, nullptr) == DSERR_NODRIVER);
        CHILD_CHECK(notes, sound == nullptr);
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    ExpectNoFailures(notes);
}

}  // namespace
