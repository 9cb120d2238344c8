// Growable array of fixed-size elements; capacity doubles when outgrown.
#include "kelmar/PxMemory.h"

#include <climits>
#include <cstdint>

namespace {

// Reallocates array->data to hold capacity elements; 0 (array unchanged)
// when the byte count overflows or memory is short.
int Reallocate(PxArray *array, int capacity)
{
    const size_t elementSize = static_cast<size_t>(array->elementSize);
    if (capacity <= 0 || static_cast<size_t>(capacity) > SIZE_MAX / elementSize) return 0;
    void *data = PxMemoryAPI.resize(array->data, static_cast<size_t>(capacity) * elementSize);
    if (data == nullptr) return 0;
    array->data = data;
    array->capacity = capacity;
    return 1;
}

} // namespace

int PxArrayInit(PxArray *array, int capacity, int elementSize)
{
    if (array == nullptr) return 0;
    array->data = nullptr;
    array->size = 0;
    array->capacity = 0;
    array->elementSize = elementSize;
    if (elementSize <= 0) return 0;
    return Reallocate(array, capacity < 1 ? 1 : capacity);
}

void *PxArrayGrow(PxArray *array, int n)
{
    if (array == nullptr || array->elementSize <= 0 || n < 0 || array->size > INT_MAX - n) return nullptr;
    const int newSize = array->size + n;
    if (newSize > array->capacity) {
        long long capacity = array->capacity > 0 ? array->capacity : 1;
        while (capacity < newSize) capacity *= 2;
        if (capacity > INT_MAX) capacity = newSize;
        if (!Reallocate(array, static_cast<int>(capacity))) return nullptr;
    }
    char *first = static_cast<char *>(array->data) +
                  static_cast<size_t>(array->size) * static_cast<size_t>(array->elementSize);
    array->size = newSize;
    return first;
}

int PxArrayEnsureSize(PxArray *array, int n)
{
    if (array == nullptr || array->elementSize <= 0 || n < 0) return 0;
    if (n > array->capacity && !Reallocate(array, n)) return 0;
    array->size = n;
    return 1;
}

int PxArrayGetSize(const PxArray *array)
{
    return array != nullptr ? array->size : 0;
}

int PxArrayGetCapacity(const PxArray *array)
{
    return array != nullptr ? array->capacity : 0;
}

void PxArrayClear(PxArray *array)
{
    if (array != nullptr) array->size = 0;
}

void PxArrayTerm(PxArray *array)
{
    if (array == nullptr) return;
    PxMemoryAPI.destroy(array->data);
    array->data = nullptr;
    array->size = 0;
    array->capacity = 0;
}
