// The file search list: the built-in relative resource folders followed by
// the directories added at run time. The list only ever grows.
#include "kelmar/PxStream.h"

#include <cstdio>
#include <cstring>

#include "kelmar/PxMemory.h"

namespace {

constexpr int kBuiltinCount = 20;

const char *const kBuiltinEntries[kBuiltinCount + 1] = {
    "Resources/",
    "../Resources/",
    "../../Resources/",
    "../../../Resources/",
    "../../../../Resources/",
    "../bin/Resources/",
    "../../bin/Resources/",
    "../../../bin/Resources/",
    "../../../../bin/Resources/",
    "../../../../demos/Resources/",
    "Resources/px_files/",
    "../Resources/px_files/",
    "../../Resources/px_files/",
    "../../../Resources/px_files/",
    "../../../../Resources/px_files/",
    "../bin/Resources/px_files/",
    "../../bin/Resources/px_files/",
    "../../../bin/Resources/px_files/",
    "../../../../bin/Resources/px_files/",
    "../../../../demos/Resources/px_files/",
    nullptr,
};

// The current list, null-terminated. It starts as the built-in table and is
// replaced by an allocated copy on the first addition; the built-in table
// itself is never freed.
const char *const *gSearchList = kBuiltinEntries;
int gSearchCount = kBuiltinCount;

// Appends an owned entry; the entry is freed when the list cannot grow.
void AppendEntry(char *entry)
{
    const size_t slots = static_cast<size_t>(gSearchCount) + 2; // new entry + terminator
    const char **list = static_cast<const char **>(PxMemoryAPI.create(slots * sizeof(char *)));
    if (list == nullptr) {
        PxMemoryAPI.destroy(entry);
        return;
    }
    std::memcpy(list, gSearchList, static_cast<size_t>(gSearchCount) * sizeof(char *));
    list[gSearchCount] = entry;
    list[gSearchCount + 1] = nullptr;
    if (gSearchList != kBuiltinEntries) PxMemoryAPI.destroy(const_cast<const char **>(gSearchList));
    gSearchList = list;
    ++gSearchCount;
}

bool EndsWithSeparator(const char *text, size_t length)
{
    return length > 0 && (text[length - 1] == '/' || text[length - 1] == '\\');
}

// base, a '/' when base does not already end in a separator, then tail.
char *JoinDirectory(const char *base, const char *tail)
{
    const size_t baseLength = std::strlen(base);
    const size_t tailLength = std::strlen(tail);
    const bool needSeparator = !EndsWithSeparator(base, baseLength);
    char *entry = static_cast<char *>(PxMemoryAPI.create(baseLength + tailLength + 2));
    if (entry == nullptr) return nullptr;
    std::memcpy(entry, base, baseLength);
    size_t at = baseLength;
    if (needSeparator) entry[at++] = '/';
    std::memcpy(entry + at, tail, tailLength + 1);
    return entry;
}

} // namespace

const char *PxGetDefaultFileLocation(int i)
{
    if (i < 0 || i >= gSearchCount) return nullptr;
    return gSearchList[i];
}

void PxFileSearchPathAdd(const char *directory)
{
    if (directory == nullptr || directory[0] == '\0') return;
    char *entry = JoinDirectory(directory, "");
    if (entry != nullptr) AppendEntry(entry);
}

void PxFileSearchPathAddAllRelativeDefaults(const char *base)
{
    if (base == nullptr || base[0] == '\0') return;
    for (int i = 0; i < kBuiltinCount; ++i) {
        char *entry = JoinDirectory(base, kBuiltinEntries[i]);
        if (entry != nullptr) AppendEntry(entry);
    }
}

const char *PxGetFileLocation(const char *name)
{
    static char location[4096];
    if (name == nullptr) return nullptr;
    for (int i = -1; i < gSearchCount; ++i) {
        const char *prefix = i < 0 ? "" : gSearchList[i];
        const int length = std::snprintf(location, sizeof location, "%s%s", prefix, name);
        if (length < 0 || static_cast<size_t>(length) >= sizeof location) continue;
        FILE *file = std::fopen(location, "r");
        if (file != nullptr) {
            std::fclose(file);
            return location;
        }
    }
    return nullptr;
}

void PxGetExecutableFileName(char *buffer, int length)
{
    if (buffer != nullptr && length > 0) std::snprintf(buffer, static_cast<size_t>(length), "%s", ".");
}

void PxGetExecutablePath(char *buffer, int length)
{
    if (buffer != nullptr && length > 0) std::snprintf(buffer, static_cast<size_t>(length), "%s", ".");
}
