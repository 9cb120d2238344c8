// The per-input variable table: names and values substituted into element
// text. Kept sorted by name so that each identifier of a text costs one
// binary search.
#include <string.h>

#include "kelmar/PxMemory.h"
#include "xml/PxXMLInternal.h"

struct PxXMLVariable {
    char *name;
    char *value;
    int used; // the value has been substituted into a text
};

struct PxXMLVariables {
    PxXMLVariable *entries;
    int count;
    int capacity;
};

namespace {

char *copyString(const char *text)
{
    size_t n = strlen(text) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (copy) memcpy(copy, text, n);
    return copy;
}

bool isIdentifier(const char *name)
{
    if (!name || !(pxxml::isLetter(name[0]) || name[0] == '_')) return false;
    for (const char *p = name + 1; *p; ++p)
        if (!pxxml::isIdentifierChar(static_cast<unsigned char>(*p))) return false;
    return true;
}

// Compares the first n characters at name (not terminated) with key.
int compareName(const char *name, int n, const char *key)
{
    int c = strncmp(name, key, static_cast<size_t>(n));
    if (c != 0) return c;
    return key[n] == '\0' ? 0 : -1;
}

// Index of the entry named name, or -(insertion index) - 1.
int find(const PxXMLVariables *table, const char *name, int n)
{
    int lo = 0, hi = table->count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = compareName(name, n, table->entries[mid].name);
        if (c == 0) return mid;
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -lo - 1;
}

PxXMLVariables *tableOf(PxXMLInput *input)
{
    if (!input->variables)
        input->variables = static_cast<PxXMLVariables *>(PxMemoryAPI.createZeroed(sizeof(PxXMLVariables)));
    return input->variables;
}

bool reserve(PxXMLVariables *table)
{
    if (table->count < table->capacity) return true;
    int capacity = table->capacity ? table->capacity * 2 : 8;
    size_t bytes = static_cast<size_t>(capacity) * sizeof(PxXMLVariable);
    void *grown = table->entries ? PxMemoryAPI.resize(table->entries, bytes) : PxMemoryAPI.create(bytes);
    if (!grown) return false;
    table->entries = static_cast<PxXMLVariable *>(grown);
    table->capacity = capacity;
    return true;
}

} // namespace

int PxXMLInputSetVariable(PxXMLInput *input, const char *name, const char *value)
{
    if (!input || !isIdentifier(name) || !value) return 0;
    PxXMLVariables *table = tableOf(input);
    if (!table) return 0;
    char *valueCopy = copyString(value);
    if (!valueCopy) return 0;
    int index = find(table, name, static_cast<int>(strlen(name)));
    if (index >= 0) {
        PxMemoryAPI.destroy(table->entries[index].value);
        table->entries[index].value = valueCopy;
        table->entries[index].used = 0;
        return 1;
    }
    char *nameCopy = copyString(name);
    if (!nameCopy || !reserve(table)) {
        if (nameCopy) PxMemoryAPI.destroy(nameCopy);
        PxMemoryAPI.destroy(valueCopy);
        return 0;
    }
    index = -index - 1;
    memmove(table->entries + index + 1, table->entries + index,
            static_cast<size_t>(table->count - index) * sizeof(PxXMLVariable));
    table->entries[index].name = nameCopy;
    table->entries[index].value = valueCopy;
    table->entries[index].used = 0;
    ++table->count;
    return 1;
}

const char *PxXMLInputGetVariable(const PxXMLInput *input, const char *name)
{
    if (!input || !name) return 0;
    return pxxml::lookupVariable(input, name, static_cast<int>(strlen(name)));
}

int PxXMLInputIsVariableUsed(const PxXMLInput *input, const char *name)
{
    if (!input || !name || !input->variables) return 0;
    int index = find(input->variables, name, static_cast<int>(strlen(name)));
    return index >= 0 ? input->variables->entries[index].used : 0;
}

int PxXMLInputGetVariableCount(const PxXMLInput *input)
{
    return input && input->variables ? input->variables->count : 0;
}

namespace pxxml {

const char *lookupVariable(const PxXMLInput *input, const char *name, int n)
{
    const PxXMLVariables *table = input->variables;
    if (!table || table->count == 0) return 0;
    int index = find(table, name, n);
    return index >= 0 ? table->entries[index].value : 0;
}

const char *useVariable(PxXMLInput *input, const char *name, int n)
{
    PxXMLVariables *table = input->variables;
    if (!table || table->count == 0) return 0;
    int index = find(table, name, n);
    if (index < 0) return 0;
    table->entries[index].used = 1;
    return table->entries[index].value;
}

void destroyVariables(PxXMLInput *input)
{
    PxXMLVariables *table = input->variables;
    if (!table) return;
    for (int i = 0; i < table->count; ++i) {
        PxMemoryAPI.destroy(table->entries[i].name);
        PxMemoryAPI.destroy(table->entries[i].value);
    }
    if (table->entries) PxMemoryAPI.destroy(table->entries);
    PxMemoryAPI.destroy(table);
    input->variables = 0;
}

} // namespace pxxml
