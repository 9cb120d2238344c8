// The grasps' output sink: the default writes to the standard streams.
#include <kelmar/GraspOutput.h>

#include <cstdarg>

namespace kelmar {

namespace {

void StandardStreams(GraspChannel channel, const char *text, void *)
{
    std::fputs(text, channel == GraspChannel::kProgress ? stdout : stderr);
}

void Drop(GraspChannel, const char *, void *)
{
}

GraspSink sink_ = StandardStreams;
void *user_ = nullptr;

} // namespace

void GraspSetSink(GraspSink sink, void *user)
{
    sink_ = sink ? sink : StandardStreams;
    user_ = sink ? user : nullptr;
}

void GraspSilence()
{
    GraspSetSink(Drop, nullptr);
}

// Formatted on the stack: the grasps print between steps, never allocating.
void GraspPrint(GraspChannel channel, const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    sink_(channel, text, user_);
}

} // namespace kelmar
