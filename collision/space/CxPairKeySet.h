// A set of unordered model pairs, as 32-bit pair keys, in one open-address
// table (linear probing). It holds the pairs an application disabled: few
// in practice, so the table starts empty and doubles when half full. It
// grows only when a pair is added, never while the space is updated.
#ifndef KELMAR_COLLISION_CXPAIRKEYSET_H
#define KELMAR_COLLISION_CXPAIRKEYSET_H

#include <kelmar/PxTypes.h>

class CxPairKeySet {
public:
    bool Contains(uint32_t key) const;
    // False when memory is short (the set is unchanged).
    bool Insert(uint32_t key);
    void Erase(uint32_t key);
    // Erases every key whose lower or higher 16-bit half is id.
    void EraseAllOf(int id);
    int Size() const { return size_; }
    size_t Bytes() const { return static_cast<size_t>(slotCount_) * sizeof(uint32_t); }
    void Term();

private:
    // No valid key has equal halves.
    static const uint32_t kEmpty = 0xFFFFFFFFu;

    uint32_t Home(uint32_t key) const { return (key * 0x9E3779B1u) >> shift_; }
    uint32_t Next(uint32_t slot) const { return (slot + 1) & (slotCount_ - 1); }
    bool Grow();
    void Place(uint32_t key);
    void EraseAt(uint32_t slot);

    uint32_t *slots_ = nullptr;
    uint32_t slotCount_ = 0; // a power of two, or 0
    uint32_t shift_ = 32;    // 32 - log2(slotCount_)
    int size_ = 0;
};

#endif
