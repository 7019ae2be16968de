#include "sound/wavefile.h"

#include <gtest/gtest.h>
#include <hostpath.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "framework/error/error.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

namespace {

using namespace wavbytes;

struct Loaded {
    bool ok;
    std::string rejection;
    CSoundClip clip;
};

Loaded Load(const std::string& hostPath) {
    Loaded result;
    CWaveFile wave;
    result.ok = LoadFromFile(wave, HostToProgramPath(hostPath).c_str(), result.clip);
    result.rejection = wave.rejection;
    return result;
}

Loaded LoadBytes(const TempFolder& folder, const Bytes& bytes) {
    const std::string path = folder / "clip.wav";
    WriteFile(path, bytes);
    return Load(path);
}

bool Save(const std::string& hostPath, CSoundClip& clip) {
    CWaveFile wave;
    return SaveToFile(wave, HostToProgramPath(hostPath).c_str(), clip);
}

Bytes ClipBytes(const CSoundClip& clip) {
    return Bytes(clip.data.data, clip.data.data + clip.data.length);
}

// Failures of the file layer throw here instead of ending the test program.
class WaveFileTest : public ::testing::Test {
protected:
    RaisePolicy throwing;
    TempFolder folder;
};

TEST_F(WaveFileTest, FilesThatRealWritersProduceLoad) {
    const Format stereo16;
    const Bytes samples = Samples(400);
    struct Case {
        const char* what;
        Bytes file;
        uint16_t cbSize;
    };
    const Case cases[] = {
        {"canonical", Canonical(stereo16, samples), 16},
        {"18-byte fmt", Riff({Chunk("fmt ", FmtBody(stereo16, {0, 0})), Chunk("data", samples)}),
         18},
        {"fact and LIST before data",
         Riff({Chunk("fmt ", FmtBody(stereo16)), Chunk("fact", {1, 0, 0, 0}),
               Chunk("LIST", Samples(21)), Chunk("data", samples)}),
         16},
        {"JUNK and bext before fmt",
         Riff({Chunk("JUNK", Bytes(28)), Chunk("bext", Samples(602)),
               Chunk("fmt ", FmtBody(stereo16)), Chunk("data", samples)}),
         16},
        {"odd chunk with its pad byte",
         Riff(
             {Chunk("fmt ", FmtBody(stereo16)), Chunk("note", Samples(5)), Chunk("data", samples)}),
         16},
        {"odd chunk without pad byte",
         Riff({Chunk("fmt ", FmtBody(stereo16)), Chunk("note", Samples(5), false),
               Chunk("data", samples)}),
         16},
        {"data size equal to the rest of the file",
         Riff({Chunk("fmt ", FmtBody(stereo16)), Chunk("data", samples, false)}), 16},
        {"chunks after the data",
         Riff(
             {Chunk("fmt ", FmtBody(stereo16)), Chunk("data", samples), Chunk("LIST", Samples(8))}),
         16},
        {"data size 0xFFFFFFFF of a writer that could not seek: whole frames to the end",
         Riff({Chunk("fmt ", FmtBody(stereo16)),
               [&] {
                   Bytes data = samples;
                   data.insert(data.end(), {7, 7, 7});  // a partial last frame
                   return Chunk("data", data, false, 0xFFFFFFFF);
               }()}),
         16},
    };
    for (const Case& c : cases) {
        const Loaded loaded = LoadBytes(folder, c.file);
        ASSERT_TRUE(loaded.ok) << c.what << ": " << loaded.rejection;
        EXPECT_EQ(ClipBytes(loaded.clip), samples) << c.what;
        EXPECT_EQ(loaded.clip.nChannels, 2) << c.what;
        EXPECT_EQ(loaded.clip.nSamplesPerSec, 44100u) << c.what;
        EXPECT_EQ(loaded.clip.nBlockAlign, 4) << c.what;
        EXPECT_EQ(loaded.clip.cbSize, c.cbSize) << c.what;
    }
}

TEST_F(WaveFileTest, MalformedFilesAreRejectedNotFatal) {
    const Format f;
    const Bytes fmt = Chunk("fmt ", FmtBody(f));
    const Bytes samples = Samples(40);
    Format noChannels, noRate, fourBits, noBlock, badExt, shortExt, wideBlock, wideFloat;
    wideBlock.blockAlign = 65535;
    wideFloat.tag = 3;
    wideFloat.bits = 32;
    wideFloat.blockAlign = 12;
    noChannels.channels = 0;
    noRate.rate = 0;
    fourBits.bits = 4;
    noBlock.blockAlign = 0;
    badExt.tag = shortExt.tag = 0xFFFE;
    const Bytes canonical = Canonical(f, samples);
    auto prefix = [&](size_t n) { return Bytes(canonical.begin(), canonical.begin() + n); };
    const Bytes truncatedHeader = prefix(30);
    struct Case {
        const char* what;
        Bytes file;
        const char* why = nullptr;  // the reason given, where the case is about it
    };
    const Case cases[] = {
        {"empty file", {}},
        {"17 bytes", prefix(17)},
        {"18 bytes ending inside the fmt size", prefix(18)},
        {"header cut inside the fmt chunk", truncatedHeader},
        {"not RIFF",
         [&] {
             Bytes b = Canonical(f, samples);
             b[0] = 'X';
             return b;
         }()},
        {"not WAVE",
         [&] {
             Bytes b = Canonical(f, samples);
             b[8] = 'X';
             return b;
         }()},
        {"fmt shorter than 16 bytes", Riff({Chunk("fmt ", Bytes(14)), Chunk("data", samples)})},
        {"data before fmt", Riff({Chunk("data", samples), fmt})},
        {"no fmt at all", Riff({Chunk("LIST", Samples(8)), Chunk("data", samples)})},
        {"no data chunk", Riff({fmt, Chunk("LIST", Samples(8))})},
        {"data one byte beyond the file", Riff({fmt, Chunk("data", samples, false, 41)})},
        {"data size 4 GiB - 2", Riff({fmt, Chunk("data", samples, false, 0xFFFFFFFE)})},
        {"chunk running off the end", Riff({fmt, Chunk("LIST", Samples(8), true, 0x80000000)})},
        {"no channels", Riff({Chunk("fmt ", FmtBody(noChannels)), Chunk("data", samples)})},
        {"no sample rate", Riff({Chunk("fmt ", FmtBody(noRate)), Chunk("data", samples)})},
        {"4-bit samples", Riff({Chunk("fmt ", FmtBody(fourBits)), Chunk("data", samples)})},
        {"block align 0", Riff({Chunk("fmt ", FmtBody(noBlock)), Chunk("data", samples)})},
        {"PCM block align 65535", Riff({Chunk("fmt ", FmtBody(wideBlock)), Chunk("data", samples)}),
         "block align is not channels x bytes per sample"},
        {"float block align 12", Riff({Chunk("fmt ", FmtBody(wideFloat)), Chunk("data", samples)}),
         "block align is not channels x bytes per sample"},
        {"extensible ADPCM",
         Riff({Chunk("fmt ", FmtBody(badExt, ExtensibleTail(2, 16))), Chunk("data", samples)})},
        {"extensible fmt of 18 bytes",
         Riff({Chunk("fmt ", FmtBody(shortExt, {0, 0})), Chunk("data", samples)})},
    };
    for (const Case& c : cases) {
        Loaded loaded;
        ASSERT_NO_THROW(loaded = LoadBytes(folder, c.file))
            << c.what << ": " << NVireo::NError::ErrorText();
        EXPECT_FALSE(loaded.ok) << c.what;
        EXPECT_STRNE(loaded.rejection.c_str(), "") << c.what;
        if (c.why != nullptr) {
            EXPECT_EQ(loaded.rejection, c.why) << c.what;
        }
    }
}

TEST_F(WaveFileTest, ExtensibleFilesReadAsTheirSubFormat) {
    Format ext;
    ext.tag = 0xFFFE;
    ext.bits = 24;
    const Bytes samples = Samples(60);
    const Loaded pcm = LoadBytes(
        folder, Riff({Chunk("fmt ", FmtBody(ext, ExtensibleTail(1, 24))), Chunk("data", samples)}));
    ASSERT_TRUE(pcm.ok) << pcm.rejection;
    EXPECT_EQ(pcm.clip.wFormatTag, 1);
    EXPECT_EQ(pcm.clip.wBitsPerSample, 24);
    EXPECT_EQ(pcm.clip.cbSize, 40);
    ext.bits = 32;
    const Loaded flt = LoadBytes(
        folder, Riff({Chunk("fmt ", FmtBody(ext, ExtensibleTail(3, 32))), Chunk("data", samples)}));
    ASSERT_TRUE(flt.ok) << flt.rejection;
    EXPECT_EQ(flt.clip.wFormatTag, 3);

    // Saved, it is a plain 16-byte fmt file that reads back the same.
    CSoundClip clip = std::move(const_cast<Loaded&>(pcm).clip);
    ASSERT_TRUE(Save(folder / "plain.wav", clip));
    const Loaded again = Load(folder / "plain.wav");
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.clip.wFormatTag, 1);
    EXPECT_EQ(ClipBytes(again.clip), samples);
}

TEST_F(WaveFileTest, SavingWritesTheCanonicalLayoutAndReadsBack) {
    struct Case {
        Format format;
        size_t length;
    };
    Format mono8, stereo24, float32;
    mono8.channels = 1;
    mono8.bits = 8;
    mono8.rate = 8000;
    stereo24.bits = 24;
    float32.tag = 3;
    float32.bits = 32;
    float32.channels = 1;
    for (const Case& c : {Case{Format{}, 400}, Case{mono8, 7}, Case{stereo24, 66},
                          Case{float32, 16}, Case{mono8, 0}}) {
        const Bytes samples = Samples(c.length);
        const Bytes original = Canonical(c.format, samples);
        Loaded loaded = LoadBytes(folder, original);
        ASSERT_TRUE(loaded.ok) << loaded.rejection;
        ASSERT_TRUE(Save(folder / "out.wav", loaded.clip));
        EXPECT_EQ(loaded.clip.cbSize, 16);
        const Bytes written = ReadFile(folder / "out.wav");
        // Byte for byte the canonical file: no pad after an odd data size, RIFF size + 36.
        EXPECT_EQ(written, original) << c.length;
        EXPECT_EQ(written.size(), 44 + c.length);
    }
}

TEST_F(WaveFileTest, SavingReplacesAtomicallyAndKeepsThePermissions) {
    const std::string target = folder / "take.wav";
    WriteFile(target, Text("old"));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    Loaded loaded = LoadBytes(folder, Canonical(Format{}, Samples(40)));
    ASSERT_TRUE(Save(target, loaded.clip));
    EXPECT_EQ(ReadFile(target).size(), 84u);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"clip.wav", "take.wav"}));

    // An abort asked for before the save starts leaves the old file alone.
    WriteFile(target, Text("old"));
    CWaveFile aborted;
    aborted.abort = true;
    EXPECT_FALSE(SaveToFile(aborted, HostToProgramPath(target).c_str(), loaded.clip));
    EXPECT_EQ(ReadFile(target), (Text("old")));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"clip.wav", "take.wav"}));

    // A folder that does not exist is a failure to write, not a fatal error.
    EXPECT_FALSE(Save(folder / "missing/take.wav", loaded.clip));
}

TEST_F(WaveFileTest, FullDiskLeavesTheOldFileAndNoTemporary) {
    const std::string small = folder / "small";
    ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const std::string target = small + "/take.wav";
    WriteFile(target, Text("old"));
    CSoundClip clip;
    clip.nChannels = 2;
    clip.wBitsPerSample = 16;
    clip.nSamplesPerSec = 44100;
    clip.nBlockAlign = 4;
    ASSERT_TRUE(clip.data.Resize(1 << 20));
    std::memset(clip.data.data, 1, clip.data.length);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Save(target, clip));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(ReadFile(target), (Text("old")));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(small)) {
        names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"take.wav"});
    umount(small.c_str());
}

TEST_F(WaveFileTest, NamesFromLinuxLoadAndSaveUnderTheirOwnName) {
    Loaded loaded = LoadBytes(folder, Canonical(Format{}, Samples(40)));
    for (const std::string& name :
         {U8(u8"表ソ 効果音.wav"), U8(u8"caf\u00e9 \u266a.wav"), std::string("back\\slash.wav")}) {
        ASSERT_TRUE(Save(folder / name, loaded.clip)) << name;
        EXPECT_EQ(ReadFile(folder / name).size(), 84u) << name;
        EXPECT_TRUE(Load(folder / name).ok) << name;
    }
}

TEST_F(WaveFileTest, SoxReadsWhatWeWriteWithTheSameDuration) {
    Format mono8;
    mono8.channels = 1;
    mono8.bits = 8;
    mono8.rate = 8000;
    Format stereo24;
    stereo24.bits = 24;
    stereo24.rate = 48000;
    for (const Format& f : {Format{}, mono8, stereo24}) {
        Loaded loaded =
            LoadBytes(folder, Canonical(f, Samples(f.rate / 2 * f.channels * f.bits / 8)));
        ASSERT_TRUE(loaded.ok);
        CTimeChangeJob job;
        ASSERT_EQ(ChangeDuration(job, 1300.0, loaded.clip), EChangeResult::Done);
        ASSERT_TRUE(Save(folder / "sox.wav", loaded.clip));
        int status = -1;
        const std::string seconds = Capture("soxi -D '" + (folder / "sox.wav") + "' 2>&1", &status);
        ASSERT_EQ(status, 0) << seconds;
        EXPECT_NEAR(std::stod(seconds), 1.3, 0.0005) << f.bits << " bits";
        EXPECT_EQ(GetDurationMs(loaded.clip), 1300u);
    }
}

}  // namespace
