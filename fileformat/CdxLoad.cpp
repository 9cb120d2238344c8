// The CDX section of a scene file: geometries, models and the request
// table; at its end composites get their elements, models join the space
// and disabled pairs are disabled.
#include <stdlib.h>
#include <string.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Sbx.h>

#include "CdxLoad.h"

namespace {

PxLoadEntry *findModel(PxLoadContext *context, const char *id)
{
    char fullId[PXF_FULL_ID_SIZE];
    if (!PxLoadContextMakeFullID(context, id, fullId, sizeof fullId)) return nullptr;
    return PxLoadContextLookupEntry(context, fullId, PX_KIND_MODEL);
}

// Destroys a model the section made and forgets it.
void discardModel(PxLoadContext *context, PxLoadEntry *entry)
{
    for (int i = 0; i < context->pendingCount; ++i)
        if (context->pending[i].entry == entry) context->pending[i].entry = nullptr;
    CdxModelDestroy(static_cast<CdxModelID>(entry->object));
    PxfDeleteEntry(context, entry);
}

void addElement(PxLoadContext *context, const PxfPendingModel &p, const PxfElementRef &ref)
{
    const PxfPosition at = {p.line, p.column};
    CdxModelID composite = static_cast<CdxModelID>(p.entry->object);
    PxLoadEntry *element = findModel(context, ref.modelId);
    PxMatrix4 rel;
    PxfMatrix4FromReals(rel, ref.relTm);
    if (!element) {
        PXF_PROBLEM(context, at,
                    "Composite model '%s' refers to non-existent element model '%s'. Element not added.\n",
                    p.entry->id, ref.modelId);
        return;
    }
    if (!element->string1 || strcmp(element->string1, p.entry->id) != 0) {
        PXF_PROBLEM(context, at, "Model '%s' is not marked <IN_COMPOSITE> '%s'. Element not added.\n", ref.modelId,
                    p.entry->id);
        return;
    }
    // An element listed twice is already in the composite: discarding it
    // would leave the composite holding a destroyed model and a freed
    // relative transform.
    if (CdxModelGetParent(static_cast<CdxModelID>(element->object))) {
        PXF_PROBLEM(context, at, "Model '%s' is already an element of a composite. Element not added.\n",
                    ref.modelId);
        return;
    }
    if (!PxMatrix4IsTM(rel, PXF_TM_TOLERANCE)) {
        PXF_PROBLEM(context, at,
                    "Composite child model '%s' does not contain a valid relative transform matrix. Model not "
                    "created.\n",
                    ref.modelId);
        discardModel(context, element);
        return;
    }
    PxfModelStorage *storage = static_cast<PxfModelStorage *>(element->storage);
    memcpy(storage->relative, rel, sizeof rel);
    for (int j = 0; j < 3; ++j) storage->relative[3][j] *= context->scale;
    CdxModelID model = static_cast<CdxModelID>(element->object);
    if (CdxCompositeModelAddElement(composite, model, &storage->relative)) return;
    PXF_PROBLEM(context, at,
                "Composite model '%s' cannot take element '%s' (ELEMENT_MAX_COUNT %d). Model not created.\n",
                p.entry->id, ref.modelId, CdxCompositeModelGetElementMaxCount(composite));
    discardModel(context, element);
}

void addElements(PxLoadContext *context)
{
    for (int i = 0; i < context->pendingCount; ++i) {
        const PxfPendingModel p = context->pending[i];
        for (int k = 0; p.entry && k < p.elementCount; ++k) addElement(context, p, p.elements[k]);
    }
}

// Elements that no composite took.
void dropOrphans(PxLoadContext *context)
{
    for (int i = 0; i < context->pendingCount; ++i) {
        const PxfPendingModel &p = context->pending[i];
        if (!p.entry || !p.entry->string1 || CdxModelGetParent(static_cast<CdxModelID>(p.entry->object))) continue;
        const PxfPosition at = {p.line, p.column};
        PXF_PROBLEM(context, at,
                    "Composite child model '%s' is not an element of composite '%s'. Model not created.\n",
                    p.entry->id, p.entry->string1);
        discardModel(context, p.entry);
    }
}

// A top-level model: mass properties for its body, then the space; false
// when it could not join the space.
bool complete(PxLoadContext *context, const PxfPendingModel &p)
{
    const PxfPosition at = {p.line, p.column};
    CdxModelID model = static_cast<CdxModelID>(p.entry->object);
    RbdBodyID body = CdxModelGetBody(model);
    if (p.setMassProperties && body) {
        const PxReal density = CdxModelIsComposite(model) ? 0.0 : CdxModelGetDensity(model);
        if (!SbxAutoSetMassProperties(body, model, density))
            PXF_PROBLEM(context, at, "Model '%s': its geometry gives no mass properties for its body.\n",
                        p.entry->id);
    }
    if (!context->space) return false;
    if (CdxSpaceInsertModel(context->space, model)) return true;
    PXF_PROBLEM(context, at, "Model '%s' cannot join the collision space.\n", p.entry->id);
    return false;
}

// Models placed one by one would each travel the space's sorted lists
// (quadratic in a large file): they are all inserted, then placed together
// by one update, and frozen once they have their boxes.
void placeInSpace(PxLoadContext *context)
{
    bool inserted = false;
    for (int i = 0; i < context->pendingCount; ++i) {
        PxfPendingModel &p = context->pending[i];
        if (p.entry && !p.entry->string1 && !complete(context, p)) p.frozen = 0;
        inserted = inserted || (p.entry && !p.entry->string1);
    }
    if (!context->space || !inserted) return;
    if (CdxSpaceIsChanging(context->space)) CdxSpaceUpdateAll(context->space);
    for (int i = 0; i < context->pendingCount; ++i) {
        const PxfPendingModel &p = context->pending[i];
        if (p.entry && !p.entry->string1 && p.frozen) CdxSpaceFreezeModel(static_cast<CdxModelID>(p.entry->object));
    }
}

void disablePairs(PxLoadContext *context)
{
    for (int i = 0; i < context->pairCount; ++i) {
        const PxfIdPair &pair = context->pairs[i];
        const PxfPosition at = {pair.line, pair.column};
        PxLoadEntry *a = findModel(context, pair.ids[0]), *b = findModel(context, pair.ids[1]);
        if (!a || !b) {
            PXF_PROBLEM(context, at, "<NO_INTERACTION> refers to non-existent model '%s'.\n",
                        a ? pair.ids[1] : pair.ids[0]);
            continue;
        }
        if (!CdxSpaceDisablePair(static_cast<CdxModelID>(a->object), static_cast<CdxModelID>(b->object)))
            PXF_PROBLEM(context, at, "The pair of models '%s' and '%s' cannot be disabled.\n", pair.ids[0],
                        pair.ids[1]);
    }
}

struct RequestRecord {
    int ids[2];
    int contactMaxCount;
    int faceNormalsFirst;
};

int loadRequest(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    RequestRecord r;
    memset(&r, 0, sizeof r);
    r.contactMaxCount = 4;
    PxXMLHandler t[] = {PX_XML_VALUE("REQUEST_IDS", PxXMLParseIntArrayExact, offsetof(RequestRecord, ids), 2),
                        PXF_INT("CONTACT_MAX_COUNT", RequestRecord, contactMaxCount),
                        PXF_INT("FACE_NORMALS_FIRST", RequestRecord, faceNormalsFirst), PX_XML_END};
    const int code = PxXMLElementProcess(element, t, &r);
    const CdxRequest request = {r.contactMaxCount, r.faceNormalsFirst};
    if (PxfBadEntry(t) || !PxXMLHandlerWasCalled(t, "REQUEST_IDS") || r.contactMaxCount < 0 ||
        !CdxuRequestTableSetRequest(CdxSpaceGetRequestTable(context->space), r.ids[0], r.ids[1], &request))
        PXF_PROBLEM(context, at, "<REQUEST> for request ids %d,%d is invalid. Request not set.\n", r.ids[0],
                    r.ids[1]);
    return code;
}

int loadRequestTable(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    char text[32];
    char *end = nullptr;
    const long size = PxfAttribute(element, "size", text, sizeof text) ? strtol(text, &end, 10) : 0;
    CdxuRequestTable *table = nullptr;
    if (size >= 1 && size <= 4096 && end && !*end && context->space)
        table = CdxuRequestTableCreate(static_cast<int>(size), nullptr);
    if (!table) {
        PXF_PROBLEM(context, at, "<REQUEST_TABLE> needs a size=\"n\" attribute of 1 to 4096. Table not loaded.\n");
        return PX_XML_SKIP_ELEMENT;
    }
    // The table is the space's: it takes effect for the pairs of this
    // universe only.
    CdxSpaceSetRequestTable(context->space, table);
    PxXMLHandler t[] = {PX_XML_ELEMENT("REQUEST", loadRequest), PX_XML_END};
    return PxXMLElementProcess(element, t, context);
}

} // namespace

void PxfResolveModels(PxLoadContext *context)
{
    addElements(context);
    dropOrphans(context);
    placeInSpace(context);
    disablePairs(context);
    for (int i = 0; i < context->pendingCount; ++i) PxMemoryAPI.destroy(context->pending[i].elements);
    context->pendingCount = 0;
    context->pairCount = 0;
}

extern "C" {

int CdxLoadXML(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    PxXMLHandler t[] = {PX_XML_ELEMENT("GEOMETRIES", PxfLoadGeometries), PX_XML_ELEMENT("MODELS", PxfLoadModels),
                        PX_XML_ELEMENT("REQUEST_TABLE", loadRequestTable), PX_XML_END};
    const int code = PxXMLElementProcess(element, t, context);
    PxfResolveModels(context);
    return code;
}

int CdxSpaceLoad(CdxSpaceID space, PxStream *stream, PxLoadContext *context)
{
    if (!space || !context) {
        PxWarning(PXF_MISUSE_LEVEL, "CdxSpaceLoad: needs a space and a load context.\n");
        return 0;
    }
    context->space = space;
    PxLoadContextSetSectionHandler(context, PXF_SECTION_CDX, CdxLoadXML);
    return PxLoad(context, stream);
}

} // extern "C"
