// What the workspace shows and allows, computed from the shared clip state alone: the
// information panel's lines, the waveform values of each channel, which commands are
// enabled and the silent clip the workspace falls back to. Nothing here draws or touches
// a widget, so all of it is tested directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/clip.h"

namespace Scene::Main {

// The six commands, numbered as their buttons and shortcut keys (Q W E R T A).
enum ECommand : int32_t {
    kChangeDuration = 0,
    kInitialise = 1,
    kLoad = 2,
    kSave = 3,
    kPlay = 4,
    kStop = 5,
    kCommandCount = 6,
};

// Whether command is available for state; clipPlaying says whether the clip buffer
// exists and is playing. Numbers outside 0 to 5 are never enabled.
bool CommandEnabled(int32_t command, const CClipState& state, bool clipPlaying);

// One line of the information panel and its hover text (empty: none).
struct CPanelLine {
    std::string text;
    std::string description;
};

// The panel's geometry: lines at x 70 from y 64, 18 pixels apart, in the 14-pixel font.
inline constexpr int32_t kPanelX = 70;
inline constexpr int32_t kPanelY = 64;
inline constexpr int32_t kPanelLineStep = 18;
inline constexpr int32_t kPanelFontHeight = 14;

// The panel for state (code page 932 texts): the file name (its folder as description),
// the duration, the sample count, the file size and the format. Empty when the current
// duration is 0.
std::vector<CPanelLine> PanelLines(const CClipState& state);

// The two numbers of the duration line: seconds (at least 0.1) and minutes written as
// minutes and seconds, so 90000 ms is 1.30 (at least 0.01).
double DurationSeconds(uint32_t milliseconds);
double DurationMinutes(uint32_t milliseconds);

// The samples of one channel of the waveform view.
struct CChannelValues {
    std::vector<double> values;
    uint16_t bitsPerSample = 0;
};

// Splits the preview clip's whole frames into one value list per channel: 8-bit samples
// as 0..255, 16-bit little-endian samples as -32768..32767; mono fills one list, stereo
// even samples to the first and odd samples to the second. Any other layout gives
// nChannels empty lists (none for 0 channels).
std::vector<CChannelValues> ChannelValues(const CSoundClip& preview);

// The waveform's vertical position of value v in a graph from top to bottom: the bottom
// for the smallest value of the bit depth, the top for the largest.
double WaveY(double value, uint16_t bitsPerSample, double top, double bottom);

// The clip the workspace starts from and falls back to: 16-bit stereo at 44100 Hz (the
// format tag and cbSize stay as they are), silent for milliseconds and without metadata.
// False, with the clip untouched, when so much silence would not fit a WAV file or in
// memory.
bool MakeSilentStereo(CSoundClip& clip, uint32_t milliseconds);

}  // namespace Scene::Main
