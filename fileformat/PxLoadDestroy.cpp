// Destroying what a load made, in an order that leaves nothing pointing at
// freed records: constraints, models (composites before their elements),
// bodies, geometries.
#include <kelmar/Cdx.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "PxFileInternal.h"

namespace {

typedef void (*EntryAction)(PxLoadContext *context, PxLoadEntry *entry);

void forEach(PxLoadContext *context, int kind, EntryAction action)
{
    PxHashIterator it;
    PxHashInitIterator(&it, context->hash);
    while (PxLoadEntry *entry = static_cast<PxLoadEntry *>(PxHashGetDatum(&it)))
        if (entry->kind == kind && entry->object) action(context, entry);
}

void destroyConstraint(PxLoadContext *context, PxLoadEntry *entry)
{
    RbdConstraintDestroy(static_cast<RbdConstraintID>(entry->object));
    PxfSetEntryObject(context, entry, nullptr);
}

// A model of the space, with its body in a universe (whose bridge ends the
// model's pairs first).
void destroyTopModel(PxLoadContext *context, PxLoadEntry *entry)
{
    if (entry->string1) return;
    CdxModelID model = static_cast<CdxModelID>(entry->object);
    RbdBodyID body = CdxModelGetBody(model);
    if (context->universe && CdxModelGetSpace(model)) {
        SbxModelDestroy(context->universe, model);
        PxLoadEntry *bodyEntry = body ? PxfEntryOfObject(context, body, PX_KIND_BODY) : nullptr;
        if (bodyEntry) PxfSetEntryObject(context, bodyEntry, nullptr);
    } else {
        if (CdxModelGetSpace(model)) CdxSpaceRemoveModel(model);
        if (body) CdxModelSetBody(model, nullptr);
        CdxModelDestroy(model);
    }
    PxfSetEntryObject(context, entry, nullptr);
}

// Composite elements first, so that no composite is left holding an
// element that went before it.
void destroyCompositeElement(PxLoadContext *context, PxLoadEntry *entry)
{
    if (!CdxModelIsComposite(static_cast<CdxModelID>(entry->object))) return;
    CdxModelDestroy(static_cast<CdxModelID>(entry->object));
    PxfSetEntryObject(context, entry, nullptr);
}

void destroyElement(PxLoadContext *context, PxLoadEntry *entry)
{
    CdxModelDestroy(static_cast<CdxModelID>(entry->object));
    PxfSetEntryObject(context, entry, nullptr);
}

void destroyBody(PxLoadContext *context, PxLoadEntry *entry)
{
    RbdBodyDestroy(static_cast<RbdBodyID>(entry->object));
    PxfSetEntryObject(context, entry, nullptr);
}

// Composite geometries went with their models.
void destroyGeometry(PxLoadContext *context, PxLoadEntry *entry)
{
    if (!entry->integer) CdxGeometryDestroy(static_cast<CdxGeometryID>(entry->object));
    PxfSetEntryObject(context, entry, nullptr);
}

} // namespace

extern "C" {

void PxLoadContextDestroyObjects(PxLoadContext *context)
{
    if (!context) return;
    forEach(context, PX_KIND_CONSTRAINT, destroyConstraint);
    forEach(context, PX_KIND_MODEL, destroyTopModel);
    forEach(context, PX_KIND_MODEL, destroyCompositeElement);
    forEach(context, PX_KIND_MODEL, destroyElement);
    forEach(context, PX_KIND_BODY, destroyBody);
    forEach(context, PX_KIND_GEOMETRY, destroyGeometry);
    PxHashReset(context->byObject);
    PxHashReset(context->hash);
}

} // extern "C"
