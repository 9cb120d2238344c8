// Message channels: a handler per channel formats the message, a show
// function per channel writes the formatted pieces.
#include "kelmar/PxMessage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "PxMessageRepeats.h"

namespace {

// Every formatted piece is cut at this many characters (terminator included).
constexpr size_t kMessageBufferSize = 5000;

// Messages given to each channel, shown or not.
long gCounts[4];

void Count(int channel)
{
    ++gCounts[channel];
}

// Shows the prefix and then the message as two separate pieces, but only
// when the channel's threshold admits the message's level, and only the
// first few messages of a kind; later ones are counted and their count is
// shown at every power of ten.
void ShowFiltered(int channel, int channelLevel, PxShowFunction show, const char *prefixFormat, int level,
                  const char *format, va_list args)
{
    if (channelLevel < level || show == nullptr) return;
    char prefix[64], buffer[kMessageBufferSize];
    std::snprintf(prefix, sizeof prefix, prefixFormat, level);
    std::vsnprintf(buffer, sizeof buffer, format != nullptr ? format : "", args);
    long count = 0;
    const pxmessage::Verdict verdict = pxmessage::NoteRepeat(channel, buffer, &count);
    if (verdict == pxmessage::Verdict::Hide) return;
    show(level, prefix);
    if (verdict == pxmessage::Verdict::Show) {
        show(level, buffer);
        return;
    }
    char sample[64], note[160];
    pxmessage::SampleOf(buffer, sample, sizeof sample);
    if (verdict == pxmessage::Verdict::ShowCutNote)
        std::snprintf(note, sizeof note, "more messages like \"%s\" follow; they are counted, not shown\n", sample);
    else
        std::snprintf(note, sizeof note, "%ld messages like \"%s\" so far\n", count, sample);
    show(level, note);
}

} // namespace

int PxInfoLevel = 0;
int PxWarningLevel = 0;
int PxDebugLevel = 0;
int PxFatalErrorLevel = 0;

PxMessageHandler PxInfoHandler = PxHandlerInfo;
PxMessageHandler PxWarningHandler = PxHandlerWarning;
PxMessageHandler PxFatalErrorHandler = PxHandlerFatalError;
PxMessageHandler PxDebugHandler = PxHandlerDebug;

PxShowFunction PxInfoShow = PxShowStderr;
PxShowFunction PxWarningShow = PxShowStderr;
PxShowFunction PxFatalErrorShow = PxShowStderr;
PxShowFunction PxDebugShow = PxShowStderr;

// A null handler silences its channel.
void PxInfo(int level, const char *format, ...)
{
    Count(PX_CHANNEL_INFO);
    if (PxInfoHandler == nullptr) return;
    va_list args;
    va_start(args, format);
    PxInfoHandler(level, format, args);
    va_end(args);
}

void PxWarning(int level, const char *format, ...)
{
    Count(PX_CHANNEL_WARNING);
    if (PxWarningHandler == nullptr) return;
    va_list args;
    va_start(args, format);
    PxWarningHandler(level, format, args);
    va_end(args);
}

void PxDebug(int level, const char *format, ...)
{
    Count(PX_CHANNEL_DEBUG);
    if (PxDebugHandler == nullptr) return;
    va_list args;
    va_start(args, format);
    PxDebugHandler(level, format, args);
    va_end(args);
}

// A fatal error must never be swallowed: without a handler the default one
// ends the process.
void PxFatalError(int level, const char *format, ...)
{
    Count(PX_CHANNEL_FATAL);
    std::fputs("PxFatalError\n", stdout);
    PxMessageHandler handler = PxFatalErrorHandler != nullptr ? PxFatalErrorHandler : PxHandlerFatalError;
    va_list args;
    va_start(args, format);
    handler(level, format, args);
    va_end(args);
}

PxMessageHandler PxSetInfoHandler(PxMessageHandler handler)
{
    return std::exchange(PxInfoHandler, handler);
}
PxMessageHandler PxSetWarningHandler(PxMessageHandler handler)
{
    return std::exchange(PxWarningHandler, handler);
}
PxMessageHandler PxSetFatalErrorHandler(PxMessageHandler handler)
{
    return std::exchange(PxFatalErrorHandler, handler);
}
PxMessageHandler PxSetDebugHandler(PxMessageHandler handler)
{
    return std::exchange(PxDebugHandler, handler);
}
PxShowFunction PxSetInfoShow(PxShowFunction show)
{
    return std::exchange(PxInfoShow, show);
}
PxShowFunction PxSetWarningShow(PxShowFunction show)
{
    return std::exchange(PxWarningShow, show);
}
PxShowFunction PxSetFatalErrorShow(PxShowFunction show)
{
    return std::exchange(PxFatalErrorShow, show);
}
PxShowFunction PxSetDebugShow(PxShowFunction show)
{
    return std::exchange(PxDebugShow, show);
}

void PxHandlerInfo(int level, const char *format, va_list args)
{
    ShowFiltered(PX_CHANNEL_INFO, PxInfoLevel, PxInfoShow, "PxInfo{%d}: ", level, format, args);
}

void PxHandlerWarning(int level, const char *format, va_list args)
{
    ShowFiltered(PX_CHANNEL_WARNING, PxWarningLevel, PxWarningShow, "PxWarning{%d}: ", level, format, args);
}

void PxHandlerDebug(int level, const char *format, va_list args)
{
    ShowFiltered(PX_CHANNEL_DEBUG, PxDebugLevel, PxDebugShow, "PxDebug{%d}: ", level, format, args);
}

// The fatal channel ignores its level: both pieces go to standard output
// (each with a newline) and to the fatal show function, then the process ends.
void PxHandlerFatalError(int level, const char *format, va_list args)
{
    char buffer[kMessageBufferSize];
    std::snprintf(buffer, sizeof buffer, "PxFatalError{%d}: ", level);
    std::printf("%s\n", buffer);
    if (PxFatalErrorShow != nullptr) PxFatalErrorShow(level, buffer);
    std::vsnprintf(buffer, sizeof buffer, format != nullptr ? format : "", args);
    std::printf("%s\n", buffer);
    if (PxFatalErrorShow != nullptr) PxFatalErrorShow(level, buffer);
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(1);
}

void PxShowStderr(int, const char *text)
{
    if (text != nullptr) std::fputs(text, stderr);
}

void PxShowStdout(int, const char *text)
{
    if (text != nullptr) std::fputs(text, stdout);
}

long PxMessageGetCount(int channel)
{
    return channel >= 0 && channel < 4 ? gCounts[channel] : 0;
}

const char *PxShortenPath(const char *path)
{
    if (path == nullptr) return "";
    const char *slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}
