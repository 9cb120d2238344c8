// Element processing: walks the children of an element and hands each to
// the matching entry of the caller's handler table.
#include <stdio.h>
#include <string.h>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"
#include "xml/PxXMLInternal.h"

using pxxml::report;

namespace {

// Is the tag text (as read, without '<' and '>') an opening of name?
bool opens(const char *tag, const char *name)
{
    if (tag[0] == '/' || tag[0] == '?') return false;
    size_t n = strlen(name);
    if (strncmp(tag, name, n) != 0) return false;
    char next = tag[n];
    return next == '\0' || next == '/' || pxxml::isBlank(static_cast<unsigned char>(next));
}

// Is the tag text the closing tag of name?
bool closes(const char *tag, const char *name)
{
    if (tag[0] != '/') return false;
    size_t n = strlen(name);
    if (strncmp(tag + 1, name, n) != 0) return false;
    for (const char *p = tag + 1 + n; *p; ++p)
        if (!pxxml::isBlank(static_cast<unsigned char>(*p))) return false;
    return true;
}

bool selfCloses(const char *tag)
{
    const char *end = tag + strlen(tag);
    while (end > tag && pxxml::isBlank(static_cast<unsigned char>(end[-1]))) --end;
    return end > tag && end[-1] == '/';
}

int missingClosingTag(PxXMLElement *element)
{
    return report(element->input, PX_XML_ERROR, PX_XML_END_OF_FILE, "found EOF, missing closing tag </%s>\n",
                  element->name);
}

// Reads on to the closing tag that matches element, counting nested
// openings of the same name. The virtual root has no closing tag, so for it
// the rest of the file is skipped. Damaged tags met on the way have been
// reported and are passed over.
int skipElement(PxXMLElement *element)
{
    if (element->isEmpty) return PX_XML_OK;
    PxXMLInput *input = element->input;
    char tag[PX_XML_TAG_SIZE];
    int level = 1;
    for (;;) {
        int code = readNextTag(input, tag, sizeof tag);
        if (code == PX_XML_END_OF_FILE) return element->depth == 0 ? PX_XML_OK : missingClosingTag(element);
        if (code != PX_XML_OK || element->depth == 0) continue;
        if (closes(tag, element->name)) {
            if (--level == 0) return PX_XML_OK;
        } else if (opens(tag, element->name) && !selfCloses(tag)) {
            ++level;
        }
    }
}

int closeElement(PxXMLElement *element, char *closingName)
{
    char *name = dropspace(closingName);
    if (element->depth == 0)
        return report(element->input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "unexpected closing tag, found %s\n",
                      name);
    if (strcmp(name, element->name) != 0)
        return report(element->input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR,
                      "closing tag %s doesn't match opening tag %s\n", name, element->name);
    return PX_XML_OK;
}

PxXMLHandler *findEntry(PxXMLHandler *handlers, const char *name)
{
    if (!handlers) return 0;
    for (PxXMLHandler *h = handlers; h->type != PX_XML_END_OF_TABLE; ++h)
        if (h->name && strcmp(h->name, name) == 0) return h;
    return 0;
}

const PxXMLHandler *lookupEntry(const PxXMLHandler *handlers, const char *name)
{
    if (!handlers || !name) return 0;
    for (const PxXMLHandler *h = handlers; h->name && h->type != PX_XML_END_OF_TABLE; ++h)
        if (strcmp(h->name, name) == 0) return h;
    return 0;
}

void buildChild(const PxXMLElement *parent, const char *tag, PxXMLElement *child)
{
    snprintf(child->name, sizeof child->name, "%s", tag);
    child->input = parent->input;
    child->depth = parent->depth + 1;
    pxxml::splitTag(child);
}

bool atEndOfInput(const PxXMLInput *input)
{
    return input->eof && input->pushbackCount == 0 && input->position >= input->fill;
}

// What the processing loop does after a child has been handled.
enum Next { kContinue, kPending, kReturn };

struct Outcome {
    Next next;
    int code;
};

Outcome callElementFunction(PxXMLHandler *entry, PxXMLElement *child)
{
    entry->wasCalled = 1;
    PxXMLElementFunction function = reinterpret_cast<PxXMLElementFunction>(entry->function);
    // A <TAG/> child has no text: a function reading its text gets none.
    child->input->emptyElement = child->isEmpty;
    int code = function(child);
    child->input->emptyElement = 0;
    entry->error = code;
    if (code == PX_XML_SKIP_ELEMENT) {
        entry->error = PX_XML_OK;
        code = skipElement(child);
    }
    return Outcome{kContinue, code};
}

// After a value: the child's closing tag must follow. Anything else is
// reported and the reader resynchronises as well as it can.
Outcome expectClosingTag(PxXMLElement *element, PxXMLElement *child, char *tag, int size)
{
    PxXMLInput *input = element->input;
    int code = readNextTag(input, tag, size);
    if (code == PX_XML_END_OF_FILE) return Outcome{kContinue, missingClosingTag(child)};
    if (code != PX_XML_OK) return Outcome{kReturn, code};
    if (closes(tag, child->name)) return Outcome{kContinue, PX_XML_OK};
    report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "closing tag %s does not match opening tag %s\n", tag,
           child->name);
    if (opens(tag, child->name)) return Outcome{kPending, PX_XML_STRUCTURE_ERROR};
    if (element->depth > 0 && closes(tag, element->name)) return Outcome{kReturn, PX_XML_STRUCTURE_ERROR};
    code = skipElement(element);
    return Outcome{kReturn, code == PX_XML_OK ? PX_XML_STRUCTURE_ERROR : code};
}

Outcome callValueParser(PxXMLElement *element, PxXMLHandler *entry, PxXMLElement *child, void *userData, char *tag,
                        int size)
{
    PxXMLInput *input = element->input;
    entry->wasCalled = 1;
    PxXMLValueParser parser = reinterpret_cast<PxXMLValueParser>(entry->function);
    input->emptyElement = child->isEmpty;
    entry->error = parser(input, entry, userData);
    input->emptyElement = 0;
    if (entry->error == PX_XML_OK && entry->postFunction)
        entry->error = entry->postFunction(userData, child, input->userData);
    if (child->isEmpty) return Outcome{kContinue, PX_XML_OK};
    return expectClosingTag(element, child, tag, size);
}

Outcome handleChild(PxXMLElement *element, PxXMLHandler *handlers, void *userData, char *tag, int size)
{
    PxXMLInput *input = element->input;
    PxXMLElement child;
    buildChild(element, tag, &child);
    if (child.name[0] == '\0') {
        report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "missing tag name in <%s>\n", tag);
        return Outcome{kContinue, PX_XML_STRUCTURE_ERROR};
    }
    if (child.depth > PX_XML_MAX_DEPTH) {
        report(input, PX_XML_ERROR, PX_XML_LIMIT, "elements nested deeper than %d levels\n", PX_XML_MAX_DEPTH);
        return Outcome{kContinue, skipElement(&child)};
    }
    PxXMLHandler *entry = findEntry(handlers, child.name);
    if (!entry) {
        report(input, PX_XML_WARNING, PX_XML_UNKNOWN_TAG, "unknown tag '%s'\n", child.name);
        return Outcome{kContinue, skipElement(&child)};
    }
    if (!entry->function || (entry->type != PX_XML_ELEMENT_HANDLER && entry->type != PX_XML_VALUE_HANDLER)) {
        report(input, PX_XML_ERROR, PX_XML_LIMIT, "no handler function for tag '%s'\n", child.name);
        return Outcome{kContinue, skipElement(&child)};
    }
    if (entry->type == PX_XML_ELEMENT_HANDLER) return callElementFunction(entry, &child);
    return callValueParser(element, entry, &child, userData, tag, size);
}

} // namespace

int PxXMLElementProcess(PxXMLElement *element, PxXMLHandler *handlers, void *userData)
{
    if (!element || !element->input) return PX_XML_LIMIT;
    if (element->isEmpty) return PX_XML_OK;
    PxXMLInput *input = element->input;
    char tag[PX_XML_TAG_SIZE];
    bool pending = false;
    bool fileEndedInChild = false;
    for (;;) {
        input->errorString[0] = '\0';
        if (!pending) {
            int code = readNextTag(input, tag, sizeof tag);
            if (code == PX_XML_END_OF_FILE) {
                if (element->depth > 0) return missingClosingTag(element);
                // At the top level the end of the file is the normal end,
                // unless it came while a child was still open.
                return fileEndedInChild ? PX_XML_END_OF_FILE : PX_XML_OK;
            }
            if (code != PX_XML_OK) return code;
        }
        pending = false;
        if (tag[0] == '/') return closeElement(element, tag + 1);
        if (tag[0] == '?') continue;
        Outcome outcome = handleChild(element, handlers, userData, tag, sizeof tag);
        if (outcome.code != PX_XML_OK && atEndOfInput(input)) fileEndedInChild = true;
        if (outcome.next == kReturn) return outcome.code;
        pending = outcome.next == kPending;
    }
}

int PxXMLInputProcess(PxXMLInput *input, PxXMLHandler *handlers)
{
    if (!input) return PX_XML_LIMIT;
    PxXMLElement root;
    memset(&root, 0, sizeof root);
    root.input = input;
    return PxXMLElementProcess(&root, handlers, 0);
}

int PxXMLHandlerWasCalled(const PxXMLHandler *handlers, const char *name)
{
    const PxXMLHandler *entry = lookupEntry(handlers, name);
    return entry ? entry->wasCalled : 0;
}

int PxXMLHandlerGetError(const PxXMLHandler *handlers, const char *name)
{
    const PxXMLHandler *entry = lookupEntry(handlers, name);
    return entry ? entry->error : 0;
}

int PxXMLElementHandlerCreate(PxXMLHandler *entry, const char *name, PxXMLElementFunction function)
{
    if (!entry || !name) return 0;
    size_t n = strlen(name) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (!copy) return 0;
    memcpy(copy, name, n);
    memset(entry, 0, sizeof *entry);
    entry->name = copy;
    entry->type = PX_XML_ELEMENT_HANDLER;
    entry->function = reinterpret_cast<PxXMLFunction>(function);
    return 1;
}

void PxXMLElementHandlerDestroy(PxXMLHandler *entry)
{
    if (!entry || !entry->name) return;
    PxMemoryAPI.destroy(const_cast<char *>(entry->name));
    entry->name = 0;
}
