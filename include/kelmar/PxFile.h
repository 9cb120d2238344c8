/* Toolkit scene files: a dynamics world with its bodies and constraints,
 * the collision geometries and models of a collision space and the bridge's
 * material-pair table, written to and read from one XML document.
 *
 * Saving. Name the objects to save in a save context (one ID per object;
 * an object named twice keeps its first name), then write:
 *
 *   PxSaveContext *save = PxSaveContextCreate();
 *   SbxUniverseHashInsertAll(save, universe);      names everything unnamed
 *   SbxSave(save, stream);                          RBD, CDX and SBX sections
 *   PxSaveContextDestroy(save);
 *
 * Reals are written with seven significant digits ("%.7g"), vectors and
 * matrices as comma-separated lists; within a kind, objects are written in
 * the order of their IDs, so that equal scenes give equal files.
 *
 * Loading. A load context resolves references by ID and records every
 * object it makes under its full ID (the prefixes of the imports that led
 * to it, each followed by '.', then the ID in the file):
 *
 *   PxLoadContext *load = PxLoadContextCreate();
 *   SbxUniverseLoad(universe, stream, load);        1 when the whole file loaded
 *   RbdBodyID arm = RbdBodyLookup(load, "robot.arm");
 *   ...
 *   PxLoadContextDestroyObjects(load);              everything it made
 *   PxLoadContextDestroy(load);
 *
 * The context owns the transforms its collision models read (fixed poses,
 * offsets from bodies, placements in composites): destroy the loaded
 * models before the context. Loaded triangle meshes own their vertices.
 *
 * Problems in a file are reported with PxInfo at level 0 (where in the
 * toolkit, the message, and the file) and through the context's error
 * handler with the line and column in the file; the object concerned is
 * not created and loading goes on. Values the reader rejects (wrong counts
 * of numbers, text that is not a number) make the object they belong to
 * refused as well. */
#ifndef KELMAR_PXFILE_H
#define KELMAR_PXFILE_H

#include "PxTypes.h"
#include "PxHash.h"
#include "PxStream.h"
#include "PxXML.h"
#include "RbdTypes.h"
#include "CdxTypes.h"
#include "SbxResponse.h"
#include "SbxUniverse.h"

PX_EXTERN_C_BEGIN

/* Kinds of the objects a file holds. */
enum PxFileKind {
    PX_KIND_WORLD = 0,
    PX_KIND_BODY = 1,
    PX_KIND_CONSTRAINT = 2,
    PX_KIND_GEOMETRY = 4,
    PX_KIND_MODEL = 5,
    PX_KIND_ELEMENT = 7, /* element model of a composite (saving) */
    PX_KIND_BRIDGE = 8
};

/* Longest ID in a file, terminator excluded. */
#define PX_FILE_ID_LENGTH 255
/* Longest full ID (import prefixes included), terminator excluded. */
#define PX_FILE_FULL_ID_LENGTH 1023

/* ---------------------------------------------------------------- saving */

/* Save option bits. */
enum { PX_SAVE_CONTACTS = 1 }; /* also write contact constraints */

/* Sections a save context can write. */
enum PxSaveSection { PX_SAVE_RBD = 0, PX_SAVE_CDX = 1, PX_SAVE_SBX = 2 };

typedef struct PxSaveContext PxSaveContext;

/* One named object of a save context (the datum of its hash). */
typedef struct PxSaveEntry {
    void *object;
    char *id; /* owned */
    int kind; /* PxFileKind */
} PxSaveEntry;

/* Writes one section (the RBD, CDX or SBX element) to stream; 1 on success. */
typedef int (*PxSaveWriter)(PxSaveContext *context, PxStream *stream);
/* Writes a geometry of a type the collision writer does not know: returns
 * 1 when it wrote the geometry's element, 0 when the type is not its own. */
typedef int (*PxSaveGeometryWriter)(PxSaveContext *context, CdxGeometryID geometry, const char *id, PxStream *stream);
/* Writes the content of the USER_APPS element; 1 on success. */
typedef int (*PxSaveUserWriter)(PxSaveContext *context, PxStream *stream, void *data);

/* Null when memory is short. */
PxSaveContext *PxSaveContextCreate(void);
void PxSaveContextDestroy(PxSaveContext *context);
void PxSaveContextSetOptions(PxSaveContext *context, unsigned int options);
unsigned int PxSaveContextGetOptions(const PxSaveContext *context);
void PxSaveContextSetUserdataHandler(PxSaveContext *context, PxSaveUserWriter writer, void *data);
/* Registers the writer of a section (null: the section is not written). */
void PxSaveContextSetWriter(PxSaveContext *context, int section, PxSaveWriter writer);
/* Adds a geometry writer (at most three); 0 when the table is full. */
int PxSaveContextAddGeometryWriter(PxSaveContext *context, PxSaveGeometryWriter writer);
/* The table of named objects, keyed by object address; data are PxSaveEntry. */
PxHash *PxSaveContextGetHash(PxSaveContext *context);

/* Names object (of kind) id; returns the ID the object now has (its first
 * one when it was named before), or null for a bad argument or when memory
 * is short (fatal error). */
const char *PxSaveHashInsert(PxSaveContext *context, void *object, const char *id, int kind);
/* The entry of object, null when it is not named. */
const PxSaveEntry *PxSaveContextLookup(PxSaveContext *context, const void *object);

/* Naming. The ...All functions give every unnamed object a generated name:
 * "AUTO_BODY%d", "AUTO_CONSTRAINT%d" (enabled constraints: the others
 * cannot be reached from the world), "AUTO_MODEL%d" or "AUTO_MODEL%d_%s"
 * with the model's name, "AUTO_GEOM%d" or "AUTO_GEOM%d_%s", and
 * "%s_element%d" for the elements of a composite named %s. */
const char *RbdWorldHashInsert(PxSaveContext *context, RbdWorldID world, const char *id);
const char *RbdBodyHashInsert(PxSaveContext *context, RbdBodyID body, const char *id);
const char *RbdConstraintHashInsert(PxSaveContext *context, RbdConstraintID constraint, const char *id);
/* The world (as "AUTO_WORLD" when unnamed), its bodies and its enabled
 * constraints. 1, or 0 for a bad argument. */
int RbdWorldHashInsertAll(PxSaveContext *context, RbdWorldID world);
const char *CdxGeometryHashInsert(PxSaveContext *context, CdxGeometryID geometry, const char *id);
/* A model (kind 5, or 7 for an element of a composite). */
const char *CdxModelHashInsert(PxSaveContext *context, CdxModelID model, const char *id);
/* Names the elements of a composite model (recursively) after it. 1, or 0
 * when the composite has no name yet. */
int CdxSubModelHashInsert(PxSaveContext *context, CdxModelID compositeModel);
/* Every model of the space, their elements and their geometries. */
int CdxSpaceHashInsertAll(PxSaveContext *context, CdxSpaceID space);
const char *SbxBridgeHashInsert(PxSaveContext *context, SbxBridgeID bridge, const char *id);
/* A model and its body under the same ID. */
const char *SbxModelAndBodyHashInsert(PxSaveContext *context, CdxModelID model, const char *id);
/* World, space and bridge of the universe ("AUTO_BRIDGE" when unnamed). */
int SbxUniverseHashInsertAll(PxSaveContext *context, SbxUniverseID universe);

/* Writing. PxSave writes the whole document with the writers registered;
 * the others register their writers first (SbxSave all three) and call it.
 * 1 on success; a null stream gives a level-3 warning and 0. */
int PxSave(PxSaveContext *context, PxStream *stream);
int RbdSave(PxSaveContext *context, PxStream *stream);
int CdxSave(PxSaveContext *context, PxStream *stream);
int SbxSave(PxSaveContext *context, PxStream *stream);
/* The section writers. */
int RbdWriteXML(PxSaveContext *context, PxStream *stream);
int CdxWriteXML(PxSaveContext *context, PxStream *stream);
int SbxWriteXML(PxSaveContext *context, PxStream *stream);

/* --------------------------------------------------------------- loading */

/* Load option bits. */
enum {
    PX_LOAD_BODIES_DISABLED = 1,
    PX_LOAD_CONSTRAINTS_DISABLED = 2,
    PX_LOAD_IGNORE_FORCES = 4,    /* FORCE and TORQUE */
    PX_LOAD_IGNORE_VELOCITIES = 8 /* VEL and ANGVEL: bodies start at rest */
};

typedef struct PxLoadContext PxLoadContext;

/* One loaded object (the datum of the context's hash). */
typedef struct PxLoadEntry {
    int kind; /* PxFileKind: kinds of different objects may share an ID */
    char *id; /* full ID, owned */
    void *object;
    char *string1; /* model: the composite it is an element of, else null */
    char *string2; /* unused, null */
    int integer;   /* geometry: 1 for a composite geometry (freed with its model) */
    void *storage; /* owned data the object reads (model transforms) */
} PxLoadEntry;

/* Element function of a section (the element given is RBD, CDX or SBX). */
typedef int (*PxLoadSectionHandler)(PxXMLElement *element);
/* Handler of the children of USER_APPS or RENDER; the context is the
 * input's user data (PxXMLInputGetUserData). */
typedef int (*PxLoadUserHandler)(PxXMLElement *element, void *data);
/* Called after a CORE element and after a PX_APPS element. */
typedef void (*PxLoadDoneCallback)(PxLoadContext *context, void *data);
/* Asked to make a display object for a model of a file without PX_APPS,
 * with a colour of its own (hues evenly spaced). */
typedef void (*PxLoadGraphicMaker)(CdxModelID model, const float rgb[3], void *data);

/* Identity transform, scale 1, empty prefix, no options. Null when memory
 * is short. */
PxLoadContext *PxLoadContextCreate(void);
/* Frees the context and the transforms it owns; the objects stay. */
void PxLoadContextDestroy(PxLoadContext *context);
/* Destroys every object the context made (constraints, models, bodies,
 * geometries, in an order that leaves nothing dangling) and forgets them. */
void PxLoadContextDestroyObjects(PxLoadContext *context);
/* Placement of everything loaded: poses are carried by tm (a TM within
 * 1e-7, else 0 and nothing changes), lengths multiplied by the scale factor
 * (> 0) and masses by its cube. */
int PxLoadContextSetTransform(PxLoadContext *context, const PxMatrix4 tm);
void PxLoadContextGetTransform(const PxLoadContext *context, PxMatrix4 out);
int PxLoadContextSetScaleFactor(PxLoadContext *context, PxReal scale);
PxReal PxLoadContextGetScaleFactor(const PxLoadContext *context);
/* Directory (copied) that relative import names are tried in first. */
void PxLoadContextSetWorkingDirectory(PxLoadContext *context, const char *directory);
const char *PxLoadContextGetWorkingDirectory(const PxLoadContext *context);
void PxLoadContextSetOptions(PxLoadContext *context, unsigned int options);
unsigned int PxLoadContextGetOptions(const PxLoadContext *context);
/* Handler of USER_APPS children and its data (PxLoadContextGetUserdata). */
void PxLoadContextSetUserdataHandler(PxLoadContext *context, PxLoadUserHandler handler, void *data);
void *PxLoadContextGetUserdata(const PxLoadContext *context);
void PxLoadContextSetRenderHandler(PxLoadContext *context, PxLoadUserHandler handler, void *data);
void PxLoadContextSetCoreDoneCallback(PxLoadContext *context, PxLoadDoneCallback fn, void *data);
void PxLoadContextSetAppsDoneCallback(PxLoadContext *context, PxLoadDoneCallback fn, void *data);
void PxLoadContextSetGraphicMaker(PxLoadContext *context, PxLoadGraphicMaker fn, void *data);
/* Opens an imported file by its name as written in the importing file;
 * null when there is none. With an opener set, imports are opened by it
 * alone (a file set held in memory, an archive). */
typedef PxStream *(*PxLoadFileOpener)(const char *name, void *data);
void PxLoadContextSetFileOpener(PxLoadContext *context, PxLoadFileOpener fn, void *data);
/* Message sink of the reader and of load problems (null: the reader's
 * default, standard error). */
void PxLoadContextSetErrorHandler(PxLoadContext *context, PxXMLErrorHandler handler, void *data);
/* Errors (reader errors and objects refused) and reader warnings since the
 * context was made. */
int PxLoadContextGetErrorCount(const PxLoadContext *context);
int PxLoadContextGetWarningCount(const PxLoadContext *context);
/* Registers the section handler and its target; RbdWorldLoad, CdxSpaceLoad
 * and SbxUniverseLoad do this for their own sections. */
void PxLoadContextSetSectionHandler(PxLoadContext *context, int section, PxLoadSectionHandler handler);
/* The table of loaded objects; data are PxLoadEntry. */
PxHash *PxLoadContextGetHash(PxLoadContext *context);
/* Lists the loaded objects with PxInfo at level 0. */
void PxLoadContextHashDisplay(PxLoadContext *context);
/* The current prefix followed by id into out (size bytes); 1, or 0 when it
 * does not fit. */
int PxLoadContextMakeFullID(const PxLoadContext *context, const char *id, char *out, int size);
/* Records object under fullId; the entry, or null when an object of that
 * kind already has the ID (nothing is replaced) or memory is short. */
PxLoadEntry *PxLoadHashInsert(PxLoadContext *context, const char *fullId, void *object, int kind);
PxLoadEntry *PxLoadContextLookupEntry(PxLoadContext *context, const char *fullId, int kind);

/* Lookups by full ID (null when absent) and by object (null when the
 * context did not make it). */
RbdBodyID RbdBodyLookup(PxLoadContext *context, const char *fullId);
RbdConstraintID RbdConstraintLookup(PxLoadContext *context, const char *fullId);
CdxModelID CdxModelLookup(PxLoadContext *context, const char *fullId);
CdxGeometryID CdxGeometryLookup(PxLoadContext *context, const char *fullId);
const char *RbdBodyLookupStringID(PxLoadContext *context, RbdBodyID body);
const char *RbdConstraintLookupStringID(PxLoadContext *context, RbdConstraintID constraint);
const char *CdxModelLookupStringID(PxLoadContext *context, CdxModelID model);
const char *CdxGeometryLookupStringID(PxLoadContext *context, CdxGeometryID geometry);

/* Results of the loads below: failure (a bad argument, a reader error, an
 * object refused: nothing of the file should be used), success, and success
 * with warnings (values refused or adjusted, elements skipped; the
 * context's warning count says how many, the messages which). */
enum { PX_LOAD_FAILED = 0, PX_LOAD_DONE = 1, PX_LOAD_DONE_WITH_WARNINGS = 2 };

/* Reads a document. The stream's name names the file in messages and in
 * the check for recursive imports; an import cycle and imports nested too
 * deep are load errors (the load fails, nothing ends the process). */
int PxLoad(PxLoadContext *context, PxStream *stream);
/* Bodies and constraints into world. */
int RbdWorldLoad(RbdWorldID world, PxStream *stream, PxLoadContext *context);
/* Geometries and models into space; models follow bodies of an RBD section
 * loaded with the same context. */
int CdxSpaceLoad(CdxSpaceID space, PxStream *stream, PxLoadContext *context);
/* World, space and bridge of the universe. */
int SbxUniverseLoad(SbxUniverseID universe, PxStream *stream, PxLoadContext *context);

/* Section handlers registered by the functions above. */
int RbdLoadXML(PxXMLElement *element);
int CdxLoadXML(PxXMLElement *element);
int SbxLoadXML(PxXMLElement *element);

/* ------------------------------------------------------ whole files at once */

/* Loads the file into the universe; everything or nothing: on any problem
 * the objects already made are destroyed and null is returned. The context
 * returned records the objects; end them with PxLoadContextDestroyObjects
 * and PxLoadContextDestroy. */
PxLoadContext *SbxUniverseLoadFile(SbxUniverseID universe, const char *fileName, unsigned int options);
/* Names every unnamed object of the universe (after the names of loaded,
 * when it is not null) and writes the file. 1 on success. */
int SbxUniverseSaveFile(SbxUniverseID universe, const char *fileName, PxLoadContext *loaded, unsigned int options);
/* Names every object of a load context in a save context with its full ID,
 * so that a loaded scene is saved under the names it was loaded with. */
int PxSaveContextInsertLoaded(PxSaveContext *saveContext, PxLoadContext *loadContext);

PX_EXTERN_C_END

#endif
