// The shared audio device and the mixer of audio_mixer.h, over SDL2's audio callback.
#include "backend/audio/audio_mixer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "backend/sdl/sdl_bridge.h"

namespace winapi::backend {
namespace {

std::mutex mixerMutex;  // guards voices and everything voices read
std::vector<AudioVoice*> voices;

std::mutex deviceMutex;  // guards the device and its reference count
SDL_AudioDeviceID device = 0;
int deviceReferences = 0;

void Callback(void*, Uint8* stream, int bytes) {
    const uint32_t frames = static_cast<uint32_t>(bytes) / (sizeof(float) * kMixChannels);
    std::lock_guard lock(mixerMutex);
    MixVoices(reinterpret_cast<float*>(stream), frames);
}

}  // namespace

void MixVoices(float* out, uint32_t frames) {
    const size_t samples = static_cast<size_t>(frames) * kMixChannels;
    std::memset(out, 0, samples * sizeof(float));
    for (AudioVoice* voice : voices) voice->MixInto(out, frames);
    for (size_t i = 0; i < samples; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

bool AcquireAudioDevice() {
    std::lock_guard lock(deviceMutex);
    if (deviceReferences > 0) {
        ++deviceReferences;
        return true;
    }
    if (!StartSdlSubsystem(SDL_INIT_AUDIO)) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(kMixRate);
    wanted.format = AUDIO_F32SYS;
    wanted.channels = static_cast<Uint8>(kMixChannels);
    wanted.samples = 1024;  // about 23 ms a callback
    wanted.callback = Callback;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts our format to the hardware's when they differ.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) return false;
    SDL_PauseAudioDevice(device, 0);
    deviceReferences = 1;
    return true;
}

void ReleaseAudioDevice() {
    std::lock_guard lock(deviceMutex);
    if (deviceReferences == 0 || --deviceReferences > 0) return;
    // Closing waits for the callback to return, so the mixer lock must not be held here.
    SDL_CloseAudioDevice(device);
    device = 0;
}

void AddVoice(AudioVoice* voice) {
    std::lock_guard lock(mixerMutex);
    if (std::find(voices.begin(), voices.end(), voice) == voices.end()) voices.push_back(voice);
}

void RemoveVoice(AudioVoice* voice) {
    std::lock_guard lock(mixerMutex);
    voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end());
}

std::unique_lock<std::mutex> LockMixer() { return std::unique_lock(mixerMutex); }

}  // namespace winapi::backend
