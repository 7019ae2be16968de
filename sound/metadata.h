// The metadata chunks a clip carries besides its samples: cue points ("cue "), the
// sampler's loops ("smpl"), the instrument ("inst"), the loop tempo ("acid"), the
// broadcast extension ("bext") and the lists "LIST" of type "INFO" (texts) and "adtl"
// (labels, notes and labelled regions). Every other chunk (JUNK, PAD, fact, unknown
// tags, lists of other types) is left out quietly.
//
// A chunk is kept only when its layout holds together (counts that fit its size, fixed
// parts complete, list entries inside the list); a malformed one is left out with the
// reason, and never makes the clip itself fail. A chunk over kMaxMetadataChunk bytes, or
// one that would take a clip past kMaxMetadataBytes in all, is left out the same way, so
// metadata never costs more than a few MiB of memory.
//
// A duration change from n to m frames moves positions with it: position p becomes
// floor(p x m / n) in 64 bits, at most m - 1 (0 when either count is 0). That moves the
// cue points' sample offsets (and their play positions when they point into the data
// chunk), the sampler loops' start and end (a loop whose end no longer comes after its
// start has collapsed and is dropped) and the labelled regions' lengths (floor(length x
// m / n), at least 1 and at most m). The acid tempo is multiplied by n / m; texts, the
// broadcast extension's time reference and everything else stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One chunk as it stands in a file: its four-character tag and its body (no pad byte).
struct CMetaChunk {
    char tag[4] = {};
    std::vector<uint8_t> body;

    bool Is(const char* name) const;
    bool operator==(const CMetaChunk& other) const;
};
using CMetaChunks = std::vector<CMetaChunk>;

inline constexpr uint32_t kMaxMetadataChunk = 1u << 20;
inline constexpr uint32_t kMaxMetadataBytes = 4u << 20;

// True for the tags whose chunks a clip may carry (a LIST only of type INFO or adtl,
// which TakeMetadata tells from its body).
bool IsMetadataTag(const char* tag);

// Adds a chunk read from a file to chunks when it is metadata the clip keeps and well
// formed. Answers null when it was added or is no metadata at all, else why it was left
// out ("malformed: ...", "larger than 1 MiB").
const char* TakeMetadata(CMetaChunks& chunks, const char* tag, std::vector<uint8_t> body);

// Moves the positions of every chunk for a change from inFrames to outFrames frames.
void RescaleMetadata(CMetaChunks& chunks, uint32_t inFrames, uint32_t outFrames);
// The position rule on its own, and the rule for a region's length.
uint32_t ScalePosition(uint32_t position, uint32_t inFrames, uint32_t outFrames);
uint32_t ScaleLength(uint32_t length, uint32_t inFrames, uint32_t outFrames);

// What follows the samples of a saved file: nothing without chunks; otherwise a pad byte
// after an odd data size, then each chunk with its header and its own pad byte.
uint64_t TrailerBytes(uint64_t dataBytes, const CMetaChunks& chunks);
std::vector<uint8_t> WaveTrailer(uint64_t dataBytes, const CMetaChunks& chunks);

// The markers as the chunks describe them, for people and scripts to read.
struct CCuePoint {
    uint32_t id = 0;
    uint32_t position = 0;  // the sample offset, in frames
    std::string label;      // from the adtl list's labl entry of the same id, if any
};
struct CLoop {
    uint32_t cuePointId = 0;
    uint32_t start = 0, end = 0;  // frames; the end is the loop's last frame
};
std::vector<CCuePoint> CuePoints(const CMetaChunks& chunks);
std::vector<CLoop> Loops(const CMetaChunks& chunks);
