// The in-memory sound clip, the process-wide clip state and the operations on a clip:
// duration, silence, the duration change and the reduced copy for the waveform view.
//
// The duration change plans first: the target byte count from the requested
// milliseconds and the frame size, in 64 bits, turned into a ratio whose product with
// the input frames, truncated, is the output frame count. Shortening takes input frame
// trunc(i x in / out) in double precision; lengthening floor(i x step / 2^32) with a
// 32.32 fixed-point step kept as a running sum. These mappings are the tool's observable
// result, tested frame by frame; the AVX2 path for shortening computes the same
// products. Frame size: 8- and 16-bit mono and stereo use channels x bytes per sample;
// other PCM and float layouts whose block holds one sample per channel use the block;
// anything else is Unsupported and the clip stays as it was. The copy loops look at
// abort and publish progress once per block of 4096 frames, so an abort stops within a
// block and leaves the clip untouched. Buffers of 64 KiB and more come from
// VirtualAlloc, committed up front (fresh small pages cost more than the change itself).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "sound/metadata.h"

// Owned byte storage for sample data.
class CByteBuffer {
public:
    uint8_t* data = nullptr;  // null when empty
    uint32_t length = 0;      // bytes in use
    uint32_t capacity = 0;    // bytes allocated

    CByteBuffer() = default;
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;
    CByteBuffer(CByteBuffer&& other) noexcept;
    CByteBuffer& operator=(CByteBuffer&& other) noexcept;
    ~CByteBuffer();

    // Growing past the capacity releases the old storage and allocates exactly n bytes
    // (contents not kept); shrinking keeps the storage and the leading bytes. False when
    // the bytes cannot be allocated (the buffer is then empty): a clip too big for memory
    // is an ordinary outcome the caller tells its user about, never the end of the
    // program.
    bool Resize(uint32_t n);
    void Clear();
};

// A PCM sound clip. The first seven fields are laid out like WAVEFORMATEX (18 bytes,
// little-endian, packed on 2-byte boundaries) and can be handed to the sound device.
#pragma pack(push, 2)
struct CSoundFormat {
    uint16_t wFormatTag = 1;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 18;  // the length of the last "fmt " chunk read or written
};
#pragma pack(pop)
static_assert(sizeof(CSoundFormat) == 18, "the format fields must match WAVEFORMATEX");

struct CSoundClip : CSoundFormat {
    CByteBuffer data;
    // The metadata chunks the clip came with, in file order; a change moves their
    // positions with the samples and a save writes them after the samples.
    CMetaChunks chunks;

    CSoundFormat& Format() { return *this; }
    const CSoundFormat& Format() const { return *this; }
};

// The state of one duration change, shared between the worker that runs it and the
// screen that shows its progress and may abort it.
struct CTimeChangeJob {
    std::atomic<bool> abort{false};      // set by the owner to stop the change
    uint32_t inFrames = 0;               // frames before the change
    std::atomic<uint32_t> outFrames{0};  // frames after the change: the total shown
    std::atomic<uint32_t> progress{0};   // output frames completed
    CByteBuffer output;                  // the new samples while they are produced
};

// How a duration change ended.
enum class EChangeResult {
    Done,         // the clip has its new duration (or already had it)
    Aborted,      // abort was seen: the clip is unchanged
    Unsupported,  // the format has no whole frame to copy: the clip is unchanged
    Failed,       // the result would not fit a WAV file: the clip is unchanged
    NoMemory,     // the result could not be allocated: the clip is unchanged
};

// The most sample bytes a WAV file can hold: its RIFF size, 36 bytes of header and the
// data, must fit 32 bits.
inline constexpr uint64_t kMaxWaveDataBytes = (uint64_t{1} << 32) - 44;

// The one current clip of the program.
struct CClipState {
    CSoundClip clip;
    bool loaded = false;
    uint32_t currentDurationMs = 0;
    uint32_t requestedDurationMs = 0;
    std::string jobPath;
    std::string currentFilePath;
};

CClipState& SharedClipState();

uint64_t GetDurationMs(const CSoundClip& clip);
// The duration of dataBytes of samples in the format, in whole milliseconds.
uint64_t DurationMs(const CSoundFormat& format, uint64_t dataBytes);
// The figures the program shows for a clip: samples over all channels, and the size of
// the file the clip makes when saved.
uint32_t SampleCount(const CSoundClip& clip);
uint64_t SavedFileSize(const CSoundClip& clip);
uint64_t SavedFileSize(uint64_t dataBytes, const CMetaChunks& chunks);
// True when the clip has a defined duration: channels, rate and at least 8 bits.
bool HasDuration(const CSoundFormat& format);
// Replaces the samples with milliseconds of silence in the clip's format and drops its
// metadata; false (the clip untouched) when that much would not fit a WAV file or cannot
// be allocated.
bool MakeSilence(CSoundClip& clip, uint32_t milliseconds);
// The bytes of one frame that the change copies, or 0 when the format cannot change.
uint32_t ChangeFrameSize(const CSoundFormat& format);

// What a duration change makes of a clip's samples, worked out before anything is
// copied, so that a change held in memory and one streamed block by block give the
// same bytes.
struct CChangePlan {
    enum class EKind {
        Silence,  // an empty clip becomes outBytes of silence in its own format
        Keep,     // the frame count stays: the samples are kept byte for byte
        Map,      // outFrames frames, each a copy of the input frame the mapping picks
    };
    EKind kind = EKind::Keep;
    uint32_t frameSize = 0;
    uint32_t inFrames = 0, outFrames = 0;
    uint64_t outBytes = 0;  // the samples after the change, never over kMaxWaveDataBytes
    uint8_t silence = 0;    // the byte silence is made of
};

// Plans the change ChangeDuration makes: Done with the plan, Unsupported for a format
// without whole frames, Failed for a result that a WAV file cannot hold.
EChangeResult PlanDuration(const CSoundFormat& format, uint64_t dataBytes, double milliseconds,
                           CChangePlan& plan);
// Plans a change of inFrames frames (dataBytes of samples) to exactly outFrames frames;
// Failed when a WAV file cannot hold them.
EChangeResult PlanFrames(uint32_t inFrames, uint32_t frameSize, uint64_t dataBytes,
                         uint64_t outFrames, CChangePlan& plan);
// The same for a clip's samples in the format: an empty clip becomes outFrames frames of
// silence; Unsupported for a format without whole frames.
EChangeResult PlanFrameCount(const CSoundFormat& format, uint64_t dataBytes, uint64_t outFrames,
                             CChangePlan& plan);

// Carries out a plan without holding the clip: lead (a file's header) and then the
// output's samples are written in order, in blocks of kStreamBlockBytes (the last one
// shorter), from views of the input that only move forward (the mapping from output
// frame to input frame does). Every block but the last starts at a multiple of
// kStreamBlockBytes from the start of lead, so a file's blocks land on whole pages. view
// answers where count input sample bytes from byte at stand, valid until its next call,
// or null when they cannot be had; at never decreases and count is at most kStreamBytes.
// A null, a false from write or abort ends the change with false. Progress shows in job
// as for a change in memory.
inline constexpr uint32_t kStreamBytes = 1u << 20;
inline constexpr uint32_t kStreamBlockBytes = 256u << 10;
using CSampleView = std::function<const uint8_t*(uint64_t at, uint32_t count)>;
using CSampleWriter = std::function<bool(const uint8_t* bytes, uint32_t count)>;
bool StreamChange(CTimeChangeJob& job, const CChangePlan& plan, const CSampleView& view,
                  const CSampleWriter& write, const std::vector<uint8_t>& lead = {});
// The same reading the input in order: read must fill exactly the bytes asked for, and
// the views come from a window of at most kStreamBytes that it fills.
using CSampleReader = std::function<bool(uint8_t* bytes, uint32_t count)>;
bool StreamChange(CTimeChangeJob& job, const CChangePlan& plan, const CSampleReader& read,
                  const CSampleWriter& write, const std::vector<uint8_t>& lead = {});

// Both move the clip's metadata with its samples when they are Done.
EChangeResult ChangeDuration(CTimeChangeJob& job, double milliseconds, CSoundClip& clip);
EChangeResult ChangeByRatio(CTimeChangeJob& job, double ratio, CSoundClip& clip);
EChangeResult Resample(CTimeChangeJob& job, CByteBuffer& samples, uint32_t frameSize, double ratio);
// The copy loops; both write output frames from job.progress to job.outFrames and
// stop early when abort is raised (answering false).
bool ShrinkFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize);
bool StretchFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize);

void MakePreviewCopy(CSoundClip& target, const CSoundClip& source);
