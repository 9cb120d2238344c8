// The key under which a cache keeps what it formed for an island's layout:
// a few counts, then the layout's arrays, stored end to end. An island
// whose key equals the stored one has the same layout to the last index.
#ifndef KELMAR_DYNAMICS_RBDLCSLAYOUTKEY_H
#define KELMAR_DYNAMICS_RBDLCSLAYOUTKEY_H

#include <stdint.h>
#include <string.h>

#include <initializer_list>
#include <vector>

namespace lcs {

struct LayoutKeyPart {
    const int32_t *data;
    size_t count;
};

inline size_t layoutKeySize(std::initializer_list<LayoutKeyPart> parts)
{
    size_t size = 0;
    for (const LayoutKeyPart &p : parts) size += p.count;
    return size;
}

inline bool layoutKeyMatches(const std::vector<int32_t> &key, std::initializer_list<LayoutKeyPart> parts)
{
    if (key.size() != layoutKeySize(parts)) return false;
    const int32_t *k = key.data();
    for (const LayoutKeyPart &p : parts) {
        if (p.count && memcmp(k, p.data, sizeof(int32_t) * p.count) != 0) return false;
        k += p.count;
    }
    return true;
}

inline void storeLayoutKey(std::vector<int32_t> &key, std::initializer_list<LayoutKeyPart> parts)
{
    key.resize(layoutKeySize(parts));
    int32_t *k = key.data();
    for (const LayoutKeyPart &p : parts) {
        if (p.count) memcpy(k, p.data, sizeof(int32_t) * p.count);
        k += p.count;
    }
}

} // namespace lcs

#endif
