// The reader's view of the character stream: tags, element text, comments
// and declarations, and the substitution of variables into element text.
#include <stdlib.h>
#include <string.h>

#include "xml/PxXMLInternal.h"

using pxxml::getChar;
using pxxml::kEof;
using pxxml::report;

namespace {

const char *const kNowhere = "Nowhere to put parsed data!\n";
const char *const kEofInTag = "found EOF inside tag\n";
const char *const kDataTooLong = "internal error: buffer overflow (data too long)\n";
const char *const kNullCharacter = "unexpected null character\n";

// Skips a declaration such as <!DOCTYPE ...> whose "<!" and first
// character c have been read.
int skipDeclaration(PxXMLInput *input, int c)
{
    while (c != '>') {
        if (c == kEof) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, kEofInTag);
        c = getChar(input);
    }
    return PX_XML_OK;
}

// After "<!" has been read: skips a comment or a declaration.
int skipMarkup(PxXMLInput *input)
{
    int c = getChar(input);
    if (c == '-') return pxxml::skipComment(input);
    return skipDeclaration(input, c);
}

// "1" for a value that is an integer 0, "0" for any other integer, null
// when the value is not an integer followed only by blanks.
const char *invertedValue(const char *value)
{
    char *end = 0;
    long number = strtol(value, &end, 0);
    if (end == value) return 0;
    for (; *end; ++end)
        if (!pxxml::isBlank(static_cast<unsigned char>(*end))) return 0;
    return number == 0 ? "1" : "0";
}

// Output of the substitution, bounded by the caller's buffer.
struct Output {
    char *buffer;
    int size;
    int length;

    bool put(const char *text, size_t n)
    {
        if (n > static_cast<size_t>(size - 1 - length)) return false;
        memcpy(buffer + length, text, n);
        length += static_cast<int>(n);
        return true;
    }
};

const char *valueToInsert(PxXMLInput *input, const char *name, int n, const char *value, bool negate)
{
    if (!negate) return value;
    const char *inverted = invertedValue(value);
    if (inverted) return inverted;
    char nameCopy[PX_XML_TEXT_SIZE];
    memcpy(nameCopy, name, static_cast<size_t>(n));
    nameCopy[n] = '\0';
    report(input, PX_XML_WARNING, PX_XML_OK, "variable value %s = %s cannot be inverted\n", nameCopy, value);
    return value;
}

} // namespace

namespace pxxml {

int skipComment(PxXMLInput *input)
{
    int depth = 1;
    int dashes = 0;
    int previous = 0, beforePrevious = 0;
    for (;;) {
        int c = getChar(input);
        if (c == kEof) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "found EOF in comment\n");
        if (c == '-' && previous == '!' && beforePrevious == '<') {
            // "<!-" inside a comment opens a nested comment.
            ++depth;
            dashes = 0;
            previous = beforePrevious = 0;
            continue;
        }
        if (c == '>' && dashes > 0) {
            if (--depth == 0) return PX_XML_OK;
            dashes = 0;
            previous = beforePrevious = 0;
            continue;
        }
        dashes = c == '-' ? dashes + 1 : 0;
        beforePrevious = previous;
        previous = c;
    }
}

int readTagBody(PxXMLInput *input, int first, char *buffer, int size, const char *overflowMessage)
{
    int n = 0;
    for (int c = first;; c = getChar(input)) {
        buffer[n] = '\0';
        if (c == kEof) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, kEofInTag);
        if (c == '>') return PX_XML_OK;
        if (c == '<') {
            // Most likely a '>' was forgotten; leave the next tag to be read.
            ungetChar(input, c);
            return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "unexpected '<' inside tag\n");
        }
        if (c == 0) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, kNullCharacter);
        if (n >= size - 1) return report(input, PX_XML_ERROR, PX_XML_LIMIT, overflowMessage);
        buffer[n++] = static_cast<char>(c);
    }
}

int substituteVariables(PxXMLInput *input, const char *text, char *buffer, int size)
{
    Output out = {buffer, size, 0};
    const char *p = text;
    while (*p) {
        bool startsIdentifier = (isLetter(*p) || *p == '_') &&
                                (p == text || !isIdentifierChar(static_cast<unsigned char>(p[-1])));
        if (!startsIdentifier) {
            if (!out.put(p, 1)) break;
            ++p;
            continue;
        }
        const char *end = p;
        while (isIdentifierChar(static_cast<unsigned char>(*end))) ++end;
        int n = static_cast<int>(end - p);
        const char *value = useVariable(input, p, n);
        bool ok;
        if (value) {
            bool negate = p > text && p[-1] == '!';
            if (negate) --out.length; // the '!' was copied just before
            const char *insert = valueToInsert(input, p, n, value, negate);
            ok = out.put(insert, strlen(insert));
        } else {
            ok = out.put(p, static_cast<size_t>(n));
        }
        if (!ok) break;
        p = end;
    }
    buffer[out.length] = '\0';
    if (*p) return report(input, PX_XML_ERROR, PX_XML_LIMIT, kDataTooLong);
    return PX_XML_OK;
}

void splitTag(PxXMLElement *element)
{
    char *tag = element->name;
    element->attributes = 0;
    element->isEmpty = 0;
    char *end = tag + strlen(tag);
    while (end > tag && isBlank(static_cast<unsigned char>(end[-1]))) *--end = '\0';
    if (end > tag && end[-1] == '/') {
        *--end = '\0';
        element->isEmpty = 1;
        while (end > tag && isBlank(static_cast<unsigned char>(end[-1]))) *--end = '\0';
    }
    char *blank = tag;
    while (*blank && !isBlank(static_cast<unsigned char>(*blank))) ++blank;
    if (!*blank) return;
    *blank = '\0';
    element->attributes = dropspace(blank + 1);
}

} // namespace pxxml

int readNextTag(PxXMLInput *input, char *buffer, int size)
{
    if (!input) return PX_XML_LIMIT;
    if (!buffer || size < 1) return report(input, PX_XML_ERROR, PX_XML_LIMIT, kNowhere);
    for (;;) {
        int c = getChar(input);
        while (c != '<') {
            if (c == kEof) return PX_XML_END_OF_FILE;
            c = getChar(input);
        }
        c = getChar(input);
        if (c != '!')
            return pxxml::readTagBody(input, c, buffer, size, "internal error: buffer overflow (tag too long)\n");
        int code = skipMarkup(input);
        if (code != PX_XML_OK) return code;
    }
}

int readToNextTag(PxXMLInput *input, char *buffer, int size)
{
    if (!input) return PX_XML_LIMIT;
    if (!buffer || size < 1) return report(input, PX_XML_ERROR, PX_XML_LIMIT, kNowhere);
    buffer[0] = '\0';
    if (input->emptyElement) {
        // <TAG/> has no text; its closing tag is not in the stream either.
        input->emptyElement = 0;
        return PX_XML_OK;
    }
    char raw[PX_XML_TEXT_SIZE];
    int n = 0;
    for (;;) {
        int c = getChar(input);
        if (c == kEof) break;
        if (c == '<') {
            int next = getChar(input);
            if (next == kEof) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, kEofInTag);
            if (next == '!') {
                int code = skipMarkup(input);
                if (code != PX_XML_OK) return code;
                continue;
            }
            pxxml::ungetChar(input, next);
            pxxml::ungetChar(input, '<');
            break;
        }
        if (c == '>') return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, "unexpected '>'\n");
        if (c == 0) return report(input, PX_XML_ERROR, PX_XML_STRUCTURE_ERROR, kNullCharacter);
        if (n >= PX_XML_TEXT_SIZE - 1) return report(input, PX_XML_ERROR, PX_XML_LIMIT, kDataTooLong);
        raw[n++] = static_cast<char>(c);
    }
    raw[n] = '\0';
    return pxxml::substituteVariables(input, raw, buffer, size);
}

char *dropspace(char *text)
{
    if (!text) return 0;
    char *end = text + strlen(text);
    while (end > text && pxxml::isBlank(static_cast<unsigned char>(end[-1]))) *--end = '\0';
    while (pxxml::isBlank(static_cast<unsigned char>(*text))) ++text;
    return text;
}
