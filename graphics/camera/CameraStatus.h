// Shared pieces of the cameras' status elements.
#ifndef KELMAR_GRAPHICS_CAMERASTATUS_H
#define KELMAR_GRAPHICS_CAMERASTATUS_H

#include <kelmar/PxStream.h>
#include <kelmar/PxXML.h>

namespace kelmar {
namespace camera {

// "a, b, c" with the shortest text that reads back to each value.
void WriteReals(const char *tag, PxStream *stream, const double *values, int count);
bool Given(const PxXMLHandler *handlers, const char *tag);

} // namespace camera
} // namespace kelmar

#endif
