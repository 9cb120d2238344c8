// Geometry elements: the primitives, composites and triangle meshes, and
// the application's writers for any other type.
#include <kelmar/Cdx.h>
#include <kelmar/PxMessage.h>

#include "CdxSaveGeometry.h"

namespace {

int open(const char *tag, const char *id, PxStream *s)
{
    return PxXMLWriteStartTag(tag, s) && PxfWriteText("ID", s, id);
}

int writeSphere(CdxGeometryID g, const char *id, PxStream *s)
{
    return open("SPHERE", id, s) && PxfWriteReal("RADIUS", s, CdxSphereGetRadius(g)) && PxXMLWriteEndTag("SPHERE", s);
}

int writeBox(CdxGeometryID g, const char *id, PxStream *s)
{
    PxVector3 lengths;
    CdxBoxGetDimensions(g, lengths);
    return open("BOX", id, s) && PxfWriteReals("DIMS", s, lengths, 3) && PxXMLWriteEndTag("BOX", s);
}

int writePlane(CdxGeometryID, const char *id, PxStream *s)
{
    return open("PLANE", id, s) && PxXMLWriteEndTag("PLANE", s);
}

int writeCylinder(CdxGeometryID g, const char *id, PxStream *s)
{
    return open("CYLINDER", id, s) && PxfWriteReal("RADIUS", s, CdxCylinderGetRadius(g)) &&
           PxfWriteReal("HEIGHT", s, CdxCylinderGetHeight(g)) && PxXMLWriteEndTag("CYLINDER", s);
}

int writeCone(CdxGeometryID g, const char *id, PxStream *s)
{
    return open("CONE", id, s) && PxfWriteReal("LENGTH", s, CdxConeGetLength(g)) &&
           PxfWriteReal("L_RADIUS", s, CdxConeGetLowerRadius(g)) &&
           PxfWriteReal("U_RADIUS", s, CdxConeGetUpperRadius(g)) && PxXMLWriteEndTag("CONE", s);
}

int writeComposite(CdxGeometryID, const char *id, PxStream *s)
{
    return open("COMPOSITE_GEOMETRY", id, s) && PxXMLWriteEndTag("COMPOSITE_GEOMETRY", s);
}

typedef int (*GeometryWriter)(CdxGeometryID g, const char *id, PxStream *s);

// The writer of a geometry of the types this file knows, else null.
GeometryWriter knownWriter(CdxGeometryTypeID type)
{
    if (type < 0) return nullptr;
    if (type == CdxSphereGetTypeId()) return writeSphere;
    if (type == CdxBoxGetTypeId()) return writeBox;
    if (type == CdxPlaneGetTypeId()) return writePlane;
    if (type == CdxCylinderGetTypeId()) return writeCylinder;
    if (type == CdxConeGetTypeId()) return writeCone;
    if (type == CdxCompositeGetTypeId()) return writeComposite;
    if (type == CdxTriangleMeshGetTypeId()) return PxfWriteTriangleMesh;
    return nullptr;
}

} // namespace

int PxfWriteGeometry(PxSaveContext *context, const PxSaveEntry *entry, PxStream *s)
{
    CdxGeometryID g = static_cast<CdxGeometryID>(entry->object);
    GeometryWriter writer = knownWriter(CdxGeometryGetTypeId(g));
    if (writer) return writer(g, entry->id, s);
    for (int i = 0; i < context->geometryWriterCount; ++i)
        if (context->geometryWriters[i](context, g, entry->id, s)) return 1;
    PxWarning(PXF_MISUSE_LEVEL, "CdxWriteXML: geometry '%s' of type %s has no file element. Skipped.\n", entry->id,
              CdxGeometryGetTypeName(g));
    return 1;
}
