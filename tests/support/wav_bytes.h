// Builders for WAV file bytes, so tests can state a file's layout chunk by chunk.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wavbytes {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutTag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

// A chunk: tag, size (the body's unless given), body, and a pad byte after an odd body.
inline Bytes Chunk(const char* tag, const Bytes& body, bool pad = true, int64_t declaredSize = -1) {
    Bytes b;
    PutTag(b, tag);
    Put32(b, declaredSize >= 0 ? static_cast<uint32_t>(declaredSize)
                               : static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2) b.push_back(0);
    return b;
}

struct Format {
    uint16_t tag = 1, channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    int blockAlign = -1;  // channels * bytes per sample unless given
};

inline Bytes FmtBody(const Format& f, const Bytes& extra = {}) {
    const uint16_t block =
        static_cast<uint16_t>(f.blockAlign >= 0 ? f.blockAlign : f.channels * ((f.bits + 7) / 8));
    Bytes b;
    Put16(b, f.tag);
    Put16(b, f.channels);
    Put32(b, f.rate);
    Put32(b, f.rate * block);
    Put16(b, block);
    Put16(b, f.bits);
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

// The 24 bytes that follow the plain fields in an extensible fmt chunk.
inline Bytes ExtensibleTail(uint16_t subFormat, uint16_t validBits, uint32_t mask = 3) {
    Bytes b;
    Put16(b, 22);
    Put16(b, validBits);
    Put32(b, mask);
    Put16(b, subFormat);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes body;
    PutTag(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutTag(b, "RIFF");
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Samples(size_t count, uint8_t seed = 1) {
    Bytes b(count);
    for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(seed + i * 37);
    return b;
}

inline Bytes Canonical(const Format& f, const Bytes& samples) {
    return Riff({Chunk("fmt ", FmtBody(f)), Chunk("data", samples, false)});
}

// Bodies of metadata chunks. A cue point in the data chunk has its play position equal
// to its sample offset; one in another chunk keeps the position given.
struct CuePoint {
    uint32_t id, offset;
    const char* chunk = "data";
    uint32_t position = 0;
};
inline Bytes CueBody(const std::vector<CuePoint>& points) {
    Bytes b;
    Put32(b, static_cast<uint32_t>(points.size()));
    for (const CuePoint& p : points) {
        Put32(b, p.id);
        Put32(b, std::string(p.chunk, 4) == "data" ? p.offset : p.position);
        PutTag(b, p.chunk);
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, p.offset);
    }
    return b;
}

// A sampler chunk with loops (start, end), and samplerData bytes of its own after them.
inline Bytes SamplerBody(const std::vector<std::pair<uint32_t, uint32_t>>& loops,
                         uint32_t samplerData = 0) {
    Bytes b;
    for (uint32_t field : {0u, 0u, 22675u, 60u, 0u, 0u, 0u}) Put32(b, field);
    Put32(b, static_cast<uint32_t>(loops.size()));
    Put32(b, samplerData);
    uint32_t id = 100;
    for (const auto& [start, end] : loops) {
        for (uint32_t field : {id++, 0u, start, end, 0u, 0u}) Put32(b, field);
    }
    for (uint32_t i = 0; i < samplerData; ++i) b.push_back(static_cast<uint8_t>(i));
    return b;
}

inline Bytes AcidBody(float tempo) {
    Bytes b;
    for (uint32_t field : {1u, 60u, 0u, 4u, 0x00040004u}) Put32(b, field);
    uint32_t bits;
    static_assert(sizeof bits == sizeof tempo);
    std::memcpy(&bits, &tempo, sizeof bits);
    Put32(b, bits);
    return b;
}

// A LIST body of the type with entries (each made with Chunk).
inline Bytes ListBody(const char* type, const std::vector<Bytes>& entries) {
    Bytes b;
    PutTag(b, type);
    for (const Bytes& e : entries) b.insert(b.end(), e.begin(), e.end());
    return b;
}
inline Bytes LabelEntry(uint32_t id, const std::string& text) {
    Bytes b;
    Put32(b, id);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return Chunk("labl", b);
}
inline Bytes RegionEntry(uint32_t id, uint32_t length) {
    Bytes b;
    for (uint32_t field : {id, length}) Put32(b, field);
    PutTag(b, "rgn ");
    for (int i = 0; i < 8; ++i) b.push_back(0);
    return Chunk("ltxt", b);
}

}  // namespace wavbytes
