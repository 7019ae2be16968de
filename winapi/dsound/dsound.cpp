// dsound: DirectSound 8 over the layer's mixer and the SDL2 audio device.
// Stands in for: DirectSoundCreate8, IDirectSound8 and IDirectSoundBuffer8 (static
// secondary buffers that play a whole sound from their own memory).
// Supports: the default device; every cooperative level (all sounds share one SDL
// device, so the level changes nothing); buffers of 8-, 16-, 24- and 32-bit PCM and
// 32-bit float, plain or WAVE_FORMAT_EXTENSIBLE, 1 to 8 channels, any sample rate,
// converted to the mix format as they play (linear interpolation between frames, more
// than two channels folded to stereo with the usual weights, the low-frequency channel
// left out, an extensible channel mask ignored in favour of the usual layout for the
// count); Lock/Unlock over the buffer's memory; Play (one-shot or looping), Stop,
// SetCurrentPosition, GetCurrentPosition, GetStatus, GetFormat; SetVolume/GetVolume in
// hundredths of a decibel (gain 10^(v/2000)); QueryInterface for the buffer interfaces.
// Does not support: primary buffers, 3D, pan, frequency and effects controls, capability
// records, duplicated buffers, speaker configuration, position notifications (the flag
// is accepted, the notify interface is not offered), lost buffers (they never are).
// Those answer DSERR_UNSUPPORTED, DSERR_CONTROLUNAVAIL or E_NOINTERFACE, and the
// unsupported ones say so once on stderr.
// Headless: with SDL_AUDIODRIVER=dummy the device plays to nowhere in real time; with
// SDL_AUDIODRIVER=disk it writes the mix (44.1 kHz stereo float) to SDL_DISKAUDIOFILE.
// Without any audio device DirectSoundCreate8 answers DSERR_NODRIVER.
#include <dsound.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "backend/audio/audio_mixer.h"
#include "backend/com_object.h"
#include "backend/syserror.h"

using winapi::backend::AudioVoice;
using winapi::backend::kMixChannels;
using winapi::backend::kMixRate;

namespace {

constexpr DWORD kSupportedBufferFlags = DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLVOLUME |
                                        DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_STICKYFOCUS |
                                        DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
constexpr WORD kMaxChannels = 8;

enum class SampleKind { U8, S16, S24, S32, F32 };

// How a buffer's bytes become mix samples.
struct Layout {
    WAVEFORMATEXTENSIBLE format{};  // as given (cbSize 0 unless extensible)
    SampleKind kind = SampleKind::S16;
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint32_t blockAlign = 0;
    float weights[kMixChannels][kMixChannels > 8 ? kMixChannels : 8] = {};  // mix <- source
};

// The weight of each source channel in the left and right mix for the usual channel
// layout of that count, scaled so that neither side can sum above full level.
void FoldToStereo(Layout& layout) {
    enum Speaker { FL, FR, FC, LFE, BL, BR, BC, SL, SR };
    static const Speaker layouts[kMaxChannels][kMaxChannels] = {
        {FC},
        {FL, FR},
        {FL, FR, FC},
        {FL, FR, BL, BR},
        {FL, FR, FC, BL, BR},
        {FL, FR, FC, LFE, BL, BR},
        {FL, FR, FC, LFE, BC, SL, SR},
        {FL, FR, FC, LFE, BL, BR, SL, SR},
    };
    const float side = 0.70710678f;
    for (uint32_t c = 0; c < layout.channels; ++c) {
        float left = 0, right = 0;
        switch (layouts[layout.channels - 1][c]) {
            case FL:
                left = 1;
                break;
            case FR:
                right = 1;
                break;
            case FC:
                left = right = layout.channels == 1 ? 1.0f : side;
                break;
            case LFE:
                break;
            case BL:
            case SL:
                left = side;
                break;
            case BR:
            case SR:
                right = side;
                break;
            case BC:
                left = right = 0.5f;
                break;
        }
        layout.weights[0][c] = left;
        layout.weights[1][c] = right;
    }
    for (uint32_t out = 0; out < kMixChannels; ++out) {
        float sum = 0;
        for (uint32_t c = 0; c < layout.channels; ++c) sum += layout.weights[out][c];
        if (sum > 1.0f) {
            for (uint32_t c = 0; c < layout.channels; ++c) layout.weights[out][c] /= sum;
        }
    }
}

// Checks a buffer format and fills the layout; DSERR_BADFORMAT for one we cannot play.
HRESULT ReadLayout(const WAVEFORMATEX* format, Layout& layout) {
    if (format == nullptr) return DSERR_INVALIDPARAM;
    WORD tag = format->wFormatTag;
    const WORD bits = format->wBitsPerSample;
    std::memcpy(&layout.format.Format, format, sizeof(WAVEFORMATEX));
    layout.format.Format.cbSize = 0;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (format->cbSize < 22) return DSERR_BADFORMAT;
        const auto* extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
        std::memcpy(&layout.format, extensible, sizeof(WAVEFORMATEXTENSIBLE));
        layout.format.Format.cbSize = 22;
        const WORD valid = extensible->Samples.wValidBitsPerSample;
        if (valid > bits) return DSERR_BADFORMAT;
        if (extensible->SubFormat == KSDATAFORMAT_SUBTYPE_PCM) {
            tag = WAVE_FORMAT_PCM;
        } else if (extensible->SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
            tag = WAVE_FORMAT_IEEE_FLOAT;
        } else {
            return DSERR_BADFORMAT;
        }
    }
    if (tag == WAVE_FORMAT_PCM) {
        switch (bits) {
            case 8:
                layout.kind = SampleKind::U8;
                break;
            case 16:
                layout.kind = SampleKind::S16;
                break;
            case 24:
                layout.kind = SampleKind::S24;
                break;
            case 32:
                layout.kind = SampleKind::S32;
                break;
            default:
                return DSERR_BADFORMAT;
        }
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT && bits == 32) {
        layout.kind = SampleKind::F32;
    } else {
        return DSERR_BADFORMAT;
    }
    if (format->nChannels < 1 || format->nChannels > kMaxChannels) return DSERR_BADFORMAT;
    if (format->nSamplesPerSec == 0) return DSERR_BADFORMAT;
    if (format->nBlockAlign != format->nChannels * (bits / 8)) return DSERR_BADFORMAT;
    layout.channels = format->nChannels;
    layout.rate = format->nSamplesPerSec;
    layout.blockAlign = format->nBlockAlign;
    FoldToStereo(layout);
    return DS_OK;
}

float ReadSample(const uint8_t* p, SampleKind kind) {
    switch (kind) {
        case SampleKind::U8:
            return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
        case SampleKind::S16:
            return static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8))) / 32768.0f;
        case SampleKind::S24: {
            const int32_t v = static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) |
                                                   (static_cast<uint32_t>(p[1]) << 16) |
                                                   (static_cast<uint32_t>(p[2]) << 24));
            return static_cast<float>(v >> 8) / 8388608.0f;
        }
        case SampleKind::S32: {
            int32_t v;
            std::memcpy(&v, p, 4);
            return static_cast<float>(static_cast<double>(v) / 2147483648.0);
        }
        case SampleKind::F32: {
            float v;
            std::memcpy(&v, p, 4);
            return std::isfinite(v) ? v : 0.0f;
        }
    }
    return 0.0f;
}

class CSound;

class CBuffer final : public winapi::backend::CSingleInterface<IDirectSoundBuffer8>,
                      public AudioVoice {
public:
    CBuffer(CSound* owner, const Layout& layout, DWORD flags, DWORD bytes);
    ~CBuffer() override;

    HRESULT GetCaps(LPDSBCAPS) override { return Unsupported("IDirectSoundBuffer::GetCaps"); }
    HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override;
    HRESULT GetVolume(LPLONG volume) override;
    HRESULT GetPan(LPLONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetFrequency(LPDWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(LPDWORD status) override;
    HRESULT Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, LPDWORD audioBytes1,
                 LPVOID* audioPtr2, LPDWORD audioBytes2, DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2,
                   DWORD audioBytes2) override;
    HRESULT Restore() override { return DS_OK; }
    HRESULT SetFX(DWORD, void*, LPDWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT AcquireResources(DWORD, DWORD, LPDWORD) override { return DSERR_INVALIDCALL; }
    HRESULT GetObjectInPath(REFGUID, DWORD, REFGUID, LPVOID* object) override {
        if (object) *object = nullptr;
        return Unsupported("IDirectSoundBuffer8::GetObjectInPath");
    }

    void MixInto(float* mix, uint32_t frames) override;

private:
    static HRESULT Unsupported(const char* what) {
        winapi::backend::WarnUnsupported(what);
        return DSERR_UNSUPPORTED;
    }
    bool Owns(const void* pointer, DWORD bytes) const {
        const auto* p = static_cast<const uint8_t*>(pointer);
        return p >= memory_.data() && bytes <= memory_.size() &&
               static_cast<size_t>(p - memory_.data()) <= memory_.size() - bytes;
    }

    bool Answers(REFIID riid) const override {
        return riid == IID_IDirectSoundBuffer || riid == IID_IDirectSoundBuffer8;
    }

    CSound* owner_;
    Layout layout_;
    DWORD flags_;
    std::vector<uint8_t> memory_;
    uint32_t frameCount_;
    // Under the mixer lock: the playing state and the position, a whole source frame
    // plus a remainder in units of 1 / kMixRate of a frame.
    bool playing_ = false;
    bool looping_ = false;
    uint32_t frame_ = 0;
    uint64_t remainder_ = 0;
    LONG volume_ = 0;
    float gain_ = 1.0f;
};

class CSound final : public winapi::backend::CSingleInterface<IDirectSound8> {
public:
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                              LPUNKNOWN outer) override {
        if (buffer == nullptr || desc == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        if (desc->dwSize != sizeof(DSBUFFERDESC) || desc->dwReserved != 0)
            return DSERR_INVALIDPARAM;
        if (desc->dwFlags & ~kSupportedBufferFlags) {
            winapi::backend::WarnUnsupported(
                "CreateSoundBuffer: primary buffers, 3D, pan, frequency, effects or hardware "
                "flags");
            return DSERR_UNSUPPORTED;
        }
        if (desc->guid3DAlgorithm != GUID{}) return DSERR_INVALIDPARAM;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
            return DSERR_INVALIDPARAM;
        }
        Layout layout;
        if (HRESULT result = ReadLayout(desc->lpwfxFormat, layout); FAILED(result)) return result;
        CBuffer* made =
            new (std::nothrow) CBuffer(this, layout, desc->dwFlags, desc->dwBufferBytes);
        if (made == nullptr) return DSERR_OUTOFMEMORY;
        *buffer = made;
        return DS_OK;
    }
    HRESULT GetCaps(LPDSCAPS) override {
        winapi::backend::WarnUnsupported("IDirectSound::GetCaps");
        return DSERR_UNSUPPORTED;
    }
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER* duplicate) override {
        if (duplicate) *duplicate = nullptr;
        winapi::backend::WarnUnsupported("IDirectSound::DuplicateSoundBuffer");
        return DSERR_UNSUPPORTED;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        return level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
    }
    HRESULT Compact() override { return DS_OK; }
    HRESULT GetSpeakerConfig(LPDWORD config) override {
        if (config) *config = 0;
        winapi::backend::WarnUnsupported("IDirectSound::GetSpeakerConfig");
        return DSERR_UNSUPPORTED;
    }
    HRESULT SetSpeakerConfig(DWORD) override {
        winapi::backend::WarnUnsupported("IDirectSound::SetSpeakerConfig");
        return DSERR_UNSUPPORTED;
    }
    HRESULT Initialize(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT VerifyCertification(LPDWORD certified) override {
        if (certified == nullptr) return DSERR_INVALIDPARAM;
        *certified = 0;  // DS_UNCERTIFIED: there is no certified driver behind this device
        return DS_OK;
    }

private:
    // The last reference gives the audio device back.
    ~CSound() override { winapi::backend::ReleaseAudioDevice(); }
    bool Answers(REFIID riid) const override {
        return riid == IID_IDirectSound || riid == IID_IDirectSound8;
    }
};

CBuffer::CBuffer(CSound* owner, const Layout& layout, DWORD flags, DWORD bytes)
    : owner_(owner),
      layout_(layout),
      flags_(flags),
      memory_(bytes, 0),
      frameCount_(bytes / layout.blockAlign) {
    owner_->AddRef();  // the device stays open while a buffer exists
    winapi::backend::AddVoice(this);
}

CBuffer::~CBuffer() {
    winapi::backend::RemoveVoice(this);  // never mixed again once this returns
    owner_->Release();
}

HRESULT CBuffer::GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) {
    auto lock = winapi::backend::LockMixer();
    const DWORD position = frame_ * layout_.blockAlign;
    if (playCursor) *playCursor = position;
    if (writeCursor) *writeCursor = position;
    return DS_OK;
}

HRESULT CBuffer::GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) {
    const DWORD size = sizeof(WAVEFORMATEX) + layout_.format.Format.cbSize;
    if (format == nullptr) {
        if (sizeWritten == nullptr) return DSERR_INVALIDPARAM;
        *sizeWritten = size;
        return DS_OK;
    }
    if (sizeAllocated < size) return DSERR_INVALIDPARAM;
    std::memcpy(format, &layout_.format, size);
    if (sizeWritten) *sizeWritten = size;
    return DS_OK;
}

HRESULT CBuffer::GetVolume(LPLONG volume) {
    if (volume == nullptr) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    auto lock = winapi::backend::LockMixer();
    *volume = volume_;
    return DS_OK;
}

HRESULT CBuffer::GetStatus(LPDWORD status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    auto lock = winapi::backend::LockMixer();
    *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0)) : 0;
    return DS_OK;
}

HRESULT CBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, LPDWORD audioBytes1,
                      LPVOID* audioPtr2, LPDWORD audioBytes2, DWORD flags) {
    if (audioPtr1 == nullptr || audioBytes1 == nullptr) return DSERR_INVALIDPARAM;
    if (flags & ~(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER)) return DSERR_INVALIDPARAM;
    const DWORD size = static_cast<DWORD>(memory_.size());
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = size;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
        auto lock = winapi::backend::LockMixer();
        offset = frame_ * layout_.blockAlign;
    }
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    // A region that runs past the end goes on from the start of the buffer.
    const DWORD first = std::min(bytes, size - offset);
    if (first < bytes && (audioPtr2 == nullptr || audioBytes2 == nullptr))
        return DSERR_INVALIDPARAM;
    *audioPtr1 = memory_.data() + offset;
    *audioBytes1 = first;
    if (audioPtr2 != nullptr) *audioPtr2 = first < bytes ? memory_.data() : nullptr;
    if (audioBytes2 != nullptr) *audioBytes2 = bytes - first;
    return DS_OK;
}

HRESULT CBuffer::Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2) {
    if (audioPtr1 == nullptr || !Owns(audioPtr1, audioBytes1)) return DSERR_INVALIDPARAM;
    if (audioPtr2 != nullptr && (audioPtr2 != memory_.data() || !Owns(audioPtr2, audioBytes2))) {
        return DSERR_INVALIDPARAM;
    }
    return DS_OK;  // the caller wrote straight into the buffer's memory
}

HRESULT CBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0 || (flags & ~DWORD{DSBPLAY_LOOPING}))
        return DSERR_INVALIDPARAM;
    auto lock = winapi::backend::LockMixer();
    if (frameCount_ == 0) return DS_OK;  // less than one frame: nothing to hear
    if (frame_ >= frameCount_) frame_ = 0, remainder_ = 0;
    playing_ = true;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT CBuffer::SetCurrentPosition(DWORD position) {
    if (position >= memory_.size()) return DSERR_INVALIDPARAM;
    auto lock = winapi::backend::LockMixer();
    frame_ = position / layout_.blockAlign;
    remainder_ = 0;
    return DS_OK;
}

HRESULT CBuffer::SetVolume(LONG volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    const float gain = static_cast<float>(std::pow(10.0, volume / 2000.0));
    auto lock = winapi::backend::LockMixer();
    volume_ = volume;
    gain_ = gain;
    return DS_OK;
}

HRESULT CBuffer::Stop() {
    auto lock = winapi::backend::LockMixer();
    playing_ = false;
    return DS_OK;
}

void CBuffer::MixInto(float* mix, uint32_t frames) {
    if (!playing_) return;
    const uint32_t channels = layout_.channels;
    const uint32_t block = layout_.blockAlign;
    const uint32_t bytesPerSample = block / channels;
    const uint8_t* base = memory_.data();
    float now[kMaxChannels], next[kMaxChannels];
    for (uint32_t n = 0; n < frames; ++n) {
        // Linear interpolation between this frame and the next; the last frame of a
        // one-shot sound is held rather than faded into silence.
        const uint32_t following = frame_ + 1 < frameCount_ ? frame_ + 1 : (looping_ ? 0 : frame_);
        const uint8_t* a = base + static_cast<size_t>(frame_) * block;
        const uint8_t* b = base + static_cast<size_t>(following) * block;
        const float t = static_cast<float>(remainder_) / static_cast<float>(kMixRate);
        for (uint32_t c = 0; c < channels; ++c) {
            now[c] = ReadSample(a + c * bytesPerSample, layout_.kind);
            next[c] = ReadSample(b + c * bytesPerSample, layout_.kind);
        }
        for (uint32_t out = 0; out < kMixChannels; ++out) {
            float sum = 0;
            for (uint32_t c = 0; c < channels; ++c) {
                const float value = t == 0.0f ? now[c] : now[c] + (next[c] - now[c]) * t;
                sum += layout_.weights[out][c] * value;
            }
            mix[n * kMixChannels + out] += gain_ * sum;
        }
        remainder_ += layout_.rate;
        frame_ += static_cast<uint32_t>(remainder_ / kMixRate);
        remainder_ %= kMixRate;
        if (frame_ >= frameCount_) {
            if (!looping_) {
                playing_ = false;  // the end of a one-shot sound
                frame_ = 0;
                remainder_ = 0;
                return;
            }
            frame_ %= frameCount_;
        }
    }
}

}  // namespace

HRESULT DirectSoundCreate8(LPCGUID device, LPDIRECTSOUND8* sound, LPUNKNOWN outer) {
    if (sound == nullptr) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (device != nullptr && *device != GUID{}) {
        winapi::backend::WarnUnsupported("DirectSoundCreate8 with a device other than the default");
        return DSERR_NODRIVER;
    }
    if (!winapi::backend::AcquireAudioDevice()) return DSERR_NODRIVER;
    CSound* made = new (std::nothrow) CSound;
    if (made == nullptr) {
        winapi::backend::ReleaseAudioDevice();
        return DSERR_OUTOFMEMORY;
    }
    *sound = made;
    return DS_OK;
}
