// The watched-key table and press detection.
#include "framework/window/keyboard.h"

#include "framework/containers/set.h"
#include "framework/error/trace.h"

namespace NVireo::NGame {
namespace {

struct CByKey {
    bool operator()(const CKeyEntry& a, const CKeyEntry& b) const { return a.key < b.key; }
};

// Entries are never erased, so a node keeps its entry for the whole run.
struct CKeyTable {
    hoard::set::basic<CKeyEntry, CByKey> entries;
    CKeyEntry* lowest = nullptr;
};

CKeyTable& Table() {
    static CKeyTable table;
    return table;
}

ActiveQuery activeQuery = nullptr;

uint8_t ToggleBit(int virtualKey) { return static_cast<uint8_t>(GetKeyState(virtualKey) & 1); }
bool IsDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace

void AddWatchedKey(int virtualKey) {
    SE_MARK();
    CKeyTable& table = Table();
    const CKeyEntry entry{static_cast<uint16_t>(virtualKey), ToggleBit(virtualKey), false, 0};
    if (table.entries.Insert(entry) == nullptr) return;  // already watched
    table.lowest = &table.entries.leftmost->value;
}

CKeyEntry* WatchedKey(int virtualKey) {
    auto* node = Table().entries.Find(CKeyEntry{static_cast<uint16_t>(virtualKey), 0, false, 0});
    return node != nullptr ? &node->value : nullptr;
}

CKeyEntry* LowestWatchedKey() { return Table().lowest; }

int32_t WatchedKeyCount() { return Table().entries.count; }

bool KeyPressed(int virtualKey) {
    SE_MARK();
    if (activeQuery == nullptr || !activeQuery()) return false;
    CKeyEntry* entry = WatchedKey(virtualKey);
    if (entry == nullptr) return false;
    const uint8_t toggle = ToggleBit(virtualKey);
    const bool toggled = toggle != entry->toggle;
    if (toggled) entry->changed = true;
    if (!entry->changed) return false;
    if (!IsDown(virtualKey) && !toggled) {
        // Marked changed (an activation change) but neither pressed since nor down.
        entry->presses = 0;
        return false;
    }
    // Down, or a tap that went down and up again since the last question: one press
    // either way, so a key released before the next frame is not lost.
    ++entry->presses;
    entry->toggle = toggle;
    entry->changed = false;
    return true;
}

void MarkLowestKeyIfToggled() {
    SE_MARK();
    CKeyEntry* lowest = LowestWatchedKey();
    if (lowest != nullptr && ToggleBit(lowest->key) != lowest->toggle) lowest->changed = true;
}

void ResetLowestKey() {
    SE_MARK();
    CKeyEntry* lowest = LowestWatchedKey();
    if (lowest == nullptr) return;
    lowest->toggle = ToggleBit(lowest->key);
    lowest->changed = false;
}

void ResetWatchedKeys() {
    SE_MARK();
    CKeyTable& table = Table();
    for (auto* node = table.entries.leftmost; node != nullptr; node = table.entries.Next(node)) {
        node->value.toggle = ToggleBit(node->value.key);
        node->value.changed = false;
    }
}

void MarkLowestKeyChanged() {
    SE_MARK();
    if (CKeyEntry* lowest = LowestWatchedKey()) lowest->changed = true;
}

void SetActiveQuery(ActiveQuery query) { activeQuery = query; }

}  // namespace NVireo::NGame
