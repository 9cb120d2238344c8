// Test helpers for the XML reader: a document held in a temporary file with
// an input on it, and an error handler that records every message with the
// line and column it was reported at.
#ifndef KELMAR_TESTS_FOUNDATION_XML_SUPPORT_H
#define KELMAR_TESTS_FOUNDATION_XML_SUPPORT_H

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "kelmar/PxStream.h"
#include "kelmar/PxXML.h"

namespace pxtest {

struct XmlMessage {
    int severity;
    int code;
    int line;
    int column;
    std::string text;
};

inline int RecordXmlMessage(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    char text[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    auto *messages = static_cast<std::vector<XmlMessage> *>(input->errorHandlerData);
    messages->push_back({severity, code, input->line, input->column, text});
    return code;
}

// The text in memory, a stream on it and an input reading it.
class XmlDoc {
public:
    explicit XmlDoc(const std::string &text, bool record = true)
        : text_(text), stream_(PxStreamOpenMemory("doc.px", text_.data(), text_.size())),
          input_(PxXMLInputCreate(stream_))
    {
        if (input_ != nullptr && record) PxXMLInputSetErrorHandler(input_, RecordXmlMessage, &messages_);
    }
    ~XmlDoc()
    {
        PxXMLInputDestroy(input_);
        PxStreamClose(stream_);
    }
    PxXMLInput *input() const { return input_; }
    const std::vector<XmlMessage> &messages() const { return messages_; }
    std::string allText() const
    {
        std::string all;
        for (const XmlMessage &m : messages_) all += m.text;
        return all;
    }
    int process(PxXMLHandler *handlers) { return PxXMLInputProcess(input_, handlers); }

private:
    std::string text_;
    PxStream *stream_;
    PxXMLInput *input_;
    std::vector<XmlMessage> messages_;
};

} // namespace pxtest

#endif
