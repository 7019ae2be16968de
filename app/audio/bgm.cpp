#include "app/audio/bgm.h"

#include <hostpath.h>
#include <objbase.h>
#include <stringapiset.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/setup/data_paths.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/home.h"
#include "sound/output/sound_device.h"

namespace Site = NVireo::NError::NSite::NMusic;

namespace BGM {

namespace {

using NVireo::NDirectX::NShow::NMedia::CheckShow;

constexpr char kMusicName[] = "menu";
constexpr char kMusicExtension[] = "wma";
constexpr char kThreadName[] = "DXShow::Media::CPlayer";

// Milliseconds of a steady clock, counted from the first reading: the play-time clock.
int64_t ClockMs() {
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - origin).count();
}

// One line on standard error: the music file is there but cannot be played.
void SayMusicRefused(const std::string& path, HRESULT result) {
    SE_MARK();
    std::string full = path;
    if (full.rfind("./", 0) == 0) full.erase(0, 2);
    if (full.empty() || full[0] != '/') full = NVireo::NFile::HomeFolder() + full;
    std::fprintf(stderr, "%s: cannot be played (error 0x%08X); the music stays off\n",
                 ProgramToHostPath(full).c_str(), static_cast<unsigned>(result));
}

}  // namespace

void CStopwatch::Reset() {
    SE_MARK();
    start = ClockMs();
    accumulated = 0;
    paused = false;
    pausedReading = 0;
}

int64_t CStopwatch::Reading() {
    SE_MARK();
    if (paused) return pausedReading;
    const int64_t now = ClockMs();
    if (now < start) {  // the clock went back: count from its new origin
        accumulated -= start;
        start = 0;
    }
    return accumulated + (now - start);
}

void CStopwatch::Pause() {
    SE_MARK();
    if (paused) return;
    pausedReading = Reading();
    paused = true;
}

void CStopwatch::Resume() {
    SE_MARK();
    if (!paused) return;
    accumulated = pausedReading;
    start = ClockMs();
    paused = false;
}

void CStreamer::MarkMode(int32_t value) {
    SE_MARK();
    if (mode.Get() == nullptr) return;
    mode.Get()->previous = mode.Get()->current;
    mode.Get()->current = value;
}

void CStreamer::Play() {
    SE_MARK();
    NVireo::NFile::EnterHomeFolder();
    const std::string path = Appli::FindMusicFile(std::string(kMusicName) + "." + kMusicExtension);
    if (path.empty()) {
        if (enabled) {
            MarkMode(-1);
            if (graph != nullptr) Stop();
        }
        return;
    }
    MarkMode(-2);
    Stop();
    ReleaseGraph();
    if (!CheckShow(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IGraphBuilder, reinterpret_cast<void**>(&graph)),
                   Site::kCreateGraph) ||
        !CheckShow(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)),
                   Site::kQueryControl) ||
        !CheckShow(graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&event)),
                   Site::kQueryEvent) ||
        !CheckShow(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)),
                   Site::kQuerySeeking) ||
        !CheckShow(graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)),
                   Site::kQueryAudio)) {
        ReleaseGraph();
        return;
    }
    const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> widePath(units > 0 ? static_cast<size_t>(units) : 1, 0);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath.data(), units);
    const HRESULT rendered = graph->RenderFile(widePath.data(), nullptr);
    if (FAILED(rendered)) {
        // No audio device, or a file that is corrupt or not a sound FFmpeg can decode:
        // the program runs without music, as without the file. Only the file is worth a
        // word to the user.
        ReleaseGraph();
        MarkMode(-1);
        if (rendered != VFW_E_NO_AUDIO_HARDWARE) SayMusicRefused(path, rendered);
        return;
    }
    if (enabled) {
        playCount = -1;
        SeekToStart();
        RunGraph();
        stop = false;
        Start(kThreadName);
        SetVolume(MusicVolume());
    }
    stopwatch.Reset();
}

void CStreamer::SetEnabled(uint8_t value) {
    SE_MARK();
    if (value == 1) {
        enabled = true;
        Play();
        return;
    }
    if (enabled) {
        MarkMode(-1);
        if (graph != nullptr) Stop();
    }
    enabled = false;
}

void CStreamer::SetActive(bool active) {
    SE_MARK();
    if (graph == nullptr) return;
    if (active) {
        if (enabled && IsPaused() && playCount != 0) RunGraph();
        stopwatch.Resume();
        return;
    }
    if (enabled && !IsStopped()) {
        CheckShow(PauseGraph(), Site::kPause);
        stopwatch.Pause();
    }
    stopwatch.Pause();
}

void CStreamer::SetVolume(double volume) {
    SE_MARK();
    if (audio == nullptr) return;
    CheckShow(audio->put_Volume(NVireo::NDirectX::NSound::VolumeToAttenuation(volume)),
              Site::kVolume);
}

void CStreamer::Stop() {
    SE_MARK();
    // The player thread ends first, so it cannot restart the stream once it is stopped.
    playCount = 0;
    StopThread();
    if (graph == nullptr || IsStopped()) return;
    if (!CheckShow(control->Stop(), Site::kStop)) return;
    SeekToStart();
}

void CStreamer::Shutdown() {
    SE_MARK();
    if (enabled) {
        MarkMode(-1);
        Stop();
    }
    Stop();
    ReleaseGraph();
}

CStreamer& Streamer() {
    static CStreamer streamer;
    return streamer;
}

double& MusicVolume() {
    static double volume = 0.0;
    return volume;
}

}  // namespace BGM
