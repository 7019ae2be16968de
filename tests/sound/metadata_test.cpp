// Metadata chunks through a load, a change and a save: positions moved by the rules at
// the first, middle and last frames, collapsing loops, labelled regions and the tempo;
// malformed chunks dropped with their reason; the order and pad bytes of what is saved.
#include "sound/metadata.h"

#include <gtest/gtest.h>
#include <hostpath.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/clip.h"
#include "sound/wavefile.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

namespace {

using namespace wavbytes;

uint32_t Get32(const std::vector<uint8_t>& body, size_t at) {
    uint32_t v;
    std::memcpy(&v, body.data() + at, 4);
    return v;
}

const CMetaChunk* Find(const CSoundClip& clip, const char* tag) {
    for (const CMetaChunk& c : clip.chunks) {
        if (c.Is(tag)) return &c;
    }
    return nullptr;
}

class Metadata : public ::testing::Test {
protected:
    RaisePolicy throwing;
    TempFolder folder;

    bool Load(const Bytes& bytes, CSoundClip& clip, CWaveFile& wave) {
        WriteFile(folder / "in.wav", bytes);
        return LoadFromFile(wave, folder.ProgramPath("in.wav").c_str(), clip);
    }
    Bytes Save(CSoundClip& clip) {
        CWaveFile wave;
        EXPECT_TRUE(SaveToFile(wave, folder.ProgramPath("out.wav").c_str(), clip));
        return ReadFile(folder / "out.wav");
    }
};

TEST_F(Metadata, PositionsFollowTheChangeAtTheEdgesAndInTheMiddle) {
    // 1000 frames of mono 16-bit at 1000 Hz, so that milliseconds are frames. Cue points
    // at the first, middle and last frames and one in a silence chunk (its play position
    // is not in the data and stays); loops over the whole clip, the middle half and three
    // frames; regions of the whole clip, half of it and one frame; 120 beats a minute.
    Format mono;
    mono.channels = 1;
    mono.rate = 1000;
    const Bytes file =
        Riff({Chunk("fmt ", FmtBody(mono)), Chunk("data", Samples(2000)),
              Chunk("cue ", CueBody({{1, 0}, {2, 499}, {3, 999}, {4, 700, "slnt", 700}})),
              Chunk("smpl", SamplerBody({{0, 999}, {250, 750}, {500, 502}}, 3)),
              Chunk("acid", AcidBody(120.0f)),
              Chunk("LIST", ListBody("adtl", {LabelEntry(2, "middle"), RegionEntry(1, 1000),
                                              RegionEntry(2, 500), RegionEntry(3, 1)}))});
    struct Case {
        uint32_t frames;
        std::vector<uint32_t> cues;  // the four sample offsets
        std::vector<std::pair<uint32_t, uint32_t>> loops;
        std::vector<uint32_t> regions;
        float tempo;
    };
    const Case cases[] = {
        {1000, {0, 499, 999, 700}, {{0, 999}, {250, 750}, {500, 502}}, {1000, 500, 1}, 120},
        {250, {0, 124, 249, 175}, {{0, 249}, {62, 187}}, {250, 125, 1}, 480},  // 3 frames collapse
        {4000, {0, 1996, 3996, 2800}, {{0, 3996}, {1000, 3000}, {2000, 2008}}, {4000, 2000, 4}, 30},
        {1, {0, 0, 0, 0}, {}, {1, 1, 1}, 120000},
        {0, {0, 0, 0, 0}, {}, {1, 1, 1}, 120},  // no frames: the tempo has nothing to follow
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        CSoundClip clip;
        CWaveFile wave;
        ASSERT_TRUE(Load(file, clip, wave)) << wave.rejection;
        EXPECT_TRUE(wave.dropped.empty());
        CTimeChangeJob job;
        ASSERT_EQ(ChangeDuration(job, c.frames, clip), EChangeResult::Done);
        ASSERT_EQ(clip.data.length, 2 * c.frames);
        // What was saved reads back with the positions moved.
        Save(clip);
        CSoundClip saved;
        ASSERT_TRUE(LoadFromFile(wave, folder.ProgramPath("out.wav").c_str(), saved));
        EXPECT_EQ(saved.chunks, clip.chunks);

        std::vector<uint32_t> cues;
        for (const CCuePoint& cue : CuePoints(saved.chunks)) cues.push_back(cue.position);
        EXPECT_EQ(cues, c.cues);
        EXPECT_EQ(CuePoints(saved.chunks)[1].label, "middle");
        const std::vector<uint8_t>& cue = Find(saved, "cue ")->body;
        EXPECT_EQ(Get32(cue, 4 + 24 * 2 + 4), c.cues[2]) << "a data cue's play position moves";
        EXPECT_EQ(Get32(cue, 4 + 24 * 3 + 4), 700u) << "a silence cue's stays";

        std::vector<std::pair<uint32_t, uint32_t>> loops;
        for (const CLoop& loop : Loops(saved.chunks)) loops.emplace_back(loop.start, loop.end);
        EXPECT_EQ(loops, c.loops);
        const std::vector<uint8_t>& smpl = Find(saved, "smpl")->body;
        EXPECT_EQ(smpl.size(), 36 + 24 * c.loops.size() + 3) << "the sampler's own data stays";
        EXPECT_EQ(smpl.back(), 2);

        const std::vector<uint8_t>& list = Find(saved, "LIST")->body;
        std::vector<uint32_t> regions;
        for (size_t at = 4 + 8 + 12; at + 28 <= list.size(); at += 28) {
            regions.push_back(Get32(list, at + 12));
        }
        EXPECT_EQ(regions, c.regions);
        float tempo;
        std::memcpy(&tempo, Find(saved, "acid")->body.data() + 20, 4);
        EXPECT_FLOAT_EQ(tempo, c.tempo);
    }
}

TEST_F(Metadata, MalformedChunksAreDroppedWithTheirReasonAndTheClipLoads) {
    const Bytes samples = Samples(400);
    const Bytes good = Chunk("cue ", CueBody({{1, 10}}));
    struct Case {
        const char* what;
        std::vector<Bytes> before, after;  // chunks before and after the data chunk
        const char* reason;
    };
    Bytes threeInTwo = CueBody({{1, 1}, {2, 2}});
    threeInTwo[0] = 3;
    const Case cases[] = {
        {"three cue points in the bytes of two", {Chunk("cue ", threeInTwo)}, {}, "cue points"},
        {"a cue chunk without its count", {Chunk("cue ", Bytes{1, 0})}, {}, "no cue point count"},
        {"two loops in the bytes of one",
         {[] {
             Bytes b = SamplerBody({{1, 5}});
             b[28] = 2;
             return Chunk("smpl", b);
         }()},
         {},
         "loops"},
        {"an instrument of 6 bytes", {Chunk("inst", Bytes(6))}, {}, "7 bytes"},
        {"an acid chunk of 20 bytes", {Chunk("acid", Bytes(20))}, {}, "24 bytes"},
        {"a broadcast extension of 600 bytes", {Chunk("bext", Bytes(600))}, {}, "602 bytes"},
        {"a region cut short",
         {},
         {Chunk("LIST", ListBody("adtl", {Chunk("ltxt", Bytes(12))}))},
         "labelled region"},
        {"a list entry past the end of its list",
         {Chunk("LIST", ListBody("INFO", {Chunk("INAM", Text("name"), true, 40)}))},
         {},
         "runs past the list"},
        {"a cue chunk after the data whose size runs past the file",
         {},
         {Chunk("cue ", CueBody({{2, 5}}), true, 1000)},
         "runs past the end of the file"},
        {"a list over 1 MiB",
         {Chunk("LIST", ListBody("INFO", {Chunk("ICMT", Bytes(1 << 20))}))},
         {},
         "larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Bytes> chunks{Chunk("fmt ", FmtBody(Format{})), good};
        chunks.insert(chunks.end(), c.before.begin(), c.before.end());
        chunks.push_back(Chunk("data", samples));
        chunks.insert(chunks.end(), c.after.begin(), c.after.end());
        CSoundClip clip;
        CWaveFile wave;
        ASSERT_TRUE(Load(Riff(chunks), clip, wave)) << wave.rejection;
        EXPECT_EQ(Bytes(clip.data.data, clip.data.data + clip.data.length), samples);
        ASSERT_EQ(wave.dropped.size(), 1u);
        EXPECT_NE(wave.dropped[0].find(c.reason), std::string::npos) << wave.dropped[0];
        // Saved, the file holds the well-formed chunk alone.
        EXPECT_EQ(Save(clip),
                  Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", samples), good}));
    }
}

TEST_F(Metadata, SavedChunksFollowTheDataInInputOrderWithPadBytes) {
    // Chunks before the format, between it and the data and after the data; an odd data
    // size (9 frames of mono 8-bit) and odd chunks, whose pad bytes the input leaves out
    // once. Other chunks and lists of other types are left out without a word.
    Format mono8;
    mono8.channels = 1;
    mono8.bits = 8;
    const Bytes samples = Samples(9);
    const Bytes info = Chunk("LIST", ListBody("INFO", {Chunk("INAM", Text("odd"))}));
    const Bytes inst = Chunk("inst", Bytes{60, 0, 0, 0, 127, 1, 127});
    const Bytes cue = Chunk("cue ", CueBody({{1, 8}}));
    const Bytes smpl = Chunk("smpl", SamplerBody({{2, 7}}, 1));
    const Bytes bext = Chunk("bext", Samples(602));
    const Bytes input =
        Riff({Chunk("JUNK", Bytes(12)), info, Chunk("fmt ", FmtBody(mono8)),
              Chunk("fact", Bytes{9, 0, 0, 0}),
              Chunk("inst", Bytes{60, 0, 0, 0, 127, 1, 127}, false), Chunk("data", samples), cue,
              Chunk("LIST", ListBody("exif", {})), Chunk("abcd", Bytes(4)), smpl, bext});
    CSoundClip clip;
    CWaveFile wave;
    ASSERT_TRUE(Load(input, clip, wave)) << wave.rejection;
    EXPECT_TRUE(wave.dropped.empty());
    const Bytes expected =
        Riff({Chunk("fmt ", FmtBody(mono8)), Chunk("data", samples), info, inst, cue, smpl, bext});
    EXPECT_EQ(SavedFileSize(clip), expected.size());
    EXPECT_EQ(Save(clip), expected);

    // Silence in place of the clip ("初期化") leaves no metadata behind.
    ASSERT_TRUE(MakeSilence(clip, 2));
    EXPECT_TRUE(clip.chunks.empty());
    EXPECT_EQ(Save(clip), Canonical(mono8, Bytes(88, 0x80)));
}

}  // namespace
