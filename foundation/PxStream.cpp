// Named wrappers around standard-library file handles.
#include "kelmar/PxStream.h"

#include <cstdio>
#include <cstring>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"

namespace {

// Longest path tried when a name is combined with a search-list prefix.
constexpr size_t kMaxPath = 4096;

char *CopyString(const char *text)
{
    const size_t length = std::strlen(text);
    char *copy = static_cast<char *>(PxMemoryAPI.create(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

// Wraps file under name; on allocation failure the file is closed when
// closeOnFailure is set, and null is returned.
PxStream *Wrap(FILE *file, const char *name, bool closeOnFailure)
{
    PxStream *stream = static_cast<PxStream *>(PxMemoryAPI.create(sizeof(PxStream)));
    char *copy = stream != nullptr ? CopyString(name) : nullptr;
    if (copy == nullptr) {
        PxMemoryAPI.destroy(stream);
        if (closeOnFailure) std::fclose(file);
        return nullptr;
    }
    stream->name = copy;
    stream->file = file;
    return stream;
}

FILE *OpenFile(const char *path, int mode)
{
    const char *modeString = PxStreamModeText(mode);
    if (modeString == nullptr) {
        PxWarning(3, "PxStreamOpen(%s): Invalid mode %d.\n", path, mode);
        return nullptr;
    }
    return std::fopen(path, modeString);
}

void FreeStream(PxStream *stream)
{
    PxMemoryAPI.destroy(stream->name);
    PxMemoryAPI.destroy(stream);
}

} // namespace

const char *PxStreamModeText(int mode)
{
    switch (mode) {
    case PX_MODE_READ: return "r";
    case PX_MODE_WRITE: return "w";
    case PX_MODE_WRITE_BINARY: return "wb";
    case PX_MODE_APPEND: return "a+";
    case PX_MODE_READ_BINARY: return "rb";
    default: return nullptr;
    }
}

PxStream *PxStreamOpen(const char *name, int mode)
{
    if (name == nullptr) return nullptr;
    FILE *file = OpenFile(name, mode);
    return file != nullptr ? Wrap(file, name, true) : nullptr;
}

// Tries name as given, then every search-list prefix + name in list order;
// the stream keeps the name as given.
PxStream *PxStreamOpenWithSearch(const char *name, int mode)
{
    if (name == nullptr) return nullptr;
    if (PxStreamModeText(mode) == nullptr) return PxStreamOpen(name, mode);
    FILE *file = OpenFile(name, mode);
    char path[kMaxPath];
    for (int i = 0; file == nullptr && PxGetDefaultFileLocation(i) != nullptr; ++i) {
        const int length = std::snprintf(path, sizeof path, "%s%s", PxGetDefaultFileLocation(i), name);
        if (length >= 0 && static_cast<size_t>(length) < sizeof path) file = OpenFile(path, mode);
    }
    return file != nullptr ? Wrap(file, name, true) : nullptr;
}

PxStream *PxStreamCreate(FILE *file)
{
    if (file == nullptr) return nullptr;
    return Wrap(file, "file pointer", false);
}

// fmemopen only reads the bytes in mode "r", so the cast is safe.
PxStream *PxStreamOpenMemory(const char *name, const void *bytes, size_t size)
{
    if (name == nullptr || (bytes == nullptr && size > 0)) return nullptr;
    static char empty = '\0';
    FILE *file = fmemopen(size > 0 ? const_cast<void *>(bytes) : &empty, size, "r");
    return file != nullptr ? Wrap(file, name, true) : nullptr;
}

void PxStreamDestroy(PxStream *stream)
{
    if (stream != nullptr) FreeStream(stream);
}

void PxStreamClose(PxStream *stream)
{
    if (stream == nullptr) return;
    if (stream->file != nullptr) std::fclose(stream->file);
    FreeStream(stream);
}

size_t PxStreamRead(void *buffer, size_t size, size_t count, PxStream *stream)
{
    if (stream == nullptr || stream->file == nullptr || buffer == nullptr) return 0;
    return std::fread(buffer, size, count, stream->file);
}

size_t PxStreamWrite(const void *buffer, size_t size, size_t count, PxStream *stream)
{
    if (stream == nullptr || stream->file == nullptr || buffer == nullptr) return 0;
    return std::fwrite(buffer, size, count, stream->file);
}

char *PxStreamReadLine(char *buffer, int n, PxStream *stream)
{
    if (stream == nullptr || stream->file == nullptr || buffer == nullptr || n <= 0) return nullptr;
    return std::fgets(buffer, n, stream->file);
}
