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

/* The part of path after its last '/', or the whole string. */
const char *PxShortenPath(const char *path);

PX_EXTERN_C_END

#endif
