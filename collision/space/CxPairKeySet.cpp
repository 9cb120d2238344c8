// The open-address pair set: linear probing, and erasing by shifting the
// following keys back so that no probe sequence is ever cut short.
#include "space/CxPairKeySet.h"

#include <kelmar/PxMemory.h>

namespace {

const uint32_t kFirstSlotCount = 16;

bool HasId(uint32_t key, int id)
{
    uint32_t value = static_cast<uint32_t>(id);
    return (key >> 16) == value || (key & 0xFFFFu) == value;
}

} // namespace

bool CxPairKeySet::Contains(uint32_t key) const
{
    if (size_ == 0) return false;
    for (uint32_t slot = Home(key);; slot = Next(slot)) {
        if (slots_[slot] == key) return true;
        if (slots_[slot] == kEmpty) return false;
    }
}

bool CxPairKeySet::Insert(uint32_t key)
{
    if (Contains(key)) return true;
    // At most half full: probes stay short.
    if (2 * static_cast<uint32_t>(size_ + 1) > slotCount_ && !Grow()) return false;
    Place(key);
    ++size_;
    return true;
}

void CxPairKeySet::Place(uint32_t key)
{
    uint32_t slot = Home(key);
    while (slots_[slot] != kEmpty) slot = Next(slot);
    slots_[slot] = key;
}

bool CxPairKeySet::Grow()
{
    uint32_t count = slotCount_ ? 2 * slotCount_ : kFirstSlotCount;
    uint32_t *slots = static_cast<uint32_t *>(PxMemoryAPI.create(count * sizeof(uint32_t)));
    if (!slots) return false;
    for (uint32_t k = 0; k < count; ++k) slots[k] = kEmpty;
    uint32_t *old = slots_;
    uint32_t oldCount = slotCount_;
    slots_ = slots;
    slotCount_ = count;
    shift_ = 32 - static_cast<uint32_t>(__builtin_ctz(count));
    for (uint32_t k = 0; k < oldCount; ++k)
        if (old[k] != kEmpty) Place(old[k]);
    PxMemoryAPI.destroy(old);
    return true;
}

void CxPairKeySet::Erase(uint32_t key)
{
    if (size_ == 0) return;
    for (uint32_t slot = Home(key); slots_[slot] != kEmpty; slot = Next(slot)) {
        if (slots_[slot] != key) continue;
        EraseAt(slot);
        return;
    }
}

// Empties slot and moves back every later key of the run whose home does
// not lie between the hole and its own slot (cyclically).
void CxPairKeySet::EraseAt(uint32_t slot)
{
    --size_;
    uint32_t hole = slot;
    for (uint32_t k = Next(hole); slots_[k] != kEmpty; k = Next(k)) {
        uint32_t home = Home(slots_[k]);
        bool reachable = hole <= k ? (hole < home && home <= k) : (hole < home || home <= k);
        if (reachable) continue;
        slots_[hole] = slots_[k];
        hole = k;
    }
    slots_[hole] = kEmpty;
}

void CxPairKeySet::EraseAllOf(int id)
{
    // Erasing shifts keys back into the slot just visited: look at it again.
    for (uint32_t slot = 0; slot < slotCount_ && size_ > 0;) {
        if (slots_[slot] != kEmpty && HasId(slots_[slot], id))
            EraseAt(slot);
        else
            ++slot;
    }
}

void CxPairKeySet::Term()
{
    PxMemoryAPI.destroy(slots_);
    slots_ = nullptr;
    slotCount_ = 0;
    shift_ = 32;
    size_ = 0;
}
