// The packed dynamic set of the sort-and-sweep space: one bit per model, in
// caller-provided storage allocated once with the space.
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
    const uint32_t *Words() const { return words_; }

private:
    uint32_t *words_ = nullptr;
    int bits_ = 0;
};

#endif
