// The save context: the writers of the sections and the table of objects
// to save with the names chosen for them.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>

#include "PxFileInternal.h"

namespace {

// Objects are few; 97 buckets keep the chains short.
const unsigned int kSaveHashSize = 97;

unsigned int hashAddress(const void *key, unsigned int size)
{
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(key) % size);
}

int compareAddresses(const void *a, const void *b)
{
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

void destroyEntry(void *datum)
{
    PxSaveEntry *entry = static_cast<PxSaveEntry *>(datum);
    PxMemoryAPI.destroy(entry->id);
    PxMemoryAPI.destroy(entry);
}

char *copyText(const char *text)
{
    const size_t n = strlen(text) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (copy) memcpy(copy, text, n);
    return copy;
}

PxSaveEntry *newEntry(void *object, const char *id, int kind)
{
    PxSaveEntry *entry = static_cast<PxSaveEntry *>(PxMemoryAPI.create(sizeof(PxSaveEntry)));
    if (!entry) return nullptr;
    entry->object = object;
    entry->kind = kind;
    entry->id = copyText(id);
    if (!entry->id) {
        PxMemoryAPI.destroy(entry);
        return nullptr;
    }
    return entry;
}

int compareEntryIds(const void *a, const void *b)
{
    const PxSaveEntry *x = *static_cast<PxSaveEntry *const *>(a);
    const PxSaveEntry *y = *static_cast<PxSaveEntry *const *>(b);
    return strcmp(x->id, y->id);
}

} // namespace

PxSaveEntry **PxfSaveEntriesOfKind(PxSaveContext *context, int kind, int *count)
{
    *count = 0;
    const int population = PxHashPopulation(context->hash);
    if (population == 0) return nullptr;
    PxSaveEntry **entries = static_cast<PxSaveEntry **>(
        PxMemoryAPI.create(sizeof(PxSaveEntry *) * static_cast<size_t>(population)));
    if (!entries) return nullptr;
    PxHashIterator it;
    PxHashInitIterator(&it, context->hash);
    while (PxSaveEntry *entry = static_cast<PxSaveEntry *>(PxHashGetDatum(&it)))
        if (entry->kind == kind) entries[(*count)++] = entry;
    qsort(entries, static_cast<size_t>(*count), sizeof *entries, compareEntryIds);
    return entries;
}

const char *PxfSaveName(PxSaveContext *context, const void *object)
{
    const PxSaveEntry *entry = PxSaveContextLookup(context, object);
    return entry ? entry->id : "UNKNOWN";
}

extern "C" {

PxSaveContext *PxSaveContextCreate(void)
{
    PxSaveContext *context = static_cast<PxSaveContext *>(PxMemoryAPI.createZeroed(sizeof(PxSaveContext)));
    if (!context) return nullptr;
    context->hash = PxHashCreate(kSaveHashSize);
    if (!context->hash) {
        PxMemoryAPI.destroy(context);
        return nullptr;
    }
    PxHashSetHashFunc(context->hash, hashAddress);
    PxHashSetKeyCompareFunc(context->hash, compareAddresses);
    PxHashSetDatumFreeFunc(context->hash, destroyEntry);
    return context;
}

void PxSaveContextDestroy(PxSaveContext *context)
{
    if (!context) return;
    PxHashDestroy(context->hash);
    PxMemoryAPI.destroy(context);
}

void PxSaveContextSetOptions(PxSaveContext *context, unsigned int options)
{
    if (context) context->options = options;
}

unsigned int PxSaveContextGetOptions(const PxSaveContext *context)
{
    return context ? context->options : 0;
}

void PxSaveContextSetUserdataHandler(PxSaveContext *context, PxSaveUserWriter writer, void *data)
{
    if (!context) return;
    context->userWriter = writer;
    context->userData = data;
}

void PxSaveContextSetWriter(PxSaveContext *context, int section, PxSaveWriter writer)
{
    if (!context || section < PX_SAVE_RBD || section > PX_SAVE_SBX) {
        PxWarning(PXF_MISUSE_LEVEL, "PxSaveContextSetWriter: no context or unknown section %d.\n", section);
        return;
    }
    context->writers[section] = writer;
}

int PxSaveContextAddGeometryWriter(PxSaveContext *context, PxSaveGeometryWriter writer)
{
    if (!context || !writer) return 0;
    const int capacity = static_cast<int>(sizeof context->geometryWriters / sizeof context->geometryWriters[0]);
    if (context->geometryWriterCount == capacity) return 0;
    context->geometryWriters[context->geometryWriterCount++] = writer;
    return 1;
}

PxHash *PxSaveContextGetHash(PxSaveContext *context)
{
    return context ? context->hash : nullptr;
}

const char *PxSaveHashInsert(PxSaveContext *context, void *object, const char *id, int kind)
{
    if (!context || !object || !id || !id[0] || strlen(id) > PX_FILE_FULL_ID_LENGTH) {
        PxWarning(PXF_MISUSE_LEVEL, "PxSaveHashInsert: needs a context, an object and an ID of 1 to %d characters.\n",
                  PX_FILE_FULL_ID_LENGTH);
        return nullptr;
    }
    // The first name of an object stays.
    const PxSaveEntry *existing = PxSaveContextLookup(context, object);
    if (existing) return existing->id;
    PxSaveEntry *entry = newEntry(object, id, kind);
    if (!entry || PxHashInsert(object, entry, context->hash) != entry) {
        if (entry) destroyEntry(entry);
        PxFatalError(PXF_LOAD_LEVEL, "Memory allocation failed!.\n");
        return nullptr;
    }
    return entry->id;
}

const PxSaveEntry *PxSaveContextLookup(PxSaveContext *context, const void *object)
{
    if (!context || !object) return nullptr;
    return static_cast<const PxSaveEntry *>(PxHashLookup(object, context->hash));
}

} // extern "C"
