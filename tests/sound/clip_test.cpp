#include "sound/clip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

CSoundClip MakeClip(uint16_t channels, uint16_t bits, uint32_t rate,
                    const std::vector<uint8_t>& bytes, uint16_t tag = 1) {
    CSoundClip clip;
    clip.wFormatTag = tag;
    clip.nChannels = channels;
    clip.wBitsPerSample = bits;
    clip.nSamplesPerSec = rate;
    clip.nBlockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    clip.nAvgBytesPerSec = clip.nBlockAlign * rate;
    EXPECT_TRUE(clip.data.Resize(static_cast<uint32_t>(bytes.size())));
    if (!bytes.empty()) std::memcpy(clip.data.data, bytes.data(), bytes.size());
    return clip;
}

std::vector<uint8_t> Bytes(const CByteBuffer& buffer) {
    return std::vector<uint8_t>(buffer.data, buffer.data + buffer.length);
}

// Frames whose every byte tells the frame's index, so the source of each output frame
// can be read back.
std::vector<uint8_t> NumberedFrames(uint32_t frames, uint32_t frameSize) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * frameSize);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t k = 0; k < frameSize; ++k) {
            bytes[static_cast<size_t>(i) * frameSize + k] = static_cast<uint8_t>(i * 7 + k);
        }
    }
    return bytes;
}

// The source frame of every output frame, by the plain formulas, one frame at a time.
std::vector<uint32_t> ReferenceSources(uint32_t in, uint32_t out) {
    std::vector<uint32_t> sources(out);
    if (in > out) {
        const double r = static_cast<double>(in) / static_cast<double>(out);
        for (uint32_t i = 0; i < out; ++i) sources[i] = static_cast<uint32_t>(std::trunc(i * r));
    } else {
        const uint64_t step = (static_cast<uint64_t>(in) << 32) / out;
        for (uint32_t i = 0; i < out; ++i) sources[i] = static_cast<uint32_t>((i * step) >> 32);
    }
    return sources;
}

// What the copy loop, run directly, makes of in frames (bytes) changed to out frames.
std::vector<uint8_t> Copied(const std::vector<uint8_t>& bytes, uint32_t in, uint32_t out,
                            uint32_t frameSize) {
    CByteBuffer input;
    EXPECT_TRUE(input.Resize(static_cast<uint32_t>(bytes.size())));
    std::memcpy(input.data, bytes.data(), bytes.size());
    CTimeChangeJob job;
    job.inFrames = in;
    job.outFrames = out;
    EXPECT_TRUE(job.output.Resize(out * frameSize));
    EXPECT_TRUE(in > out ? ShrinkFrames(job, input, frameSize)
                         : StretchFrames(job, input, frameSize));
    EXPECT_EQ(job.progress.load(), out);
    return Bytes(job.output);
}

// Runs the copy loop directly for in -> out frames and answers each output frame's source.
std::vector<uint32_t> Mapping(uint32_t in, uint32_t out, uint32_t frameSize) {
    const std::vector<uint8_t> bytes = NumberedFrames(in, frameSize);
    const std::vector<uint8_t> output = Copied(bytes, in, out, frameSize);
    std::vector<uint32_t> sources;
    for (uint32_t i = 0; i < out; ++i) {
        const uint8_t* frame = output.data() + static_cast<size_t>(i) * frameSize;
        uint32_t found = UINT32_MAX;
        for (uint32_t s = 0; s < in; ++s) {
            if (std::memcmp(frame, bytes.data() + static_cast<size_t>(s) * frameSize, frameSize) ==
                0) {
                found = s;
                break;
            }
        }
        sources.push_back(found);
    }
    return sources;
}

TEST(DurationChange, WorkedMappingsHoldForEveryFrameSize) {
    struct Case {
        uint32_t in, out;
        std::vector<uint32_t> sources;
    };
    const Case cases[] = {
        {3, 5, {0, 0, 1, 1, 2}}, {4, 5, {0, 0, 1, 2, 3}}, {2, 6, {0, 0, 0, 0, 1, 1}},
        {5, 3, {0, 1, 3}},       {6, 2, {0, 3}},
    };
    for (const Case& c : cases) {
        for (uint32_t frameSize : {1u, 2u, 4u, 3u, 6u}) {
            EXPECT_EQ(Mapping(c.in, c.out, frameSize), c.sources)
                << c.in << " -> " << c.out << " frames of " << frameSize << " bytes";
        }
    }
}

TEST(DurationChange, CopyLoopsMatchThePlainFormulasAcrossBlocks) {
    // Every frame carries its own index in its first bytes, so the source of each output
    // frame reads straight back. Sizes cross block and unrolling boundaries.
    std::mt19937 random(1234);
    for (const uint32_t frameSize : {2u, 4u, 6u}) {
        // Ratios at and around a half, then random ones.
        const std::pair<uint32_t, uint32_t> fixed[] = {
            {20000, 10000}, {19999, 10000}, {20001, 10000}, {8200, 4100}, {17, 9}, {9, 8}};
        for (int round = 0; round < 46; ++round) {
            const bool random_round = round >= 6;
            const uint32_t in = random_round ? 1 + random() % 20000 : fixed[round].first;
            const uint32_t out = random_round ? 1 + random() % 20000 : fixed[round].second;
            if (in == out) continue;
            const std::vector<uint32_t> expected = ReferenceSources(in, out);
            CByteBuffer input;
            ASSERT_TRUE(input.Resize(in * frameSize));
            for (uint32_t i = 0; i < in; ++i) {
                std::memset(input.data + i * frameSize, 0xEE, frameSize);
                std::memcpy(input.data + i * frameSize, &i, 2);
            }
            CTimeChangeJob job;
            job.inFrames = in;
            job.outFrames = out;
            ASSERT_TRUE(job.output.Resize(out * frameSize));
            ASSERT_TRUE(in > out ? ShrinkFrames(job, input, frameSize)
                                 : StretchFrames(job, input, frameSize));
            for (uint32_t i = 0; i < out; ++i) {
                ASSERT_LT(expected[i], in);
                ASSERT_EQ(std::memcmp(job.output.data + i * frameSize,
                                      input.data + expected[i] * frameSize, frameSize),
                          0)
                    << in << " -> " << out << " frames of " << frameSize << " at " << i;
            }
        }
    }
}

TEST(DurationChange, StreamedChangesGiveTheBytesOfTheChangeInMemory) {
    // Clips of several blocks, shortened a little, a lot and so much that the sources of
    // neighbouring output frames lie more than a block apart, lengthened, and kept, streamed
    // from views of the input after a header, and from a reader of it without one. Every
    // block but the last is whole, so frames of sizes that do not divide a block cross
    // from one block into the next.
    const std::vector<uint8_t> header(44, 0x48);
    for (const uint32_t frameSize : {1u, 4u, 6u, 32u}) {
        const uint32_t in = (3 * kStreamBytes + 4099) / frameSize;
        const std::vector<uint8_t> input = NumberedFrames(in, frameSize);
        for (const uint32_t out : {in / 6 * 5, in / 50, 3u, in + 7, in * 3, in, 1u}) {
            SCOPED_TRACE(std::to_string(in) + " -> " + std::to_string(out) + " frames of " +
                         std::to_string(frameSize) + " bytes");
            const std::vector<uint8_t> expected =
                out == in ? input : Copied(input, in, out, frameSize);
            CChangePlan plan;
            ASSERT_EQ(PlanFrames(in, frameSize, input.size(), out, plan), EChangeResult::Done);
            std::vector<uint8_t> written;
            std::vector<uint32_t> blocks;
            const CSampleWriter write = [&](const uint8_t* bytes, uint32_t count) {
                written.insert(written.end(), bytes, bytes + count);
                blocks.push_back(count);
                return true;
            };
            // Views only move forward, stay within a block and within the input.
            uint64_t lastAt = 0;
            bool inContract = true;
            const CSampleView view = [&](uint64_t at, uint32_t count) -> const uint8_t* {
                inContract = inContract && at >= lastAt && count <= kStreamBytes &&
                             at + count <= input.size();
                lastAt = at;
                return input.data() + at;
            };
            CTimeChangeJob job;
            ASSERT_TRUE(StreamChange(job, plan, view, write, header));
            EXPECT_TRUE(inContract);
            EXPECT_TRUE(
                std::equal(header.begin(), header.end(), written.begin()) &&
                std::equal(expected.begin(), expected.end(), written.begin() + 44, written.end()));
            blocks.pop_back();
            EXPECT_EQ(std::count(blocks.begin(), blocks.end(), kStreamBlockBytes), blocks.size());
            EXPECT_EQ(job.progress.load(), out);

            written.clear();
            size_t position = 0;
            const CSampleReader read = [&](uint8_t* bytes, uint32_t count) {
                if (count > input.size() - position) return false;
                std::memcpy(bytes, input.data() + position, count);
                position += count;
                return true;
            };
            ASSERT_TRUE(StreamChange(job, plan, read, write));
            EXPECT_TRUE(written == expected);
        }
    }
}

TEST(DurationChange, HalvingAnEightBitClipKeepsEveryOtherFrame) {
    std::vector<uint8_t> bytes(8000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13);
    CSoundClip clip = MakeClip(1, 8, 8000, bytes);
    CTimeChangeJob job;
    ASSERT_EQ(ChangeDuration(job, 500.0, clip), EChangeResult::Done);
    ASSERT_EQ(clip.data.length, 4000u);
    EXPECT_EQ(job.outFrames.load(), 4000u);
    EXPECT_EQ(job.progress.load(), 4000u);
    for (uint32_t i = 0; i < 4000; ++i) ASSERT_EQ(clip.data.data[i], bytes[2 * i]);
}

TEST(DurationChange, FrameCountIsTruncatedAfterTheDoubleProduct) {
    // 7 frames to 61 bytes: 7 * (61 / 7) is 60.99999999999999 in double precision.
    CSoundClip clip = MakeClip(1, 8, 1000, NumberedFrames(7, 1));
    CTimeChangeJob job;
    ASSERT_EQ(ChangeDuration(job, 61.0, clip), EChangeResult::Done);
    EXPECT_EQ(job.outFrames.load(), 60u);
    EXPECT_EQ(clip.data.length, 60u);
}

TEST(DurationChange, SameFrameCountLeavesTheBytesAsTheyWere) {
    // 1000 16-bit frames and an odd trailing byte; 1001 ms asks for 1000.5 frames.
    std::vector<uint8_t> bytes(2001);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 5);
    CSoundClip clip = MakeClip(1, 16, 1000, bytes);
    CTimeChangeJob job;
    ASSERT_EQ(ChangeDuration(job, 1001.0, clip), EChangeResult::Done);
    EXPECT_EQ(Bytes(clip.data), bytes);
}

TEST(DurationChange, ZeroFramesEmptyTheClip) {
    CSoundClip clip = MakeClip(2, 16, 44100, NumberedFrames(100, 4));
    CTimeChangeJob job;
    ASSERT_EQ(ChangeDuration(job, 0.0, clip), EChangeResult::Done);
    EXPECT_EQ(clip.data.data, nullptr);
    EXPECT_EQ(clip.data.length, 0u);
    EXPECT_EQ(clip.data.capacity, 0u);
}

TEST(DurationChange, EmptyClipBecomesSilenceInItsOwnFormat) {
    struct Case {
        uint16_t channels, bits;
        uint8_t silence;
    };
    for (const Case c :
         {Case{1, 8, 0x80}, Case{2, 8, 0x80}, Case{2, 16, 0}, Case{2, 24, 0}, Case{1, 32, 0}}) {
        CSoundClip clip = MakeClip(c.channels, c.bits, 8000, {});
        CTimeChangeJob job;
        ASSERT_EQ(ChangeDuration(job, 250.0, clip), EChangeResult::Done);
        ASSERT_EQ(clip.data.length, 2000u * clip.nBlockAlign) << c.bits << " bits";
        for (uint32_t i = 0; i < clip.data.length; ++i) ASSERT_EQ(clip.data.data[i], c.silence);
    }
    CSoundClip zero;  // a new clip: no format at all
    CTimeChangeJob job;
    EXPECT_EQ(ChangeDuration(job, 1000.0, zero), EChangeResult::Done);
    EXPECT_EQ(zero.data.length, 0u);
}

TEST(DurationChange, WiderFormatsMoveWholeBlocks) {
    // 24-bit stereo (6-byte frames) and 6-channel 16-bit (12-byte frames) change with
    // their block align as the frame; float clips too.
    struct Case {
        uint16_t channels, bits, tag;
    };
    for (const Case c : {Case{2, 24, 1}, Case{6, 16, 1}, Case{1, 32, 3}, Case{2, 32, 1}}) {
        const uint32_t frame = c.channels * c.bits / 8;
        CSoundClip clip = MakeClip(c.channels, c.bits, 1000, NumberedFrames(10, frame), c.tag);
        CTimeChangeJob job;
        ASSERT_EQ(ChangeDuration(job, 15.0, clip), EChangeResult::Done);
        ASSERT_EQ(clip.data.length, 15u * frame);
        // 10 -> 15 frames: output frame 3 is input frame 1 (the step is just below 2/3),
        // output frame 14 is input frame 9.
        const std::vector<uint8_t> input = NumberedFrames(10, frame);
        EXPECT_EQ(std::memcmp(clip.data.data + 3 * frame, input.data() + 1 * frame, frame), 0);
        EXPECT_EQ(std::memcmp(clip.data.data + 14 * frame, input.data() + 9 * frame, frame), 0);
    }
}

TEST(DurationChange, FormatsWithoutWholeFramesFailAndKeepTheClip) {
    struct Case {
        uint16_t tag, channels, bits, blockAlign;
    };
    for (const Case c : {Case{2, 1, 4, 256}, Case{1, 3, 16, 4}, Case{1, 2, 24, 5},
                         Case{0x55, 2, 24, 6}, Case{1, 0, 16, 2}}) {
        CSoundClip clip = MakeClip(1, 8, 8000, NumberedFrames(100, 1));
        clip.wFormatTag = c.tag;
        clip.nChannels = c.channels;
        clip.wBitsPerSample = c.bits;
        clip.nBlockAlign = c.blockAlign;
        CTimeChangeJob job;
        EXPECT_EQ(ChangeDuration(job, 5.0, clip), EChangeResult::Unsupported) << c.tag;
        EXPECT_EQ(Bytes(clip.data), NumberedFrames(100, 1));
    }
}

TEST(DurationChange, ResultsAWaveFileCannotHoldAreRefusedAndKeepTheClip) {
    // Sizes are worked out in 64 bits: a result past 4 GiB - 44 bytes of samples fails,
    // never wraps to a shorter clip.
    struct Case {
        const char* what;
        uint16_t channels, bits;
        uint32_t rate, frames;
        double ms;
    };
    const Case cases[] = {
        {"1 s of 44.1 kHz stereo to 30000000 ms", 2, 16, 44100, 44100, 30000000.0},
        {"384 kHz 8-channel 32-bit to 600000 ms", 8, 32, 384000, 100, 600000.0},
        {"the largest duration of the largest rate", 2, 16, UINT32_MAX, 10, 4294967295.0},
        {"an empty clip's silence one byte too long", 1, 8, 4294967253u, 0, 1000.0},
        {"an empty clip's silence past 64 bits", 8, 32, UINT32_MAX, 0, 4294967295.0},
    };
    for (const Case& c : cases) {
        const uint32_t frame = c.channels * c.bits / 8u;
        CSoundClip clip = MakeClip(c.channels, c.bits, c.rate, NumberedFrames(c.frames, frame));
        CTimeChangeJob job;
        EXPECT_EQ(ChangeDuration(job, c.ms, clip), EChangeResult::Failed) << c.what;
        EXPECT_EQ(Bytes(clip.data), NumberedFrames(c.frames, frame)) << c.what;
        EXPECT_EQ(job.output.data, nullptr) << c.what;
    }
    CSoundClip silent = MakeClip(1, 8, 4294967253u, NumberedFrames(3, 1));
    EXPECT_FALSE(MakeSilence(silent, 1000));
    EXPECT_EQ(Bytes(silent.data), NumberedFrames(3, 1));
}

TEST(DurationChange, AbortBeforeTheStartIsHonoured) {
    CSoundClip clip = MakeClip(1, 8, 8000, NumberedFrames(100, 1));
    CTimeChangeJob job;
    job.abort = true;
    EXPECT_EQ(ChangeDuration(job, 50.0, clip), EChangeResult::Aborted);
    EXPECT_EQ(job.progress.load(), 0u);
    EXPECT_EQ(Bytes(clip.data), NumberedFrames(100, 1));
}

TEST(DurationChange, AbortDuringTheChangeStopsWithCompleteFramesCounted) {
    // 40 M stereo frames stretched; abort as soon as some progress shows.
    const uint32_t frames = 40'000'000;
    CSoundClip clip = MakeClip(2, 16, 44100, {});
    ASSERT_TRUE(clip.data.Resize(frames * 4));
    for (uint32_t i = 0; i < frames; ++i) std::memcpy(clip.data.data + 4 * i, &i, 4);
    CTimeChangeJob job;
    EChangeResult result = EChangeResult::Done;
    std::thread worker([&] { result = ChangeDuration(job, 4000.0 * 1000.0, clip); });
    while (job.progress.load() == 0 && job.outFrames.load() == 0) std::this_thread::yield();
    while (job.progress.load() == 0) std::this_thread::yield();
    job.abort = true;
    worker.join();
    if (result == EChangeResult::Done) GTEST_SKIP() << "the change finished before the abort";
    EXPECT_EQ(result, EChangeResult::Aborted);
    const uint32_t progress = job.progress.load();
    EXPECT_LT(progress, job.outFrames.load());
    EXPECT_EQ(progress % 4096, 0u);
    // The clip keeps its samples; the partial output is gone.
    EXPECT_EQ(clip.data.length, frames * 4);
    uint32_t last;
    std::memcpy(&last, clip.data.data + 4 * (frames - 1), 4);
    EXPECT_EQ(last, frames - 1);
    EXPECT_EQ(job.output.data, nullptr);
}

TEST(Duration, FollowsTheByteCountAndGuardsMissingFormats) {
    CSoundClip clip = MakeClip(2, 16, 44100, std::vector<uint8_t>(88200));
    EXPECT_EQ(GetDurationMs(clip), 500u);
    clip.nSamplesPerSec = 0;
    EXPECT_EQ(GetDurationMs(clip), 0u);
    clip.nSamplesPerSec = 44100;
    clip.wBitsPerSample = 4;
    EXPECT_EQ(GetDurationMs(clip), 0u);
    clip.wBitsPerSample = 16;
    clip.nChannels = 0;
    EXPECT_EQ(GetDurationMs(clip), 0u);
}

TEST(Preview, ReducesToAboutTwoThousandBytes) {
    struct Case {
        uint16_t channels, bits;
        uint32_t length, expected;
    };
    for (const Case c : {Case{1, 8, 2000, 2000}, Case{1, 8, 2001, 2000}, Case{2, 16, 2001, 1996},
                         Case{2, 16, 1'000'000, 2000}, Case{2, 24, 60'000, 1998}}) {
        std::vector<uint8_t> bytes(c.length);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 3);
        const CSoundClip source = MakeClip(c.channels, c.bits, 44100, bytes);
        CSoundClip preview;
        MakePreviewCopy(preview, source);
        EXPECT_EQ(preview.data.length, c.expected) << c.length;
        EXPECT_EQ(preview.nChannels, c.channels);
        EXPECT_EQ(preview.wBitsPerSample, c.bits);
        if (c.length <= 2000) {
            EXPECT_EQ(Bytes(preview.data), bytes);
        }
        EXPECT_EQ(std::memcmp(preview.data.data, bytes.data(), c.channels * c.bits / 8), 0);
    }
}

TEST(Preview, OfAnEmptyClipIsSilence) {
    for (const uint16_t bits : {8, 16, 24}) {
        CSoundClip source = MakeClip(2, bits, 44100, {});
        CSoundClip preview;
        MakePreviewCopy(preview, source);
        ASSERT_EQ(preview.data.length, 2000u);
        const uint8_t silence = bits == 8 ? 0x80 : 0;
        for (uint32_t i = 0; i < 2000; ++i) ASSERT_EQ(preview.data.data[i], silence) << bits;
    }
}

TEST(ByteBuffer, ShrinkingKeepsStorageAndMovingEmptiesTheSource) {
    CByteBuffer a;
    ASSERT_TRUE(a.Resize(100));
    uint8_t* storage = a.data;
    a.data[0] = 42;
    ASSERT_TRUE(a.Resize(10));
    EXPECT_EQ(a.data, storage);
    EXPECT_EQ(a.capacity, 100u);
    EXPECT_EQ(a.data[0], 42);
    CByteBuffer b;
    ASSERT_TRUE(b.Resize(5));
    b = std::move(a);
    EXPECT_EQ(b.data, storage);
    EXPECT_EQ(b.length, 10u);
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.length + a.capacity, 0u);
}

TEST(ClipState, StartsAsANewUnloadedClip) {
    const CClipState& state = SharedClipState();
    EXPECT_EQ(state.clip.wFormatTag, 1);
    EXPECT_EQ(state.clip.cbSize, 18);
    EXPECT_EQ(state.clip.nChannels, 0);
    EXPECT_FALSE(state.loaded);
    EXPECT_EQ(state.currentDurationMs, 0u);
    EXPECT_TRUE(state.jobPath.empty());
}

}  // namespace
