// Geometry elements of the CDX section: spheres, boxes, planes, cylinders,
// cones, composite geometries (made with their composite model) and
// triangle meshes, inline (VERTICES and TRIANGLES) or from an OBJ file.
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMemory.h>

#include "CdxLoad.h"

namespace {

struct GeometryRecord {
    char id[PXF_ID_SIZE];
    PxReal radius, dims[3], height, length, lowerRadius, upperRadius;
    int vertexCount, triangleCount;
    char objFile[PX_XML_TEXT_SIZE];
    PxReal v[3];      // the vertex being read
    int t[3];         // the triangle being read
    PxReal *vertices; // vertexCount x 3, read so far: verticesRead
    int *triangles;   // triangleCount x 3, read so far: trianglesRead
    int verticesRead, trianglesRead;
    int vertexRoom, triangleRoom; // entries the arrays were made for (a count may change after)
};

// Counts beyond this are refused: a file's count must not make the loader
// ask for gigabytes before a single vertex is read.
const int kMostListEntries = 1 << 24;

typedef GeometryRecord R;

// Appends the vertex just read; refuses more than VERTEX_COUNT.
int appendVertex(void *userData, PxXMLElement *child, void *)
{
    R *r = static_cast<R *>(userData);
    if (!r->vertices || r->verticesRead >= r->vertexRoom || r->verticesRead >= r->vertexCount) {
        PxXMLInput *input = PxXMLElementGetInput(child);
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "more <V> than <VERTEX_COUNT> %d\n",
                            r->vertexCount);
        return PX_XML_BAD_VALUE;
    }
    memcpy(r->vertices + 3 * r->verticesRead++, r->v, sizeof r->v);
    return PX_XML_OK;
}

int appendTriangle(void *userData, PxXMLElement *child, void *)
{
    R *r = static_cast<R *>(userData);
    if (!r->triangles || r->trianglesRead >= r->triangleRoom || r->trianglesRead >= r->triangleCount) {
        PxXMLInput *input = PxXMLElementGetInput(child);
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "more <T> than <TRIANGLE_COUNT> %d\n",
                            r->triangleCount);
        return PX_XML_BAD_VALUE;
    }
    memcpy(r->triangles + 3 * r->trianglesRead++, r->t, sizeof r->t);
    return PX_XML_OK;
}

// The lists are read into arrays sized by the counts that precede them.
int loadList(PxXMLElement *element, PxXMLHandler *table, bool vertices)
{
    R *r = static_cast<R *>(PxfContextOf(element)->current);
    const int count = vertices ? r->vertexCount : r->triangleCount;
    const bool sized = count > 0 && count <= kMostListEntries;
    if (sized && vertices && !r->vertices) {
        r->vertices = static_cast<PxReal *>(PxMemoryAPI.create(3 * sizeof(PxReal) * static_cast<size_t>(count)));
        r->vertexRoom = r->vertices ? count : 0;
    }
    if (sized && !vertices && !r->triangles) {
        r->triangles = static_cast<int *>(PxMemoryAPI.create(3 * sizeof(int) * static_cast<size_t>(count)));
        r->triangleRoom = r->triangles ? count : 0;
    }
    const int code = PxXMLElementProcess(element, table, r);
    return PxfBadEntry(table) ? PX_XML_BAD_VALUE : code;
}

int loadVertices(PxXMLElement *element)
{
    PxXMLHandler table[] = {PX_XML_VALUE_POST("V", PxfParseMagnitude, offsetof(R, v), 3, appendVertex), PX_XML_END};
    return loadList(element, table, true);
}

int loadTriangles(PxXMLElement *element)
{
    PxXMLHandler table[] = {PX_XML_VALUE_POST("T", PxXMLParseIntArrayExact, offsetof(R, t), 3, appendTriangle),
                            PX_XML_END};
    return loadList(element, table, false);
}

void freeVertices(CdxGeometryID, void *data)
{
    PxMemoryAPI.destroy(data);
}

// Every corner index names a vertex that was read.
bool indicesValid(const R &r)
{
    for (int i = 0; i < 3 * r.trianglesRead; ++i)
        if (r.triangles[i] < 0 || r.triangles[i] >= r.verticesRead) return false;
    return true;
}

CdxGeometryID meshFromLists(PxLoadContext *context, PxfPosition at, R &r)
{
    if (r.verticesRead != r.vertexCount || r.trianglesRead != r.triangleCount || r.triangleCount < 1) {
        PXF_PROBLEM(context, at,
                    "Triangle mesh '%s' lists %d vertices and %d triangles; <VERTEX_COUNT> and <TRIANGLE_COUNT> say "
                    "%d and %d (at least one triangle). Geometry not created.\n",
                    r.id, r.verticesRead, r.trianglesRead, r.vertexCount, r.triangleCount);
        return nullptr;
    }
    if (!indicesValid(r)) {
        PXF_PROBLEM(context, at, "Triangle mesh '%s' has a corner index outside 0..%d. Geometry not created.\n", r.id,
                    r.vertexCount - 1);
        return nullptr;
    }
    CdxGeometryID mesh = CdxTriangleMeshCreate(r.triangleCount);
    if (!mesh) return nullptr;
    for (int i = 0; i < 3 * r.vertexCount; ++i) r.vertices[i] *= context->scale;
    for (int i = 0; i < r.triangleCount; ++i) {
        const int *c = r.triangles + 3 * i;
        CdxTriangleMeshAddTriangle(mesh, r.vertices + 3 * c[0], r.vertices + 3 * c[1], r.vertices + 3 * c[2]);
    }
    // The mesh keeps pointers into the vertex array: it owns it from now on.
    CdxTriangleMeshSetVertexArray(mesh, r.vertices, r.vertexCount);
    CdxTriangleMeshSetDestroyCallback(mesh, freeVertices, r.vertices);
    r.vertices = nullptr;
    if (CdxTriangleMeshBuild(mesh)) return mesh;
    CdxTriangleMeshDestroy(mesh);
    PXF_PROBLEM(context, at, "Triangle mesh '%s' has no usable triangles. Geometry not created.\n", r.id);
    return nullptr;
}

// An OBJ file named in the scene: beside the scene file, then as given
// (the reader also tries the search list).
CdxGeometryID meshFromObj(PxLoadContext *context, PxfPosition at, const R &r)
{
    char path[PATH_MAX];
    const char *slash = context->fileName ? strrchr(context->fileName, '/') : nullptr;
    const char *name = r.objFile;
    if (slash && r.objFile[0] != '/') {
        snprintf(path, sizeof path, "%.*s/%s", static_cast<int>(slash - context->fileName), context->fileName,
                 r.objFile);
        FILE *probe = fopen(path, "r");
        if (probe) {
            fclose(probe);
            name = path;
        }
    }
    CdxGeometryID mesh = CdxuTriangleMeshCreateFromObj(name);
    if (!mesh) {
        PXF_PROBLEM(context, at, "Triangle mesh '%s': cannot read OBJ file %s. Geometry not created.\n", r.id,
                    r.objFile);
        return nullptr;
    }
    int count = 0;
    PxReal *vertices = CdxTriangleMeshGetVertexArray(mesh, &count);
    if (context->scale != 1.0 && vertices) {
        for (int i = 0; i < 3 * count; ++i) vertices[i] *= context->scale;
        CdxTriangleMeshBuild(mesh);
    }
    return mesh;
}

CdxGeometryID makeMesh(PxLoadContext *context, PxfPosition at, R &r, const PxXMLHandler *t)
{
    if (CdxTriangleMeshGetTypeId() < 0) {
        PXF_PROBLEM(context, at,
                    "Triangle mesh '%s': the collision library has no triangle-mesh type registered. Geometry not "
                    "created.\n",
                    r.id);
        return nullptr;
    }
    return PxXMLHandlerWasCalled(t, "OBJ_FILE") ? meshFromObj(context, at, r) : meshFromLists(context, at, r);
}

// Lengths of primitives must be positive (a plane has none).
bool lengthsValid(const char *kind, const R &r)
{
    if (strcmp(kind, "SPHERE") == 0) return r.radius > 0.0;
    if (strcmp(kind, "BOX") == 0) return r.dims[0] > 0.0 && r.dims[1] > 0.0 && r.dims[2] > 0.0;
    if (strcmp(kind, "CYLINDER") == 0) return r.radius > 0.0 && r.height > 0.0;
    if (strcmp(kind, "CONE") == 0) return r.length > 0.0 && r.lowerRadius > 0.0 && r.upperRadius >= 0.0;
    return true;
}

CdxGeometryID makePrimitive(const char *kind, const R &r, PxReal s)
{
    if (strcmp(kind, "SPHERE") == 0) return CdxSphereCreate(r.radius * s);
    if (strcmp(kind, "BOX") == 0) return CdxBoxCreate(r.dims[0] * s, r.dims[1] * s, r.dims[2] * s);
    if (strcmp(kind, "PLANE") == 0) return CdxPlaneCreate();
    if (strcmp(kind, "CYLINDER") == 0) return CdxCylinderCreate(r.radius * s, r.height * s);
    if (strcmp(kind, "CONE") == 0) return CdxConeCreate(r.length * s, r.lowerRadius * s, r.upperRadius * s);
    return nullptr;
}

bool geometryIsValid(PxLoadContext *context, PxfPosition at, const char *kind, PxXMLHandler *t, const R &r,
                     char *fullId)
{
    const PxXMLHandler *bad = PxfBadEntry(t);
    if (!PxXMLHandlerWasCalled(t, "ID") || !r.id[0])
        PXF_PROBLEM(context, at,
                    "All geometry must have an <ID> containing an integer unique amongst geometries. Geometry not "
                    "created.\n");
    else if (bad)
        PXF_PROBLEM(context, at, "Geometry '%s' contains an invalid <%s> element. Geometry not created.\n", r.id,
                    bad->name);
    else if (!PxfFullID(context, at, r.id, fullId))
        return false;
    else if (PxLoadContextLookupEntry(context, fullId, PX_KIND_GEOMETRY))
        PXF_PROBLEM(context, at, "Duplicate ID '%s' detected. Geometry not created.\n", r.id);
    else if (!lengthsValid(kind, r))
        PXF_PROBLEM(context, at, "Geometry '%s' has a length that is not positive. Geometry not created.\n", r.id);
    else
        return true;
    return false;
}

void recordGeometry(PxLoadContext *context, PxfPosition at, const char *id, const char *fullId,
                    CdxGeometryID geometry, int composite)
{
    if (!geometry && !composite) {
        PXF_PROBLEM(context, at, "Geometry '%s' could not be created. Geometry not created.\n", id);
        return;
    }
    PxLoadEntry *entry = PxLoadHashInsert(context, fullId, geometry, PX_KIND_GEOMETRY);
    if (entry) entry->integer = composite;
}

int loadGeometry(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    R r;
    memset(&r, 0, sizeof r);
    PxXMLHandler t[] = {PXF_TEXT("ID", R, id),
                        PXF_CHECKED("RADIUS", PxfParseLength, R, radius, 1),
                        PXF_CHECKED("DIMS", PxfParseLength, R, dims, 3),
                        PXF_CHECKED("HEIGHT", PxfParseLength, R, height, 1),
                        PXF_CHECKED("LENGTH", PxfParseLength, R, length, 1),
                        PXF_CHECKED("L_RADIUS", PxfParseLength, R, lowerRadius, 1),
                        PXF_CHECKED("U_RADIUS", PxfParseNonNegative, R, upperRadius, 1),
                        PXF_INT("VERTEX_COUNT", R, vertexCount),
                        PXF_INT("TRIANGLE_COUNT", R, triangleCount),
                        PX_XML_ELEMENT("VERTICES", loadVertices),
                        PX_XML_ELEMENT("TRIANGLES", loadTriangles),
                        PXF_TEXT("OBJ_FILE", R, objFile),
                        PX_XML_END};
    void *outer = context->current;
    context->current = &r;
    const int code = PxXMLElementProcess(element, t, &r);
    context->current = outer;
    char fullId[PXF_FULL_ID_SIZE];
    const char *kind = element->name;
    if (geometryIsValid(context, at, kind, t, r, fullId)) {
        const int composite = strcmp(kind, "COMPOSITE_GEOMETRY") == 0;
        CdxGeometryID g = strcmp(kind, "TRIANGLE_MESH") == 0 ? makeMesh(context, at, r, t)
                                                             : makePrimitive(kind, r, context->scale);
        if (strcmp(kind, "TRIANGLE_MESH") != 0 || g) recordGeometry(context, at, r.id, fullId, g, composite);
    }
    PxMemoryAPI.destroy(r.vertices);
    PxMemoryAPI.destroy(r.triangles);
    return code;
}

} // namespace

int PxfLoadGeometries(PxXMLElement *element)
{
    PxXMLHandler t[] = {
        PX_XML_ELEMENT("SPHERE", loadGeometry),        PX_XML_ELEMENT("BOX", loadGeometry),
        PX_XML_ELEMENT("PLANE", loadGeometry),         PX_XML_ELEMENT("CYLINDER", loadGeometry),
        PX_XML_ELEMENT("CONE", loadGeometry),          PX_XML_ELEMENT("COMPOSITE_GEOMETRY", loadGeometry),
        PX_XML_ELEMENT("TRIANGLE_MESH", loadGeometry), PX_XML_END};
    return PxXMLElementProcess(element, t, PxfContextOf(element));
}
