// Packed flag arrays of the sort-and-sweep space: one bit per model (the
// dynamic set) and one four-bit status per unordered model pair. Both live
// in caller-provided storage allocated once with the space.
#ifndef KELMAR_COLLISION_CXSMALLSORTBITS_H
#define KELMAR_COLLISION_CXSMALLSORTBITS_H

#include <kelmar/PxTypes.h>

// One bit per id, 32 ids per word.
class BitArray {
public:
    static size_t WordCount(int bits) { return (static_cast<size_t>(bits) + 31) / 32; }
    void Init(uint32_t *words, int bits)
    {
        words_ = words;
        bits_ = bits;
    }
    bool Get(int i) const { return (words_[i >> 5] >> (i & 31)) & 1u; }
    void Set(int i, bool on)
    {
        uint32_t mask = 1u << (i & 31);
        words_[i >> 5] = on ? (words_[i >> 5] | mask) : (words_[i >> 5] & ~mask);
    }
    int Size() const { return bits_; }
    uint32_t Word(size_t w) const { return words_[w]; }

private:
    uint32_t *words_ = nullptr;
    int bits_ = 0;
};

// Four bits per entry, two entries per byte, even index in the low nibble.
class NibbleArray {
public:
    static size_t ByteCount(uint64_t entries) { return static_cast<size_t>((entries + 1) / 2); }
    void Init(uint8_t *bytes) { bytes_ = bytes; }
    // The byte holding entry i (for prefetching).
    const uint8_t *Address(uint64_t i) const { return &bytes_[i >> 1]; }
    uint8_t Get(uint64_t i) const { return (bytes_[i >> 1] >> Shift(i)) & 0xFu; }
    void Set(uint64_t i, uint8_t value)
    {
        uint8_t &byte = bytes_[i >> 1];
        byte = static_cast<uint8_t>((byte & ~(0xFu << Shift(i))) | ((value & 0xFu) << Shift(i)));
    }

private:
    static unsigned Shift(uint64_t i) { return (i & 1u) ? 4u : 0u; }
    uint8_t *bytes_ = nullptr;
};

#endif
