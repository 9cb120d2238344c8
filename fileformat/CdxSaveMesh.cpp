// TRIANGLE_MESH elements: a mesh's shared vertices, in the order its
// triangles first use them, and its triangles as vertex indices.
#include <stdint.h>

#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>

#include "CdxSaveGeometry.h"

namespace {

unsigned int hashPointer(const void *key, unsigned int size)
{
    return static_cast<unsigned int>((reinterpret_cast<uintptr_t>(key) / sizeof(PxReal)) % size);
}

int comparePointers(const void *a, const void *b)
{
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The vertices of a mesh as the triangles share them.
struct VertexTable {
    PxHash *hash;      // vertex pointer -> its slot in index
    PxReal **vertices; // distinct vertices, first use first
    int *index;        // index of vertices[k] is k, kept where the hash can point at it
    int count;
};

bool tableInit(VertexTable *t, int triangles)
{
    const size_t capacity = 3 * static_cast<size_t>(triangles);
    t->count = 0;
    t->hash = PxHashCreate(static_cast<unsigned int>(capacity) | 1u);
    t->vertices = static_cast<PxReal **>(PxMemoryAPI.create(capacity * sizeof(PxReal *)));
    t->index = static_cast<int *>(PxMemoryAPI.create(capacity * sizeof(int)));
    if (t->hash) {
        PxHashSetHashFunc(t->hash, hashPointer);
        PxHashSetKeyCompareFunc(t->hash, comparePointers);
    }
    return t->hash && t->vertices && t->index;
}

void tableTerm(VertexTable *t)
{
    if (t->hash) PxHashDestroy(t->hash);
    PxMemoryAPI.destroy(t->vertices);
    PxMemoryAPI.destroy(t->index);
}

// The index of vertex v, adding it when it is new; -1 when memory is short.
int tableIndex(VertexTable *t, PxReal *v)
{
    const int *slot = static_cast<const int *>(PxHashLookup(v, t->hash));
    if (slot) return *slot;
    t->index[t->count] = t->count;
    if (PxHashInsert(v, &t->index[t->count], t->hash) != &t->index[t->count]) return -1;
    t->vertices[t->count] = v;
    return t->count++;
}

// Every triangle's three vertex indices into corners (3 per triangle).
bool collect(CdxGeometryID mesh, VertexTable *t, int *corners, int triangles)
{
    for (int i = 0; i < triangles; ++i) {
        PxReal *v[3];
        if (!CdxTriangleMeshGetTriangleVertexPtrs(mesh, i, &v[0], &v[1], &v[2])) return false;
        for (int k = 0; k < 3; ++k) {
            corners[3 * i + k] = tableIndex(t, v[k]);
            if (corners[3 * i + k] < 0) return false;
        }
    }
    return true;
}

int writeLists(const VertexTable *t, const int *corners, int triangles, PxStream *s)
{
    PxXMLIndent();
    int ok = PxXMLWriteStartTag("VERTICES", s);
    for (int k = 0; k < t->count; ++k) ok &= PxfWriteReals("V", s, t->vertices[k], 3);
    ok &= PxXMLWriteEndTag("VERTICES", s);
    ok &= PxXMLWriteStartTag("TRIANGLES", s);
    for (int i = 0; i < triangles; ++i)
        ok &= PxXMLWrite("T", s, "%d,%d,%d", corners[3 * i], corners[3 * i + 1], corners[3 * i + 2]);
    ok &= PxXMLWriteEndTag("TRIANGLES", s);
    PxXMLDeIndent();
    return ok;
}

} // namespace

int PxfWriteTriangleMesh(CdxGeometryID mesh, const char *id, PxStream *s)
{
    const int triangles = CdxTriangleMeshGetTriangleCount(mesh);
    VertexTable table;
    int *corners = static_cast<int *>(
        PxMemoryAPI.create(3 * static_cast<size_t>(triangles > 0 ? triangles : 1) * sizeof(int)));
    const bool ready = tableInit(&table, triangles > 0 ? triangles : 1) && corners &&
                       collect(mesh, &table, corners, triangles);
    int ok = 0;
    if (ready) {
        ok = PxXMLWriteStartTag("TRIANGLE_MESH", s) && PxfWriteText("ID", s, id) &&
             PxfWriteInt("VERTEX_COUNT", s, table.count) && PxfWriteInt("TRIANGLE_COUNT", s, triangles) &&
             writeLists(&table, corners, triangles, s) && PxXMLWriteEndTag("TRIANGLE_MESH", s);
    } else {
        PxWarning(PXF_MISUSE_LEVEL, "CdxWriteXML: not enough memory to write triangle mesh '%s'.\n", id);
    }
    tableTerm(&table);
    PxMemoryAPI.destroy(corners);
    return ok;
}
