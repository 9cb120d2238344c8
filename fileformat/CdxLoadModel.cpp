// MODEL, COMPOSITE and NO_INTERACTION elements of the CDX section. A model
// follows a body (BODY_ID, with an offset REL_TM), stands at a transform
// of its own (TM), or is an element of a composite (IN_COMPOSITE). Models
// are made here and completed at the end of the section.
#include <stddef.h>
#include <string.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "CdxLoad.h"

namespace {

struct ModelRecord {
    char id[PXF_ID_SIZE], geometryId[PXF_ID_SIZE], bodyId[PXF_ID_SIZE], inComposite[PXF_ID_SIZE];
    int responseId, frozen, materialId, requestId, setMass, maxCount;
    PxReal relTm[16], tm[16], density;
    PxfElementRef element;   // the ELEMENT being read
    PxfElementRef *elements; // a composite's ELEMENTS
    int elementCount, elementCapacity;
};

typedef ModelRecord R;

int appendElement(void *, PxXMLElement *element, void *inputUserData)
{
    PxLoadContext *context = static_cast<PxLoadContext *>(inputUserData);
    R *r = static_cast<R *>(context->current);
    if (r->elementCount == r->elementCapacity) {
        const int capacity = r->elementCapacity ? 2 * r->elementCapacity : 8;
        void *grown = PxMemoryAPI.resize(r->elements, sizeof(PxfElementRef) * static_cast<size_t>(capacity));
        if (!grown) return PX_XML_LIMIT;
        r->elements = static_cast<PxfElementRef *>(grown);
        r->elementCapacity = capacity;
    }
    r->elements[r->elementCount++] = r->element;
    (void)element;
    return PX_XML_OK;
}

int loadElement(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    R *r = static_cast<R *>(context->current);
    const PxReal identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memset(&r->element, 0, sizeof r->element);
    memcpy(r->element.relTm, identity, sizeof identity);
    PxXMLHandler t[] = {PXF_TEXT("MODEL_ID", PxfElementRef, modelId), PXF_REALS("REL_TM", PxfElementRef, relTm, 16),
                        PX_XML_END};
    const int code = PxXMLElementProcess(element, t, &r->element);
    if (PxfBadEntry(t)) return PX_XML_BAD_VALUE;
    return code == PX_XML_OK ? appendElement(nullptr, element, context) : code;
}

int loadElements(PxXMLElement *element)
{
    PxXMLHandler t[] = {PX_XML_ELEMENT("ELEMENT", loadElement), PX_XML_END};
    const int code = PxXMLElementProcess(element, t, PxfContextOf(element));
    return PxfBadEntry(t) ? PX_XML_BAD_VALUE : code;
}

// The geometry a model names; null (reported) when there is none fitting.
CdxGeometryID findGeometry(PxLoadContext *context, PxfPosition at, const R &r, bool composite,
                           PxLoadEntry **geometryEntry)
{
    char fullId[PXF_FULL_ID_SIZE];
    *geometryEntry = nullptr;
    if (r.geometryId[0] && PxLoadContextMakeFullID(context, r.geometryId, fullId, sizeof fullId))
        *geometryEntry = PxLoadContextLookupEntry(context, fullId, PX_KIND_GEOMETRY);
    if (!r.geometryId[0]) {
        PXF_PROBLEM(context, at, "Model '%s' invalid. You must supply a valid geometry ID. Model not created.\n",
                    r.id);
        return nullptr;
    }
    if (!*geometryEntry) {
        PXF_PROBLEM(context, at, "Model '%s' refers to non-existent geometry '%s'. Model not created.\n", r.id,
                    r.geometryId);
        return nullptr;
    }
    // A composite geometry belongs to exactly one COMPOSITE; every other
    // geometry to MODEL elements.
    const bool isComposite = (*geometryEntry)->integer != 0;
    if (isComposite != composite || (composite && (*geometryEntry)->object)) {
        PXF_PROBLEM(context, at, "Model '%s' invalid. You must supply a valid geometry ID. Model not created.\n",
                    r.id);
        return nullptr;
    }
    return composite ? nullptr : static_cast<CdxGeometryID>((*geometryEntry)->object);
}

// Where the model stands; false (reported) for a wrong combination.
bool placementValid(PxLoadContext *context, PxfPosition at, PxXMLHandler *t, const R &r)
{
    const bool body = PxXMLHandlerWasCalled(t, "BODY_ID"), tm = PxXMLHandlerWasCalled(t, "TM");
    const bool element = PxXMLHandlerWasCalled(t, "IN_COMPOSITE");
    PxMatrix4 m;
    if (element && (body || tm))
        PXF_PROBLEM(context, at,
                    "Model '%s' invalid. An element of a composite takes neither <BODY_ID> nor <TM>. Model not "
                    "created.\n",
                    r.id);
    else if (!element && !body && !tm)
        PXF_PROBLEM(context, at,
                    "Model '%s' invalid. Must specify either a <BODY_ID> or a <TM> tag. Model not created.\n", r.id);
    else if (body && tm)
        PXF_PROBLEM(context, at,
                    "Model '%s' invalid. <BODY_ID> and <TM> tags are mutually exclusive. Model not created.\n", r.id);
    else if (tm && (PxfMatrix4FromReals(m, r.tm), !PxMatrix4IsTM(m, PXF_TM_TOLERANCE)))
        PXF_PROBLEM(context, at, "Model '%s' contains an invalid transformation matrix. Model not created.\n", r.id);
    else if (PxXMLHandlerWasCalled(t, "REL_TM") &&
             (PxfMatrix4FromReals(m, r.relTm), !PxMatrix4IsTM(m, PXF_TM_TOLERANCE)))
        PXF_PROBLEM(context, at, "Model '%s' contains an invalid relative transform matrix. Model not created.\n",
                    r.id);
    else
        return true;
    return false;
}

// The body a model follows; null (reported) when it is missing or taken.
RbdBodyID findBody(PxLoadContext *context, PxfPosition at, const R &r)
{
    char fullId[PXF_FULL_ID_SIZE];
    RbdBodyID body = nullptr;
    if (PxLoadContextMakeFullID(context, r.bodyId, fullId, sizeof fullId)) body = RbdBodyLookup(context, fullId);
    if (!body || RbdBodyGetModel(body)) {
        PXF_PROBLEM(context, at, "Body invalid for model '%s'. Model not created.\n", r.id);
        return nullptr;
    }
    return body;
}

bool modelIsValid(PxLoadContext *context, PxfPosition at, PxXMLHandler *t, const R &r, char *fullId)
{
    const PxXMLHandler *bad = PxfBadEntry(t);
    const int materials = context->bridge ? SbxBridgeGetMaterialCount(context->bridge) : 0;
    if (!PxXMLHandlerWasCalled(t, "ID") || !r.id[0])
        PXF_PROBLEM(context, at,
                    "A model was encountered without an <ID> field. You must supply each model with a unique integer "
                    "ID. Model not created.\n");
    else if (bad)
        PXF_PROBLEM(context, at, "Model '%s' contains an invalid <%s> element. Model not created.\n", r.id,
                    bad->name);
    else if (!PxfFullID(context, at, r.id, fullId))
        return false;
    else if (CdxModelLookup(context, fullId))
        PXF_PROBLEM(context, at, "Duplicate ID '%s' detected. Model not created.\n", r.id);
    else if (!(r.density > 0.0))
        PXF_PROBLEM(context, at, "Model '%s' has a density of %g; it must be > 0. Model not created.\n", r.id,
                    r.density);
    else if (r.materialId < 0 || (context->bridge && r.materialId >= materials))
        PXF_PROBLEM(context, at, "Model '%s' refers to material %d, which does not exist. Model not created.\n", r.id,
                    r.materialId);
    else
        return placementValid(context, at, t, r);
    return false;
}

// Body link with the optional offset, or the model's own transform.
void place(PxLoadContext *context, CdxModelID m, PxfModelStorage *storage, const PxXMLHandler *t, const R &r,
           RbdBodyID body)
{
    PxfFrame frame;
    memcpy(frame.tm, context->transform, sizeof(PxMatrix4));
    frame.scale = context->scale;
    PxMatrix4 m4;
    if (body) {
        CdxModelSetBody(m, body);
        if (!PxXMLHandlerWasCalled(t, "REL_TM")) return;
        PxfMatrix4FromReals(storage->relative, r.relTm);
        for (int j = 0; j < 3; ++j) storage->relative[3][j] *= frame.scale;
        CdxModelSetRelativeTransformPtrs(m, &storage->relative, CdxModelGetReferenceTransformPtr(m),
                                         &storage->transform);
        CdxModelUpdate(m);
    } else if (PxXMLHandlerWasCalled(t, "TM")) {
        PxfMatrix4FromReals(m4, r.tm);
        PxfFrameTransform(frame, m4, storage->transform);
        CdxModelSetTransformPtr(m, &storage->transform);
        CdxModelSetLinearVelocityPtr(m, storage->zeroLinear);
        CdxModelSetAngularVelocityPtr(m, storage->zeroAngular);
    } else {
        CdxModelSetTransformPtr(m, &storage->transform); // receives its place in the composite
    }
}

void makeModel(PxLoadContext *context, PxfPosition at, R &r, PxXMLHandler *t, bool composite)
{
    char fullId[PXF_FULL_ID_SIZE];
    PxLoadEntry *geometryEntry = nullptr;
    if (!modelIsValid(context, at, t, r, fullId)) return;
    CdxGeometryID geometry = findGeometry(context, at, r, composite, &geometryEntry);
    if (!geometryEntry) return;
    RbdBodyID body = PxXMLHandlerWasCalled(t, "BODY_ID") ? findBody(context, at, r) : nullptr;
    if (PxXMLHandlerWasCalled(t, "BODY_ID") && !body) return;
    PxfModelStorage *storage = static_cast<PxfModelStorage *>(PxMemoryAPI.createZeroed(sizeof(PxfModelStorage)));
    CdxModelID m = storage ? (composite ? CdxCompositeModelCreate(r.maxCount) : CdxModelCreate(geometry)) : nullptr;
    PxLoadEntry *entry = m ? PxLoadHashInsert(context, fullId, m, PX_KIND_MODEL) : nullptr;
    if (!entry) {
        if (m) CdxModelDestroy(m);
        PxMemoryAPI.destroy(storage);
        PXF_PROBLEM(context, at, "Model '%s' could not be created. Model not created.\n", r.id);
        return;
    }
    entry->storage = storage;
    for (int i = 0; i < 4; ++i) storage->transform[i][i] = storage->relative[i][i] = 1.0;
    if (composite) PxfSetEntryObject(context, geometryEntry, CdxModelGetGeometry(m));
    CdxModelSetMaterialID(m, r.materialId);
    CdxModelSetRequestID(m, r.requestId);
    CdxModelSetDensity(m, r.density);
    place(context, m, storage, t, r, body);
    if (PxXMLHandlerWasCalled(t, "RESPONSE_ID")) CdxModelSetResponseID(m, r.responseId);
    if (PxXMLHandlerWasCalled(t, "IN_COMPOSITE")) {
        char parentId[PXF_FULL_ID_SIZE];
        PxLoadContextMakeFullID(context, r.inComposite, parentId, sizeof parentId);
        entry->string1 = static_cast<char *>(PxMemoryAPI.create(strlen(parentId) + 1));
        if (entry->string1) strcpy(entry->string1, parentId);
    }
    PxfPendingModel pending = {entry, r.elements, r.elementCount, r.frozen, r.setMass, at.line, at.column};
    if (PxfAddPendingModel(context, pending)) r.elements = nullptr;
}

int loadModel(PxXMLElement *element, bool composite)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    R *r = static_cast<R *>(PxMemoryAPI.createZeroed(sizeof(R)));
    if (!r) return PX_XML_LIMIT;
    r->density = 1.0;
    PxXMLHandler t[] = {PXF_TEXT("ID", R, id),
                        PXF_TEXT("GEOMETRY_ID", R, geometryId),
                        PXF_INT("RESPONSE_ID", R, responseId),
                        PXF_TEXT("BODY_ID", R, bodyId),
                        PXF_REALS("REL_TM", R, relTm, 16),
                        PXF_REALS("TM", R, tm, 16),
                        PXF_INT("FROZEN", R, frozen),
                        PXF_INT("MATERIAL_ID", R, materialId),
                        PXF_INT("REQUEST_ID", R, requestId),
                        PXF_REALS("DENSITY", R, density, 1),
                        PXF_TEXT("IN_COMPOSITE", R, inComposite),
                        PXF_INT("SET_BODY_MASS_PROPERTIES", R, setMass),
                        PXF_INT("ELEMENT_MAX_COUNT", R, maxCount),
                        PX_XML_ELEMENT("ELEMENTS", loadElements),
                        PX_XML_END};
    // A MODEL has neither a count of elements nor elements.
    if (!composite) t[12] = t[14], t[13] = t[14];
    void *outer = context->current;
    context->current = r;
    const int code = PxXMLElementProcess(element, t, r);
    context->current = outer;
    makeModel(context, at, *r, t, composite);
    PxMemoryAPI.destroy(r->elements);
    PxMemoryAPI.destroy(r);
    return code;
}

int loadPlainModel(PxXMLElement *element)
{
    return loadModel(element, false);
}
int loadCompositeModel(PxXMLElement *element)
{
    return loadModel(element, true);
}

struct PairRecord {
    char ids[2][PXF_ID_SIZE];
};

int appendPair(void *userData, PxXMLElement *child, void *inputUserData)
{
    PxLoadContext *context = static_cast<PxLoadContext *>(inputUserData);
    const PairRecord *r = static_cast<const PairRecord *>(userData);
    if (context->pairCount == context->pairCapacity) {
        const int capacity = context->pairCapacity ? 2 * context->pairCapacity : 8;
        void *grown = PxMemoryAPI.resize(context->pairs, sizeof(PxfIdPair) * static_cast<size_t>(capacity));
        if (!grown) return PX_XML_LIMIT;
        context->pairs = static_cast<PxfIdPair *>(grown);
        context->pairCapacity = capacity;
    }
    PxfIdPair &pair = context->pairs[context->pairCount++];
    memcpy(pair.ids, r->ids, sizeof pair.ids);
    pair.line = PxXMLElementGetInput(child)->line;
    pair.column = PxXMLElementGetInput(child)->column;
    return PX_XML_OK;
}

int loadNoInteraction(PxXMLElement *element)
{
    PairRecord r;
    memset(&r, 0, sizeof r);
    PxXMLHandler t[] = {{"MODEL_IDS", PX_XML_VALUE_HANDLER, (PxXMLFunction)PxXMLParseStringArray,
                         offsetof(PairRecord, ids), 2, PXF_ID_SIZE, 0, 0, appendPair},
                        PX_XML_END};
    const int code = PxXMLElementProcess(element, t, &r);
    return PxfBadEntry(t) ? PX_XML_BAD_VALUE : code;
}

} // namespace

int PxfLoadModels(PxXMLElement *element)
{
    PxXMLHandler t[] = {PX_XML_ELEMENT("MODEL", loadPlainModel), PX_XML_ELEMENT("COMPOSITE", loadCompositeModel),
                        PX_XML_ELEMENT("NO_INTERACTION", loadNoInteraction), PX_XML_END};
    return PxXMLElementProcess(element, t, PxfContextOf(element));
}
