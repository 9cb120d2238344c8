// Reading one element out of a file that is also read by other means: the
// reader takes the element's start tag and later gives back whatever it read
// ahead, so that the file position ends just after what was consumed.
#include <stdio.h>
#include <string.h>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"
#include "xml/PxXMLInternal.h"

namespace {

// Moves the file back over the characters the input read but did not use.
int giveBack(PxXMLInput *input)
{
    long unread = pxxml::unreadCount(input);
    if (unread == 0) return 1;
    FILE *file = input->stream->file;
    clearerr(file);
    if (fseek(file, -unread, SEEK_CUR) == 0) return 1;
    PxWarning(3, "DestroyParser: could not return %ld read-ahead characters to '%s'.\n", unread,
              input->stream->name ? input->stream->name : "");
    return 0;
}

// Reads "<tag>" after optional white space into the element's name.
int readStartTag(PxXMLInput *input, PxXMLElement *element)
{
    int c = pxxml::getChar(input);
    while (pxxml::isBlank(c)) c = pxxml::getChar(input);
    if (c != '<') return PX_XML_STRUCTURE_ERROR;
    char tag[PX_XML_TAG_SIZE];
    int code = pxxml::readTagBody(input, pxxml::getChar(input), tag, sizeof tag, "buffer overflow (tag too long)\n");
    if (code != PX_XML_OK) return code;
    snprintf(element->name, sizeof element->name, "%s", tag);
    pxxml::splitTag(element);
    return PX_XML_OK;
}

} // namespace

PxXMLElement *CreateParser(PxStream *stream, const char *rootName)
{
    if (!stream || !stream->file || !rootName) {
        PxWarning(3, "CreateParser: invalid stream or root name.\n");
        return 0;
    }
    long start = ftell(stream->file);
    PxXMLInput *input = PxXMLInputCreate(stream);
    PxXMLElement *element = static_cast<PxXMLElement *>(PxMemoryAPI.createZeroed(sizeof(PxXMLElement)));
    if (input && element) {
        element->input = input;
        element->depth = 1;
        if (readStartTag(input, element) == PX_XML_OK && strcmp(element->name, rootName) == 0) return element;
    }
    // Not the element asked for: leave the file where it was.
    if (input) {
        if (start < 0 || fseek(stream->file, start, SEEK_SET) != 0) giveBack(input);
        PxXMLInputDestroy(input);
    }
    if (element) PxMemoryAPI.destroy(element);
    return 0;
}

void DestroyParser(PxXMLElement *element)
{
    if (!element) return;
    if (element->input) {
        giveBack(element->input);
        PxXMLInputDestroy(element->input);
    }
    PxMemoryAPI.destroy(element);
}
