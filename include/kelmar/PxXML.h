/* The XML reader and writer of the toolkit's scene files and the robot
 * layer's scene descriptions.
 *
 * The reader is a small streaming reader, not a general XML parser: it knows
 * tags (with their attributes kept as one raw string), element text, comments
 * and processing instructions. Callers describe the children they expect in a
 * handler table; each child is either parsed into a field of the caller's
 * structure by a value parser or handed to an element function.
 *
 * Every reader function returns one of the PX_XML_* codes below; every
 * problem is also reported through the input's error handler with the line
 * and column where it was found. */
#ifndef KELMAR_PXXML_H
#define KELMAR_PXXML_H

#include <stdio.h>
#include "PxTypes.h"
#include "PxStream.h"

#if defined(__GNUC__)
#define PX_XML_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define PX_XML_PRINTF(f, a)
#endif

PX_EXTERN_C_BEGIN

/* Codes returned by every reader function. */
enum {
    PX_XML_OK = 0,
    PX_XML_STRUCTURE_ERROR = 1, /* mismatched or stray tags, unexpected '>', EOF inside a tag */
    PX_XML_BAD_VALUE = 2,
    PX_XML_END_OF_FILE = 3,
    PX_XML_LIMIT = 4,       /* buffer overflow, nowhere to store */
    PX_XML_UNKNOWN_TAG = 5, /* reported only */
    PX_XML_SKIP_ELEMENT = 6 /* returned by an element function: skip my content */
};

/* Severities passed to an error handler. */
enum { PX_XML_PLAIN = 0, PX_XML_WARNING = 1, PX_XML_ERROR = 2 };

/* Handler table entry types. */
enum { PX_XML_ELEMENT_HANDLER = 0, PX_XML_VALUE_HANDLER = 1, PX_XML_END_OF_TABLE = 2 };

#define PX_XML_BUFFER_SIZE 4096 /* bytes read from the stream at a time */
#define PX_XML_PUSHBACK_SIZE 4
#define PX_XML_ERROR_STRING_SIZE 1280
#define PX_XML_NAME_SIZE 1024
#define PX_XML_TAG_SIZE 256   /* a tag holds at most 255 characters */
#define PX_XML_TEXT_SIZE 1024 /* element text holds at most 1023 characters */
#define PX_XML_MAX_DEPTH 200  /* deeper nesting is refused */

struct PxXMLInput;
struct PxXMLHandler;
struct PxXMLVariables;

typedef int (*PxXMLErrorHandler)(struct PxXMLInput *input, int severity, int code, const char *format, ...);

/* One file being read. */
typedef struct PxXMLInput {
    unsigned char buffer[PX_XML_BUFFER_SIZE];
    int position;                                 /* next byte of buffer to read */
    int fill;                                     /* valid bytes in buffer */
    unsigned char pushback[PX_XML_PUSHBACK_SIZE]; /* last pushed, first read */
    int pushbackCount;
    PxStream *stream; /* not owned */
    int line;         /* 1-based */
    int column;       /* 1-based */
    int eof;
    void *userData;
    struct PxXMLVariables *variables;
    char errorString[PX_XML_ERROR_STRING_SIZE];
    PxXMLErrorHandler errorHandler;
    void *errorHandlerData;
    int previousColumn; /* column before the last newline, for pushback */
    int emptyElement;   /* the value being parsed came from <TAG/> */
    void *scene;        /* what the whole input reads into (the robot layer's scene); the reader never reads it */
} PxXMLInput;

/* One open element; lives on the stack of the call that processes it. */
typedef struct PxXMLElement {
    char name[PX_XML_NAME_SIZE]; /* the tag name; the attribute text follows its terminator */
    PxXMLInput *input;
    int depth;              /* 0 for the virtual root */
    const char *attributes; /* trimmed text after the name, null when the tag had none */
    int isEmpty;            /* written as <TAG/>: no content and no closing tag */
} PxXMLElement;

/* Generic function pointer of a handler entry; it is called through the
 * signature its entry type names. */
typedef void (*PxXMLFunction)(void);
typedef int (*PxXMLElementFunction)(PxXMLElement *element);
typedef int (*PxXMLValueParser)(PxXMLInput *input, struct PxXMLHandler *entry, void *userData);
typedef int (*PxXMLPostFunction)(void *userData, PxXMLElement *child, void *inputUserData);

/* One entry of a handler table; a table ends with an entry of type
 * PX_XML_END_OF_TABLE. */
typedef struct PxXMLHandler {
    const char *name;               /* tag name, compared case-sensitively */
    int type;                       /* PX_XML_ELEMENT_HANDLER, _VALUE_HANDLER or _END_OF_TABLE */
    PxXMLFunction function;         /* PxXMLElementFunction or PxXMLValueParser */
    size_t offset;                  /* byte offset of the value in userData */
    int count;                      /* values in an array, or bytes of a string buffer */
    int elementSize;                /* bytes per string of a string array */
    int wasCalled;                  /* set when the tag was met */
    int error;                      /* last code returned for the tag */
    PxXMLPostFunction postFunction; /* optional, after a successful value parse */
} PxXMLHandler;

#define PX_XML_ELEMENT(name, function)                                                                               \
    {                                                                                                                \
        (name), PX_XML_ELEMENT_HANDLER, (PxXMLFunction)(function), 0, 0, 0, 0, 0, 0                                  \
    }
#define PX_XML_VALUE(name, parser, offset, count)                                                                    \
    {                                                                                                                \
        (name), PX_XML_VALUE_HANDLER, (PxXMLFunction)(parser), (offset), (count), 0, 0, 0, 0                         \
    }
#define PX_XML_VALUE_POST(name, parser, offset, count, post)                                                         \
    {                                                                                                                \
        (name), PX_XML_VALUE_HANDLER, (PxXMLFunction)(parser), (offset), (count), 0, 0, 0, (post)                    \
    }
#define PX_XML_STRINGS(name, offset, count, elementSize)                                                             \
    {                                                                                                                \
        (name), PX_XML_VALUE_HANDLER, (PxXMLFunction)(PxXMLParseStringArray), (offset), (count), (elementSize), 0,   \
            0, 0                                                                                                     \
    }
#define PX_XML_END                                                                                                   \
    {                                                                                                                \
        0, PX_XML_END_OF_TABLE, 0, 0, 0, 0, 0, 0, 0                                                                  \
    }

/* Input. Destroying an input frees its variables but not its stream. */
PxXMLInput *PxXMLInputCreate(PxStream *stream);
void PxXMLInputDestroy(PxXMLInput *input);
void PxXMLInputSetUserData(PxXMLInput *input, void *userData);
void *PxXMLInputGetUserData(const PxXMLInput *input);
/* The scene an input reads into: unlike the user data, which handlers swap
 * for their own records while they read an element, it stays for the whole
 * input. */
void PxXMLInputSetScene(PxXMLInput *input, void *scene);
void *PxXMLInputGetScene(const PxXMLInput *input);
const char *PxXMLInputGetErrorString(const PxXMLInput *input);
int PxXMLInputGetLine(const PxXMLInput *input);
int PxXMLInputGetColumn(const PxXMLInput *input);
/* A null handler restores PxXMLDefaultErrorHandler writing to standard error. */
void PxXMLInputSetErrorHandler(PxXMLInput *input, PxXMLErrorHandler handler, void *data);

/* Variables substituted into element text. Setting replaces an existing
 * value; returns 1, or 0 for a bad name or when memory runs out. */
int PxXMLInputSetVariable(PxXMLInput *input, const char *name, const char *value);
const char *PxXMLInputGetVariable(const PxXMLInput *input, const char *name);
int PxXMLInputGetVariableCount(const PxXMLInput *input);
/* 1 once the variable's value (since it was last set) has been substituted
 * into a text, 0 otherwise or for a name not set: a front end can tell a
 * user that a variable it was given is never used. */
int PxXMLInputIsVariableUsed(const PxXMLInput *input, const char *name);

/* Formats the message into the input's error string and, when data (a FILE*)
 * is not null, prints "<Warning|Error> in line L, pos C: message". */
int PxXMLDefaultErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...) PX_XML_PRINTF(4, 5);

/* Collects the messages of a whole load into one growing text; its data is a
 * PxXMLErrorCollection. Set fileName before each file so that the text says
 * which file a message belongs to. */
typedef struct PxXMLErrorCollection {
    char *text;             /* null until the first message */
    int length;             /* characters in text */
    int capacity;           /* bytes allocated */
    int growth;             /* the text grows by whole steps of this many bytes */
    const char *fileName;   /* the file now being read, set by the caller */
    char *recordedFileName; /* the file named last in text (owned) */
} PxXMLErrorCollection;

void PxXMLErrorCollectionInit(PxXMLErrorCollection *collection, int growth);
void PxXMLErrorCollectionTerm(PxXMLErrorCollection *collection);
int PxXMLCummulatingErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...)
    PX_XML_PRINTF(4, 5);

/* Processing. */
int PxXMLInputProcess(PxXMLInput *input, PxXMLHandler *handlers);
int PxXMLElementProcess(PxXMLElement *element, PxXMLHandler *handlers, void *userData);
PxXMLInput *PxXMLElementGetInput(const PxXMLElement *element);
int PxXMLHandlerWasCalled(const PxXMLHandler *handlers, const char *name);
int PxXMLHandlerGetError(const PxXMLHandler *handlers, const char *name);
/* Fills a type-0 entry with a copy of name; returns 0 when memory runs out. */
int PxXMLElementHandlerCreate(PxXMLHandler *entry, const char *name, PxXMLElementFunction function);
void PxXMLElementHandlerDestroy(PxXMLHandler *entry);

/* The next tag's text (without '<' and '>') into buffer, skipping text,
 * comments and declarations before it. */
int readNextTag(PxXMLInput *input, char *buffer, int size);
/* The element text up to the next tag, comments removed and variables
 * substituted; the tag itself is left for readNextTag. */
int readToNextTag(PxXMLInput *input, char *buffer, int size);

/* Reads the first tag of stream and returns it as a root element (depth 1)
 * when its name is rootName; otherwise null, with the stream where it was. */
PxXMLElement *CreateParser(PxStream *stream, const char *rootName);
/* Gives the characters read ahead back to the file, then frees the input
 * and the element. */
void DestroyParser(PxXMLElement *element);

/* Removes trailing white space in place; returns the first non-blank character. */
char *dropspace(char *text);

/* Value parsers: read the element text and store at (char *)userData + entry->offset. */
int PxXMLParseString(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseStringArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseInt(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseUInt(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseIntArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseUIntArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParsePxReal(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseDouble(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseFloat(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParsePxRealArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseDoubleArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseFloatArray(PxXMLInput *input, PxXMLHandler *entry, void *userData);
/* The array parsers ignore values beyond count; these refuse them ("expected
 * %d PxReals, found more\n", "expected %d ints, found more\n", "expected %d
 * strings, found more\n", code 2) after storing the first count. */
int PxXMLParsePxRealArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseIntArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxXMLParseStringArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData);
/* Stores four floats (red, green, blue, alpha); count 3 reads no alpha. */
int PxXMLParseColor(PxXMLInput *input, PxXMLHandler *entry, void *userData);

/* Colour names are resolved by the graphics layer: the lookup fills rgba and
 * returns non-zero when it knows the name. Returns the previous lookup. */
typedef int (*PxXMLColorLookup)(const char *name, float rgba[4]);
PxXMLColorLookup PxXMLSetColorLookup(PxXMLColorLookup lookup);

/* Writer. Each call writes one line to stream, or to PxInfo at level 0 when
 * stream is null; returns 1 when the whole line was written, else 0. */
int PxXMLWriteStartTag(const char *tag, PxStream *stream);
int PxXMLWriteStartTagAttrib(const char *tag, PxStream *stream, const char *format, ...) PX_XML_PRINTF(3, 4);
int PxXMLWriteEndTag(const char *tag, PxStream *stream);
int PxXMLWrite(const char *tag, PxStream *stream, const char *format, ...) PX_XML_PRINTF(3, 4);
int PxXMLWriteAttrib(const char *tag, PxStream *stream, const char *attributes, const char *format, ...)
    PX_XML_PRINTF(4, 5);
void PxXMLIndent(void);
void PxXMLDeIndent(void);
void PxXMLSetIndent(int n);
int PxXMLGetIndent(void);
void PxXMLSetTopLevelIndent(int n);
int PxXMLGetTopLevelIndent(void);
const char *PxXMLGetVersion(void);

PX_EXTERN_C_END

#endif
