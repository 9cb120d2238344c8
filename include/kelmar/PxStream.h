/* Streams, raw files and the file search list. */
#ifndef KELMAR_PXSTREAM_H
#define KELMAR_PXSTREAM_H

#include <stdio.h>
#include "PxTypes.h"

PX_EXTERN_C_BEGIN

/* Mode codes shared by streams and raw files. */
enum {
    PX_MODE_READ = 0,         /* "r" */
    PX_MODE_WRITE = 1,        /* "w" */
    PX_MODE_WRITE_BINARY = 2, /* "wb" */
    PX_MODE_APPEND = 3,       /* "a+" */
    PX_MODE_READ_BINARY = 4   /* "rb" */
};

typedef struct PxStream {
    char *name; /* owned copy of the name it was opened with */
    FILE *file;
} PxStream;

/* The fopen mode of a mode code ("r", "wb", ...); null for an unknown code. */
const char *PxStreamModeText(int mode);
PxStream *PxStreamOpen(const char *name, int mode);
PxStream *PxStreamOpenWithSearch(const char *name, int mode);
PxStream *PxStreamCreate(FILE *file); /* wraps an open file as "file pointer" */
/* Reads size bytes of memory (which must outlive the stream) under name, as
 * if they were a file of that name; close with PxStreamClose. */
PxStream *PxStreamOpenMemory(const char *name, const void *bytes, size_t size);
void PxStreamDestroy(PxStream *stream); /* frees the wrapper, leaves the file open */
void PxStreamClose(PxStream *stream);
size_t PxStreamRead(void *buffer, size_t size, size_t count, PxStream *stream);
size_t PxStreamWrite(const void *buffer, size_t size, size_t count, PxStream *stream);
char *PxStreamReadLine(char *buffer, int n, PxStream *stream);

int PxOpen(const char *path, int mode);
long PxLseek(int fd, long offset, int origin);
long PxRead(int fd, void *buffer, size_t bytes);
long PxWrite(int fd, const void *buffer, size_t bytes);
int PxClose(int fd);
int PxOpenWithSearch(const char *name, int mode);

/* The path that opens, held in a static buffer until the next call; null if none. */
const char *PxGetFileLocation(const char *name);
const char *PxGetDefaultFileLocation(int i);
void PxFileSearchPathAdd(const char *directory);
void PxFileSearchPathAddAllRelativeDefaults(const char *base);
void PxGetExecutableFileName(char *buffer, int length);
void PxGetExecutablePath(char *buffer, int length);

PX_EXTERN_C_END

#endif
