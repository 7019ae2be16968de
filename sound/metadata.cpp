// Metadata chunks: which are kept, their checks, the position rules and their bytes.
#include "sound/metadata.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "framework/error/trace.h"

namespace {

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
bool TagIs(const void* tag, const char* name) { return std::memcmp(tag, name, 4) == 0; }

// The fixed parts of each kind, in bytes.
constexpr size_t kCuePoint = 24;       // id, position, chunk, chunk start, block start, offset
constexpr size_t kSamplerHeader = 36;  // nine fields, the eighth the loop count
constexpr size_t kSamplerLoop = 24;    // cue point id, type, start, end, fraction, play count
constexpr size_t kInstrument = 7;      // note, fine tune, gain, note and velocity ranges
constexpr size_t kAcid = 24;           // ..., the tempo as a float at byte 20
constexpr size_t kBroadcast = 602;     // texts, time reference, version, UMID, reserved
constexpr size_t kRegionHeader = 20;   // ltxt: cue point id, length, purpose, four codes
constexpr size_t kLabelHeader = 4;     // labl and note: the cue point id
constexpr size_t kAcidTempo = 20;
constexpr size_t kSamplerLoopCount = 28;

uint32_t CueCount(const std::vector<uint8_t>& body) { return Get32(body.data()); }
uint32_t LoopCount(const std::vector<uint8_t>& body) {
    return Get32(body.data() + kSamplerLoopCount);
}

// Calls each(tag, offset, size) for the entries of a LIST body, after its type; answers
// the first reason each gives, or why the entries do not fit the list, or null. The pad
// byte after the last entry may be missing.
template <typename Each>
const char* ForEachEntry(const std::vector<uint8_t>& body, Each each) {
    size_t at = 4;
    while (at < body.size()) {
        if (body.size() - at < 8) return "malformed: a list entry is cut short";
        const uint32_t size = Get32(body.data() + at + 4);
        if (size > body.size() - at - 8) return "malformed: a list entry runs past the list";
        if (const char* why = each(body.data() + at, at + 8, size)) return why;
        at += 8 + static_cast<size_t>(size) + (size & 1);
    }
    return nullptr;
}

bool IsKeptList(const std::vector<uint8_t>& body) {
    return body.size() >= 4 && (TagIs(body.data(), "INFO") || TagIs(body.data(), "adtl"));
}

// Why a chunk of a kept kind cannot be read, or null.
const char* Check(const CMetaChunk& chunk) {
    const std::vector<uint8_t>& body = chunk.body;
    const size_t size = body.size();
    if (chunk.Is("cue ")) {
        if (size < 4) return "malformed: no cue point count";
        if (CueCount(body) > (size - 4) / kCuePoint) return "malformed: more cue points than bytes";
    } else if (chunk.Is("smpl")) {
        if (size < kSamplerHeader) return "malformed: sampler header cut short";
        if (LoopCount(body) > (size - kSamplerHeader) / kSamplerLoop)
            return "malformed: more loops than bytes";
    } else if (chunk.Is("inst")) {
        if (size < kInstrument) return "malformed: shorter than 7 bytes";
    } else if (chunk.Is("acid")) {
        if (size < kAcid) return "malformed: shorter than 24 bytes";
    } else if (chunk.Is("bext")) {
        if (size < kBroadcast) return "malformed: shorter than 602 bytes";
    } else if (chunk.Is("LIST")) {
        if (size < 4) return "malformed: no list type";
        const bool labels = TagIs(body.data(), "adtl");
        return ForEachEntry(body, [labels](const uint8_t* tag, size_t, uint32_t length) {
            if (!labels) return static_cast<const char*>(nullptr);
            if (TagIs(tag, "ltxt") && length < kRegionHeader)
                return "malformed: a labelled region cut short";
            if ((TagIs(tag, "labl") || TagIs(tag, "note")) && length < kLabelHeader)
                return "malformed: a label without its cue point";
            return static_cast<const char*>(nullptr);
        });
    }
    return nullptr;
}

uint64_t ChunkBytes(const CMetaChunk& chunk) {
    const uint64_t size = chunk.body.size();
    return 8 + size + (size & 1);
}

void RescaleCues(std::vector<uint8_t>& body, uint32_t in, uint32_t out) {
    for (uint32_t i = 0; i < CueCount(body); ++i) {
        uint8_t* point = body.data() + 4 + i * kCuePoint;
        Put32(point + 20, ScalePosition(Get32(point + 20), in, out));
        if (TagIs(point + 8, "data")) Put32(point + 4, ScalePosition(Get32(point + 4), in, out));
    }
}

// Loops move with the change; one whose end came after its start and no longer does has
// collapsed to less than a frame and is dropped.
void RescaleLoops(std::vector<uint8_t>& body, uint32_t in, uint32_t out) {
    const uint32_t count = LoopCount(body);
    std::vector<uint8_t> kept(body.begin(), body.begin() + kSamplerHeader);
    uint32_t keptCount = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* loop = body.data() + kSamplerHeader + i * kSamplerLoop;
        const uint32_t start = Get32(loop + 8), end = Get32(loop + 12);
        const uint32_t newStart = ScalePosition(start, in, out);
        const uint32_t newEnd = ScalePosition(end, in, out);
        if (end > start && newEnd <= newStart) continue;
        const size_t at = kept.size();
        kept.insert(kept.end(), loop, loop + kSamplerLoop);
        Put32(kept.data() + at + 8, newStart);
        Put32(kept.data() + at + 12, newEnd);
        ++keptCount;
    }
    Put32(kept.data() + kSamplerLoopCount, keptCount);
    // The sampler's own data after the loops stays as it was.
    kept.insert(kept.end(), body.begin() + kSamplerHeader + count * kSamplerLoop, body.end());
    body = std::move(kept);
}

void RescaleTempo(std::vector<uint8_t>& body, uint32_t in, uint32_t out) {
    if (in == 0 || out == 0 || in == out) return;
    float tempo;
    std::memcpy(&tempo, body.data() + kAcidTempo, sizeof tempo);
    tempo = static_cast<float>(static_cast<double>(tempo) * in / out);
    std::memcpy(body.data() + kAcidTempo, &tempo, sizeof tempo);
}

void RescaleRegions(std::vector<uint8_t>& body, uint32_t in, uint32_t out) {
    if (!TagIs(body.data(), "adtl")) return;
    ForEachEntry(body, [&](const uint8_t* tag, size_t at, uint32_t) {
        if (TagIs(tag, "ltxt")) {
            uint8_t* length = body.data() + at + 4;
            Put32(length, ScaleLength(Get32(length), in, out));
        }
        return static_cast<const char*>(nullptr);
    });
}

}  // namespace

bool CMetaChunk::Is(const char* name) const { return TagIs(tag, name); }

bool CMetaChunk::operator==(const CMetaChunk& other) const {
    return TagIs(tag, other.tag) && body == other.body;
}

bool IsMetadataTag(const char* tag) {
    for (const char* kept : {"cue ", "smpl", "inst", "acid", "bext", "LIST"}) {
        if (TagIs(tag, kept)) return true;
    }
    return false;
}

const char* TakeMetadata(CMetaChunks& chunks, const char* tag, std::vector<uint8_t> body) {
    SE_MARK();
    if (!IsMetadataTag(tag)) return nullptr;
    CMetaChunk chunk;
    std::memcpy(chunk.tag, tag, 4);
    chunk.body = std::move(body);
    // Lists of other types are no metadata this program knows.
    if (chunk.Is("LIST") && chunk.body.size() >= 4 && !IsKeptList(chunk.body)) return nullptr;
    if (chunk.body.size() > kMaxMetadataChunk) return "larger than 1 MiB";
    uint64_t total = ChunkBytes(chunk);
    for (const CMetaChunk& c : chunks) total += ChunkBytes(c);
    if (total > kMaxMetadataBytes) return "more than 4 MiB of metadata in all";
    if (const char* why = Check(chunk)) return why;
    chunks.push_back(std::move(chunk));
    return nullptr;
}

uint32_t ScalePosition(uint32_t position, uint32_t inFrames, uint32_t outFrames) {
    if (inFrames == 0 || outFrames == 0) return 0;
    const uint64_t scaled = static_cast<uint64_t>(position) * outFrames / inFrames;
    return static_cast<uint32_t>(std::min<uint64_t>(scaled, outFrames - 1));
}

uint32_t ScaleLength(uint32_t length, uint32_t inFrames, uint32_t outFrames) {
    if (inFrames == 0) return 1;
    const uint64_t scaled = static_cast<uint64_t>(length) * outFrames / inFrames;
    return static_cast<uint32_t>(std::max<uint64_t>(std::min<uint64_t>(scaled, outFrames), 1));
}

void RescaleMetadata(CMetaChunks& chunks, uint32_t inFrames, uint32_t outFrames) {
    SE_MARK();
    for (CMetaChunk& chunk : chunks) {
        if (Check(chunk) != nullptr) continue;  // only what a file gave, and checked, moves
        if (chunk.Is("cue ")) {
            RescaleCues(chunk.body, inFrames, outFrames);
        } else if (chunk.Is("smpl")) {
            RescaleLoops(chunk.body, inFrames, outFrames);
        } else if (chunk.Is("acid")) {
            RescaleTempo(chunk.body, inFrames, outFrames);
        } else if (chunk.Is("LIST")) {
            RescaleRegions(chunk.body, inFrames, outFrames);
        }
    }
}

uint64_t TrailerBytes(uint64_t dataBytes, const CMetaChunks& chunks) {
    if (chunks.empty()) return 0;
    uint64_t total = dataBytes & 1;
    for (const CMetaChunk& chunk : chunks) total += ChunkBytes(chunk);
    return total;
}

std::vector<uint8_t> WaveTrailer(uint64_t dataBytes, const CMetaChunks& chunks) {
    SE_MARK();
    std::vector<uint8_t> bytes;
    if (chunks.empty()) return bytes;
    bytes.reserve(TrailerBytes(dataBytes, chunks));
    if (dataBytes & 1) bytes.push_back(0);
    for (const CMetaChunk& chunk : chunks) {
        bytes.insert(bytes.end(), chunk.tag, chunk.tag + 4);
        const size_t at = bytes.size();
        bytes.resize(at + 4);
        Put32(bytes.data() + at, static_cast<uint32_t>(chunk.body.size()));
        bytes.insert(bytes.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() & 1) bytes.push_back(0);
    }
    return bytes;
}

std::vector<CCuePoint> CuePoints(const CMetaChunks& chunks) {
    SE_MARK();
    std::map<uint32_t, std::string> labels;
    for (const CMetaChunk& chunk : chunks) {
        if (!chunk.Is("LIST") || Check(chunk) != nullptr || !TagIs(chunk.body.data(), "adtl"))
            continue;
        ForEachEntry(chunk.body, [&](const uint8_t* tag, size_t at, uint32_t size) {
            if (TagIs(tag, "labl")) {
                const char* text = reinterpret_cast<const char*>(chunk.body.data() + at + 4);
                labels.emplace(Get32(chunk.body.data() + at),
                               std::string(text, strnlen(text, size - 4)));
            }
            return static_cast<const char*>(nullptr);
        });
    }
    std::vector<CCuePoint> points;
    for (const CMetaChunk& chunk : chunks) {
        if (!chunk.Is("cue ") || Check(chunk) != nullptr) continue;
        for (uint32_t i = 0; i < CueCount(chunk.body); ++i) {
            const uint8_t* point = chunk.body.data() + 4 + i * kCuePoint;
            CCuePoint cue;
            cue.id = Get32(point);
            cue.position = Get32(point + 20);
            if (auto label = labels.find(cue.id); label != labels.end()) cue.label = label->second;
            points.push_back(cue);
        }
    }
    return points;
}

std::vector<CLoop> Loops(const CMetaChunks& chunks) {
    SE_MARK();
    std::vector<CLoop> loops;
    for (const CMetaChunk& chunk : chunks) {
        if (!chunk.Is("smpl") || Check(chunk) != nullptr) continue;
        for (uint32_t i = 0; i < LoopCount(chunk.body); ++i) {
            const uint8_t* loop = chunk.body.data() + kSamplerHeader + i * kSamplerLoop;
            loops.push_back(CLoop{Get32(loop), Get32(loop + 8), Get32(loop + 12)});
        }
    }
    return loops;
}
