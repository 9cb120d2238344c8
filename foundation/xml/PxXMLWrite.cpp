// The XML writer: one element per line, indented with one tab per level.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"
#include "kelmar/PxXML.h"

namespace {

int indentCount = 0;
int topLevelIndent = 0;

// One output line. Short lines stay in the local buffer; longer ones move
// to the heap, so a value is never cut.
class Line {
public:
    Line() : data_(local_), length_(0), capacity_(sizeof local_), failed_(false) { local_[0] = '\0'; }
    ~Line()
    {
        if (data_ != local_) PxMemoryAPI.destroy(data_);
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    void tabs(int n)
    {
        for (int i = 0; i < n; ++i) append("\t", 1);
    }
    void append(const char *text) { append(text, strlen(text)); }
    void append(const char *text, size_t n)
    {
        if (!reserve(n)) return;
        memcpy(data_ + length_, text, n);
        length_ += n;
        data_[length_] = '\0';
    }
    void appendFormatted(const char *format, va_list args)
    {
        va_list copy;
        va_copy(copy, args);
        int n = vsnprintf(0, 0, format, copy);
        va_end(copy);
        if (n < 0 || !reserve(static_cast<size_t>(n))) {
            failed_ = true;
            return;
        }
        vsnprintf(data_ + length_, static_cast<size_t>(n) + 1, format, args);
        length_ += static_cast<size_t>(n);
    }
    const char *text() const { return data_; }
    size_t length() const { return length_; }
    bool failed() const { return failed_; }

private:
    bool reserve(size_t n)
    {
        if (failed_) return false;
        size_t needed = length_ + n + 1;
        if (needed <= capacity_) return true;
        size_t capacity = capacity_ * 2 > needed ? capacity_ * 2 : needed;
        char *grown = static_cast<char *>(PxMemoryAPI.create(capacity));
        if (!grown) {
            failed_ = true;
            return false;
        }
        memcpy(grown, data_, length_ + 1);
        if (data_ != local_) PxMemoryAPI.destroy(data_);
        data_ = grown;
        capacity_ = capacity;
        return true;
    }

    char local_[1024];
    char *data_;
    size_t length_;
    size_t capacity_;
    bool failed_;
};

// Text the reader could not read back: '<' or '>' in a value or in the
// attribute text would end the element early.
bool hasMarkup(const char *text, size_t from)
{
    return strpbrk(text + from, "<>") != 0;
}

bool validTag(const char *tag)
{
    if (!tag || !*tag) return false;
    for (const char *p = tag; *p; ++p)
        if (*p == '<' || *p == '>' || *p == '/' || *p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') return false;
    return true;
}

bool validStream(const char *function, PxStream *stream)
{
    if (!stream || stream->file) return true;
    PxWarning(3, "%s: invalid stream.\n", function);
    return false;
}

bool checkTag(const char *function, const char *tag)
{
    if (validTag(tag)) return true;
    PxWarning(3, "%s: invalid tag name '%s'.\n", function, tag ? tag : "(null)");
    return false;
}

int emit(const char *function, const Line &line, PxStream *stream)
{
    if (line.failed()) {
        PxWarning(3, "%s: out of memory, line not written.\n", function);
        return 0;
    }
    if (!stream) {
        PxInfo(0, "%s", line.text());
        return 1;
    }
    if (PxStreamWrite(line.text(), 1, line.length(), stream) == line.length()) return 1;
    PxWarning(3, "%s: writing to '%s' failed.\n", function, stream->name ? stream->name : "");
    return 0;
}

// A start ("<") or end ("</") tag alone on a line at the current indent.
int writeTagLine(const char *function, const char *open, const char *tag, PxStream *stream)
{
    if (!checkTag(function, tag) || !validStream(function, stream)) return 0;
    Line line;
    line.tabs(indentCount);
    line.append(open);
    line.append(tag);
    line.append(">\n");
    return emit(function, line, stream);
}

// <tag[ attributes]>value</tag> one level deeper than the current indent.
int writeValue(const char *function, const char *tag, PxStream *stream, const char *attributes, const char *format,
               va_list args)
{
    if (!checkTag(function, tag) || !validStream(function, stream)) return 0;
    if (attributes && hasMarkup(attributes, 0)) {
        PxWarning(3, "%s: attributes of <%s> contain '<' or '>'.\n", function, tag);
        return 0;
    }
    Line line;
    line.tabs(indentCount + 1);
    line.append("<");
    line.append(tag);
    if (attributes && *attributes) {
        line.append(" ");
        line.append(attributes);
    }
    line.append(">");
    size_t valueStart = line.length();
    if (format) line.appendFormatted(format, args);
    if (!line.failed() && hasMarkup(line.text(), valueStart)) {
        PxWarning(3, "%s: value of <%s> contains '<' or '>'.\n", function, tag);
        return 0;
    }
    line.append("</");
    line.append(tag);
    line.append(">\n");
    return emit(function, line, stream);
}

} // namespace

int PxXMLWriteStartTag(const char *tag, PxStream *stream)
{
    return writeTagLine("PxXMLWriteStartTag", "<", tag, stream);
}

int PxXMLWriteStartTagAttrib(const char *tag, PxStream *stream, const char *format, ...)
{
    const char *function = "PxXMLWriteStartTagAttrib";
    if (!checkTag(function, tag) || !validStream(function, stream)) return 0;
    Line line;
    line.tabs(indentCount);
    line.append("<");
    line.append(tag);
    size_t attributesStart = line.length();
    if (format) {
        line.append(" ");
        va_list args;
        va_start(args, format);
        line.appendFormatted(format, args);
        va_end(args);
    }
    if (!line.failed() && hasMarkup(line.text(), attributesStart)) {
        PxWarning(3, "%s: attributes of <%s> contain '<' or '>'.\n", function, tag);
        return 0;
    }
    line.append(">\n");
    return emit(function, line, stream);
}

int PxXMLWriteEndTag(const char *tag, PxStream *stream)
{
    return writeTagLine("PxXMLWriteEndTag", "</", tag, stream);
}

int PxXMLWrite(const char *tag, PxStream *stream, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int written = writeValue("PxXMLWrite", tag, stream, 0, format, args);
    va_end(args);
    return written;
}

int PxXMLWriteAttrib(const char *tag, PxStream *stream, const char *attributes, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int written = writeValue("PxXMLWriteAttrib", tag, stream, attributes, format, args);
    va_end(args);
    return written;
}

void PxXMLIndent(void)
{
    ++indentCount;
}

void PxXMLDeIndent(void)
{
    if (indentCount > 0) --indentCount;
}

void PxXMLSetIndent(int n)
{
    int indent = n + topLevelIndent;
    indentCount = indent > 0 ? indent : 0;
}

int PxXMLGetIndent(void)
{
    return indentCount;
}

void PxXMLSetTopLevelIndent(int n)
{
    topLevelIndent = n > 0 ? n : 0;
}

int PxXMLGetTopLevelIndent(void)
{
    return topLevelIndent;
}

const char *PxXMLGetVersion(void)
{
    return "1.4";
}
