// The load pass: the document (PX with CORE, IMPORT, PX_APPS and
// USER_APPS), the reader's messages counted for the context, and imports
// of other files with an ID prefix, a transform and a scale.
#include <limits.h>
#include <stddef.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>

#include "PxFileInternal.h"

namespace {

// Counts the reader's messages for the context, then hands them on.
int countingHandler(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    PxLoadContext *context = static_cast<PxLoadContext *>(input->userData);
    char text[PX_XML_ERROR_STRING_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (severity == PX_XML_ERROR) ++context->errors;
    if (severity == PX_XML_WARNING) ++context->warnings;
    return context->errorHandler(input, severity, code, "%s", text);
}

int loadSection(PxXMLElement *element, int section)
{
    PxLoadContext *context = PxfContextOf(element);
    if (context->sections[section]) return context->sections[section](element);
    PXF_NOTICE(context, PxfPositionOf(element), "<%s> section skipped: nothing to load it into.\n", element->name);
    return PX_XML_SKIP_ELEMENT;
}

int loadRbd(PxXMLElement *element)
{
    return loadSection(element, PXF_SECTION_RBD);
}
int loadCdx(PxXMLElement *element)
{
    return loadSection(element, PXF_SECTION_CDX);
}
int loadSbx(PxXMLElement *element)
{
    return loadSection(element, PXF_SECTION_SBX);
}

int loadCore(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    PxXMLHandler table[] = {PX_XML_ELEMENT("RBD", loadRbd), PX_XML_ELEMENT("CDX", loadCdx),
                            PX_XML_ELEMENT("SBX", loadSbx), PX_XML_END};
    const int code = PxXMLElementProcess(element, table, context);
    if (context->coreDone) context->coreDone(context, context->coreDoneData);
    return code;
}

int loadRender(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    return context->renderHandler ? context->renderHandler(element, context->renderData) : PX_XML_SKIP_ELEMENT;
}

int loadApps(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    context->sawApps = 1;
    PxXMLHandler table[] = {PX_XML_ELEMENT("RENDER", loadRender), PX_XML_END};
    const int code = PxXMLElementProcess(element, table, context);
    if (context->appsDone) context->appsDone(context, context->appsDoneData);
    return code;
}

int loadUserApps(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    return context->userHandler ? context->userHandler(element, context->userData) : PX_XML_SKIP_ELEMENT;
}

int loadImport(PxXMLElement *element);

// Versions 1.0 to 1.4 share the elements this reader knows; a file written
// in another could mean something else by them.
bool versionKnown(const char *version)
{
    char *end = nullptr;
    const long major = strtol(version, &end, 10);
    if (end == version || major != 1 || *end != '.') return false;
    const char *minorText = end + 1;
    const long minor = strtol(minorText, &end, 10);
    return end != minorText && *end == '\0' && minor >= 0 && minor <= 4;
}

int loadPx(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    char version[32];
    if (PxfAttribute(element, "file_format_version", version, sizeof version) && !versionKnown(version)) {
        PXF_PROBLEM(context, PxfPositionOf(element),
                    "File format version '%s' is not one this reader knows (1.0 to %s). Nothing loaded from this "
                    "file.\n",
                    version, PxXMLGetVersion());
        return PX_XML_SKIP_ELEMENT;
    }
    PxXMLHandler table[] = {PX_XML_ELEMENT("CORE", loadCore), PX_XML_ELEMENT("IMPORT", loadImport),
                            PX_XML_ELEMENT("PX_APPS", loadApps), PX_XML_ELEMENT("USER_APPS", loadUserApps),
                            PX_XML_END};
    return PxXMLElementProcess(element, table, context);
}

// ---- imports ----

struct ImportRecord {
    char id[PXF_ID_SIZE];
    char name[PX_XML_TEXT_SIZE];
    PxReal tm[16];
    PxReal pos[3];
    PxReal rot[3];
    PxReal scale;
};

// The checks of a PX_FILE element that keep it from being imported.
bool importIsValid(PxLoadContext *context, PxfPosition at, PxXMLHandler *table, const ImportRecord &r)
{
    const bool hasId = PxXMLHandlerWasCalled(table, "ID") && r.id[0];
    const bool hasName = PxXMLHandlerWasCalled(table, "NAME") && r.name[0];
    const PxXMLHandler *bad = PxfBadEntry(table);
    const char *extension = hasName ? strrchr(r.name, '.') : nullptr;
    if (bad)
        PXF_PROBLEM(context, at, "<PX_FILE> element '%s' contains an invalid <%s> element. File not imported.\n",
                    r.id, bad->name);
    else if (!hasId)
        PXF_PROBLEM(context, at, "<PX_FILE> element must have an <ID> element. File '%s' not imported.\n", r.name);
    else if (!hasName)
        PXF_PROBLEM(context, at, "<PX_FILE> element must have an <NAME> element. File '%s' not imported.\n", r.id);
    else if (strchr(r.id, '.'))
        PXF_PROBLEM(context, at,
                    "<PX_FILE> element cannot have an <ID> containing a full stop. File '%s' not imported.\n",
                    r.name);
    else if (!extension)
        PXF_PROBLEM(context, at,
                    "<NAME> element '%s' must include extension. Currently only .px files are supported. File not "
                    "imported.\n",
                    r.name);
    else if (strcmp(extension, ".px") != 0)
        PXF_PROBLEM(context, at, "Currently only .px are supported. File not imported.\n");
    else if (!(r.scale > 0.0))
        PXF_PROBLEM(context, at, "<PX_FILE> element '%s' has a scale of %g; it must be > 0. File not imported.\n",
                    r.id, r.scale);
    else
        return true;
    return false;
}

// The import's placement in the importing file's frame: TM, or POS and ROT.
bool importPlacement(PxLoadContext *context, PxfPosition at, const PxXMLHandler *table, const ImportRecord &r,
                     PxMatrix4 out)
{
    const bool euler = PxXMLHandlerWasCalled(table, "POS") || PxXMLHandlerWasCalled(table, "ROT");
    PxfMatrix4FromReals(out, r.tm);
    if (PxXMLHandlerWasCalled(table, "TM") && euler)
        PXF_NOTICE(context, at,
                   "In <PX_FILE> element '%s' you specified both a transform and euler angles. The transform will be "
                   "ignored.\n",
                   r.id);
    if (euler) {
        PxMatrix3 rotation;
        PxMatrix3FromEulerAngles(rotation, r.rot[0], r.rot[1], r.rot[2]);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) out[i][j] = rotation[i][j];
            out[i][3] = 0.0;
            out[3][i] = r.pos[i];
        }
        out[3][3] = 1.0;
    }
    if (PxMatrix4IsTM(out, PXF_TM_TOLERANCE)) return true;
    PXF_PROBLEM(context, at, "<PX_FILE> element '%s' contains an invalid transformation matrix. File not imported.\n",
                r.id);
    return false;
}

PxStream *openIn(const char *directory, const char *name)
{
    char path[PATH_MAX];
    const int n = snprintf(path, sizeof path, "%s%s%s", directory,
                           directory[0] && directory[strlen(directory) - 1] != '/' ? "/" : "", name);
    return n > 0 && n < static_cast<int>(sizeof path) ? PxStreamOpen(path, PX_MODE_READ) : nullptr;
}

// The imported file: in the working directory, as given, beside the
// importing file, then along the search list.
PxStream *openImport(PxLoadContext *context, const char *name)
{
    if (context->opener) return context->opener(name, context->openerData);
    const bool relative = name[0] != '/';
    PxStream *stream = nullptr;
    if (relative && context->workingDirectory) stream = openIn(context->workingDirectory, name);
    if (!stream) stream = PxStreamOpen(name, PX_MODE_READ);
    const char *slash = context->fileName ? strrchr(context->fileName, '/') : nullptr;
    if (!stream && relative && slash) {
        char directory[PATH_MAX];
        const size_t n = static_cast<size_t>(slash - context->fileName) + 1;
        if (n < sizeof directory) {
            memcpy(directory, context->fileName, n);
            directory[n] = '\0';
            stream = openIn(directory, name);
        }
    }
    if (!stream) stream = PxStreamOpenWithSearch(name, PX_MODE_READ);
    return stream;
}

// Reads the imported file with the prefix, scale and transform extended,
// and puts them back afterwards.
void importFile(PxLoadContext *context, PxfPosition at, const ImportRecord &r, const PxMatrix4 placement)
{
    PxStream *stream = openImport(context, r.name);
    if (!stream) {
        PXF_PROBLEM(context, at, "File %s not found.\n", r.name);
        return;
    }
    char savedPrefix[PXF_FULL_ID_SIZE];
    PxMatrix4 savedTransform, scaled;
    memcpy(savedPrefix, context->prefix, sizeof savedPrefix);
    memcpy(savedTransform, context->transform, sizeof(PxMatrix4));
    const PxReal savedScale = context->scale;
    memcpy(scaled, placement, sizeof(PxMatrix4));
    for (int j = 0; j < 3; ++j) scaled[3][j] *= savedScale;
    PxMatrix4TMCompound(context->transform, savedTransform, scaled);
    context->scale = savedScale * r.scale;
    const int n = snprintf(context->prefix, sizeof context->prefix, "%s%s.", savedPrefix, r.id);
    const bool fits = n > 0 && n < static_cast<int>(sizeof context->prefix);
    if (!fits) PXF_PROBLEM(context, at, "The ID prefix of import '%s' is too long. File not imported.\n", r.id);
    if (fits && !PxLoad(context, stream)) PXF_PROBLEM(context, at, "Error loading %s.\n", r.name);
    memcpy(context->prefix, savedPrefix, sizeof savedPrefix);
    memcpy(context->transform, savedTransform, sizeof(PxMatrix4));
    context->scale = savedScale;
    PxStreamClose(stream);
}

int loadPxFile(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    ImportRecord r;
    memset(&r, 0, sizeof r);
    r.scale = 1.0;
    PxXMLHandler table[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(ImportRecord, id), PXF_ID_SIZE),
                            PX_XML_VALUE("NAME", PxXMLParseString, offsetof(ImportRecord, name), PX_XML_TEXT_SIZE),
                            PX_XML_VALUE("TM", PxfParseFinite, offsetof(ImportRecord, tm), 16),
                            PX_XML_VALUE("POS", PxfParseMagnitude, offsetof(ImportRecord, pos), 3),
                            PX_XML_VALUE("ROT", PxfParseFinite, offsetof(ImportRecord, rot), 3),
                            PX_XML_VALUE("SCALE", PxXMLParsePxReal, offsetof(ImportRecord, scale), 1),
                            PX_XML_END};
    const PxReal identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(r.tm, identity, sizeof identity);
    const int code = PxXMLElementProcess(element, table, &r);
    PxMatrix4 placement;
    if (importIsValid(context, at, table, r) && importPlacement(context, at, table, r, placement))
        importFile(context, at, r, placement);
    return code;
}

int loadImport(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    PxXMLHandler table[] = {PX_XML_ELEMENT("PX_FILE", loadPxFile), PX_XML_END};
    const int code = PxXMLElementProcess(element, table, context);
    if (!PxXMLHandlerWasCalled(table, "PX_FILE"))
        PXF_PROBLEM(context, at, "<IMPORT> section doesn't contain a <PX_FILE> element. Nothing imported.\n");
    return code;
}

// ---- the open-file stack ----

char *canonicalName(const char *name)
{
    char path[PATH_MAX];
    const char *use = realpath(name, path) ? path : name;
    const size_t n = strlen(use) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (copy) memcpy(copy, use, n);
    return copy;
}

bool isOpen(const PxLoadContext *context, const char *canonical)
{
    for (int i = 0; i < context->fileDepth; ++i)
        if (strcmp(context->fileStack[i], canonical) == 0) return true;
    return false;
}

// A file already being read would import itself for ever; nesting deeper
// than the stack is refused too, and said to be what it is. Both are
// problems of the file, reported at the importing element: the load fails,
// the caller's process goes on.
bool mayOpen(PxLoadContext *context, const char *canonical, const char *name)
{
    const PxfPosition at = {context->input ? context->input->line : 0, context->input ? context->input->column : 0};
    if (isOpen(context, canonical)) {
        PXF_PROBLEM(context, at,
                    "You tried to open '%s' twice. Check your <IMPORT> hierarchy for infinite recursion.\n", name);
        return false;
    }
    if (context->fileDepth < PXF_MAX_IMPORT_DEPTH) return true;
    PXF_PROBLEM(context, at, "Imports nest more than %d files deep at '%s'. File not imported.\n",
                PXF_MAX_IMPORT_DEPTH, name);
    return false;
}

// Asks the application for a display object per model, hues evenly spaced.
void makeGraphicForAllModels(PxLoadContext *context)
{
    if (!context->graphicMaker) return;
    int count = 0, index = 0;
    PxHashIterator it;
    PxHashInitIterator(&it, context->hash);
    while (const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(PxHashGetDatum(&it)))
        if (entry->kind == PX_KIND_MODEL && entry->object) ++count;
    PxHashInitIterator(&it, context->hash);
    while (const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(PxHashGetDatum(&it))) {
        if (entry->kind != PX_KIND_MODEL || !entry->object) continue;
        float rgb[3];
        PxHSVtoRGB(360.0f * static_cast<float>(index++) / static_cast<float>(count), 1.0f, 1.0f, rgb);
        context->graphicMaker(static_cast<CdxModelID>(entry->object), rgb, context->graphicData);
    }
}

// State of the file being read, kept across the load of an imported one.
struct FileState {
    PxXMLInput *input;
    const char *fileName;
    int sawApps;
};

int processDocument(PxLoadContext *context, PxStream *stream)
{
    PxXMLInput *input = PxXMLInputCreate(stream);
    if (!input) return 0;
    PxXMLInputSetUserData(input, context);
    PxXMLInputSetErrorHandler(input, countingHandler, context->errorData);
    context->input = input;
    PxXMLHandler top[] = {PX_XML_ELEMENT("PX", loadPx), PX_XML_END};
    const int code = PxXMLInputProcess(input, top);
    const PxfPosition end = {input->line, input->column};
    if (code == PX_XML_OK && !PxXMLHandlerWasCalled(top, "PX"))
        PXF_PROBLEM(context, end, "No <PX> element found in %s. Nothing loaded.\n", stream->name);
    PxXMLInputDestroy(input);
    return code == PX_XML_OK;
}

} // namespace

extern "C" {

int PxLoad(PxLoadContext *context, PxStream *stream)
{
    if (!context) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid load context.\n");
        return PX_LOAD_FAILED;
    }
    if (!stream || !stream->file) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid stream.\n");
        return PX_LOAD_FAILED;
    }
    if (!PxMatrix4IsTM(context->transform, PXF_TM_TOLERANCE)) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid transformation.\n");
        return PX_LOAD_FAILED;
    }
    char *canonical = canonicalName(stream->name ? stream->name : "");
    if (!canonical) return PX_LOAD_FAILED;
    if (!mayOpen(context, canonical, stream->name)) {
        PxMemoryAPI.destroy(canonical);
        return PX_LOAD_FAILED;
    }
    const int errorsBefore = context->errors, warningsBefore = context->warnings;
    const FileState saved = {context->input, context->fileName, context->sawApps};
    context->fileStack[context->fileDepth++] = canonical;
    context->fileName = stream->name;
    context->sawApps = 0;
    const int parsed = processDocument(context, stream);
    if (!context->sawApps && saved.input == nullptr) makeGraphicForAllModels(context);
    PxMemoryAPI.destroy(context->fileStack[--context->fileDepth]);
    context->input = saved.input;
    context->fileName = saved.fileName;
    context->sawApps = saved.sawApps;
    if (!parsed || context->errors != errorsBefore) return PX_LOAD_FAILED;
    return context->warnings == warningsBefore ? PX_LOAD_DONE : PX_LOAD_DONE_WITH_WARNINGS;
}

} // extern "C"
