#include "app/audio/sound_effects.h"

#include <new>
#include <string>

#include "app/setup/data_paths.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/package/package.h"

namespace Site = NVireo::NError::NSite::NSoundEffects;

using NVireo::NDirectX::NSound::ECreateResult;
using NVireo::NDirectX::NSound::SoundDevice;

namespace {

const char* const kEffectNames[] = {"OK", "SELECT", "CANCEL", "BAD", "TRAINING"};

}  // namespace

namespace SE {

uint32_t CSEID::Count() const {
    SE_MARK();
    return sizeof kEffectNames / sizeof kEffectNames[0];
}

const char* CSEID::Name(uint32_t id) const {
    SE_MARK();
    return id < Count() ? kEffectNames[id] : nullptr;
}

}  // namespace SE

CSoundEffectBank::~CSoundEffectBank() { DiscardSlots(); }

void CSoundEffectBank::DiscardSlots() {
    SE_MARK();
    for (uint32_t i = 0; i < slotCount; ++i) delete slots[i];
    delete[] slots;
    slots = nullptr;
    slotCount = 0;
}

void CSoundEffectBank::Reset(SE::IID* newIds) {
    SE_MARK();
    ids.Reset(newIds);
    DiscardSlots();
    const uint32_t count = newIds != nullptr ? newIds->Count() : 0;
    if (count == 0) return;
    slots = new CSlot*[count];
    for (uint32_t i = 0; i < count; ++i) slots[i] = new CSlot;
    slotCount = count;
}

void CSoundEffectBank::Play(uint32_t id) {
    SE_MARK();
    if (!enabled || !SoundDevice().Exists()) return;
    if (id >= slotCount || ids.Get() == nullptr) return;
    const char* name = ids.Get()->Name(id);
    if (name == nullptr) return;
    CSlot& slot = *slots[id];
    if (slot.buffer.Empty()) {
        // pd/se/OK.wav: the package stores names in lower case and finds it as pd/se/ok.wav.
        const std::string entryName =
            Appli::JoinDataPath(Appli::kSoundEffectFolder, std::string(name) + ".wav");
        NVireo::NFile::NSTDIO::CBinary file;
        NVireo::NRender::CPackage::Entry entry;
        if (!NVireo::NRender::ProgramPackage().OpenEntry(file, entry, entryName.c_str())) return;
        const ECreateResult created = slot.buffer.CreateFromFile(file);
        file.Close();
        if (created == ECreateResult::Rejected) {
            // The package's own sound is broken: that is the program's data, not the user's.
            Raise(NVireo::NError::kSite, Site::kRejectedEffect, entryName.c_str());
            return;
        }
        if (created != ECreateResult::Created) return;  // the device cannot play it: silence
    }
    slot.buffer.SetVolume(EffectVolume());
    slot.buffer.PlayFromStart();
}

void CSoundEffectBank::ReleaseAll() {
    SE_MARK();
    for (uint32_t i = 0; i < slotCount; ++i) slots[i]->buffer.Release();
}

CSoundEffectBank& SoundEffectBank() {
    static CSoundEffectBank bank;
    return bank;
}

double& EffectVolume() {
    static double volume = 0.0;
    return volume;
}
