// The layer's audio mixer: one SDL2 audio device shared by every sound service. Each
// playing sound is a voice that adds its frames to the mix inside the device's callback;
// the sum is clipped to [-1, 1]. dsound's buffers and dshow's music are voices.
#pragma once

#include <cstdint>
#include <mutex>

namespace winapi::backend {

// The format every voice mixes into: interleaved 32-bit float at this rate, stereo. SDL
// converts it to whatever the hardware takes.
inline constexpr uint32_t kMixRate = 44100;
inline constexpr uint32_t kMixChannels = 2;

class AudioVoice {
public:
    virtual ~AudioVoice() = default;
    // Adds frames frames of kMixChannels samples to mix. Runs on the audio thread with the
    // mixer locked, so it must not block or take the mixer lock again.
    virtual void MixInto(float* mix, uint32_t frames) = 0;
};

// Opens the default audio device on the first call (reference counted). False when SDL
// has no audio device to open; nothing is held then.
bool AcquireAudioDevice();
// Gives back one reference; the last one closes the device.
void ReleaseAudioDevice();

// Voices are mixed from AddVoice until RemoveVoice returns; after it returns the voice is
// never called again, so it may be destroyed.
void AddVoice(AudioVoice* voice);
void RemoveVoice(AudioVoice* voice);

// The lock the callback holds while it mixes. A service holds it while it changes what a
// voice reads (position, playing state, volume), so a change never lands mid-mix.
std::unique_lock<std::mutex> LockMixer();

// Mixes frames frames of every voice into out (zeroed first, clipped after): the work of
// the device callback, which holds the mixer lock around it.
void MixVoices(float* out, uint32_t frames);

}  // namespace winapi::backend
