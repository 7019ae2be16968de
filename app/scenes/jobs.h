// The background jobs' own rules, apart from their screens: which files the loading job
// takes, and the progress line of the duration change.
#pragma once

#include <cstdint>
#include <string>

namespace Jobs {

// Files shorter than a canonical WAV header are turned away before they are read.
inline constexpr uint64_t kSmallestWaveFile = 44;

// True when the text after the last dot of path is "wav" in any case. A path without a
// dot has no extension.
bool HasWaveExtension(const char* path);

// "残り処理数 %u/%u(%u%%)" with done, total and the truncated percentage; empty while the
// total is 0 (the change has not counted its frames yet, or has nothing to do).
std::string ProgressLine(uint32_t done, uint32_t total);

}  // namespace Jobs
