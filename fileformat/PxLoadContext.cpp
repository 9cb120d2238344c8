// The load context: placement of the file being read, the table of loaded
// objects by kind and full ID, and the reporting of load problems.
#include <math.h>
#include <stdint.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>

#include "PxFileInternal.h"

namespace {

const unsigned int kLoadHashSize = 97;

unsigned int hashEntry(const void *key, unsigned int size)
{
    const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(key);
    return (PxHashString(entry->id, size) + static_cast<unsigned int>(entry->kind)) % size;
}

int compareEntries(const void *a, const void *b)
{
    const PxLoadEntry *x = static_cast<const PxLoadEntry *>(a), *y = static_cast<const PxLoadEntry *>(b);
    if (x->kind != y->kind) return x->kind < y->kind ? -1 : 1;
    return strcmp(x->id, y->id);
}

// The object table: the key is the entry itself, compared by kind and
// object address.
unsigned int hashObject(const void *key, unsigned int size)
{
    const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(key);
    const uintptr_t address = reinterpret_cast<uintptr_t>(entry->object);
    return static_cast<unsigned int>((address >> 4) * 2654435761u + static_cast<unsigned int>(entry->kind)) % size;
}

int compareObjects(const void *a, const void *b)
{
    const PxLoadEntry *x = static_cast<const PxLoadEntry *>(a), *y = static_cast<const PxLoadEntry *>(b);
    if (x->kind != y->kind) return x->kind < y->kind ? -1 : 1;
    const uintptr_t p = reinterpret_cast<uintptr_t>(x->object), q = reinterpret_cast<uintptr_t>(y->object);
    return p < q ? -1 : (p > q ? 1 : 0);
}

// A table never rehashes by itself: it is given four times the buckets
// whenever its chains grow past two entries on average, so that a file of
// 100,000 bodies is read in time proportional to its size.
void keepChainsShort(PxHash *hash)
{
    if (static_cast<unsigned int>(PxHashPopulation(hash)) > 2 * hash->size) PxHashResize(hash, 4 * hash->size + 1);
}

void destroyEntry(void *datum)
{
    PxLoadEntry *entry = static_cast<PxLoadEntry *>(datum);
    PxMemoryAPI.destroy(entry->id);
    PxMemoryAPI.destroy(entry->string1);
    PxMemoryAPI.destroy(entry->string2);
    PxMemoryAPI.destroy(entry->storage);
    PxMemoryAPI.destroy(entry);
}

char *copyText(const char *text)
{
    if (!text) return nullptr;
    const size_t n = strlen(text) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (copy) memcpy(copy, text, n);
    return copy;
}

void identity(PxMatrix4 m)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

// Reports through the context's handler as if the reader stood at position.
void reportAt(PxLoadContext *context, PxfPosition position, int severity, const char *message)
{
    PxXMLInput *input = context->input;
    if (!input) return;
    const int line = input->line, column = input->column;
    input->line = position.line;
    input->column = position.column;
    PxXMLErrorHandler handler = context->errorHandler ? context->errorHandler : PxXMLDefaultErrorHandler;
    // The line and column are those of an imported file while one is read:
    // its name goes first.
    if (context->fileDepth > 1 && context->fileName)
        handler(input, severity, PX_XML_BAD_VALUE, "in '%s': %s", context->fileName, message);
    else
        handler(input, severity, PX_XML_BAD_VALUE, "%s", message);
    input->line = line;
    input->column = column;
}

const char *lookupString(PxLoadContext *context, const void *object, int kind)
{
    const PxLoadEntry *entry = PxfEntryOfObject(context, object, kind);
    return entry ? entry->id : nullptr;
}

void *lookupObject(PxLoadContext *context, const char *fullId, int kind)
{
    PxLoadEntry *entry = PxLoadContextLookupEntry(context, fullId, kind);
    return entry ? entry->object : nullptr;
}

} // namespace

PxLoadContext *PxfContextOf(PxXMLElement *element)
{
    return static_cast<PxLoadContext *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
}

PxfPosition PxfPositionOf(const PxXMLElement *element)
{
    PxfPosition position = {element->input->line, element->input->column};
    return position;
}

void PxfLoadProblem(PxLoadContext *context, PxfPosition position, const char *format, ...)
{
    char message[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ++context->errors;
    reportAt(context, position, PX_XML_ERROR, message);
}

void PxfLoadNotice(PxLoadContext *context, PxfPosition position, const char *format, ...)
{
    char message[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ++context->warnings;
    reportAt(context, position, PX_XML_WARNING, message);
}

const PxXMLHandler *PxfBadEntry(PxXMLHandler *table)
{
    for (PxXMLHandler *h = table; h->type != PX_XML_END_OF_TABLE; ++h) {
        if (h->error != PXF_REFUSED) continue;
        h->wasCalled = 0;
        h->error = PX_XML_OK;
    }
    for (const PxXMLHandler *h = table; h->type != PX_XML_END_OF_TABLE; ++h)
        if (h->wasCalled && h->error != PX_XML_OK) return h;
    return nullptr;
}

PxReal PxfRealFromFile(PxReal value)
{
    // "%.7g" of the largest double, read back.
    const PxReal writtenMax = 1.797693e308;
    if (value >= writtenMax) return RBD_REAL_MAX;
    if (value <= -writtenMax) return -RBD_REAL_MAX;
    return value;
}

void PxfRealsFromFile(PxReal *values, int count)
{
    for (int i = 0; i < count; ++i) values[i] = PxfRealFromFile(values[i]);
}

int PxfParseReals(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const int code = entry->count == 1 ? PxXMLParsePxReal(input, entry, userData)
                                       : PxXMLParsePxRealArrayExact(input, entry, userData);
    PxReal *values = reinterpret_cast<PxReal *>(static_cast<char *>(userData) + entry->offset);
    for (int i = 0; i < entry->count; ++i) {
        if (isnan(values[i])) {
            PxXMLErrorHandler handler = input->errorHandler ? input->errorHandler : PxXMLDefaultErrorHandler;
            handler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "PxReal value is not a number\n");
            return PX_XML_BAD_VALUE;
        }
        values[i] = PxfRealFromFile(values[i]);
    }
    return code;
}

long PxfWarningMark(void)
{
    return PxMessageGetCount(PX_CHANNEL_WARNING);
}

void PxfNoteLibraryWarnings(PxLoadContext *context, PxfPosition position, const char *kind, const char *id, long mark)
{
    const long count = PxMessageGetCount(PX_CHANNEL_WARNING) - mark;
    if (count > 0)
        PXF_NOTICE(context, position,
                   "%s '%s': the toolkit refused or adjusted %ld of its values (its warnings say "
                   "which).\n",
                   kind, id, count);
}

int PxfAttribute(const PxXMLElement *element, const char *name, char *out, int size)
{
    const char *text = element->attributes;
    const size_t n = strlen(name);
    for (const char *p = text ? strstr(text, name) : nullptr; p; p = strstr(p + 1, name)) {
        const bool starts = p == text || p[-1] == ' ' || p[-1] == '\t' || p[-1] == '\n';
        if (!starts || p[n] != '=' || (p[n + 1] != '"' && p[n + 1] != '\'')) continue;
        const char quote = p[n + 1];
        const char *value = p + n + 2, *end = strchr(value, quote);
        if (!end || end - value >= size) return 0;
        memcpy(out, value, static_cast<size_t>(end - value));
        out[end - value] = '\0';
        return 1;
    }
    return 0;
}

int PxfFullID(PxLoadContext *context, PxfPosition position, const char *id, char *out)
{
    if (PxLoadContextMakeFullID(context, id, out, PXF_FULL_ID_SIZE)) return 1;
    PXF_PROBLEM(context, position, "The full ID of '%s' is longer than %d characters. Object not created.\n", id,
                PX_FILE_FULL_ID_LENGTH);
    return 0;
}

void PxfContextRotation(const PxLoadContext *context, PxMatrix3 out)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = context->transform[i][j];
}

PxReal PxfScale(const PxLoadContext *context)
{
    return context->scale;
}

PxLoadEntry *PxfEntryOfObject(PxLoadContext *context, const void *object, int kind)
{
    if (!context || !object) return nullptr;
    PxLoadEntry key;
    memset(&key, 0, sizeof key);
    key.kind = kind;
    key.object = const_cast<void *>(object);
    return static_cast<PxLoadEntry *>(PxHashLookup(&key, context->byObject));
}

void PxfSetEntryObject(PxLoadContext *context, PxLoadEntry *entry, void *object)
{
    if (entry->object && PxHashLookup(entry, context->byObject) == entry) PxHashDelete(entry, context->byObject);
    entry->object = object;
    if (object && PxHashInsert(entry, entry, context->byObject)) keepChainsShort(context->byObject);
}

void PxfDeleteEntry(PxLoadContext *context, PxLoadEntry *entry)
{
    PxfSetEntryObject(context, entry, nullptr);
    PxHashDelete(entry, context->hash);
}

int PxfAddPendingModel(PxLoadContext *context, const PxfPendingModel &model)
{
    if (context->pendingCount == context->pendingCapacity) {
        const int capacity = context->pendingCapacity ? 2 * context->pendingCapacity : 16;
        void *grown = PxMemoryAPI.resize(context->pending, sizeof(PxfPendingModel) * static_cast<size_t>(capacity));
        if (!grown) return 0;
        context->pending = static_cast<PxfPendingModel *>(grown);
        context->pendingCapacity = capacity;
    }
    context->pending[context->pendingCount++] = model;
    return 1;
}

extern "C" {

PxLoadContext *PxLoadContextCreate(void)
{
    PxLoadContext *context = static_cast<PxLoadContext *>(PxMemoryAPI.createZeroed(sizeof(PxLoadContext)));
    if (!context) return nullptr;
    context->hash = PxHashCreate(kLoadHashSize);
    context->byObject = PxHashCreate(kLoadHashSize);
    if (!context->hash || !context->byObject) {
        PxHashDestroy(context->hash);
        PxHashDestroy(context->byObject);
        PxMemoryAPI.destroy(context);
        return nullptr;
    }
    PxHashSetHashFunc(context->byObject, hashObject);
    PxHashSetKeyCompareFunc(context->byObject, compareObjects);
    PxHashSetHashFunc(context->hash, hashEntry);
    PxHashSetKeyCompareFunc(context->hash, compareEntries);
    PxHashSetDatumFreeFunc(context->hash, destroyEntry);
    identity(context->transform);
    context->scale = 1.0;
    context->errorHandler = PxXMLDefaultErrorHandler;
    context->errorData = stderr;
    return context;
}

void PxLoadContextDestroy(PxLoadContext *context)
{
    if (!context) return;
    PxHashDestroy(context->byObject);
    PxHashDestroy(context->hash);
    for (int i = 0; i < context->fileDepth; ++i) PxMemoryAPI.destroy(context->fileStack[i]);
    PxMemoryAPI.destroy(context->workingDirectory);
    PxMemoryAPI.destroy(context->pending);
    PxMemoryAPI.destroy(context->pairs);
    PxMemoryAPI.destroy(context);
}

int PxLoadContextSetTransform(PxLoadContext *context, const PxMatrix4 tm)
{
    if (!context || !tm || !PxMatrix4IsTM(tm, PXF_TM_TOLERANCE)) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid transformation.\n");
        return 0;
    }
    memcpy(context->transform, tm, sizeof(PxMatrix4));
    return 1;
}

void PxLoadContextGetTransform(const PxLoadContext *context, PxMatrix4 out)
{
    if (context) memcpy(out, context->transform, sizeof(PxMatrix4));
}

int PxLoadContextSetScaleFactor(PxLoadContext *context, PxReal scale)
{
    if (!context || !(scale > 0.0) || !isfinite(scale)) {
        PxWarning(PXF_MISUSE_LEVEL, "PxLoadContextSetScaleFactor: the scale factor %g must be > 0.\n", scale);
        return 0;
    }
    context->scale = scale;
    return 1;
}

PxReal PxLoadContextGetScaleFactor(const PxLoadContext *context)
{
    return context ? context->scale : 0.0;
}

void PxLoadContextSetWorkingDirectory(PxLoadContext *context, const char *directory)
{
    if (!context) return;
    PxMemoryAPI.destroy(context->workingDirectory);
    context->workingDirectory = copyText(directory);
}

const char *PxLoadContextGetWorkingDirectory(const PxLoadContext *context)
{
    return context ? context->workingDirectory : nullptr;
}

void PxLoadContextSetOptions(PxLoadContext *context, unsigned int options)
{
    if (context) context->options = options;
}

unsigned int PxLoadContextGetOptions(const PxLoadContext *context)
{
    return context ? context->options : 0;
}

void PxLoadContextSetUserdataHandler(PxLoadContext *context, PxLoadUserHandler handler, void *data)
{
    if (!context) return;
    context->userHandler = handler;
    context->userData = data;
}

void *PxLoadContextGetUserdata(const PxLoadContext *context)
{
    return context ? context->userData : nullptr;
}

void PxLoadContextSetRenderHandler(PxLoadContext *context, PxLoadUserHandler handler, void *data)
{
    if (!context) return;
    context->renderHandler = handler;
    context->renderData = data;
}

void PxLoadContextSetCoreDoneCallback(PxLoadContext *context, PxLoadDoneCallback fn, void *data)
{
    if (!context) return;
    context->coreDone = fn;
    context->coreDoneData = data;
}

void PxLoadContextSetAppsDoneCallback(PxLoadContext *context, PxLoadDoneCallback fn, void *data)
{
    if (!context) return;
    context->appsDone = fn;
    context->appsDoneData = data;
}

void PxLoadContextSetGraphicMaker(PxLoadContext *context, PxLoadGraphicMaker fn, void *data)
{
    if (!context) return;
    context->graphicMaker = fn;
    context->graphicData = data;
}

void PxLoadContextSetFileOpener(PxLoadContext *context, PxLoadFileOpener fn, void *data)
{
    if (!context) return;
    context->opener = fn;
    context->openerData = data;
}

void PxLoadContextSetErrorHandler(PxLoadContext *context, PxXMLErrorHandler handler, void *data)
{
    if (!context) return;
    context->errorHandler = handler ? handler : PxXMLDefaultErrorHandler;
    context->errorData = handler ? data : stderr;
}

int PxLoadContextGetErrorCount(const PxLoadContext *context)
{
    return context ? context->errors : 0;
}

int PxLoadContextGetWarningCount(const PxLoadContext *context)
{
    return context ? context->warnings : 0;
}

void PxLoadContextSetSectionHandler(PxLoadContext *context, int section, PxLoadSectionHandler handler)
{
    if (!context || section < 0 || section >= PXF_SECTION_COUNT) return;
    context->sections[section] = handler;
}

PxHash *PxLoadContextGetHash(PxLoadContext *context)
{
    return context ? context->hash : nullptr;
}

void PxLoadContextHashDisplay(PxLoadContext *context)
{
    if (!context) return;
    PxHashIterator it;
    PxHashInitIterator(&it, context->hash);
    while (const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(PxHashGetDatum(&it)))
        PxInfo(PXF_LOAD_LEVEL, "kind %d '%s'\n", entry->kind, entry->id);
}

int PxLoadContextMakeFullID(const PxLoadContext *context, const char *id, char *out, int size)
{
    if (!context || !id || !out || size <= 0) return 0;
    const int n = snprintf(out, static_cast<size_t>(size), "%s%s", context->prefix, id);
    return n >= 0 && n < size;
}

PxLoadEntry *PxLoadHashInsert(PxLoadContext *context, const char *fullId, void *object, int kind)
{
    if (!context || !fullId) return nullptr;
    if (PxLoadContextLookupEntry(context, fullId, kind)) return nullptr;
    PxLoadEntry *entry = static_cast<PxLoadEntry *>(PxMemoryAPI.createZeroed(sizeof(PxLoadEntry)));
    if (!entry) return nullptr;
    entry->kind = kind;
    entry->id = copyText(fullId);
    if (!entry->id || PxHashInsert(entry, entry, context->hash) != entry) {
        destroyEntry(entry);
        PxFatalError(PXF_LOAD_LEVEL, "Memory allocation failed!.\n");
        return nullptr;
    }
    keepChainsShort(context->hash);
    PxfSetEntryObject(context, entry, object);
    return entry;
}

PxLoadEntry *PxLoadContextLookupEntry(PxLoadContext *context, const char *fullId, int kind)
{
    if (!context || !fullId) return nullptr;
    PxLoadEntry key;
    memset(&key, 0, sizeof key);
    key.kind = kind;
    key.id = const_cast<char *>(fullId);
    return static_cast<PxLoadEntry *>(PxHashLookup(&key, context->hash));
}

RbdBodyID RbdBodyLookup(PxLoadContext *context, const char *fullId)
{
    return static_cast<RbdBodyID>(lookupObject(context, fullId, PX_KIND_BODY));
}

RbdConstraintID RbdConstraintLookup(PxLoadContext *context, const char *fullId)
{
    return static_cast<RbdConstraintID>(lookupObject(context, fullId, PX_KIND_CONSTRAINT));
}

CdxModelID CdxModelLookup(PxLoadContext *context, const char *fullId)
{
    return static_cast<CdxModelID>(lookupObject(context, fullId, PX_KIND_MODEL));
}

CdxGeometryID CdxGeometryLookup(PxLoadContext *context, const char *fullId)
{
    return static_cast<CdxGeometryID>(lookupObject(context, fullId, PX_KIND_GEOMETRY));
}

const char *RbdBodyLookupStringID(PxLoadContext *context, RbdBodyID body)
{
    return lookupString(context, body, PX_KIND_BODY);
}

const char *RbdConstraintLookupStringID(PxLoadContext *context, RbdConstraintID constraint)
{
    return lookupString(context, constraint, PX_KIND_CONSTRAINT);
}

const char *CdxModelLookupStringID(PxLoadContext *context, CdxModelID model)
{
    return lookupString(context, model, PX_KIND_MODEL);
}

const char *CdxGeometryLookupStringID(PxLoadContext *context, CdxGeometryID geometry)
{
    return lookupString(context, geometry, PX_KIND_GEOMETRY);
}

} // extern "C"
