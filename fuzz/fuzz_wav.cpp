// Fuzz target for the WAV reader and its metadata parser: any bytes either load or are
// rejected, never crash, never read out of bounds, never allocate more than the file
// holds. A file that loads must survive a duration change and a save, and read back as
// the same clip with the same metadata chunks; the change streamed in blocks gives the
// same bytes as the change in memory, and its metadata moved by the plan the same
// chunks.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/error/error.h"
#include "sound/clip.h"
#include "sound/wavefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Failures of the file layer itself would be reported through Raise; make them
    // visible to the fuzzer as crashes rather than ending the run quietly.
    NVireo::NError::Record().policy = 0;

    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr) return 0;
    CWaveFile wave;
    CSoundClip clip;
    if (!LoadFromOpenFile(wave, file, clip)) return 0;
    if (clip.data.length > size) __builtin_trap();
    uint64_t metadataBytes = 0;
    for (const CMetaChunk& chunk : clip.chunks) metadataBytes += chunk.body.size();
    if (metadataBytes > size) __builtin_trap();
    // What --info shows of the markers reads only what the chunks hold.
    for (const CCuePoint& cue : CuePoints(clip.chunks)) {
        if (cue.label.size() > size) __builtin_trap();
    }
    Loops(clip.chunks);

    // Write it back and read it again: the format and samples survive the round trip.
    FILE* copy = tmpfile();
    if (copy == nullptr) return 0;
    {
        NVireo::NFile::NSTDIO::CBinary stream;
        stream.Adopt(copy, NVireo::NFile::NSTDIO::kModeBinary);
        CWaveFile writer;
        if (!Transfer(writer, stream, EDirection::Output, clip)) __builtin_trap();
        stream.Seek(0);
        CWaveFile reader;
        CSoundClip again;
        if (!Transfer(reader, stream, EDirection::Input, again)) __builtin_trap();
        if (std::memcmp(&again.Format(), &clip.Format(), sizeof(CSoundFormat)) != 0 ||
            again.chunks != clip.chunks || !reader.dropped.empty() ||
            again.data.length != clip.data.length ||
            (clip.data.length != 0 &&
             std::memcmp(again.data.data, clip.data.data, clip.data.length) != 0)) {
            __builtin_trap();
        }
    }

    // A small duration change, kept small so the output stays within memory. Streamed
    // block by block it gives the same bytes.
    if (clip.nSamplesPerSec <= 192000 && clip.nBlockAlign <= 64) {
        CTimeChangeJob job;
        const double ms = size > 0 ? data[size - 1] : 0;
        CChangePlan plan;
        std::vector<uint8_t> streamed;
        const bool planned = PlanDuration(clip, clip.data.length, ms, plan) == EChangeResult::Done;
        CMetaChunks moved = clip.chunks;
        RescaleMetadata(moved, plan.inFrames, plan.outFrames);
        if (planned) {
            uint32_t at = 0;
            const CByteBuffer& input = clip.data;
            auto read = [&](uint8_t* bytes, uint32_t count) {
                if (count > input.length - at) __builtin_trap();  // reads past the samples
                std::memcpy(bytes, input.data + at, count);
                at += count;
                return true;
            };
            auto write = [&](const uint8_t* bytes, uint32_t count) {
                streamed.insert(streamed.end(), bytes, bytes + count);
                return true;
            };
            CTimeChangeJob streaming;
            if (!StreamChange(streaming, plan, read, write)) __builtin_trap();
        }
        const EChangeResult result = ChangeDuration(job, ms, clip);
        if (planned != (result == EChangeResult::Done) || (planned && moved != clip.chunks) ||
            (planned && (streamed.size() != clip.data.length ||
                         (clip.data.length != 0 &&
                          std::memcmp(streamed.data(), clip.data.data, clip.data.length) != 0)))) {
            __builtin_trap();
        }
        if (result == EChangeResult::Done && clip.data.length > 0 &&
            job.progress.load() != job.outFrames.load() && job.outFrames.load() != job.inFrames) {
            __builtin_trap();
        }
    }
    return 0;
}
