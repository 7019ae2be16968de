// WAV files: reading a RIFF/WAVE file into a sound clip and writing a clip as a
// canonical 44-byte-header file followed by the clip's metadata chunks.
//
// The reader walks the chunks after "RIFF"/"WAVE", before and after the data chunk: the
// metadata chunks (sound/metadata.h) are kept with the clip in file order, every other
// chunk is skipped; an odd-sized chunk is followed by a pad byte (or not: when no tag
// stands after the pad, the next chunk starts one byte earlier); an extensible fmt
// becomes its PCM or float sub-format. After the data chunk nothing is refused: a chunk
// that runs past the end of the file ends the walk, and a metadata chunk that cannot be
// kept is dropped with its reason in CWaveFile::dropped. A format without a duration, with a block
// smaller than one frame, or (PCM and float) with a block other than channels x bytes per sample is
// refused. A data size of 0xFFFFFFFF is a writer's placeholder: the samples are the
// whole frames to the end of the file. Every size is checked against the file before it
// is read or allocated; a short read is a rejection, never the end of the program, and
// CWaveFile::rejection says why.
//
// SaveToFile writes to a temporary file beside the target, closes it checking every
// write and renames it over the target (keeping the replaced file's permissions); on any
// failure, or an abort, the temporary file is deleted and the old file is untouched. The
// metadata chunks follow the samples, after a pad byte when the data size is odd.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/platform/file.h"
#include "sound/clip.h"

// X(name, text) for every reason the reader gives for turning a file away, in plain
// words. The constants below name them; a program that tells its users why in another
// language maps each name to its own text (every reason must have one).
#define SE_WAVE_REJECTIONS(X)                                                      \
    X(kNotSeekable, "not a file that can be read at any position")                 \
    X(kAborted, "aborted")                                                         \
    X(kNotRiffWave, "not a RIFF/WAVE file")                                        \
    X(kNoDataChunk, "no data chunk")                                               \
    X(kNoFmtChunk, "no fmt chunk")                                                 \
    X(kDataBeforeFmt, "data chunk before the fmt chunk")                           \
    X(kChunkPastEnd, "a chunk runs past the end of the file")                      \
    X(kFmtTooShort, "fmt chunk shorter than 16 bytes")                             \
    X(kEndsInFmt, "file ends inside the fmt chunk")                                \
    X(kExtensibleTooShort, "extensible fmt chunk too short")                       \
    X(kUnsupportedFormat, "unsupported sample format (neither PCM nor float)")     \
    X(kNoDuration, "no channels, no sample rate or fewer than 8 bits")             \
    X(kBlockBelowFrame, "block align smaller than one frame")                      \
    X(kBlockNotFrame, "block align is not channels x bytes per sample")            \
    X(kUnknownSizeTooLarge, "data of unknown size holds more than a WAV file can") \
    X(kDataPastEnd, "data chunk larger than the rest of the file")                 \
    X(kOutOfMemory, "out of memory")                                               \
    X(kEndsInData, "file ends inside the data chunk")                              \
    X(kCannotOpen, "cannot be opened")

namespace NWaveRejection {
#define SE_WAVE_REJECTION_TEXT(name, text) inline constexpr char name[] = text;
SE_WAVE_REJECTIONS(SE_WAVE_REJECTION_TEXT)
#undef SE_WAVE_REJECTION_TEXT
#define SE_WAVE_REJECTION_ENTRY(name, text) name,
inline constexpr const char* kAll[] = {SE_WAVE_REJECTIONS(SE_WAVE_REJECTION_ENTRY)};
#undef SE_WAVE_REJECTION_ENTRY
}  // namespace NWaveRejection

// One read or write. The owner may set abort from another thread to give up; it is
// looked at before the header and again before the sample bytes, and a save looks once
// more before its finished file replaces the target.
struct CWaveFile {
    std::atomic<bool> abort{false};
    uint32_t riffSize = 0;
    uint32_t dataSize = 0;
    // The file came through a pipe: a data size that runs past its end is the placeholder
    // of a writer that could not come back to fill it in, as 0xFFFFFFFF always is.
    bool fromPipe = false;
    // Why the last read answered false: one of NWaveRejection's texts (empty after
    // success).
    const char* rejection = "";
    // The metadata chunks the last read left out: "chunk 'cue ' dropped: <why>".
    std::vector<std::string> dropped;
};

enum class EDirection { Input, Output };

// Reads or writes the clip over an open binary stream. Input answers false for a file
// that is not a WAV file this program can use; the clip may then hold part of it and is
// meant to be discarded. Output answers false when the file could not be written.
bool Transfer(CWaveFile& wave, NVireo::NFile::NSTDIO::CBinary& stream, EDirection direction,
              CSoundClip& clip);

// Where the samples of a file stand, as its headers say.
struct CWaveLayout {
    uint64_t dataOffset = 0;  // the first sample byte
    uint32_t dataBytes = 0;   // a data size of 0xFFFFFFFF counts whole frames to the end
};

// Reads the headers of a file up to its first sample into clip (whose samples stay as
// they are) and layout, leaving the stream at the first sample; false with the reason
// for a file that is not a WAV file this program can use, or a stream that cannot seek.
bool ReadWaveHeaders(CWaveFile& wave, NVireo::NFile::NSTDIO::CBinary& stream, CSoundClip& clip,
                     CWaveLayout& layout);
// The canonical 44-byte header of a file of dataBytes samples in the format, followed by
// trailerBytes of other chunks (TrailerBytes in sound/metadata.h).
std::vector<uint8_t> WaveHeader(const CSoundFormat& format, uint32_t dataBytes,
                                uint64_t trailerBytes = 0);
// True when a file of dataBytes samples and trailerBytes of other chunks has a RIFF size
// that fits 32 bits.
bool FitsWaveFile(uint64_t dataBytes, uint64_t trailerBytes);

// Reads path into clip; false when the file cannot be opened or is rejected.
bool LoadFromFile(CWaveFile& wave, const char* path, CSoundClip& clip);

// Writes clip to path. The file is written beside the target under a temporary name and
// renamed into place only when everything was written, so a failed or aborted save
// leaves an existing file as it was and no temporary file behind. The clip's cbSize
// becomes 16, the length of the fmt chunk written.
bool SaveToFile(CWaveFile& wave, const char* path, CSoundClip& clip);

// Reads a clip from an already open file positioned at its "RIFF" tag, then closes it.
bool LoadFromOpenFile(CWaveFile& wave, FILE* file, CSoundClip& clip);
