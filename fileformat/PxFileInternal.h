// Records and helpers shared by the scene-file writer and reader.
#ifndef KELMAR_FILEFORMAT_PXFILEINTERNAL_H
#define KELMAR_FILEFORMAT_PXFILEINTERNAL_H

#include <stddef.h>

#include <kelmar/PxFile.h>

// Section indices of a load context's handlers.
enum PxfSection { PXF_SECTION_RBD = 0, PXF_SECTION_CDX = 1, PXF_SECTION_SBX = 2, PXF_SECTION_COUNT = 3 };

// Nesting of imports a load follows before it gives up.
const int PXF_MAX_IMPORT_DEPTH = 32;
// Room for one ID read from a file (the reader's string parser counts the terminator).
const int PXF_ID_SIZE = PX_FILE_ID_LENGTH + 1;
const int PXF_FULL_ID_SIZE = PX_FILE_FULL_ID_LENGTH + 1;
// Messages of the writer and of bad arguments.
const int PXF_MISUSE_LEVEL = 3;
// Messages of the loader.
const int PXF_LOAD_LEVEL = 0;
// Tolerance of transforms read from files and given to contexts.
const PxReal PXF_TM_TOLERANCE = 1e-7;

struct PxSaveContext {
    PxSaveWriter writers[3];
    PxSaveGeometryWriter geometryWriters[3];
    int geometryWriterCount;
    PxSaveUserWriter userWriter;
    void *userData;
    unsigned int options;
    PxHash *hash;
    CdxSpaceID space; // the space whose models were inserted, for its request table
};

// A model made by a CDX section that still waits for the end of the
// section: composites get their elements, then models join the space.
struct PxfPendingModel {
    PxLoadEntry *entry;
    struct PxfElementRef *elements; // a composite's ELEMENTS, owned until the end of the section
    int elementCount;
    int frozen;            // freeze in the space once inserted
    int setMassProperties; // body mass properties from the model (composites: after their elements)
    int line, column;      // where the model's element began, for messages
};

struct PxLoadContext {
    PxLoadSectionHandler sections[PXF_SECTION_COUNT];
    PxLoadDoneCallback coreDone;
    void *coreDoneData;
    PxLoadDoneCallback appsDone;
    void *appsDoneData;
    PxLoadUserHandler renderHandler;
    void *renderData;
    PxLoadUserHandler userHandler;
    void *userData;
    PxLoadGraphicMaker graphicMaker;
    void *graphicData;
    PxLoadFileOpener opener; // opens imported files instead of the file system, when set
    void *openerData;
    PxXMLErrorHandler errorHandler;
    void *errorData;
    PxHash *hash;     // entries by kind and full ID; grows with its population
    PxHash *byObject; // the same entries by kind and object, for lookups by object

    // Placement of the file being read (imports change it for their file).
    PxMatrix4 transform;
    PxReal scale;
    char prefix[PXF_FULL_ID_SIZE];
    char *workingDirectory;
    unsigned int options;

    // Files being read, outermost first (canonical names).
    char *fileStack[PXF_MAX_IMPORT_DEPTH];
    int fileDepth;
    PxXMLInput *input;    // the input being read
    const char *fileName; // its name as given
    int sawApps;          // the current file had a PX_APPS element

    int errors;
    int warnings;

    // Targets of the sections.
    RbdWorldID world;
    CdxSpaceID space;
    SbxBridgeID bridge;
    SbxUniverseID universe;

    // The record whose children an element function fills (LIMIT,
    // CONTACT_PARAMS, ELEMENTS, mesh vertices and triangles ...).
    void *current;
    // The parameters record a CONTACT_PARAMS element fills.
    struct PxfParamsRecord *params;
    // Models of the CDX section being read.
    PxfPendingModel *pending;
    int pendingCount;
    int pendingCapacity;
    // Pairs of models the section keeps apart (NO_INTERACTION).
    struct PxfIdPair *pairs;
    int pairCount;
    int pairCapacity;
};

// Where an element began in its file.
struct PxfPosition {
    int line;
    int column;
};

// ---- writing (PxSave.cpp) ----
int PxfWriteReal(const char *tag, PxStream *stream, PxReal value);
int PxfWriteReals(const char *tag, PxStream *stream, const PxReal *values, int count);
int PxfWriteInt(const char *tag, PxStream *stream, int value);
int PxfWriteText(const char *tag, PxStream *stream, const char *text);
// The ID of object, or "UNKNOWN" when it has none.
const char *PxfSaveName(PxSaveContext *context, const void *object);
// The entries of one kind sorted by ID; *count of them. Free with PxMemoryAPI.destroy.
PxSaveEntry **PxfSaveEntriesOfKind(PxSaveContext *context, int kind, int *count);
// 16 reals of a matrix, row after row.
int PxfWriteMatrix4(const char *tag, PxStream *stream, const PxMatrix4 m);
// Contact parameters as a CONTACT_PARAMS element (one indent level deeper).
int PxfWriteContactParams(PxStream *stream, const RbdContactParams *params);

// ---- loading (PxLoadContext.cpp, PxLoad.cpp) ----
PxLoadContext *PxfContextOf(PxXMLElement *element);
PxfPosition PxfPositionOf(const PxXMLElement *element);
// A load problem: one message through the error handler, at its position
// in the file. Counts an error.
void PxfLoadProblem(PxLoadContext *context, PxfPosition position, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
#define PXF_PROBLEM(context, position, ...) PxfLoadProblem((context), (position), __VA_ARGS__)
// The same for a problem the loader works around: counts a warning and
// reports with warning severity.
void PxfLoadNotice(PxLoadContext *context, PxfPosition position, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
#define PXF_NOTICE(context, position, ...) PxfLoadNotice((context), (position), __VA_ARGS__)
// After a table was processed: the first entry the reader found a bad
// value in, or null. Entries whose value a check refused (PXF_REFUSED,
// reported already) are settled first: they count as not given.
const PxXMLHandler *PxfBadEntry(PxXMLHandler *table);
// Reals read from a file: the largest finite double is written as
// 1.797693e+308, which reads back smaller; values at or beyond it (and
// infinities) become the largest double again, keeping hard stops and
// unbounded forces what they were.
PxReal PxfRealFromFile(PxReal value);
void PxfRealsFromFile(PxReal *values, int count);
// Value parser of reals in records: PxXMLParsePxRealArray, then the
// largest double restored (PxfRealFromFile) and "nan" refused.
int PxfParseReals(PxXMLInput *input, PxXMLHandler *entry, void *userData);
#define PXF_REALS(name, type, field, count) PX_XML_VALUE((name), PxfParseReals, offsetof(type, field), (count))

// ---- checked values (PxLoadChecks.cpp) ----
// Code of a value a check refused: not an error of the file's structure.
const int PXF_REFUSED = 7;
// What the toolkit can simulate, in the file's units.
const PxReal PXF_SHORTEST_LENGTH = 1e-6;
const PxReal PXF_LONGEST_LENGTH = 1e6;
const PxReal PXF_LARGEST_MAGNITUDE = 1e9; // components of positions, velocities, forces, gravity
// Value parsers that read like PxfParseReals, then refuse (a warning at the
// element, PXF_REFUSED, the record's previous bytes put back) values that
// are not finite, not > 0, not >= 0 (the largest double stays allowed), not
// in [0, 1], not a mass the solver holds (RBD_MASS_MIN .. RBD_MASS_MAX), not
// an inertia tensor (RbdInertiaTensorProblem), not a length in
// PXF_SHORTEST_LENGTH .. PXF_LONGEST_LENGTH, beyond PXF_LARGEST_MAGNITUDE, or
// a zero axis.
int PxfParseFinite(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParsePositive(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseNonNegative(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseUnit(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseMass(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseInertia(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseLength(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseMagnitude(PxXMLInput *input, PxXMLHandler *entry, void *userData);
int PxfParseAxis(PxXMLInput *input, PxXMLHandler *entry, void *userData);
#define PXF_CHECKED(name, parser, type, field, count) PX_XML_VALUE((name), (parser), offsetof(type, field), (count))
#define PXF_INT(name, type, field) PX_XML_VALUE((name), PxXMLParseInt, offsetof(type, field), 1)
#define PXF_TEXT(name, type, field)                                                                                  \
    PX_XML_VALUE((name), PxXMLParseString, offsetof(type, field), sizeof(((type *)0)->field))
// The libraries' own checks, behind the loader's: the warnings they gave
// while an object was made are a value they refused or adjusted, which the
// load reports as a warning of its own at the object's element.
long PxfWarningMark(void);
void PxfNoteLibraryWarnings(PxLoadContext *context, PxfPosition position, const char *kind, const char *id,
                            long mark);
// The value of attribute name="..." in an element's attribute text into
// out; 1 when present.
int PxfAttribute(const PxXMLElement *element, const char *name, char *out, int size);
// Full ID of a file ID; reports and returns 0 when it is too long.
int PxfFullID(PxLoadContext *context, PxfPosition position, const char *id, char *out);
// The rotation part of the context transform.
void PxfContextRotation(const PxLoadContext *context, PxMatrix3 out);
// Scale factor of the current file.
PxReal PxfScale(const PxLoadContext *context);
// Changes the object of an entry, keeping the lookup by object in step
// (entries' objects change only through here).
void PxfSetEntryObject(PxLoadContext *context, PxLoadEntry *entry, void *object);
// The entry of an object of a kind, or null.
PxLoadEntry *PxfEntryOfObject(PxLoadContext *context, const void *object, int kind);
// Forgets an entry entirely (both tables) and frees it.
void PxfDeleteEntry(PxLoadContext *context, PxLoadEntry *entry);
// Records a model made by the CDX section; 0 when memory is short.
int PxfAddPendingModel(PxLoadContext *context, const PxfPendingModel &model);

// ---- frames (PxLoadFrame.cpp): how values in a file become world values ----
// A frame carries file values into the world: the context transform, or a
// body's frame for elements with frame="ID".
struct PxfFrame {
    PxMatrix4 tm;
    PxReal scale;
};
// The frame of element: its frame attribute's body, else the context.
PxfFrame PxfFrameOf(PxLoadContext *context, PxXMLElement *element, const char *objectId);
void PxfFramePoint(const PxfFrame &frame, const PxReal in[3], PxVector3 out);     // scaled and placed
void PxfFrameVector(const PxfFrame &frame, const PxReal in[3], PxVector3 out);    // turned only
void PxfFrameTransform(const PxfFrame &frame, const PxMatrix4 in, PxMatrix4 out); // translation scaled
void PxfFrameQuaternion(const PxfFrame &frame, const PxQuaternion in, PxQuaternion out);
// out = a * b (Hamilton product, w first).
void PxfQuaternionMultiply(PxQuaternion out, const PxQuaternion a, const PxQuaternion b);
// A 4x4 from 16 reals, row after row.
void PxfMatrix4FromReals(PxMatrix4 out, const PxReal values[16]);

// ---- shared pieces of the sections ----
// Contact parameters read from a CONTACT_PARAMS element (RbdLoadParams.cpp).
struct PxfParamsRecord {
    char frictionType[16];
    char frictionModel1[16];
    char frictionModel2[16];
    PxReal friction1, friction2, frictionCoeff1, frictionCoeff2;
    PxReal slip1, slip2, slide1, slide2;
    PxReal restitution, restitutionThreshold, softness, adhesive;
    PxReal spinFriction;
    PxXMLHandler table[20];
    int read; // the element was met
    int bad;  // it held a bad value or word
};
void PxfParamsRecordInit(PxfParamsRecord *record);
// Element function of CONTACT_PARAMS: fills the context's current params record.
int PxfLoadContactParams(PxXMLElement *element);
// Builds parameters from the record; 0 (and a report) for unknown words.
int PxfParamsFromRecord(PxLoadContext *context, PxfPosition position, const PxfParamsRecord *record,
                        RbdContactParams *params);

#endif
