// The CDX section of a scene file: naming a space's geometries and models,
// and writing geometries, models, composites, disabled pairs and the
// request table.
#include <stdio.h>
#include <string.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Sbx.h>

#include "CdxSaveGeometry.h"
#include "PxFileInternal.h"

namespace {

// Children every model has after its ID and geometry.
int writeModelCommon(PxSaveContext *context, CdxModelID m, PxStream *s)
{
    int ok = 1;
    if (CdxModelGetResponseID(m) != 0) ok &= PxfWriteInt("RESPONSE_ID", s, CdxModelGetResponseID(m));
    RbdBodyID body = CdxModelGetBody(m);
    CdxModelID parent = CdxModelGetParent(m);
    PxMatrix4 *relative = nullptr, *reference = nullptr;
    CdxModelGetRelativeTransformPtrs(m, &relative, &reference);
    if (body) {
        ok &= PxfWriteText("BODY_ID", s, PxfSaveName(context, body));
        if (relative) ok &= PxfWriteMatrix4("REL_TM", s, *relative);
    } else if (!parent) {
        CdxModelUpdate(m);
        PxMatrix4 *tm = CdxModelGetTransformPtr(m);
        if (tm) ok &= PxfWriteMatrix4("TM", s, *tm);
    }
    ok &= PxfWriteInt("FROZEN", s, CdxSpaceModelIsFrozen(m) ? 1 : 0);
    ok &= PxfWriteInt("MATERIAL_ID", s, CdxModelGetMaterialID(m));
    ok &= PxfWriteInt("REQUEST_ID", s, CdxModelGetRequestID(m));
    ok &= PxXMLWrite("DENSITY", s, "%g", CdxModelGetDensity(m));
    if (parent) ok &= PxfWriteText("IN_COMPOSITE", s, PxfSaveName(context, parent));
    return ok;
}

int writeElements(PxSaveContext *context, CdxModelID composite, PxStream *s)
{
    PxXMLIndent();
    int ok = PxXMLWriteStartTag("ELEMENTS", s);
    const int count = CdxCompositeModelGetElementCount(composite);
    for (int i = 0; i < count; ++i) {
        PxXMLIndent();
        ok &= PxXMLWriteStartTag("ELEMENT", s);
        ok &= PxfWriteText("MODEL_ID", s, PxfSaveName(context, CdxCompositeModelGetElement(composite, i)));
        ok &= PxfWriteMatrix4("REL_TM", s, *CdxCompositeModelGetElementRelativeTransformPtr(composite, i));
        ok &= PxXMLWriteEndTag("ELEMENT", s);
        PxXMLDeIndent();
    }
    ok &= PxXMLWriteEndTag("ELEMENTS", s);
    PxXMLDeIndent();
    return ok;
}

int writeModel(PxSaveContext *context, const PxSaveEntry *entry, PxStream *s)
{
    CdxModelID m = static_cast<CdxModelID>(entry->object);
    CdxModelID parent = CdxModelGetParent(m);
    if (parent && !PxSaveContextLookup(context, parent)) {
        PxWarning(PXF_LOAD_LEVEL, "Could not find composite parent model for child model '%s'. Model ignored.\n",
                  entry->id);
        return 1;
    }
    const int composite = CdxModelIsComposite(m);
    const char *tag = composite ? "COMPOSITE" : "MODEL";
    int ok = PxXMLWriteStartTag(tag, s);
    ok &= PxfWriteText("ID", s, entry->id);
    ok &= PxfWriteText("GEOMETRY_ID", s, PxfSaveName(context, CdxModelGetGeometry(m)));
    if (composite) ok &= PxfWriteInt("ELEMENT_MAX_COUNT", s, CdxCompositeModelGetElementMaxCount(m));
    ok &= writeModelCommon(context, m, s);
    if (composite) ok &= writeElements(context, m, s);
    ok &= PxXMLWriteEndTag(tag, s);
    return ok;
}

// Pairs of top-level models the space keeps apart, each once, in ID order.
int writeNoInteraction(PxSaveEntry **models, int count, PxStream *s)
{
    int ok = 1, open = 0;
    for (int i = 0; i < count; ++i) {
        CdxModelID a = static_cast<CdxModelID>(models[i]->object);
        for (int j = i + 1; j < count && CdxModelGetSpace(a); ++j) {
            CdxModelID b = static_cast<CdxModelID>(models[j]->object);
            if (CdxModelGetSpace(b) != CdxModelGetSpace(a) || CdxSpacePairIsEnabled(a, b)) continue;
            if (!open) ok &= PxXMLWriteStartTag("NO_INTERACTION", s);
            open = 1;
            ok &= PxXMLWrite("MODEL_IDS", s, "%s,%s", models[i]->id, models[j]->id);
        }
    }
    if (open) ok &= PxXMLWriteEndTag("NO_INTERACTION", s);
    return ok;
}

int writeModels(PxSaveContext *context, PxStream *s)
{
    int topCount = 0, elementCount = 0;
    PxSaveEntry **top = PxfSaveEntriesOfKind(context, PX_KIND_MODEL, &topCount);
    PxSaveEntry **elements = PxfSaveEntriesOfKind(context, PX_KIND_ELEMENT, &elementCount);
    int ok = PxXMLWriteStartTag("MODELS", s);
    PxXMLIndent();
    for (int i = 0; i < topCount; ++i) ok &= writeModel(context, top[i], s);
    for (int i = 0; i < elementCount; ++i) ok &= writeModel(context, elements[i], s);
    ok &= writeNoInteraction(top, topCount, s);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("MODELS", s);
    PxMemoryAPI.destroy(top);
    PxMemoryAPI.destroy(elements);
    return ok;
}

int writeGeometries(PxSaveContext *context, PxStream *s)
{
    int count = 0;
    PxSaveEntry **entries = PxfSaveEntriesOfKind(context, PX_KIND_GEOMETRY, &count);
    int ok = PxXMLWriteStartTag("GEOMETRIES", s);
    PxXMLIndent();
    for (int i = 0; i < count; ++i) ok &= PxfWriteGeometry(context, entries[i], s);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("GEOMETRIES", s);
    PxMemoryAPI.destroy(entries);
    return ok;
}

int writeRequestTable(CdxuRequestTable *table, PxStream *s)
{
    if (!table) return 1;
    const int size = CdxuRequestTableGetSize(table);
    int ok = PxXMLWriteStartTagAttrib("REQUEST_TABLE", s, "size=\"%d\"", size);
    PxXMLIndent();
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j <= i; ++j) {
            const CdxRequest *request = CdxuRequestTableGetRequestPtr(table, i, j);
            ok &= PxXMLWriteStartTag("REQUEST", s);
            ok &= PxXMLWrite("REQUEST_IDS", s, "%d,%d", i, j);
            ok &= PxfWriteInt("CONTACT_MAX_COUNT", s, request->contactMaxCount);
            ok &= PxfWriteInt("FACE_NORMALS_FIRST", s, request->requestOption != 0 ? 1 : 0);
            ok &= PxXMLWriteEndTag("REQUEST", s);
        }
    }
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("REQUEST_TABLE", s);
    return ok;
}

// A name made of a counter and, when the model has one, the model's name.
void autoName(char *out, size_t size, const char *stem, int index, const char *modelName)
{
    if (modelName && modelName[0])
        snprintf(out, size, "%s%d_%s", stem, index, modelName);
    else
        snprintf(out, size, "%s%d", stem, index);
}

} // namespace

extern "C" {

const char *CdxGeometryHashInsert(PxSaveContext *context, CdxGeometryID geometry, const char *id)
{
    return PxSaveHashInsert(context, geometry, id, PX_KIND_GEOMETRY);
}

const char *CdxModelHashInsert(PxSaveContext *context, CdxModelID model, const char *id)
{
    const int kind = CdxModelGetParent(model) ? PX_KIND_ELEMENT : PX_KIND_MODEL;
    return PxSaveHashInsert(context, model, id, kind);
}

int CdxSubModelHashInsert(PxSaveContext *context, CdxModelID compositeModel)
{
    const PxSaveEntry *entry = PxSaveContextLookup(context, compositeModel);
    if (!entry || !CdxModelIsComposite(compositeModel)) return 0;
    int ok = 1;
    const int count = CdxCompositeModelGetElementCount(compositeModel);
    for (int i = 0; i < count; ++i) {
        CdxModelID element = CdxCompositeModelGetElement(compositeModel, i);
        char id[PXF_FULL_ID_SIZE + 32];
        snprintf(id, sizeof id, "%s_element%d", entry->id, i);
        const char *name = CdxModelHashInsert(context, element, id);
        if (!name) return 0;
        char geometryId[PXF_FULL_ID_SIZE + 40];
        snprintf(geometryId, sizeof geometryId, "%s_geom", name);
        ok &= CdxGeometryHashInsert(context, CdxModelGetGeometry(element), geometryId) != nullptr;
        if (CdxModelIsComposite(element)) ok &= CdxSubModelHashInsert(context, element);
    }
    return ok;
}

int CdxSpaceHashInsertAll(PxSaveContext *context, CdxSpaceID space)
{
    if (!context || !space) {
        PxWarning(PXF_MISUSE_LEVEL, "CdxSpaceHashInsertAll: needs a context and a space.\n");
        return 0;
    }
    context->space = space;
    int ok = 1, index = 0;
    CdxSpaceModelIterator it;
    CdxSpaceModelIteratorBegin(space, &it);
    CdxModelID model = nullptr;
    while (CdxSpaceGetModel(space, &it, &model)) {
        char id[PXF_FULL_ID_SIZE + 32];
        autoName(id, sizeof id, "AUTO_MODEL", index, CdxModelGetName(model));
        ok &= CdxModelHashInsert(context, model, id) != nullptr;
        autoName(id, sizeof id, "AUTO_GEOM", index, CdxModelGetName(model));
        if (CdxModelGetGeometry(model))
            ok &= CdxGeometryHashInsert(context, CdxModelGetGeometry(model), id) != nullptr;
        if (CdxModelIsComposite(model)) ok &= CdxSubModelHashInsert(context, model);
        ++index;
    }
    return ok;
}

int CdxWriteXML(PxSaveContext *context, PxStream *stream)
{
    if (!context || !stream) return 0;
    int ok = PxXMLWriteStartTag("CDX", stream);
    PxXMLIndent();
    ok &= writeGeometries(context, stream);
    ok &= writeModels(context, stream);
    ok &= writeRequestTable(CdxSpaceGetRequestTable(context->space), stream);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("CDX", stream);
    return ok;
}

int CdxSave(PxSaveContext *context, PxStream *stream)
{
    PxSaveContextSetWriter(context, PX_SAVE_CDX, CdxWriteXML);
    return PxSave(context, stream);
}

} // extern "C"
