// The background jobs' own rules, apart from their screens: which files the loading job
// takes, and the progress line of the duration change.
#pragma once

#include <cstdint>
#include <string>

namespace Jobs {

// Files shorter than a canonical WAV header are turned away before they are read.
inline constexpr uint64_t kSmallestWaveFile = 44;

// The loading job's own reasons for turning a file away, beside the reader's
// (NWaveRejection in sound/wavefile.h).
inline constexpr char kNotWaveName[] = "the name does not end in .wav";
inline constexpr char kShorterThanHeader[] = "shorter than a WAV header";

// The line that says why a file was refused, in the user's language from the
// application string table, for a reason of the reader or of the loading job; the
// reason itself for one without a text of its own.
std::string RefusalReason(const char* rejection);

// True when the text after the last dot of path is "wav" in any case. A path without a
// dot has no extension.
bool HasWaveExtension(const char* path);

// "残り処理数 %u/%u(%u%%)" with done, total and the truncated percentage; empty while the
// total is 0 (the change has not counted its frames yet, or has nothing to do).
std::string ProgressLine(uint32_t done, uint32_t total);

}  // namespace Jobs
