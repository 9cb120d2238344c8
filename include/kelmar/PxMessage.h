/* Message channels: info, warning, debug and fatal error, each with a level
 * threshold, a handler that formats and a show function that writes. */
#ifndef KELMAR_PXMESSAGE_H
#define KELMAR_PXMESSAGE_H

#include <stdarg.h>
#include "PxTypes.h"

PX_EXTERN_C_BEGIN

typedef void (*PxMessageHandler)(int level, const char *format, va_list args);
typedef void (*PxShowFunction)(int level, const char *text);

/* A message of level L is shown when its channel's level is >= L. */
extern int PxInfoLevel;
extern int PxWarningLevel;
extern int PxDebugLevel;
extern int PxFatalErrorLevel;

extern PxMessageHandler PxInfoHandler;
extern PxMessageHandler PxWarningHandler;
extern PxMessageHandler PxFatalErrorHandler;
extern PxMessageHandler PxDebugHandler;

extern PxShowFunction PxInfoShow;
extern PxShowFunction PxWarningShow;
extern PxShowFunction PxFatalErrorShow;
extern PxShowFunction PxDebugShow;

void PxInfo(int level, const char *format, ...);
void PxWarning(int level, const char *format, ...);
void PxDebug(int level, const char *format, ...);
/* Writes "PxFatalError" to standard output, then calls the fatal handler;
 * the default handler ends the process with status 1. */
void PxFatalError(int level, const char *format, ...);

/* Each setter installs the new pointer and returns the previous one. */
PxMessageHandler PxSetInfoHandler(PxMessageHandler handler);
PxMessageHandler PxSetWarningHandler(PxMessageHandler handler);
PxMessageHandler PxSetFatalErrorHandler(PxMessageHandler handler);
PxMessageHandler PxSetDebugHandler(PxMessageHandler handler);
PxShowFunction PxSetInfoShow(PxShowFunction show);
PxShowFunction PxSetWarningShow(PxShowFunction show);
PxShowFunction PxSetFatalErrorShow(PxShowFunction show);
PxShowFunction PxSetDebugShow(PxShowFunction show);

/* The default handlers. */
void PxHandlerInfo(int level, const char *format, va_list args);
void PxHandlerWarning(int level, const char *format, va_list args);
void PxHandlerDebug(int level, const char *format, va_list args);
void PxHandlerFatalError(int level, const char *format, va_list args);

/* Write text unchanged (no newline added). */
void PxShowStderr(int level, const char *text);
void PxShowStdout(int level, const char *text);

/* Channels, for the message counts. */
enum { PX_CHANNEL_INFO = 0, PX_CHANNEL_WARNING = 1, PX_CHANNEL_DEBUG = 2, PX_CHANNEL_FATAL = 3 };
/* Messages given to a channel since the process started, shown or not,
 * whatever handler is installed: a front end compares the count before and
 * after a call to learn whether the call warned. */
long PxMessageGetCount(int channel);

/* The default info, warning and debug handlers show the first
 * PX_MESSAGE_REPEATS_SHOWN messages of one kind (the same text once its
 * digits are left out), then a note that the rest are counted, then the
 * count at every power of ten. PxMessageFlushRepeats shows the final count
 * of every kind that was cut short and starts all kinds afresh. */
#define PX_MESSAGE_REPEATS_SHOWN 20
void PxMessageFlushRepeats(void);

/* The part of path after its last '/', or the whole string. */
const char *PxShortenPath(const char *path);

PX_EXTERN_C_END

#endif
