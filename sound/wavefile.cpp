#include "sound/wavefile.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/error/trace.h"

using NVireo::NFile::NSTDIO::CBinary;

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kHeaderSize = 44;
// The data size of a file whose writer could not come back to fill it in.
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

// The GUID tail shared by every sub-format of an extensible fmt chunk; its first two
// bytes are the plain format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsTag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

bool IsPrintableTag(const uint8_t* p) {
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    }
    return true;
}

// Reads the fmt chunk body of `size` bytes into the clip; answers why the chunk describes
// nothing this program can play or change, or null when it is usable.
const char* ReadFormat(CBinary& stream, uint32_t size, CSoundClip& clip) {
    SE_MARK();
    if (size < 16) return NWaveRejection::kFmtTooShort;
    uint8_t fmt[40];
    if (!stream.TryRead(fmt, 16)) return NWaveRejection::kEndsInFmt;
    clip.wFormatTag = U16(fmt);
    clip.nChannels = U16(fmt + 2);
    clip.nSamplesPerSec = U32(fmt + 4);
    clip.nAvgBytesPerSec = U32(fmt + 8);
    clip.nBlockAlign = U16(fmt + 12);
    clip.wBitsPerSample = U16(fmt + 14);
    clip.cbSize = static_cast<uint16_t>(size);
    uint32_t rest = size - 16;
    if (clip.wFormatTag == kFormatExtensible) {
        // The extension: cbSize, valid bits, channel mask, then the sub-format GUID.
        if (size < 40 || !stream.TryRead(fmt + 16, 24)) return NWaveRejection::kExtensibleTooShort;
        rest -= 24;
        const uint16_t subFormat = U16(fmt + 24);
        if (std::memcmp(fmt + 26, kSubFormatTail, sizeof kSubFormatTail) != 0 ||
            (subFormat != kFormatPcm && subFormat != kFormatFloat)) {
            return NWaveRejection::kUnsupportedFormat;
        }
        clip.wFormatTag = subFormat;
    }
    stream.Skip(rest);  // the caller made sure the chunk lies inside the file
    // A clip needs a duration and a block that holds one sample of every channel.
    if (!HasDuration(clip)) return NWaveRejection::kNoDuration;
    const uint32_t frameBytes =
        static_cast<uint32_t>(clip.nChannels) * ((clip.wBitsPerSample + 7u) / 8u);
    if (clip.nBlockAlign < frameBytes) return NWaveRejection::kBlockBelowFrame;
    // PCM and float blocks are exactly one sample of every channel; a larger declared
    // block would size every duration by bytes the samples do not have.
    if ((clip.wFormatTag == kFormatPcm || clip.wFormatTag == kFormatFloat) &&
        clip.nBlockAlign != frameBytes) {
        return NWaveRejection::kBlockNotFrame;
    }
    return nullptr;
}

void Drop(CWaveFile& wave, const char* tag, const char* why) {
    wave.dropped.push_back("chunk '" + std::string(tag, 4) + "' dropped: " + why);
}

// The sample bytes of the data chunk whose size the headers gave, starting at
// layout.dataOffset; false with the reason when the file cannot hold them.
bool SizeData(CWaveFile& wave, const CSoundClip& clip, uint64_t fileSize, CWaveLayout& layout) {
    const uint64_t rest = fileSize - layout.dataOffset;
    if (wave.dataSize == kUnknownSize || (wave.fromPipe && wave.dataSize > rest)) {
        // What writers put down when they cannot come back to give the size: the samples
        // run to the end of the file, in whole frames.
        const uint64_t frames = rest / clip.nBlockAlign;
        if (frames * clip.nBlockAlign > kMaxWaveDataBytes) {
            wave.rejection = NWaveRejection::kUnknownSizeTooLarge;
            return false;
        }
        layout.dataBytes = static_cast<uint32_t>(frames * clip.nBlockAlign);
        return true;
    }
    // The size is checked before anything is allocated for it.
    if (wave.dataSize > rest) {
        wave.rejection = NWaveRejection::kDataPastEnd;
        return false;
    }
    layout.dataBytes = wave.dataSize;
    return true;
}

}  // namespace

bool ReadWaveHeaders(CWaveFile& wave, CBinary& stream, CSoundClip& clip, CWaveLayout& layout) {
    SE_MARK();
    auto reject = [&wave](const char* why) {
        wave.rejection = why;
        return false;
    };
    wave.rejection = "";
    wave.dropped.clear();
    clip.chunks.clear();
    if (!stream.IsSeekable()) return reject(NWaveRejection::kNotSeekable);
    const uint64_t fileSize = stream.Size();
    if (wave.abort) return reject(NWaveRejection::kAborted);
    uint8_t header[12];
    if (!stream.TryRead(header, 12) || !IsTag(header, "RIFF") || !IsTag(header + 8, "WAVE")) {
        return reject(NWaveRejection::kNotRiffWave);
    }
    wave.riffSize = U32(header + 4);

    bool haveFormat = false;
    bool haveData = false;       // past the data chunk: what follows can only be dropped
    bool afterOddChunk = false;  // the previous chunk had an odd size
    for (;;) {
        const uint64_t start = stream.Position();
        uint8_t chunk[8];
        bool read = stream.TryRead(chunk, 8);
        // Chunks of odd size are followed by a pad byte, which some writers leave out:
        // when no chunk tag stands after the pad, the chunk starts one byte earlier.
        if (afterOddChunk && (!read || !IsPrintableTag(chunk))) {
            stream.Seek(start - 1);
            read = stream.TryRead(chunk, 8);
        }
        if (!read) {
            if (haveData) break;
            return reject(haveFormat ? NWaveRejection::kNoDataChunk : NWaveRejection::kNoFmtChunk);
        }
        const char* tag = reinterpret_cast<const char*>(chunk);
        const uint32_t size = U32(chunk + 4);
        const uint64_t body = stream.Position();
        if (IsTag(chunk, "data") && !haveData) {
            if (!haveFormat) return reject(NWaveRejection::kDataBeforeFmt);
            wave.dataSize = size;
            haveData = true;
            layout.dataOffset = body;
            if (!SizeData(wave, clip, fileSize, layout)) return false;
            // Samples of unknown size (counted to the end of the file, so never equal to
            // the size given) leave no room for chunks after them.
            if (layout.dataBytes != wave.dataSize) break;
        } else if (body + size > fileSize) {
            if (!haveData) return reject(NWaveRejection::kChunkPastEnd);
            if (IsMetadataTag(tag)) Drop(wave, tag, "runs past the end of the file");
            break;
        } else if (IsTag(chunk, "fmt ") && !haveFormat) {
            if (const char* why = ReadFormat(stream, size, clip)) return reject(why);
            haveFormat = true;
        } else if (IsMetadataTag(tag)) {
            const char* why = "larger than 1 MiB";
            if (size <= kMaxMetadataChunk) {
                std::vector<uint8_t> bytes(size);
                if (size != 0 && !stream.TryRead(bytes.data(), size)) {
                    // The chunk lies inside the file's size, so only a file cut short
                    // while it was read gets here: like a chunk past the end, a refusal
                    // before the samples and a dropped chunk after them.
                    if (!haveData) return reject(NWaveRejection::kChunkPastEnd);
                    Drop(wave, tag, "runs past the end of the file");
                    break;
                }
                why = TakeMetadata(clip.chunks, tag, std::move(bytes));
            }
            if (why != nullptr) Drop(wave, tag, why);
        }
        stream.Seek(body + size);
        afterOddChunk = (size & 1) != 0;
        if (afterOddChunk) {
            if (body + size + 1 > fileSize) {
                if (haveData) break;
                return reject(NWaveRejection::kNoDataChunk);
            }
            stream.Skip(1);
        }
    }
    stream.Seek(layout.dataOffset);
    return true;
}

namespace {

bool ReadWave(CWaveFile& wave, CBinary& stream, CSoundClip& clip) {
    SE_MARK();
    CWaveLayout layout;
    if (!ReadWaveHeaders(wave, stream, clip, layout)) return false;
    auto reject = [&wave](const char* why) {
        wave.rejection = why;
        return false;
    };
    if (wave.abort) return reject(NWaveRejection::kAborted);
    if (!clip.data.Resize(layout.dataBytes)) return reject(NWaveRejection::kOutOfMemory);
    if (layout.dataBytes != 0 && !stream.TryRead(clip.data.data, layout.dataBytes)) {
        return reject(NWaveRejection::kEndsInData);
    }
    return true;
}

bool WriteWave(CWaveFile& wave, CBinary& stream, CSoundClip& clip) {
    SE_MARK();
    if (wave.abort) return false;
    wave.dataSize = clip.data.length;
    const std::vector<uint8_t> trailer = WaveTrailer(wave.dataSize, clip.chunks);
    if (!FitsWaveFile(wave.dataSize, trailer.size())) return false;
    const std::vector<uint8_t> header = WaveHeader(clip, wave.dataSize, trailer.size());
    wave.riffSize = U32(header.data() + 4);
    clip.cbSize = 16;
    if (!stream.TryWrite(header.data(), header.size())) return false;
    if (wave.abort) return false;
    if (wave.dataSize != 0 && !stream.TryWrite(clip.data.data, wave.dataSize)) return false;
    return trailer.empty() || stream.TryWrite(trailer.data(), trailer.size());
}

}  // namespace

bool FitsWaveFile(uint64_t dataBytes, uint64_t trailerBytes) {
    return dataBytes <= kMaxWaveDataBytes && trailerBytes <= kMaxWaveDataBytes - dataBytes;
}

std::vector<uint8_t> WaveHeader(const CSoundFormat& format, uint32_t dataBytes,
                                uint64_t trailerBytes) {
    SE_MARK();
    std::vector<uint8_t> header(kHeaderSize);
    uint8_t* h = header.data();
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, static_cast<uint32_t>(36 + dataBytes + trailerBytes));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, format.wFormatTag);
    PutU16(h + 22, format.nChannels);
    PutU32(h + 24, format.nSamplesPerSec);
    PutU32(h + 28, format.nAvgBytesPerSec);
    PutU16(h + 32, format.nBlockAlign);
    PutU16(h + 34, format.wBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, dataBytes);
    return header;
}

bool Transfer(CWaveFile& wave, CBinary& stream, EDirection direction, CSoundClip& clip) {
    SE_MARK();
    return direction == EDirection::Input ? ReadWave(wave, stream, clip)
                                          : WriteWave(wave, stream, clip);
}

bool LoadFromFile(CWaveFile& wave, const char* path, CSoundClip& clip) {
    SE_MARK();
    CBinary stream;
    if (!stream.TryOpen(path, "rb")) {
        wave.rejection = NWaveRejection::kCannotOpen;
        return false;
    }
    const bool ok = Transfer(wave, stream, EDirection::Input, clip);
    stream.Close();
    return ok;
}

bool LoadFromOpenFile(CWaveFile& wave, FILE* file, CSoundClip& clip) {
    SE_MARK();
    CBinary stream;
    stream.Adopt(file, NVireo::NFile::NSTDIO::kModeBinary);
    const bool ok = Transfer(wave, stream, EDirection::Input, clip);
    stream.Close();
    return ok;
}

bool SaveToFile(CWaveFile& wave, const char* path, CSoundClip& clip) {
    SE_MARK();
    if (wave.abort) return false;
    std::string folder, name;
    NVireo::NFile::SplitPath(path, folder, name);
    if (name.empty()) return false;
    char temporary[MAX_PATH];
    if (GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "sew", 0, temporary) == 0) {
        return false;
    }
    CBinary stream;
    bool ok = stream.TryOpen(temporary, "wb");
    ok = ok && Transfer(wave, stream, EDirection::Output, clip);
    ok = stream.TryClose() && ok;
    // An abort that came while the samples were written still keeps the old file.
    ok = ok && !wave.abort && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
    if (!ok) DeleteFileA(temporary);
    return ok;
}
