#include "sound/clip.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/error/trace.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

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
        if (data == nullptr) return false;
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

uint64_t DurationMs(const CSoundFormat& format, uint64_t dataBytes) {
    SE_MARK();
    if (!HasDuration(format)) return 0;
    uint64_t d = dataBytes * 1000;
    d /= format.nSamplesPerSec;
    d /= format.nChannels;
    d /= format.wBitsPerSample >> 3;
    return d;
}

uint64_t GetDurationMs(const CSoundClip& clip) { return DurationMs(clip, clip.data.length); }

uint32_t SampleCount(const CSoundClip& clip) {
    SE_MARK();
    const uint32_t bytesPerSample = clip.wBitsPerSample >> 3;
    return bytesPerSample == 0 ? 0 : clip.data.length / bytesPerSample;
}

uint64_t SavedFileSize(const CSoundClip& clip) {
    return SavedFileSize(clip.data.length, clip.chunks);
}

uint64_t SavedFileSize(uint64_t dataBytes, const CMetaChunks& chunks) {
    return 44 + dataBytes + TrailerBytes(dataBytes, chunks);
}

namespace {

// Silence is the mid value of unsigned 8-bit samples and zero for every other depth.
void FillSilence(CByteBuffer& buffer, uint16_t bitsPerSample) {
    if (buffer.length == 0) return;
    std::memset(buffer.data, bitsPerSample == 8 ? 0x80 : 0, buffer.length);
}

// The bytes of `milliseconds` at frameBytes x rate bytes a second, truncated; false when
// they would not fit a WAV file (the product alone may pass 64 bits: 16 + 32 + 32).
bool BytesFor(uint32_t frameBytes, uint32_t rate, uint32_t milliseconds, uint64_t& bytes) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(frameBytes) * rate, milliseconds, &product)) {
        return false;
    }
    bytes = product / 1000;
    return bytes <= kMaxWaveDataBytes;
}

}  // namespace

bool MakeSilence(CSoundClip& clip, uint32_t milliseconds) {
    SE_MARK();
    uint64_t size = 0;
    if (!BytesFor(clip.nBlockAlign, clip.nSamplesPerSec, milliseconds, size)) return false;
    // Made apart and moved in, so a failed allocation leaves the old samples.
    CByteBuffer silence;
    if (!silence.Resize(static_cast<uint32_t>(size))) return false;
    FillSilence(silence, clip.wBitsPerSample);
    clip.data = std::move(silence);
    clip.chunks.clear();
    return true;
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

// Where a copy reads and writes: input frames [inBase, inEnd) stand at from, output
// frames from outBase at to. A change held in memory has the whole clip in one window;
// a streamed change moves a bounded window forward through the input.
struct CWindow {
    const uint8_t* from;
    uint64_t inBase, inEnd;
    uint8_t* to;
    uint64_t outBase;
};

// Copies one frame of N bytes (N = 0: frameSize bytes, known only at run time).
template <uint32_t N>
inline void CopyFrame(uint8_t* to, const uint8_t* from, uint32_t frameSize) {
    std::memcpy(to, from, N != 0 ? N : frameSize);
}

// Runs the copy loop from job.progress to output frame `last`, asking the mapper for the
// input frame of each output frame: Start(i) at the top of every block, then Four(i,
// sources) and One(i) for increasing i. Four frames per round keep the loop's
// bookkeeping off the hot path.
template <uint32_t N, typename Mapper>
bool CopyFrames(CTimeChangeJob& job, const CWindow& w, uint32_t runtimeFrameSize, Mapper mapper,
                uint32_t last) {
    const uint64_t frameSize = N != 0 ? N : runtimeFrameSize;
    const uint8_t* from = w.from;
    uint32_t i = job.progress.load(std::memory_order_relaxed);
    auto input = [&](uint64_t source) { return from + (source - w.inBase) * frameSize; };
    auto output = [&](uint32_t frame) { return w.to + (frame - w.outBase) * frameSize; };
    while (i < last) {
        if (job.abort.load(std::memory_order_relaxed)) return false;
        const uint32_t end = i + std::min(kBlockFrames, last - i);
        mapper.Start(i);
        i = mapper.template Bulk<N>(w, i, end);
        for (; end - i >= 4; i += 4) {
            uint64_t s[4];
            mapper.Four(i, s);
            uint8_t* out = output(i);
            CopyFrame<N>(out, input(s[0]), runtimeFrameSize);
            CopyFrame<N>(out + frameSize, input(s[1]), runtimeFrameSize);
            CopyFrame<N>(out + 2 * frameSize, input(s[2]), runtimeFrameSize);
            CopyFrame<N>(out + 3 * frameSize, input(s[3]), runtimeFrameSize);
        }
        for (; i < end; ++i) CopyFrame<N>(output(i), input(mapper.One(i)), runtimeFrameSize);
        job.progress.store(end, std::memory_order_relaxed);
    }
    return true;
}

template <typename Mapper>
bool CopyFramesBySize(CTimeChangeJob& job, const CWindow& w, uint32_t frameSize, Mapper mapper,
                      uint32_t last) {
    switch (frameSize) {
        case 1:
            return CopyFrames<1>(job, w, frameSize, mapper, last);
        case 2:
            return CopyFrames<2>(job, w, frameSize, mapper, last);
        case 4:
            return CopyFrames<4>(job, w, frameSize, mapper, last);
        case 8:  // stereo float
            return CopyFrames<8>(job, w, frameSize, mapper, last);
        case 16:  // four channels of float
            return CopyFrames<16>(job, w, frameSize, mapper, last);
        case 32:  // eight channels of float
            return CopyFrames<32>(job, w, frameSize, mapper, last);
        default:
            return CopyFrames<0>(job, w, frameSize, mapper, last);
    }
}

#ifdef SE_SHRINK_AVX2
// Shortening eight frames per round: the same double products, truncated, computed four
// at a time. Sources fit in 32 bits (the caller checks).
template <uint32_t N>
__attribute__((target("avx2"))) uint32_t ShrinkFramesAvx2(const CWindow& w, uint32_t i,
                                                          uint32_t end, double r) {
    const __m256d ratio = _mm256_set1_pd(r);
    const __m256d eight = _mm256_set1_pd(8.0);
    __m256d low =
        _mm256_add_pd(_mm256_set1_pd(static_cast<double>(i)), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
    __m256d high = _mm256_add_pd(low, _mm256_set1_pd(4.0));
    const uint8_t* from = w.from;
    const uint64_t inBase = w.inBase;
    uint8_t* to = w.to;
    // Four-byte frames shortened to half their length or less steeply: four consecutive
    // outputs come from eight consecutive inputs (trunc((i + 3) r) - trunc(i r) <= 7 for
    // r <= 2), so one load and one permute make four frames. The last rounds, whose
    // window would reach past the frames at hand, take the general path below.
    if constexpr (N == 4) {
        if (r <= 2.0) {
            const double last = (static_cast<double>(w.inEnd) - 9.0) / r - 8.0;
            const uint32_t windowEnd =
                last <= i ? i : static_cast<uint32_t>(std::min<double>(last, end));
            for (; windowEnd - i >= 8 && end - i >= 8; i += 8) {
                const __m128i sourcesLow = _mm256_cvttpd_epi32(_mm256_mul_pd(low, ratio));
                const __m128i sourcesHigh = _mm256_cvttpd_epi32(_mm256_mul_pd(high, ratio));
                const uint32_t firstLow = static_cast<uint32_t>(_mm_cvtsi128_si32(sourcesLow));
                const uint32_t firstHigh = static_cast<uint32_t>(_mm_cvtsi128_si32(sourcesHigh));
                const __m256i windowLow = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(from + (firstLow - inBase) * 4));
                const __m256i windowHigh = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(from + (firstHigh - inBase) * 4));
                const __m128i offsetsLow =
                    _mm_sub_epi32(sourcesLow, _mm_set1_epi32(static_cast<int>(firstLow)));
                const __m128i offsetsHigh =
                    _mm_sub_epi32(sourcesHigh, _mm_set1_epi32(static_cast<int>(firstHigh)));
                const __m256i framesLow =
                    _mm256_permutevar8x32_epi32(windowLow, _mm256_castsi128_si256(offsetsLow));
                const __m256i framesHigh =
                    _mm256_permutevar8x32_epi32(windowHigh, _mm256_castsi128_si256(offsetsHigh));
                uint8_t* out = to + (i - w.outBase) * 4;
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
        uint8_t* out = to + (i - w.outBase) * N;
        for (int k = 0; k < 8; ++k) {
            std::memcpy(out + k * N, from + (sources[k] - inBase) * N, N);
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
    static uint64_t Trunc(double x) { return static_cast<uint64_t>(static_cast<int64_t>(x)); }
    uint64_t Source(uint32_t i) const { return Trunc(static_cast<double>(i) * r); }
    void Start(uint32_t) {}
    template <uint32_t N>
    uint32_t Bulk([[maybe_unused]] const CWindow& w, uint32_t i,
                  [[maybe_unused]] uint32_t end) const {
#ifdef SE_SHRINK_AVX2
        if constexpr (N != 0) {
            if (haveAvx2 && end <= INT32_MAX && r * end < INT32_MAX) {
                return ShrinkFramesAvx2<N>(w, i, end, r);
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
    uint64_t One(uint32_t i) const { return Source(i); }
};

// Lengthening: source = floor(i * step / 2^32) with a 32.32 fixed-point step below 1.
// i * step stays below 2^64, so adding the step frame by frame gives the same products.
struct StretchMapper {
    uint64_t step;
    uint64_t position = 0;
    uint64_t Source(uint32_t i) const { return (static_cast<uint64_t>(i) * step) >> 32; }
    void Start(uint32_t i) { position = static_cast<uint64_t>(i) * step; }
    template <uint32_t N>
    uint32_t Bulk(const CWindow&, uint32_t i, uint32_t) const {
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

ShrinkMapper ShrinkFor(uint32_t in, uint32_t out) {
    return ShrinkMapper{static_cast<double>(in) / static_cast<double>(out)};
}
StretchMapper StretchFor(uint32_t in, uint32_t out) {
    return StretchMapper{(static_cast<uint64_t>(in) << 32) / out};
}

// Copies a whole planned mapping held in memory into job.output.
bool CopyAll(CTimeChangeJob& job, const uint8_t* input, const CChangePlan& plan) {
    const CWindow w{input, 0, plan.inFrames, job.output.data, 0};
    return plan.inFrames > plan.outFrames
               ? CopyFramesBySize(job, w, plan.frameSize, ShrinkFor(plan.inFrames, plan.outFrames),
                                  plan.outFrames)
               : CopyFramesBySize(job, w, plan.frameSize, StretchFor(plan.inFrames, plan.outFrames),
                                  plan.outFrames);
}

// Plans a change of dataBytes by ratio: the output has trunc(inFrames x ratio) frames.
EChangeResult PlanRatio(uint64_t dataBytes, uint32_t frameSize, double ratio, CChangePlan& plan) {
    plan.frameSize = frameSize;
    plan.inFrames = static_cast<uint32_t>(dataBytes / frameSize);
    const double x = static_cast<double>(plan.inFrames) * ratio;
    // x is the exact product the frame count is truncated from; results that a WAV file
    // cannot hold are refused rather than wrapped.
    const double limit = static_cast<double>(kMaxWaveDataBytes / frameSize);
    if (!(x < limit + 1.0)) return EChangeResult::Failed;
    return PlanFrames(plan.inFrames, frameSize, dataBytes, x > 0 ? static_cast<uint32_t>(x) : 0,
                      plan);
}

// Carries out a plan on samples held in memory: the new samples replace the old ones.
EChangeResult ApplyPlan(CTimeChangeJob& job, const CChangePlan& plan, CByteBuffer& samples,
                        uint16_t bitsPerSample) {
    job.inFrames = plan.inFrames;
    job.outFrames = plan.outFrames;
    switch (plan.kind) {
        case CChangePlan::EKind::Keep:
            return EChangeResult::Done;
        case CChangePlan::EKind::Silence:
            if (!samples.Resize(static_cast<uint32_t>(plan.outBytes))) {
                return EChangeResult::NoMemory;
            }
            FillSilence(samples, bitsPerSample);
            return EChangeResult::Done;
        case CChangePlan::EKind::Map:
            break;
    }
    if (plan.outFrames == 0) {
        samples.Clear();
        return EChangeResult::Done;
    }
    job.progress = 0;
    if (!job.output.Resize(static_cast<uint32_t>(plan.outBytes))) return EChangeResult::NoMemory;
    if (!CopyAll(job, samples.data, plan)) {
        job.output.Clear();
        return EChangeResult::Aborted;
    }
    samples = std::move(job.output);
    return EChangeResult::Done;
}

}  // namespace

bool ShrinkFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize) {
    SE_MARK();
    const CWindow w{input.data, 0, job.inFrames, job.output.data, 0};
    const uint32_t out = job.outFrames.load();
    return CopyFramesBySize(job, w, frameSize, ShrinkFor(job.inFrames, out), out);
}

bool StretchFrames(CTimeChangeJob& job, const CByteBuffer& input, uint32_t frameSize) {
    SE_MARK();
    const CWindow w{input.data, 0, job.inFrames, job.output.data, 0};
    const uint32_t out = job.outFrames.load();
    return CopyFramesBySize(job, w, frameSize, StretchFor(job.inFrames, out), out);
}

EChangeResult PlanFrames(uint32_t inFrames, uint32_t frameSize, uint64_t dataBytes,
                         uint64_t outFrames, CChangePlan& plan) {
    SE_MARK();
    plan.frameSize = frameSize;
    plan.inFrames = inFrames;
    if (outFrames > kMaxWaveDataBytes / frameSize) return EChangeResult::Failed;
    plan.outFrames = static_cast<uint32_t>(outFrames);
    // The same frame count keeps every byte, a partial last frame included.
    plan.kind = outFrames == inFrames ? CChangePlan::EKind::Keep : CChangePlan::EKind::Map;
    plan.outBytes = outFrames == inFrames ? dataBytes : outFrames * frameSize;
    return EChangeResult::Done;
}

namespace {

// An empty clip becomes silence in its own format.
CChangePlan SilencePlan(const CSoundFormat& format) {
    CChangePlan plan;
    plan.kind = CChangePlan::EKind::Silence;
    plan.silence = format.wBitsPerSample == 8 ? 0x80 : 0;
    return plan;
}

}  // namespace

EChangeResult PlanFrameCount(const CSoundFormat& format, uint64_t dataBytes, uint64_t outFrames,
                             CChangePlan& plan) {
    SE_MARK();
    const uint32_t frameSize = ChangeFrameSize(format);
    if (dataBytes == 0 || (frameSize != 0 && dataBytes < frameSize)) {
        // Nothing to map from: silence of the frames, in the format's blocks.
        plan = SilencePlan(format);
        plan.frameSize = format.nBlockAlign;
        if (plan.frameSize == 0 || outFrames > kMaxWaveDataBytes / plan.frameSize)
            return EChangeResult::Failed;
        plan.outFrames = static_cast<uint32_t>(outFrames);
        plan.outBytes = outFrames * plan.frameSize;
        return EChangeResult::Done;
    }
    if (frameSize == 0) return EChangeResult::Unsupported;
    return PlanFrames(static_cast<uint32_t>(dataBytes / frameSize), frameSize, dataBytes, outFrames,
                      plan);
}

EChangeResult PlanDuration(const CSoundFormat& format, uint64_t dataBytes, double milliseconds,
                           CChangePlan& plan) {
    SE_MARK();
    // Durations come from u32 values; anything outside that range is clamped, not wrapped.
    const uint32_t ms = !(milliseconds > 0)            ? 0
                        : milliseconds >= 4294967295.0 ? UINT32_MAX
                                                       : static_cast<uint32_t>(milliseconds);
    if (dataBytes == 0) {
        plan = SilencePlan(format);
        return BytesFor(format.nBlockAlign, format.nSamplesPerSec, ms, plan.outBytes)
                   ? EChangeResult::Done
                   : EChangeResult::Failed;
    }
    const uint32_t frameSize = ChangeFrameSize(format);
    if (frameSize == 0) return EChangeResult::Unsupported;
    // The target is sized by the frames the change copies, in 64 bits; a result that a WAV
    // file cannot hold is refused before anything is allocated.
    uint64_t target = 0;
    if (!BytesFor(frameSize, format.nSamplesPerSec, ms, target)) return EChangeResult::Failed;
    const double ratio = static_cast<double>(target) / static_cast<double>(dataBytes);
    return PlanRatio(dataBytes, frameSize, ratio, plan);
}

bool StreamChange(CTimeChangeJob& job, const CChangePlan& plan, const CSampleView& view,
                  const CSampleWriter& write, const std::vector<uint8_t>& lead) {
    SE_MARK();
    job.inFrames = plan.inFrames;
    job.outFrames = plan.outFrames;
    job.progress = 0;
    // Blocks of 256 KiB at multiples of their size. Measured on Linux 6 and ext4, with
    // memory full of page cache: writing gigabytes in them costs the kernel about half
    // what 1 MiB blocks do (its cache takes smaller pieces of memory, found without
    // compacting it), and blocks that start on a multiple of their size cost it about a
    // fifth less than the same blocks 44 bytes (a header) further on. A block is only as
    // large as the output, so small clips touch few pages.
    const uint64_t total = lead.size() + plan.outBytes;
    const uint32_t blockBytes =
        static_cast<uint32_t>(std::max<uint64_t>(std::min<uint64_t>(kStreamBlockBytes, total), 1));
    // The block being filled: [0, fill) is ready. Output frames are gathered straight into
    // it, so it has room for one that crosses its end.
    const size_t room = size_t{blockBytes} + std::max<uint32_t>(plan.frameSize, 1);
    std::unique_ptr<uint8_t[]> block(new uint8_t[room]);
    uint32_t fill = 0;
    // Passes bytes on through the block; a whole block that starts at the block's start
    // goes out as it stands.
    auto put = [&](const uint8_t* bytes, uint64_t count) {
        while (count > 0) {
            if (fill == 0 && count >= blockBytes) {
                if (!write(bytes, blockBytes)) return false;
                bytes += blockBytes;
                count -= blockBytes;
                continue;
            }
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, blockBytes - fill));
            std::memcpy(block.get() + fill, bytes, n);
            fill += n;
            bytes += n;
            count -= n;
            if (fill == blockBytes) {
                if (!write(block.get(), blockBytes)) return false;
                fill = 0;
            }
        }
        return true;
    };
    auto finish = [&] { return fill == 0 || write(block.get(), fill); };
    if (!put(lead.data(), lead.size())) return false;
    if (plan.kind != CChangePlan::EKind::Map) {
        // Silence, or the samples as they are, a block at a time.
        std::unique_ptr<uint8_t[]> silence;
        if (plan.kind == CChangePlan::EKind::Silence) {
            silence.reset(new uint8_t[blockBytes]);
            std::memset(silence.get(), plan.silence, blockBytes);
        }
        for (uint64_t done = 0; done < plan.outBytes;) {
            if (job.abort.load(std::memory_order_relaxed)) return false;
            const uint32_t n =
                static_cast<uint32_t>(std::min<uint64_t>(blockBytes - fill, plan.outBytes - done));
            const uint8_t* bytes = silence.get();
            if (plan.kind == CChangePlan::EKind::Keep && (bytes = view(done, n)) == nullptr)
                return false;
            if (!put(bytes, n)) return false;
            done += n;
            if (plan.frameSize != 0)
                job.progress.store(static_cast<uint32_t>(done / plan.frameSize));
        }
        return finish();
    }
    if (plan.outFrames == 0) return finish();
    const uint64_t frameSize = plan.frameSize;
    // A block's sources lie within this many input frames.
    const uint32_t windowFrames =
        static_cast<uint32_t>(std::max<uint64_t>(kStreamBytes / frameSize, 1));
    const bool shrink = plan.inFrames > plan.outFrames;
    const ShrinkMapper shrinkMapper = ShrinkFor(plan.inFrames, plan.outFrames);
    const StretchMapper stretchMapper = StretchFor(plan.inFrames, plan.outFrames);
    auto source = [&](uint32_t i) {
        return shrink ? shrinkMapper.Source(i) : stretchMapper.Source(i);
    };
    for (uint32_t i = 0; i < plan.outFrames;) {
        if (job.abort.load(std::memory_order_relaxed)) return false;
        // The frames that fill the block, as far as the last one whose source lies within
        // the window from the first one: sources only move forward, so a binary search
        // finds it.
        const uint64_t wanted = (blockBytes - fill + frameSize - 1) / frameSize;
        const uint64_t first = source(i);
        const uint64_t limit = std::min<uint64_t>(first + windowFrames, plan.inFrames);
        uint32_t low = i + 1,
                 high = static_cast<uint32_t>(std::min<uint64_t>(plan.outFrames, i + wanted));
        while (low < high) {
            const uint32_t middle = low + (high - low + 1) / 2;
            if (source(middle - 1) < limit) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        const uint32_t end = low;
        const uint64_t last = source(end - 1);
        const uint8_t* input =
            view(first * frameSize, static_cast<uint32_t>((last + 1 - first) * frameSize));
        if (input == nullptr) return false;
        const CWindow w{input, first, last + 1, block.get() + fill, i};
        const bool copied = shrink ? CopyFramesBySize(job, w, plan.frameSize, shrinkMapper, end)
                                   : CopyFramesBySize(job, w, plan.frameSize, stretchMapper, end);
        if (!copied) return false;
        fill += static_cast<uint32_t>((end - i) * frameSize);
        if (fill >= blockBytes) {
            if (!write(block.get(), blockBytes)) return false;
            fill -= blockBytes;
            std::memmove(block.get(), block.get() + blockBytes, fill);
        }
        i = end;
    }
    return finish();
}

bool StreamChange(CTimeChangeJob& job, const CChangePlan& plan, const CSampleReader& read,
                  const CSampleWriter& write, const std::vector<uint8_t>& lead) {
    SE_MARK();
    // Input bytes [base, base + have) stand in the window; the reader stands at their end.
    // Views start at or after base, so kept bytes move to the front and skipped ones are
    // read past. Untouched, the window costs no memory: a small clip uses a little of it.
    const std::unique_ptr<uint8_t[]> window(new uint8_t[kStreamBytes]);
    uint64_t base = 0, have = 0;
    auto view = [&](uint64_t at, uint32_t count) -> const uint8_t* {
        if (at >= base + have) {
            for (uint64_t skip = at - (base + have); skip > 0;) {
                const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(skip, kStreamBytes));
                if (!read(window.get(), n)) return nullptr;
                skip -= n;
            }
            base = at;
            have = 0;
        } else if (at > base) {
            std::memmove(window.get(), window.get() + (at - base), base + have - at);
            have -= at - base;
            base = at;
        }
        if (have < count) {
            if (!read(window.get() + have, static_cast<uint32_t>(count - have))) return nullptr;
            have = count;
        }
        return window.get();
    };
    return StreamChange(job, plan, view, write, lead);
}

EChangeResult Resample(CTimeChangeJob& job, CByteBuffer& samples, uint32_t frameSize,
                       double ratio) {
    SE_MARK();
    if (job.abort.load(std::memory_order_relaxed)) return EChangeResult::Aborted;
    CChangePlan plan;
    if (PlanRatio(samples.length, frameSize, ratio, plan) != EChangeResult::Done) {
        job.outFrames = 0;
        return EChangeResult::Failed;
    }
    return ApplyPlan(job, plan, samples, 0);
}

EChangeResult ChangeByRatio(CTimeChangeJob& job, double ratio, CSoundClip& clip) {
    SE_MARK();
    const uint32_t frameSize = ChangeFrameSize(clip);
    if (frameSize == 0) return EChangeResult::Unsupported;
    const EChangeResult result = Resample(job, clip.data, frameSize, ratio);
    if (result == EChangeResult::Done) RescaleMetadata(clip.chunks, job.inFrames, job.outFrames);
    return result;
}

EChangeResult ChangeDuration(CTimeChangeJob& job, double milliseconds, CSoundClip& clip) {
    SE_MARK();
    if (job.abort.load(std::memory_order_relaxed)) return EChangeResult::Aborted;
    CChangePlan plan;
    const EChangeResult planned = PlanDuration(clip, clip.data.length, milliseconds, plan);
    if (planned != EChangeResult::Done) return planned;
    const EChangeResult result = ApplyPlan(job, plan, clip.data, clip.wBitsPerSample);
    if (result == EChangeResult::Done) RescaleMetadata(clip.chunks, plan.inFrames, plan.outFrames);
    return result;
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
    CChangePlan plan;
    if (x < 1.0 && frameSize != 0) {
        // Reduce straight from the source: the whole clip is never copied first.
        if (PlanRatio(length, frameSize, x, plan) != EChangeResult::Done) return;
        if (plan.kind == CChangePlan::EKind::Map) {
            if (plan.outFrames == 0) {
                target.data.Clear();
                return;
            }
            CTimeChangeJob job;
            if (job.output.Resize(static_cast<uint32_t>(plan.outBytes)) &&
                CopyAll(job, source.data.data, plan)) {
                target.data = std::move(job.output);
            }
            return;
        }
    }
    if (!target.data.Resize(length)) return;
    std::memcpy(target.data.data, source.data.data, length);
}
