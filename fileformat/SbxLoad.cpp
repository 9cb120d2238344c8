// The SBX section (the material-pair table) and loading whole files into a
// simulation universe.
#include <stdlib.h>
#include <string.h>

#include <kelmar/PxMessage.h>
#include <kelmar/Sbx.h>

#include "PxFileInternal.h"

namespace {

struct MaterialPairRecord {
    int ids[2];
    PxfParamsRecord params;
};

int loadMaterialPair(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    MaterialPairRecord r;
    memset(&r, 0, sizeof r);
    PxfParamsRecordInit(&r.params);
    PxXMLHandler t[] = {PX_XML_VALUE("MATERIAL_IDS", PxXMLParseIntArrayExact, offsetof(MaterialPairRecord, ids), 2),
                        PX_XML_ELEMENT("CONTACT_PARAMS", PxfLoadContactParams), PX_XML_END};
    context->params = &r.params;
    const int code = PxXMLElementProcess(element, t, &r);
    context->params = nullptr;
    RbdContactParams *target = SbxBridgeGetContactParams(context->bridge, r.ids[0], r.ids[1]);
    RbdContactParams params;
    if (PxfBadEntry(t) || !PxXMLHandlerWasCalled(t, "MATERIAL_IDS"))
        PXF_PROBLEM(context, at, "<MATERIAL_PAIR> contains an invalid or no <MATERIAL_IDS>. Pair not set.\n");
    else if (!target)
        PXF_PROBLEM(context, at, "Material pair %d,%d is outside the bridge's %d materials. Pair not set.\n",
                    r.ids[0], r.ids[1], SbxBridgeGetMaterialCount(context->bridge));
    else if (PxfParamsFromRecord(context, at, &r.params, &params))
        *target = params;
    return code;
}

int loadMaterialTable(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    char text[32];
    char *end = nullptr;
    const long size = PxfAttribute(element, "size", text, sizeof text) ? strtol(text, &end, 10) : -1;
    if (size < 0 || !end || *end) {
        PXF_PROBLEM(context, PxfPositionOf(element),
                    "<MATERIAL_TABLE> needs a size=\"n\" attribute. Table not loaded.\n");
        return PX_XML_SKIP_ELEMENT;
    }
    const int capacity = SbxBridgeGetMaterialCount(context->bridge);
    if (size > capacity) {
        PXF_PROBLEM(context, PxfPositionOf(element),
                    "<MATERIAL_TABLE> size %ld is more than the bridge's %d materials. Table not loaded.\n", size,
                    capacity);
        return PX_XML_SKIP_ELEMENT;
    }
    // Materials below the table's size are in use from now on.
    while (SbxBridgeGetMaterialsUsed(context->bridge) < size && SbxBridgeGetNewMaterial(context->bridge) != 0) {}
    PxXMLHandler t[] = {PX_XML_ELEMENT("MATERIAL_PAIR", loadMaterialPair), PX_XML_END};
    return PxXMLElementProcess(element, t, context);
}

} // namespace

extern "C" {

int SbxLoadXML(PxXMLElement *element)
{
    PxXMLHandler t[] = {PX_XML_ELEMENT("MATERIAL_TABLE", loadMaterialTable), PX_XML_END};
    return PxXMLElementProcess(element, t, PxfContextOf(element));
}

int SbxUniverseLoad(SbxUniverseID universe, PxStream *stream, PxLoadContext *context)
{
    if (!universe || !context) {
        PxWarning(PXF_MISUSE_LEVEL, "SbxUniverseLoad: needs a universe and a load context.\n");
        return 0;
    }
    context->universe = universe;
    context->world = SbxUniverseGetWorld(universe);
    context->space = SbxUniverseGetSpace(universe);
    context->bridge = SbxUniverseGetBridge(universe);
    PxLoadContextSetSectionHandler(context, PXF_SECTION_RBD, RbdLoadXML);
    PxLoadContextSetSectionHandler(context, PXF_SECTION_CDX, CdxLoadXML);
    PxLoadContextSetSectionHandler(context, PXF_SECTION_SBX, SbxLoadXML);
    return PxLoad(context, stream);
}

PxLoadContext *SbxUniverseLoadFile(SbxUniverseID universe, const char *fileName, unsigned int options)
{
    if (!universe || !fileName) {
        PxWarning(PXF_MISUSE_LEVEL, "SbxUniverseLoadFile: needs a universe and a file name.\n");
        return nullptr;
    }
    PxStream *stream = PxStreamOpen(fileName, PX_MODE_READ);
    if (!stream) stream = PxStreamOpenWithSearch(fileName, PX_MODE_READ);
    if (!stream) {
        PxInfo(PXF_LOAD_LEVEL, "File %s not found.\n", fileName);
        return nullptr;
    }
    PxLoadContext *context = PxLoadContextCreate();
    int ok = context != nullptr;
    if (ok) {
        PxLoadContextSetOptions(context, options);
        ok = SbxUniverseLoad(universe, stream, context);
    }
    PxStreamClose(stream);
    if (ok) return context;
    // Everything or nothing: what the file made so far goes again.
    PxInfo(PXF_LOAD_LEVEL, "Error loading %s.\n", fileName);
    PxLoadContextDestroyObjects(context);
    PxLoadContextDestroy(context);
    return nullptr;
}

} // extern "C"
