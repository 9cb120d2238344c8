#include "solver/RbdLcsHash.h"

#include <string.h>

namespace lcs {

namespace {

// An odd multiplier (2^64 over the golden ratio): multiplying by it is a
// bijection of 64-bit words that carries each bit into all higher ones.
const uint64_t kOdd = 0x9e3779b97f4a7c15ull;

// The next key from the last and one 64-bit word of states. Each step is a
// bijection of the key for a given word (xor, the multiply, then the high
// half folded onto the low one), so states that differ in one word differ
// in all 64 bits of the key until it is cut to 32; the fold carries the
// high bits down, which the multiplies alone never would.
inline uint64_t mixWord(uint64_t key, uint64_t word)
{
    key = (key ^ word) * kOdd;
    return key ^ (key >> 32);
}

} // namespace

// The pivoting hashes its states once an iteration; two rows a step take
// a few instructions a row, where a byte-wise hash took some thirty (the
// closing hand: 2.1 k instructions an iteration for 78 rows).
uint32_t hashStates(const int32_t *state, int n)
{
    uint64_t key = static_cast<uint64_t>(n) * kOdd;
    int i = 0;
    for (; i + 1 < n; i += 2) {
        uint64_t word;
        memcpy(&word, state + i, sizeof(word));
        key = mixWord(key, word);
    }
    if (i < n) key = mixWord(key, static_cast<uint32_t>(state[i]));
    return static_cast<uint32_t>(key);
}

int hashTableSeenOrInsert(StateHashTable *table, uint32_t key)
{
    for (int i = 0; i < table->count; ++i)
        if (table->keys[i] == key) return 1;
    if (table->count < table->capacity) table->keys[table->count++] = key;
    return 0;
}

} // namespace lcs
