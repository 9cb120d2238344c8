// The SBX section (the bridge's material-pair table), naming a universe's
// objects, and saving a whole universe to a file.
#include <kelmar/Cdx.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Sbx.h>

#include "PxFileInternal.h"

namespace {

int writeMaterialTable(const PxSaveEntry *entry, PxStream *s)
{
    SbxBridgeID bridge = static_cast<SbxBridgeID>(entry->object);
    const int size = SbxBridgeGetMaterialCount(bridge);
    int ok = PxXMLWriteStartTagAttrib("MATERIAL_TABLE", s, "size=\"%d\"", size);
    PxXMLIndent();
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j <= i; ++j) {
            ok &= PxXMLWriteStartTag("MATERIAL_PAIR", s);
            ok &= PxXMLWrite("MATERIAL_IDS", s, "%d,%d", i, j);
            ok &= PxfWriteContactParams(s, SbxBridgeGetContactParams(bridge, i, j));
            ok &= PxXMLWriteEndTag("MATERIAL_PAIR", s);
        }
    }
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("MATERIAL_TABLE", s);
    return ok;
}

// The save kind of a loaded entry, -1 for entries that are not saved.
int saveKindOf(const PxLoadEntry *entry)
{
    switch (entry->kind) {
    case PX_KIND_WORLD:
    case PX_KIND_BODY:
    case PX_KIND_CONSTRAINT:
    case PX_KIND_GEOMETRY:
    case PX_KIND_BRIDGE: return entry->kind;
    case PX_KIND_MODEL:
        return CdxModelGetParent(static_cast<CdxModelID>(entry->object)) ? PX_KIND_ELEMENT : PX_KIND_MODEL;
    default: return -1;
    }
}

} // namespace

extern "C" {

const char *SbxBridgeHashInsert(PxSaveContext *context, SbxBridgeID bridge, const char *id)
{
    return PxSaveHashInsert(context, bridge, id, PX_KIND_BRIDGE);
}

const char *SbxModelAndBodyHashInsert(PxSaveContext *context, CdxModelID model, const char *id)
{
    const char *name = CdxModelHashInsert(context, model, id);
    if (!name) return nullptr;
    RbdBodyID body = CdxModelGetBody(model);
    if (body && !RbdBodyHashInsert(context, body, name)) return nullptr;
    if (CdxModelIsComposite(model)) CdxSubModelHashInsert(context, model);
    return name;
}

int SbxUniverseHashInsertAll(PxSaveContext *context, SbxUniverseID universe)
{
    if (!context || !universe) {
        PxWarning(PXF_MISUSE_LEVEL, "SbxUniverseHashInsertAll: needs a context and a universe.\n");
        return 0;
    }
    int ok = RbdWorldHashInsertAll(context, SbxUniverseGetWorld(universe));
    ok &= CdxSpaceHashInsertAll(context, SbxUniverseGetSpace(universe));
    ok &= SbxBridgeHashInsert(context, SbxUniverseGetBridge(universe), "AUTO_BRIDGE") != nullptr;
    return ok;
}

int SbxWriteXML(PxSaveContext *context, PxStream *stream)
{
    if (!context || !stream) return 0;
    int count = 0;
    PxSaveEntry **bridges = PxfSaveEntriesOfKind(context, PX_KIND_BRIDGE, &count);
    int ok = PxXMLWriteStartTag("SBX", stream);
    PxXMLIndent();
    for (int i = 0; i < count; ++i) ok &= writeMaterialTable(bridges[i], stream);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("SBX", stream);
    PxMemoryAPI.destroy(bridges);
    return ok;
}

int SbxSave(PxSaveContext *context, PxStream *stream)
{
    PxSaveContextSetWriter(context, PX_SAVE_RBD, RbdWriteXML);
    PxSaveContextSetWriter(context, PX_SAVE_CDX, CdxWriteXML);
    PxSaveContextSetWriter(context, PX_SAVE_SBX, SbxWriteXML);
    return PxSave(context, stream);
}

int PxSaveContextInsertLoaded(PxSaveContext *saveContext, PxLoadContext *loadContext)
{
    PxHash *loaded = PxLoadContextGetHash(loadContext);
    if (!saveContext || !loaded) return 0;
    int ok = 1;
    PxHashIterator it;
    PxHashInitIterator(&it, loaded);
    while (const PxLoadEntry *entry = static_cast<const PxLoadEntry *>(PxHashGetDatum(&it))) {
        const int kind = saveKindOf(entry);
        if (kind >= 0 && entry->object)
            ok &= PxSaveHashInsert(saveContext, entry->object, entry->id, kind) != nullptr;
    }
    return ok;
}

int SbxUniverseSaveFile(SbxUniverseID universe, const char *fileName, PxLoadContext *loaded, unsigned int options)
{
    if (!universe || !fileName) {
        PxWarning(PXF_MISUSE_LEVEL, "SbxUniverseSaveFile: needs a universe and a file name.\n");
        return 0;
    }
    PxStream *stream = PxStreamOpen(fileName, PX_MODE_WRITE);
    if (!stream) {
        PxWarning(PXF_LOAD_LEVEL, "SbxUniverseSaveFile: cannot open %s for writing.\n", fileName);
        return 0;
    }
    PxSaveContext *context = PxSaveContextCreate();
    int ok = context != nullptr;
    if (ok) {
        PxSaveContextSetOptions(context, options);
        if (loaded) ok &= PxSaveContextInsertLoaded(context, loaded);
        ok &= SbxUniverseHashInsertAll(context, universe);
        ok &= SbxSave(context, stream);
    }
    PxSaveContextDestroy(context);
    PxStreamClose(stream);
    return ok;
}

} // extern "C"
