// The workspace's figures, waveform values and command rules.
#include "app/scenes/workspace_model.h"

#include <cmath>

#include "framework/containers/nstring.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"

namespace Scene::Main {

bool CommandEnabled(int32_t command, const CClipState& state, bool clipPlaying) {
    SE_MARK();
    switch (command) {
        case kChangeDuration:
        case kInitialise:
        case kSave:
            return state.loaded;
        case kLoad:
            return true;
        case kPlay:
            // Fewer than four bytes is not even one 16-bit stereo frame.
            return state.loaded && state.clip.data.length >= 4;
        case kStop:
            return clipPlaying;
        default:
            return false;
    }
}

double DurationSeconds(uint32_t milliseconds) {
    SE_MARK();
    const double seconds = milliseconds / 1000.0;
    return seconds < 0.1 ? 0.1 : seconds;
}

double DurationMinutes(uint32_t milliseconds) {
    SE_MARK();
    // The fraction of a minute is shown as seconds after the point: 1.5 minutes is 1.30.
    const double f = milliseconds / 60000.0;
    const double w = std::trunc(f);
    const double value = (f - w) * 0.6 + w;
    return value < 0.01 ? 0.01 : value;
}

std::vector<CPanelLine> PanelLines(const CClipState& state) {
    SE_MARK();
    std::vector<CPanelLine> lines;
    const uint32_t ms = state.currentDurationMs;
    if (ms == 0) return lines;
    const CSoundClip& clip = state.clip;
    NVireo::NString::BBasic<char> text;

    CPanelLine name;
    // The split steps over double-byte characters, so a trail byte 0x5C is no separator.
    NVireo::NFile::SplitPath(state.currentFilePath.c_str(), name.description, name.text);
    lines.push_back(std::move(name));

    text.Format("再生時間       %uミリ秒(約%0.1f秒)(約%0.2f分)", ms, DurationSeconds(ms),
                DurationMinutes(ms));
    lines.push_back({text.c_str(), {}});

    text.Format("サンプル総数   %u", SampleCount(clip));
    lines.push_back({text.c_str(), {}});

    const uint64_t size = SavedFileSize(clip);
    const double kb = size / 1024.0;
    double mb = kb / 1024.0;
    if (mb < 0.01) mb = 0.01;
    text.Format("ファイルサイズ %llubyte(約%0.2fKB)(約%0.2fMB)",
                static_cast<unsigned long long>(size), kb, mb);
    lines.push_back({text.c_str(), {}});

    text.Format("周波数         %uHz,%uBits,%s", clip.nSamplesPerSec,
                static_cast<uint32_t>(clip.wBitsPerSample),
                clip.nChannels == 2 ? "ステレオ" : "モノ");
    lines.push_back({text.c_str(), {}});
    return lines;
}

std::vector<CChannelValues> ChannelValues(const CSoundClip& preview) {
    SE_MARK();
    const uint32_t channels = preview.nChannels;
    const uint16_t bits = preview.wBitsPerSample;
    std::vector<CChannelValues> graphs(channels);
    for (CChannelValues& graph : graphs) graph.bitsPerSample = bits;
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return graphs;

    const uint32_t bytesPerSample = bits / 8;
    const uint32_t frameSize = channels * bytesPerSample;
    const uint32_t frames = preview.data.length / frameSize;
    const uint8_t* bytes = preview.data.data;
    for (CChannelValues& graph : graphs) graph.values.reserve(frames);
    for (uint32_t frame = 0; frame < frames; ++frame) {
        for (uint32_t channel = 0; channel < channels; ++channel) {
            const uint8_t* sample = bytes + frame * frameSize + channel * bytesPerSample;
            double value;
            if (bits == 8) {
                value = sample[0];
            } else {
                value = static_cast<int16_t>(static_cast<uint16_t>(sample[0] | (sample[1] << 8)));
            }
            graphs[channel].values.push_back(value);
        }
    }
    return graphs;
}

double WaveY(double value, uint16_t bitsPerSample, double top, double bottom) {
    const double minimum = bitsPerSample == 8 ? 0.0 : -32768.0;
    const double maximum = bitsPerSample == 8 ? 255.0 : 32767.0;
    return bottom - (value - minimum) / (maximum - minimum) * (bottom - top);
}

bool MakeSilentStereo(CSoundClip& clip, uint32_t milliseconds) {
    SE_MARK();
    CSoundClip silent;
    silent.Format() = clip.Format();
    silent.nChannels = 2;
    silent.nSamplesPerSec = 44100;
    silent.nBlockAlign = 4;
    silent.wBitsPerSample = 16;
    silent.nAvgBytesPerSec = 176400;
    if (!MakeSilence(silent, milliseconds)) return false;
    clip = std::move(silent);
    return true;
}

}  // namespace Scene::Main
