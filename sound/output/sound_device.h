// The sound device and its buffers: one DirectSound device for the whole program, and
// holders of static one-shot buffers that carry a whole sound in memory. Also the clip
// buffer, which plays the workspace's current clip.
#pragma once

#include <dsound.h>

#include <cstdint>

#include "framework/platform/file.h"
#include "sound/clip.h"

namespace NVireo::NDirectX::NSound {

// A volume 0..1 as DirectSound attenuation in hundredths of a decibel: round(v x 5000) -
// 5000, halves away from zero. 1.0 is 0 (as recorded), 0.5 is -2500, 0.0 is -5000 (-50
// dB, quiet but not silent).
int32_t VolumeToAttenuation(double volume);

// The process-wide holder of the DirectSound device; empty when none could be opened.
class CSoundDevice {
public:
    CSoundDevice() = default;
    ~CSoundDevice();
    CSoundDevice(const CSoundDevice&) = delete;
    CSoundDevice& operator=(const CSoundDevice&) = delete;

    // Releases any device held, then opens the default device for window. A device that
    // cannot be opened is not an error: the answer is DirectSoundCreate8's result and the
    // holder stays empty, so every sound is skipped. A failing cooperative level is fatal.
    HRESULT Create(HWND window);
    void Release();
    bool Exists() const { return sound != nullptr; }

    IDirectSound8* sound = nullptr;
};

CSoundDevice& SoundDevice();

// How building a buffer from a clip ended.
enum class ECreateResult {
    Created,
    NoDevice,  // the program has no sound device: nothing to play, nothing to report
    Refused,   // the device cannot play this clip (its format or an empty clip)
    Rejected,  // CreateFromFile only: the file is not a WAV file the reader accepts
};

// Holder of one static buffer. It keeps no copy of the samples once they are written.
class CSoundBuffer {
public:
    CSoundBuffer() = default;
    ~CSoundBuffer();
    CSoundBuffer(const CSoundBuffer&) = delete;
    CSoundBuffer& operator=(const CSoundBuffer&) = delete;

    // Creates a buffer in the clip's format on the process device and copies the clip
    // into it. A clip the device refuses is reported to the caller, not raised: the
    // caller tells the user. Any other failing call is fatal ("error code=0x%x").
    ECreateResult CreateFromClip(const CSoundClip& clip);
    // Reads a WAV file from file (positioned at its "RIFF" tag) into a temporary clip and
    // creates the buffer from it; the file stays open for the caller to close.
    ECreateResult CreateFromFile(NVireo::NFile::NSTDIO::CBinary& file);
    // volume 0..1 (see VolumeToAttenuation).
    void SetVolume(double volume);
    // Stop, rewind and play once.
    void PlayFromStart();
    // Stops; the buffer is kept.
    void Stop();
    // Stops and releases the buffer; the holder becomes empty.
    void Release();
    // Whether the buffer is playing; false when the holder is empty.
    bool IsPlaying();
    bool Empty() const { return buffer == nullptr; }

    IDirectSoundBuffer8* buffer = nullptr;
};

// Clip playback for the workspace and the wait screens; all of it on the main thread.
enum class EClipPlay {
    Playing,
    Silent,   // no sound device, or nothing to play: skipped without a word
    Refused,  // the device cannot play this clip's format: the caller tells the user
};
// Releases the clip buffer, builds it again from clip and plays it from the start.
EClipPlay PlayClip(const CSoundClip& clip);
// Stops the clip buffer (it is kept).
void StopClip();
bool IsClipPlaying();
// Releases the clip buffer; every wait screen does so before its job touches the clip.
void ReleaseClip();
CSoundBuffer& ClipBuffer();

}  // namespace NVireo::NDirectX::NSound
