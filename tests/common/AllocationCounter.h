// Counts the toolkit's heap calls while alive, through its allocation
// table: allocations (create, zeroed, aligned, resize), the bytes they ask
// for, and releases apart.
// The table is restored when the counter goes.
#ifndef KELMAR_TESTS_COMMON_ALLOCATIONCOUNTER_H
#define KELMAR_TESTS_COMMON_ALLOCATIONCOUNTER_H

#include <kelmar/PxMemory.h>

namespace testsupport {

class AllocationCounter {
public:
    AllocationCounter() : saved_(PxMemoryAPI)
    {
        original() = saved_;
        tally(0) = tally(1) = 0;
        asked() = 0;
        PxMemoryAPI.create = [](size_t size) { return ++tally(0), asked() += size, original().create(size); };
        PxMemoryAPI.createZeroed = [](size_t size) {
            return ++tally(0), asked() += size, original().createZeroed(size);
        };
        PxMemoryAPI.createAligned = [](size_t size, int alignment) {
            return ++tally(0), asked() += size, original().createAligned(size, alignment);
        };
        PxMemoryAPI.resize = [](void *pointer, size_t size) {
            return ++tally(0), asked() += size, original().resize(pointer, size);
        };
        PxMemoryAPI.destroy = [](void *pointer) { ++tally(1), original().destroy(pointer); };
        PxMemoryAPI.destroyAligned = [](void *pointer) { ++tally(1), original().destroyAligned(pointer); };
    }
    ~AllocationCounter() { PxMemoryAPI = saved_; }
    AllocationCounter(const AllocationCounter &) = delete;
    AllocationCounter &operator=(const AllocationCounter &) = delete;
    int allocations() const { return tally(0); }
    int releases() const { return tally(1); }
    size_t bytes() const { return asked(); }

private:
    // 0: allocations, 1: releases.
    static int &tally(int which)
    {
        static int n[2] = {0, 0};
        return n[which];
    }
    static size_t &asked()
    {
        static size_t n = 0;
        return n;
    }
    static PxMemoryAPIType &original()
    {
        static PxMemoryAPIType api;
        return api;
    }
    PxMemoryAPIType saved_;
};

} // namespace testsupport

#endif
