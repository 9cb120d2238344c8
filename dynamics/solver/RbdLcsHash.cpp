#include "solver/RbdLcsHash.h"

namespace lcs {

namespace {

// lookup2's reversible mix of three 32-bit words.
inline void mix(uint32_t &a, uint32_t &b, uint32_t &c)
{
    a -= b;
    a -= c;
    a ^= (c >> 13);
    b -= c;
    b -= a;
    b ^= (a << 8);
    c -= a;
    c -= b;
    c ^= (b >> 13);
    a -= b;
    a -= c;
    a ^= (c >> 12);
    b -= c;
    b -= a;
    b ^= (a << 16);
    c -= a;
    c -= b;
    c ^= (b >> 5);
    a -= b;
    a -= c;
    a ^= (c >> 3);
    b -= c;
    b -= a;
    b ^= (a << 10);
    c -= a;
    c -= b;
    c ^= (b >> 15);
}

// Little-endian word of 4 bytes, whatever the machine's byte order.
inline uint32_t word(const uint8_t *k)
{
    return k[0] + (static_cast<uint32_t>(k[1]) << 8) + (static_cast<uint32_t>(k[2]) << 16) +
           (static_cast<uint32_t>(k[3]) << 24);
}

} // namespace

uint32_t jenkinsHash(const void *key, size_t length, uint32_t initval)
{
    const uint8_t *k = static_cast<const uint8_t *>(key);
    uint32_t a = 0x9e3779b9u, b = 0x9e3779b9u, c = initval;
    size_t len = length;
    while (len >= 12) {
        a += word(k);
        b += word(k + 4);
        c += word(k + 8);
        mix(a, b, c);
        k += 12;
        len -= 12;
    }
    c += static_cast<uint32_t>(length);
    // The last 0 to 11 bytes; c's lowest byte is reserved for the length.
    switch (len) {
    case 11: c += static_cast<uint32_t>(k[10]) << 24; // fall through
    case 10: c += static_cast<uint32_t>(k[9]) << 16;  // fall through
    case 9: c += static_cast<uint32_t>(k[8]) << 8;    // fall through
    case 8: b += static_cast<uint32_t>(k[7]) << 24;   // fall through
    case 7: b += static_cast<uint32_t>(k[6]) << 16;   // fall through
    case 6: b += static_cast<uint32_t>(k[5]) << 8;    // fall through
    case 5: b += k[4];                                // fall through
    case 4: a += static_cast<uint32_t>(k[3]) << 24;   // fall through
    case 3: a += static_cast<uint32_t>(k[2]) << 16;   // fall through
    case 2: a += static_cast<uint32_t>(k[1]) << 8;    // fall through
    case 1: a += k[0];                                // fall through
    default: break;
    }
    mix(a, b, c);
    return c;
}

int hashTableSeenOrInsert(StateHashTable *table, uint32_t key)
{
    for (int i = 0; i < table->count; ++i)
        if (table->keys[i] == key) return 1;
    if (table->count < table->capacity) table->keys[table->count++] = key;
    return 0;
}

} // namespace lcs
