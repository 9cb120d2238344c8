// Test helper for the XML reader: a document in memory with an input on it
// whose messages are recorded with the line and column they were reported at.
#ifndef KELMAR_TESTS_FOUNDATION_XML_SUPPORT_H
#define KELMAR_TESTS_FOUNDATION_XML_SUPPORT_H

#include <cstdarg>
#include <cstdio>
#include <string>

#include "kelmar/PxStream.h"
#include "kelmar/PxXML.h"

namespace pxtest {

// A document in memory with an input reading it. Unless told not to, the
// input's messages are recorded, as their texts alone and as
// "severity/code line:column text".
class XmlDoc {
public:
    explicit XmlDoc(const std::string &text, bool record = true)
        : text_(text), stream_(PxStreamOpenMemory("doc.px", text_.data(), text_.size())),
          input_(PxXMLInputCreate(stream_))
    {
        if (input_ != nullptr && record) PxXMLInputSetErrorHandler(input_, Record, this);
    }
    ~XmlDoc()
    {
        PxXMLInputDestroy(input_);
        PxStreamClose(stream_);
    }
    PxXMLInput *input() const { return input_; }
    int process(PxXMLHandler *handlers) { return PxXMLInputProcess(input_, handlers); }
    std::string texts, described;

private:
    static int Record(PxXMLInput *input, int severity, int code, const char *format, ...)
    {
        char text[PX_XML_ERROR_STRING_SIZE];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        XmlDoc *doc = static_cast<XmlDoc *>(input->errorHandlerData);
        doc->texts += text;
        doc->described += std::to_string(severity) + "/" + std::to_string(code) + " " + std::to_string(input->line) +
                          ":" + std::to_string(input->column) + " " + text;
        return code;
    }
    std::string text_;
    PxStream *stream_;
    PxXMLInput *input_;
};

} // namespace pxtest

#endif
