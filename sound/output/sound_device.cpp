#include "sound/output/sound_device.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "sound/wavefile.h"

namespace Site = NVireo::NError::NSite::NSoundDevice;

namespace NVireo::NDirectX::NSound {

namespace {

// A failing DirectSound call is fatal; the report carries its result code. Answers true
// when result is a success, so callers can stop when a report returns (tests).
bool Check(HRESULT result, uint32_t site) {
    if (SUCCEEDED(result)) return true;
    char message[64];
    std::snprintf(message, sizeof message, "error code=0x%x", static_cast<unsigned>(result));
    Raise(NVireo::NError::kSite, site, message);
    return false;
}

}  // namespace

int32_t VolumeToAttenuation(double volume) {
    SE_MARK();
    return static_cast<int32_t>(std::round(volume * 5000.0)) - 5000;
}

CSoundDevice::~CSoundDevice() { Release(); }

HRESULT CSoundDevice::Create(HWND window) {
    SE_MARK();
    Release();
    IDirectSound8* made = nullptr;
    const HRESULT result = DirectSoundCreate8(nullptr, &made, nullptr);
    if (FAILED(result)) return result;  // no device: every sound is skipped
    sound = made;
    Check(sound->SetCooperativeLevel(window, DSSCL_PRIORITY), Site::kCooperativeLevel);
    return result;
}

void CSoundDevice::Release() {
    SE_MARK();
    if (sound == nullptr) return;
    sound->Release();
    sound = nullptr;
}

CSoundDevice& SoundDevice() {
    static CSoundDevice device;
    return device;
}

CSoundBuffer::~CSoundBuffer() {
    // At process exit: the reference goes back without a report.
    if (buffer != nullptr) buffer->Release();
}

ECreateResult CSoundBuffer::CreateFromClip(const CSoundClip& clip) {
    SE_MARK();
    CSoundDevice& device = SoundDevice();
    if (!device.Exists()) return ECreateResult::NoDevice;
    Release();
    // The clip's seven format fields are laid out as WAVEFORMATEX.
    WAVEFORMATEX format;
    static_assert(sizeof format == sizeof(CSoundFormat));
    std::memcpy(&format, &clip.Format(), sizeof format);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY;
    desc.dwBufferBytes = clip.data.length;
    desc.dwReserved = 0;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* made = nullptr;
    const HRESULT created = device.sound->CreateSoundBuffer(&desc, &made, nullptr);
    // A format the device cannot play, or a clip too short or too long for a buffer, is
    // the clip's fault, not the program's: the caller tells the user.
    if (created == DSERR_BADFORMAT || created == DSERR_INVALIDPARAM) return ECreateResult::Refused;
    if (!Check(created, Site::kCreateBuffer)) return ECreateResult::Refused;
    const HRESULT queried =
        made->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
    made->Release();
    if (!Check(queried, Site::kQueryBuffer)) {
        buffer = nullptr;
        return ECreateResult::Refused;
    }

    // Fill: the whole buffer is zeroed, then the clip is copied to its start.
    void* region1 = nullptr;
    void* region2 = nullptr;
    DWORD size1 = 0, size2 = 0;
    if (!Check(buffer->Lock(0, 0, &region1, &size1, &region2, &size2, DSBLOCK_ENTIREBUFFER),
               Site::kLock)) {
        return ECreateResult::Refused;
    }
    std::memset(region1, 0, size1);
    const DWORD copied = clip.data.length < size1 ? clip.data.length : size1;
    if (copied != 0) std::memcpy(region1, clip.data.data, copied);
    Check(buffer->Unlock(region1, size1, region2, size2), Site::kUnlock);
    return ECreateResult::Created;
}

ECreateResult CSoundBuffer::CreateFromFile(NVireo::NFile::NSTDIO::CBinary& file) {
    SE_MARK();
    CSoundClip clip;  // an empty PCM clip, freed on return
    CWaveFile wave;
    if (!Transfer(wave, file, EDirection::Input, clip)) return ECreateResult::Rejected;
    return CreateFromClip(clip);
}

void CSoundBuffer::SetVolume(double volume) {
    SE_MARK();
    if (buffer == nullptr) return;
    Check(buffer->SetVolume(VolumeToAttenuation(volume)), Site::kVolume);
}

void CSoundBuffer::PlayFromStart() {
    SE_MARK();
    if (buffer == nullptr) return;
    if (!Check(buffer->Stop(), Site::kStop)) return;
    if (!Check(buffer->SetCurrentPosition(0), Site::kPosition)) return;
    Check(buffer->Play(0, 0, 0), Site::kPlay);
}

void CSoundBuffer::Stop() {
    SE_MARK();
    if (buffer == nullptr) return;
    Check(buffer->Stop(), Site::kStop);
}

void CSoundBuffer::Release() {
    SE_MARK();
    if (buffer == nullptr) return;
    Check(buffer->Stop(), Site::kStop);
    buffer->Release();
    buffer = nullptr;
}

bool CSoundBuffer::IsPlaying() {
    SE_MARK();
    if (buffer == nullptr) return false;
    DWORD status = 0;
    if (!Check(buffer->GetStatus(&status), Site::kStatus)) return false;
    return (status & DSBSTATUS_PLAYING) != 0;
}

CSoundBuffer& ClipBuffer() {
    static CSoundBuffer clipBuffer;
    return clipBuffer;
}

EClipPlay PlayClip(const CSoundClip& clip) {
    SE_MARK();
    CSoundBuffer& buffer = ClipBuffer();
    buffer.Release();
    if (clip.data.length == 0) return EClipPlay::Silent;  // nothing to hear
    switch (buffer.CreateFromClip(clip)) {
        case ECreateResult::Created:
            break;
        case ECreateResult::NoDevice:
            return EClipPlay::Silent;
        default:
            return EClipPlay::Refused;
    }
    buffer.PlayFromStart();
    return EClipPlay::Playing;
}

void StopClip() {
    SE_MARK();
    ClipBuffer().Stop();
}

bool IsClipPlaying() {
    SE_MARK();
    return ClipBuffer().IsPlaying();
}

void ReleaseClip() {
    SE_MARK();
    ClipBuffer().Release();
}

}  // namespace NVireo::NDirectX::NSound
