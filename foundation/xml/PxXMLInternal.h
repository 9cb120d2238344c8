// Shared pieces of the XML reader: character input with line and column
// tracking, message reporting and the variable table.
#ifndef KELMAR_PXXMLINTERNAL_H
#define KELMAR_PXXMLINTERNAL_H

#include "kelmar/PxXML.h"

namespace pxxml {

const int kEof = -1;

// The next byte of the input (pushed-back bytes first), or kEof.
int getChar(PxXMLInput *input);
// Gives c back so that the next getChar returns it; returns 0 when the
// pushback store is full.
int ungetChar(PxXMLInput *input, int c);
// Bytes read from the stream but not consumed yet.
long unreadCount(const PxXMLInput *input);

inline bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
inline bool isLetter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}
inline bool isIdentifierChar(int c)
{
    return isLetter(c) || isDigit(c) || c == '_';
}

// Passes one message to the input's error handler and returns its code, so
// that call sites can write `return report(...)`.
template <typename... Args> int report(PxXMLInput *input, int severity, int code, const char *format, Args... args)
{
    PxXMLErrorHandler handler = input->errorHandler ? input->errorHandler : PxXMLDefaultErrorHandler;
    handler(input, severity, code, format, args...);
    return code;
}

// Copies the element text of input into buffer (size bytes) while replacing
// variables; `text` is the raw text, already bounded.
int substituteVariables(PxXMLInput *input, const char *text, char *buffer, int size);

// The variable value of the name of length n starting at name, or null.
const char *lookupVariable(const PxXMLInput *input, const char *name, int n);
// lookupVariable, marking the variable used (a value substituted into a text).
const char *useVariable(PxXMLInput *input, const char *name, int n);
void destroyVariables(PxXMLInput *input);

// Skips a comment whose "<!-" has been read. Nested comments are skipped
// whole. Returns PX_XML_OK or PX_XML_STRUCTURE_ERROR at end of file.
int skipComment(PxXMLInput *input);

// Copies a tag body up to '>' into buffer; `first` is its first character
// (already read). overflowMessage differs between callers.
int readTagBody(PxXMLInput *input, int first, char *buffer, int size, const char *overflowMessage);

// Splits the tag text held in element->name into the name and the trimmed
// attribute text, and recognises the <TAG/> form.
void splitTag(PxXMLElement *element);

} // namespace pxxml

#endif
