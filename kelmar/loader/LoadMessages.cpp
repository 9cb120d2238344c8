// Counting the messages of a load on their way to the handler that keeps
// them: an import is taken back when its file had errors, and a caller can
// tell errors from notes.
#include <cstdarg>
#include <cstdio>

#include <kelmar/SceneLoader.h>

namespace kelmar {

int CountingErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    MessageCount *count = static_cast<MessageCount *>(input->errorHandlerData);
    char text[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (severity == PX_XML_ERROR) ++count->errors;
    if (severity == PX_XML_WARNING) ++count->warnings;
    // The next handler sees its own data, as if it had been called directly.
    input->errorHandlerData = count->data;
    const int result = count->handler(input, severity, code, "%s", text);
    input->errorHandlerData = count;
    return result;
}

PxXMLErrorCollection *MessageCollectionOf(const PxXMLInput *input)
{
    PxXMLErrorHandler handler = input->errorHandler;
    void *data = input->errorHandlerData;
    while (handler == CountingErrorHandler && data) {
        const MessageCount *count = static_cast<const MessageCount *>(data);
        handler = count->handler;
        data = count->data;
    }
    return handler == PxXMLCummulatingErrorHandler ? static_cast<PxXMLErrorCollection *>(data) : nullptr;
}

} // namespace kelmar
