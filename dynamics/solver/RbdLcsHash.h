// State hashing for the LCP solver's cycle detection.
#ifndef KELMAR_DYNAMICS_RBDLCSHASH_H
#define KELMAR_DYNAMICS_RBDLCSHASH_H

#include <stddef.h>
#include <stdint.h>

namespace lcs {

// A 32-bit key of the n rows' states: two different states share one
// about once in 2^32, whichever rows they differ in.
uint32_t hashStates(const int32_t *state, int n);

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
