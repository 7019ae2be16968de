// Interface sound effects: the names of the effects, and the bank that loads each one
// from the data package the first time it is played and plays it at the SE volume.
//
// What the program shell calls: at start-up, after the main window exists,
// NVireo::NDirectX::NSound::SoundDevice().Create(window) and then
// SoundEffectBank().Reset(new SE::CSEID); at shutdown, after the music has stopped,
// SoundEffectBank().ReleaseAll(). The sound-effect check box calls SetEnabled, and every
// button that sounds calls Play(0).
#pragma once

#include <cstdint>

#include "framework/containers/pointer.h"
#include "sound/output/sound_device.h"

namespace SE {

// Names the sound effects by id.
class IID {
public:
    virtual uint32_t Count() const = 0;
    // The effect's name, or null for an id without one.
    virtual const char* Name(uint32_t id) const = 0;
    virtual ~IID() = default;
};

// The program's effects: "OK", "SELECT", "CANCEL", "BAD", "TRAINING".
class CSEID : public IID {
public:
    uint32_t Count() const override;
    const char* Name(uint32_t id) const override;
};

}  // namespace SE

// The process-wide sound-effect registry.
class CSoundEffectBank {
public:
    struct CSlot {
        NVireo::NDirectX::NSound::CSoundBuffer buffer;  // empty until first played
    };

    CSoundEffectBank() = default;
    ~CSoundEffectBank();
    CSoundEffectBank(const CSoundEffectBank&) = delete;
    CSoundEffectBank& operator=(const CSoundEffectBank&) = delete;

    // Takes ownership of ids, discards every slot and makes one empty slot per effect.
    void Reset(SE::IID* ids);
    // Plays effect id from its start: nothing while effects are off or without a sound
    // device; loads pd/se/<name>.wav from the package the first time. An effect the
    // device cannot play stays silent.
    void Play(uint32_t id);
    // Stops and releases every loaded effect.
    void ReleaseAll();
    void SetEnabled(uint8_t value) { enabled = (value == 1); }
    bool IsEnabled() const { return enabled; }

    CSlot** slots = nullptr;
    uint32_t slotCount = 0;
    hoard::ptr::auton<SE::IID> ids;
    bool enabled = false;

private:
    void DiscardSlots();
};

CSoundEffectBank& SoundEffectBank();

// The SE volume 0..1, applied each time an effect starts; starts at 0, never stored in
// the settings file.
double& EffectVolume();
