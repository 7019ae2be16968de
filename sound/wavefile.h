// WAV files: reading a RIFF/WAVE file into a sound clip and writing a clip as a
// canonical 44-byte-header file.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "framework/platform/file.h"
#include "sound/clip.h"

// One read or write. The owner may set abort from another thread to give up; it is
// looked at before the header and again before the sample bytes, and a save looks once
// more before its finished file replaces the target.
struct CWaveFile {
    std::atomic<bool> abort{false};
    uint32_t riffSize = 0;
    uint32_t dataSize = 0;
    // Why the last read answered false, in a few plain words (empty after success).
    const char* rejection = "";
};

enum class EDirection { Input, Output };

// Reads or writes the clip over an open binary stream. Input answers false for a file
// that is not a WAV file this program can use; the clip may then hold part of it and is
// meant to be discarded. Output answers false when the file could not be written.
bool Transfer(CWaveFile& wave, NVireo::NFile::NSTDIO::CBinary& stream, EDirection direction,
              CSoundClip& clip);

// Reads path into clip; false when the file cannot be opened or is rejected.
bool LoadFromFile(CWaveFile& wave, const char* path, CSoundClip& clip);

// Writes clip to path. The file is written beside the target under a temporary name and
// renamed into place only when everything was written, so a failed or aborted save
// leaves an existing file as it was and no temporary file behind. The clip's cbSize
// becomes 16, the length of the fmt chunk written.
bool SaveToFile(CWaveFile& wave, const char* path, CSoundClip& clip);

// Reads a clip from an already open file positioned at its "RIFF" tag, then closes it.
bool LoadFromOpenFile(CWaveFile& wave, FILE* file, CSoundClip& clip);
