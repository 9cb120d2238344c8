// Counts the toolkit's heap calls while alive, through its allocation
// table: allocations (create, zeroed, aligned, resize) and releases apart.
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
        PxMemoryAPI.create = [](size_t size) { return ++tally(0), original().create(size); };
        PxMemoryAPI.createZeroed = [](size_t size) { return ++tally(0), original().createZeroed(size); };
        PxMemoryAPI.createAligned = [](size_t size, int alignment) {
            return ++tally(0), original().createAligned(size, alignment);
        };
        PxMemoryAPI.resize = [](void *pointer, size_t size) { return ++tally(0), original().resize(pointer, size); };
        PxMemoryAPI.destroy = [](void *pointer) { ++tally(1), original().destroy(pointer); };
        PxMemoryAPI.destroyAligned = [](void *pointer) { ++tally(1), original().destroyAligned(pointer); };
    }
    ~AllocationCounter() { PxMemoryAPI = saved_; }
    AllocationCounter(const AllocationCounter &) = delete;
    AllocationCounter &operator=(const AllocationCounter &) = delete;
    int allocations() const { return tally(0); }
    int releases() const { return tally(1); }

private:
    // 0: allocations, 1: releases.
    static int &tally(int which)
    {
        static int n[2] = {0, 0};
        return n[which];
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
