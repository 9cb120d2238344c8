// The common tags of joint elements and the message helpers of their reading.
#include "JointElement.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <iterator>

namespace kelmar {

// The handler formats again, so the finished text goes through "%s".
void ReportWarning(PxXMLInput *input, const char *format, ...)
{
    char text[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    input->errorHandler(input, PX_XML_WARNING, PX_XML_BAD_VALUE, "%s", text);
}

void AppendCommonTags(std::vector<PxXMLHandler> &h)
{
    const PxXMLHandler common[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(JointElement, id), kJointNameSize),
        PX_XML_STRINGS("SOLID_IDS", offsetof(JointElement, solids), 2, kJointNameSize),
        PX_XML_VALUE("ENABLED", PxXMLParseUInt, offsetof(JointElement, enabled), 1),
        PX_XML_VALUE("GRAPHICS", PxXMLParseUInt, offsetof(JointElement, graphics), 1),
        PX_XML_VALUE("RELTO", PxXMLParseString, offsetof(JointElement, relTo), kJointNameSize),
        PX_XML_VALUE("TM", PxXMLParseDoubleArray, offsetof(JointElement, transform.tm), 16),
        PX_XML_VALUE("POS", PxXMLParseDoubleArray, offsetof(JointElement, transform.pos), 3),
        PX_XML_VALUE("ROT", PxXMLParseDoubleArray, offsetof(JointElement, transform.rot), 9),
        PX_XML_VALUE("QUAT", PxXMLParseDoubleArray, offsetof(JointElement, transform.quat), 4),
        PX_XML_VALUE("EULER", PxXMLParseDoubleArray, offsetof(JointElement, transform.euler), 3),
        PX_XML_VALUE("DH", PxXMLParseDoubleArray, offsetof(JointElement, dh), 4)};
    h.insert(h.end(), std::begin(common), std::end(common));
}

} // namespace kelmar
