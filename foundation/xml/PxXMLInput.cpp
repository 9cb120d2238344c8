// One XML input: the buffered character stream with pushback, the line and
// column it has reached, and the settings the handlers share.
#include <stdio.h>
#include <string.h>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"
#include "xml/PxXMLInternal.h"

PxXMLInput *PxXMLInputCreate(PxStream *stream)
{
    if (!stream || !stream->file) {
        PxWarning(3, "PxXMLInputCreate: invalid stream.\n");
        return 0;
    }
    PxXMLInput *input = static_cast<PxXMLInput *>(PxMemoryAPI.createZeroed(sizeof(PxXMLInput)));
    if (!input) {
        PxWarning(3, "PxXMLInputCreate: out of memory.\n");
        return 0;
    }
    // Both at the end so that the first read fills the buffer.
    input->position = PX_XML_BUFFER_SIZE;
    input->fill = PX_XML_BUFFER_SIZE;
    input->stream = stream;
    input->line = 1;
    input->column = 1;
    input->previousColumn = 1;
    input->errorHandler = PxXMLDefaultErrorHandler;
    input->errorHandlerData = stderr;
    return input;
}

void PxXMLInputDestroy(PxXMLInput *input)
{
    if (!input) return;
    pxxml::destroyVariables(input);
    PxMemoryAPI.destroy(input);
}

void PxXMLInputSetUserData(PxXMLInput *input, void *userData)
{
    if (input) input->userData = userData;
}

void *PxXMLInputGetUserData(const PxXMLInput *input)
{
    return input ? input->userData : 0;
}

void PxXMLInputSetScene(PxXMLInput *input, void *scene)
{
    if (input) input->scene = scene;
}

void *PxXMLInputGetScene(const PxXMLInput *input)
{
    return input ? input->scene : 0;
}

const char *PxXMLInputGetErrorString(const PxXMLInput *input)
{
    return input ? input->errorString : "";
}

int PxXMLInputGetLine(const PxXMLInput *input)
{
    return input ? input->line : 0;
}

int PxXMLInputGetColumn(const PxXMLInput *input)
{
    return input ? input->column : 0;
}

void PxXMLInputSetErrorHandler(PxXMLInput *input, PxXMLErrorHandler handler, void *data)
{
    if (!input) return;
    if (handler) {
        input->errorHandler = handler;
        input->errorHandlerData = data;
    } else {
        input->errorHandler = PxXMLDefaultErrorHandler;
        input->errorHandlerData = stderr;
    }
}

PxXMLInput *PxXMLElementGetInput(const PxXMLElement *element)
{
    return element ? element->input : 0;
}

namespace pxxml {

static void refill(PxXMLInput *input)
{
    size_t n = PxStreamRead(input->buffer, 1, PX_XML_BUFFER_SIZE, input->stream);
    input->position = 0;
    input->fill = static_cast<int>(n);
    if (n == 0) input->eof = 1;
}

static void advancePosition(PxXMLInput *input, int c)
{
    if (c == '\n') {
        input->previousColumn = input->column;
        ++input->line;
        input->column = 1;
    } else {
        ++input->column;
    }
}

int getChar(PxXMLInput *input)
{
    int c;
    if (input->pushbackCount > 0) {
        c = input->pushback[--input->pushbackCount];
    } else {
        if (input->position >= input->fill) {
            if (input->eof) return kEof;
            refill(input);
            if (input->fill == 0) return kEof;
        }
        c = input->buffer[input->position++];
    }
    advancePosition(input, c);
    return c;
}

int ungetChar(PxXMLInput *input, int c)
{
    if (c == kEof) return 1;
    if (input->pushbackCount >= PX_XML_PUSHBACK_SIZE) return 0;
    input->pushback[input->pushbackCount++] = static_cast<unsigned char>(c);
    if (c == '\n') {
        --input->line;
        input->column = input->previousColumn;
    } else if (input->column > 1) {
        --input->column;
    }
    return 1;
}

long unreadCount(const PxXMLInput *input)
{
    long buffered = input->fill > input->position ? input->fill - input->position : 0;
    return buffered + input->pushbackCount;
}

} // namespace pxxml
