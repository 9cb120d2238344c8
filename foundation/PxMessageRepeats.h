// The repeat table of the default message handlers: messages of one kind
// (the same text once its digits are left out) are shown the first
// PX_MESSAGE_REPEATS_SHOWN times, then only counted.
#ifndef KELMAR_FOUNDATION_PXMESSAGEREPEATS_H
#define KELMAR_FOUNDATION_PXMESSAGEREPEATS_H

#include "kelmar/PxMessage.h"

namespace pxmessage {

// What a default handler does with one formatted message.
enum class Verdict {
    Show,        // one of the first messages of its kind
    ShowCutNote, // the first one not shown: say that the rest are counted
    ShowCount,   // not shown, but its count reached a power of ten: say so
    Hide         // counted only
};

// Counts text (already formatted) for its channel and says whether to show it.
Verdict NoteRepeat(int channel, const char *text, long *count);
// The start of text, up to its first newline, for the count lines; cut
// with "..." to fit size (at least 8) bytes.
void SampleOf(const char *text, char *out, size_t size);

} // namespace pxmessage

#endif
