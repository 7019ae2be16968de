// Background music: the file "menu.wma" in the program's folder (or, for an installed
// program, in the user's data folder: Appli::FindMusicFile), looped while the BGM
// setting is on, paused while the program is inactive, at the BGM volume.
//
// What the program shell calls: SetEnabled when the BGM check box applies its value
// (which starts the music), SetActive on activation and deactivation of the main window,
// SetVolume with MusicVolume() when the volume scroll bar moves, and Shutdown at exit
// before the sound effects are released. COM must be initialised on the main thread
// (CoInitialize) before the music starts.
#pragma once

#include <cstdint>

#include "framework/containers/pointer.h"
#include "sound/output/media_player.h"

namespace BGM {

// The mode record: the streamer writes -2 when it starts the music and -1 when it stops
// or cannot find it, moving the old current mode to previous first.
class IMode {
public:
    virtual ~IMode() = default;
    int32_t current = 0;
    int32_t previous = 0;
};

// Play time in milliseconds, frozen while paused.
struct CStopwatch {
    int64_t start = 0;
    int64_t accumulated = 0;
    bool paused = false;
    int64_t pausedReading = 0;

    // Starts from zero now.
    void Reset();
    int64_t Reading();
    void Pause();
    void Resume();
};

// The process-wide music streamer.
class CStreamer : public NVireo::NDirectX::NShow::NMedia::CPlayer {
public:
    // Loads menu.wma (Appli::FindMusicFile) into a new graph and, when enabled, plays it
    // endlessly. Without the file, or without an audio device, there is no music and no
    // error; a file that cannot be played (corrupt, or no sound FFmpeg decodes) gives no
    // music and one line on standard error.
    void Play();
    // 1: music on (and start it); anything else: off.
    void SetEnabled(uint8_t value);
    bool IsEnabled() const { return enabled; }
    // Pauses the music while the program is inactive and resumes it where it stopped.
    void SetActive(bool active);
    // volume 0..1: 1 is full level, 0 is -50 dB.
    void SetVolume(double volume);
    // Ends the player thread, stops the graph and rewinds it.
    void Stop();
    // At exit: stops and releases the graph.
    void Shutdown();

    CStopwatch stopwatch;
    hoard::ptr::auton<IMode> mode;  // none unless attached
    bool enabled = false;

private:
    void MarkMode(int32_t value);
};

CStreamer& Streamer();

// The BGM volume 0..1; starts at 0, never stored in the settings file.
double& MusicVolume();

}  // namespace BGM
