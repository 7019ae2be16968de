#include "sound/clip.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/trace.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include "framework/error/sites.h"

namespace Site = NVireo::NError::NSite::NClip;
#define SE_SHRINK_AVX2 1
#endif

// ---------------------------------------------------------------------------------------
// CByteBuffer

namespace {

// Large buffers get whole regions of their own (marked for huge pages by the platform),
// which a clip of many megabytes fills far faster than small pages; the rest come from
// the heap. The capacity says which, since it is exactly the size allocated.
constexpr uint32_t kRegionBytes = 64u << 10;

uint8_t* Allocate(uint32_t n) {
    if (n >= kRegionBytes) {
        return static_cast<uint8_t*>(
            VirtualAlloc(nullptr, n, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    return static_cast<uint8_t*>(std::malloc(n));
}

void Release(uint8_t* data, uint32_t capacity) {
    if (data == nullptr) return;
    if (capacity >= kRegionBytes) {
        VirtualFree(data, 0, MEM_RELEASE);
    } else {
        std::free(data);
    }
}

}  // namespace

CByteBuffer::CByteBuffer(CByteBuffer&& other) noexcept
    : data(other.data), length(other.length), capacity(other.capacity) {
    other.data = nullptr;
    other.length = other.capacity = 0;
}

CByteBuffer& CByteBuffer::operator=(CByteBuffer&& other) noexcept {
    if (this != &other) {
        Release(data, capacity);
        data = other.data;
        length = other.length;
        capacity = other.capacity;
        other.data = nullptr;
        other.length = other.capacity = 0;
    }
    return *this;
}

CByteBuffer::~CByteBuffer() { Release(data, capacity); }

bool CByteBuffer::Resize(uint32_t n) {
    SE_MARK();
    if (n > capacity) {
        Clear();
        data = Allocate(n);
        if (data == nullptr) {
            char text[16];
            std::snprintf(text, sizeof text, "%u", n);
            Raise(NVireo::NError::kSite, Site::kAllocate, text);
            return false;
        }
        capacity = n;
    }
    length = n;
    return true;
}

void CByteBuffer::Clear() {
    SE_MARK();
    Release(data, capacity);
    data = nullptr;
    length = capacity = 0;
}

// ---------------------------------------------------------------------------------------
// Clip state

CClipState& SharedClipState() {
    static CClipState state;
    return state;
}

// ---------------------------------------------------------------------------------------
// Duration and silence

bool HasDuration(const CSoundFormat& format) {
    return format.nChannels != 0 && format.nSamplesPerSec != 0 && format.wBitsPerSample >= 8;
}

uint64_t GetDurationMs(const CSoundClip& clip) {
    SE_MARK();
    if (!HasDuration(clip)) return 0;
    uint64_t d = static_cast<uint64_t>(clip.data.length) * 1000;
    d /= clip.nSamplesPerSec;
    d /= clip.nChannels;
    d /= clip.wBitsPerSample >> 3;
    return d;
}

uint32_t SampleCount(const CSoundClip& clip) {
    SE_MARK();
    const uint32_t bytesPerSample = clip.wBitsPerSample >> 3;
    return bytesPerSample == 0 ? 0 : clip.data.length / bytesPerSample;
}

uint64_t SavedFileSize(const CSoundClip& clip) {
    return static_cast<uint64_t>(clip.data.length) + 44;
}

namespace {

// Silence is the mid value of unsigned 8-bit samples and zero for every other depth.
void FillSilence(CByteBuffer& buffer, uint16_t bitsPerSample) {
    if (buffer.length == 0) return;
    std::memset(buffer.data, bitsPerSample == 8 ? 0x80 : 0, buffer.length);
}

}  // namespace

void MakeSilence(CSoundClip& clip, uint32_t milliseconds) {
    SE_MARK();
    const uint32_t bytesPerSecond = static_cast<uint32_t>(clip.nBlockAlign) * clip.nSamplesPerSec;
    const uint32_t size =
        static_cast<uint32_t>(static_cast<uint64_t>(bytesPerSecond) * milliseconds / 1000);
    if (!clip.data.Resize(size)) return;
    FillSilence(clip.data, clip.wBitsPerSample);
}

// ---------------------------------------------------------------------------------------
// The duration change

uint32_t ChangeFrameSize(const CSoundFormat& format) {
    SE_MARK();
    const uint32_t channels = format.nChannels;
    const uint32_t bits = format.wBitsPerSample;
    // 8- and 16-bit mono and stereo: the frame is the samples themselves, whatever the
    // declared block align says.
    if ((channels == 1 || channels == 2) && (bits == 8 || bits == 16)) return channels * bits / 8;
    // Every other PCM or float layout moves whole blocks, when a block holds one sample
    // of every channel and splits evenly between them.
    if ((format.wFormatTag == 1 || format.wFormatTag == 3) && channels != 0 && bits != 0) {
        const uint32_t minimum = channels * ((bits + 7) / 8);
        if (format.nBlockAlign >= minimum && format.nBlockAlign % channels == 0) {
            return format.nBlockAlign;
        }
    }
    return 0;
}

namespace {

// Frames are copied in blocks; abort is looked at and progress published once per block,
// so a change stops well within a millisecond of being asked and progress always counts
// complete frames.
constexpr uint32_t kBlockFrames = 4096;

// Copies one frame of N bytes (N = 0: frameSize bytes, known only at run time).
template <uint32_t N>
inline void CopyFrame(uint8_t* to, const uint8_t* from, uint32_t frameSize) {
    std::memcpy(to, from, N != 0 ? N : frameSize);
}

// Runs the copy loop from job.progress, asking the mapper for the input frame of each
// output frame: Start(i) at the top of every block, then Four(i, sources) and One(i) for
// increasing i. Four frames per round keep the loop's bookkeeping off the hot path.
template <uint32_t N, typename Mapper>
bool CopyFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t runtimeFrameSize,
                Mapper mapper) {
    const uint64_t frameSize = N != 0 ? N : runtimeFrameSize;
    const uint32_t outFrames = job.outFrames.load(std::memory_order_relaxed);
    const uint8_t* from = input.data;
    uint8_t* to = job.output.data;
    uint32_t i = job.progress.load(std::memory_order_relaxed);
    while (i < outFrames) {
        if (job.abort.load(std::memory_order_relaxed)) return false;
        const uint32_t end = i + std::min(kBlockFrames, outFrames - i);
        mapper.Start(i);
        i = mapper.template Bulk<N>(from, to, i, end);
        for (; end - i >= 4; i += 4) {
            uint64_t s[4];
            mapper.Four(i, s);
            uint8_t* out = to + i * frameSize;
            CopyFrame<N>(out, from + s[0] * frameSize, runtimeFrameSize);
            CopyFrame<N>(out + frameSize, from + s[1] * frameSize, runtimeFrameSize);
            CopyFrame<N>(out + 2 * frameSize, from + s[2] * frameSize, runtimeFrameSize);
            CopyFrame<N>(out + 3 * frameSize, from + s[3] * frameSize, runtimeFrameSize);
        }
        for (; i < end; ++i) {
            CopyFrame<N>(to + i * frameSize, from + mapper.One(i) * frameSize, runtimeFrameSize);
        }
        job.progress.store(end, std::memory_order_relaxed);
    }
    return true;
}

template <typename Mapper>
bool CopyFramesBySize(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize,
                      Mapper mapper) {
    switch (frameSize) {
        case 1:
            return CopyFrames<1>(job, input, frameSize, mapper);
        case 2:
            return CopyFrames<2>(job, input, frameSize, mapper);
        case 4:
            return CopyFrames<4>(job, input, frameSize, mapper);
        default:
            return CopyFrames<0>(job, input, frameSize, mapper);
    }
}

#ifdef SE_SHRINK_AVX2
// Shortening eight frames per round: the same double products, truncated, computed four
// at a time. Sources fit in 32 bits (the caller checks).
template <uint32_t N>
__attribute__((target("avx2"))) uint32_t ShrinkFramesAvx2(const uint8_t* from, uint8_t* to,
                                                          uint32_t i, uint32_t end, double r,
                                                          uint32_t inFrames) {
    const __m256d ratio = _mm256_set1_pd(r);
    const __m256d eight = _mm256_set1_pd(8.0);
    __m256d low =
        _mm256_add_pd(_mm256_set1_pd(static_cast<double>(i)), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
    __m256d high = _mm256_add_pd(low, _mm256_set1_pd(4.0));
    // Four-byte frames shortened to half their length or less steeply: four consecutive
    // outputs come from eight consecutive inputs (trunc((i + 3) r) - trunc(i r) <= 7 for
    // r <= 2), so one load and one permute make four frames. The last rounds, whose
    // window would reach past the input, take the general path below.
    if constexpr (N == 4) {
        if (r <= 2.0) {
            const double last = (static_cast<double>(inFrames) - 9.0) / r - 8.0;
            const uint32_t windowEnd =
                last <= i ? i : static_cast<uint32_t>(std::min<double>(last, end));
            for (; windowEnd - i >= 8 && end - i >= 8; i += 8) {
                const __m128i sourcesLow = _mm256_cvttpd_epi32(_mm256_mul_pd(low, ratio));
                const __m128i sourcesHigh = _mm256_cvttpd_epi32(_mm256_mul_pd(high, ratio));
                const uint32_t firstLow = static_cast<uint32_t>(_mm_cvtsi128_si32(sourcesLow));
                const uint32_t firstHigh = static_cast<uint32_t>(_mm_cvtsi128_si32(sourcesHigh));
                const __m256i windowLow = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(from + static_cast<uint64_t>(firstLow) * 4));
                const __m256i windowHigh = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(from + static_cast<uint64_t>(firstHigh) * 4));
                const __m128i offsetsLow =
                    _mm_sub_epi32(sourcesLow, _mm_set1_epi32(static_cast<int>(firstLow)));
                const __m128i offsetsHigh =
                    _mm_sub_epi32(sourcesHigh, _mm_set1_epi32(static_cast<int>(firstHigh)));
                const __m256i framesLow =
                    _mm256_permutevar8x32_epi32(windowLow, _mm256_castsi128_si256(offsetsLow));
                const __m256i framesHigh =
                    _mm256_permutevar8x32_epi32(windowHigh, _mm256_castsi128_si256(offsetsHigh));
                uint8_t* out = to + static_cast<uint64_t>(i) * 4;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                                 _mm256_castsi256_si128(framesLow));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                                 _mm256_castsi256_si128(framesHigh));
                low = _mm256_add_pd(low, eight);
                high = _mm256_add_pd(high, eight);
            }
        }
    }
    alignas(32) uint32_t sources[8];
    for (; end - i >= 8; i += 8) {
        const __m128i sourcesLow = _mm256_cvttpd_epi32(_mm256_mul_pd(low, ratio));
        const __m128i sourcesHigh = _mm256_cvttpd_epi32(_mm256_mul_pd(high, ratio));
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(sources),
            _mm256_inserti128_si256(_mm256_castsi128_si256(sourcesLow), sourcesHigh, 1));
        uint8_t* out = to + static_cast<uint64_t>(i) * N;
        for (int k = 0; k < 8; ++k) {
            std::memcpy(out + k * N, from + static_cast<uint64_t>(sources[k]) * N, N);
        }
        low = _mm256_add_pd(low, eight);
        high = _mm256_add_pd(high, eight);
    }
    return i;
}

const bool haveAvx2 = __builtin_cpu_supports("avx2");
#endif

// Shortening: source = trunc(i * r) in double precision, r = in / out. Frame numbers
// are below 2^53, so (double)i + k is exactly (double)(i + k).
struct ShrinkMapper {
    double r;
    uint32_t inFrames;
    static uint64_t Trunc(double x) { return static_cast<uint64_t>(static_cast<int64_t>(x)); }
    void Start(uint32_t) {}
    template <uint32_t N>
    uint32_t Bulk([[maybe_unused]] const uint8_t* from, [[maybe_unused]] uint8_t* to, uint32_t i,
                  [[maybe_unused]] uint32_t end) const {
#ifdef SE_SHRINK_AVX2
        if constexpr (N != 0) {
            if (haveAvx2 && end <= INT32_MAX && r * end < INT32_MAX) {
                return ShrinkFramesAvx2<N>(from, to, i, end, r, inFrames);
            }
        }
#endif
        return i;
    }
    void Four(uint32_t i, uint64_t* sources) const {
        const double d = static_cast<double>(i);
        sources[0] = Trunc(d * r);
        sources[1] = Trunc((d + 1.0) * r);
        sources[2] = Trunc((d + 2.0) * r);
        sources[3] = Trunc((d + 3.0) * r);
    }
    uint64_t One(uint32_t i) const { return Trunc(static_cast<double>(i) * r); }
};

// Lengthening: source = floor(i * step / 2^32) with a 32.32 fixed-point step below 1.
// i * step stays below 2^64, so adding the step frame by frame gives the same products.
struct StretchMapper {
    uint64_t step;
    uint64_t position = 0;
    void Start(uint32_t i) { position = static_cast<uint64_t>(i) * step; }
    template <uint32_t N>
    uint32_t Bulk(const uint8_t*, uint8_t*, uint32_t i, uint32_t) const {
        return i;
    }
    void Four(uint32_t, uint64_t* sources) {
        for (int k = 0; k < 4; ++k) {
            sources[k] = position >> 32;
            position += step;
        }
    }
    uint64_t One(uint32_t) {
        const uint64_t source = position >> 32;
        position += step;
        return source;
    }
};

enum class ERun { Unchanged, Emptied, Produced, Aborted, Failed };

// Plans and runs a change of input by ratio into job.output. Unchanged: the frame count
// stays, nothing was produced; Emptied: no frame is left.
ERun Run(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize, double ratio) {
    if (job.abort.load(std::memory_order_relaxed)) return ERun::Aborted;
    job.inFrames = input.length / frameSize;
    const double x = static_cast<double>(job.inFrames) * ratio;
    // x is the exact product the frame count is truncated from; values no buffer can
    // hold are refused rather than wrapped.
    const double limit = static_cast<double>(UINT32_MAX / frameSize);
    if (!(x < limit + 1.0)) {
        job.outFrames = 0;
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", x * frameSize);
        Raise(NVireo::NError::kSite, Site::kTooLong, text);
        return ERun::Failed;
    }
    const uint32_t outFrames = x > 0 ? static_cast<uint32_t>(x) : 0;
    job.outFrames = outFrames;
    if (outFrames == job.inFrames) return ERun::Unchanged;
    if (outFrames == 0) return ERun::Emptied;
    job.progress = 0;
    if (!job.output.Resize(outFrames * frameSize)) return ERun::Failed;
    const bool complete = job.inFrames > outFrames ? ShrinkFrames(job, input, frameSize)
                                                   : StretchFrames(job, input, frameSize);
    if (!complete) {
        job.output.Clear();
        return ERun::Aborted;
    }
    return ERun::Produced;
}

}  // namespace

bool ShrinkFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize) {
    SE_MARK();
    const double r = static_cast<double>(job.inFrames) / static_cast<double>(job.outFrames);
    return CopyFramesBySize(job, input, frameSize, ShrinkMapper{r, job.inFrames});
}

bool StretchFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize) {
    SE_MARK();
    const uint64_t step = (static_cast<uint64_t>(job.inFrames) << 32) / job.outFrames;
    return CopyFramesBySize(job, input, frameSize, StretchMapper{step});
}

EChangeResult Resample(CTimeChangeJob& job, CByteBuffer& samples, uint32_t frameSize,
                       double ratio) {
    SE_MARK();
    switch (Run(job, samples, frameSize, ratio)) {
        case ERun::Unchanged:
            return EChangeResult::Done;
        case ERun::Emptied:
            samples.Clear();
            return EChangeResult::Done;
        case ERun::Produced:
            samples = std::move(job.output);
            return EChangeResult::Done;
        case ERun::Aborted:
            return EChangeResult::Aborted;
        case ERun::Failed:
            break;
    }
    return EChangeResult::Failed;
}

EChangeResult ChangeByRatio(CTimeChangeJob& job, double ratio, CSoundClip& clip) {
    SE_MARK();
    const uint32_t frameSize = ChangeFrameSize(clip);
    if (frameSize == 0) return EChangeResult::Unsupported;
    return Resample(job, clip.data, frameSize, ratio);
}

EChangeResult ChangeDuration(CTimeChangeJob& job, double milliseconds, CSoundClip& clip) {
    SE_MARK();
    if (job.abort.load(std::memory_order_relaxed)) return EChangeResult::Aborted;
    // Durations come from u32 values; anything outside that range is clamped, not wrapped.
    const uint32_t ms = !(milliseconds > 0)            ? 0
                        : milliseconds >= 4294967295.0 ? UINT32_MAX
                                                       : static_cast<uint32_t>(milliseconds);
    if (clip.data.length == 0) {
        MakeSilence(clip, ms);
        return EChangeResult::Done;
    }
    if (ChangeFrameSize(clip) == 0) return EChangeResult::Unsupported;
    const uint32_t bytesPerSecond = static_cast<uint32_t>(clip.nBlockAlign) * clip.nSamplesPerSec;
    const uint32_t target =
        static_cast<uint32_t>(static_cast<uint64_t>(bytesPerSecond) * ms / 1000);
    const double ratio = static_cast<double>(target) / static_cast<double>(clip.data.length);
    return ChangeByRatio(job, ratio, clip);
}

// ---------------------------------------------------------------------------------------
// Waveform preview

void MakePreviewCopy(CSoundClip& target, const CSoundClip& source) {
    SE_MARK();
    target.Format() = source.Format();
    const uint32_t length = source.data.length;
    if (length == 0) {
        if (target.data.Resize(2000)) FillSilence(target.data, target.wBitsPerSample);
        return;
    }
    const double x = 2000.0 / static_cast<double>(length);
    const uint32_t frameSize = ChangeFrameSize(source);
    if (x < 1.0 && frameSize != 0) {
        // Reduce straight from the source: the whole clip is never copied first.
        CTimeChangeJob job;
        switch (Run(job, source.data, frameSize, x)) {
            case ERun::Produced:
                target.data = std::move(job.output);
                return;
            case ERun::Emptied:
                target.data.Clear();
                return;
            case ERun::Aborted:
            case ERun::Failed:
                return;
            case ERun::Unchanged:
                break;
        }
    }
    if (!target.data.Resize(length)) return;
    std::memcpy(target.data.data, source.data.data, length);
}
