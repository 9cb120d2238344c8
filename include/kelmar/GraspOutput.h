// Where the grasps write their progress and debug lines. Every line goes
// through one sink: by default progress to standard output and problems to
// standard error; a program may install a sink of its own (to collect,
// redirect or drop the lines) or silence them. The sink is process-wide,
// like the toolkit's message handlers.
#ifndef KELMAR_GRASPOUTPUT_H
#define KELMAR_GRASPOUTPUT_H

#include <cstdio>

namespace kelmar {

enum class GraspChannel {
    kProgress, // progress and debug lines (standard output by default)
    kProblem   // what went wrong (standard error by default)
};

// Receives one formatted piece of text (a line or a part of one).
using GraspSink = void (*)(GraspChannel channel, const char *text, void *user);

// Installs sink with its user data; null restores the default.
void GraspSetSink(GraspSink sink, void *user);
// Drops every line from now on (until the next GraspSetSink).
void GraspSilence();
// printf-style output to the sink (pieces longer than 1 kB are cut).
void GraspPrint(GraspChannel channel, const char *format, ...) __attribute__((format(printf, 2, 3)));

} // namespace kelmar

#endif
