// State hashing for the LCP solver's cycle detection.
#ifndef KELMAR_DYNAMICS_RBDLCSHASH_H
#define KELMAR_DYNAMICS_RBDLCSHASH_H

#include <stddef.h>
#include <stdint.h>

namespace lcs {

// Bob Jenkins' 1996 lookup2 hash of length bytes: golden-ratio start
// 0x9e3779b9, 12-byte blocks, the length folded into the last block.
uint32_t jenkinsHash(const void *key, size_t length, uint32_t initval);

// The keys seen since the table was last emptied; taken from the workspace.
struct StateHashTable {
    uint32_t *keys;
    int count;
    int capacity;
};

// Returns 1 when key is already present. Otherwise inserts it (while there is
// room) and returns 0.
int hashTableSeenOrInsert(StateHashTable *table, uint32_t key);

} // namespace lcs

#endif
