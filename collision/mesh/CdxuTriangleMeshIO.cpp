// Triangle meshes in Wavefront OBJ text files: "v x y z" vertex lines and
// "f i j k ..." face lines (1-based vertex numbers, negative ones counting
// back from the last vertex read, "/texture/normal" parts ignored).
// Polygons are fanned into triangles from their first corner. Equal
// vertices are shared through a hash table keyed by their coordinates.
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/PxHash.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxStream.h>

#include <ctype.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char *const kReader = "CdxuTriangleMeshCreateFromObj";
// Message level of file loading.
const int kFileLevel = 0;
const int kFirstLineLength = 256;

// A whole text line of any length, without its line end.
struct LineBuffer {
    char *text;
    int capacity;
};

// Reads the next line; 0 at the end of the file (or when memory is short,
// with *failed set).
int readLine(PxStream *stream, LineBuffer *line, int *failed)
{
    int length = 0;
    for (;;) {
        if (line->capacity - length < 2) {
            int capacity = line->capacity ? 2 * line->capacity : kFirstLineLength;
            char *grown = static_cast<char *>(PxMemoryAPI.resize(line->text, (size_t)capacity));
            if (!grown) {
                *failed = 1;
                return 0;
            }
            line->text = grown;
            line->capacity = capacity;
        }
        if (!PxStreamReadLine(line->text + length, line->capacity - length, stream)) break;
        length += (int)strlen(line->text + length);
        if (length > 0 && line->text[length - 1] == '\n') break;
    }
    if (length == 0) return 0;
    while (length > 0 && (line->text[length - 1] == '\n' || line->text[length - 1] == '\r'))
        line->text[--length] = '\0';
    return 1;
}

// The next whitespace-separated token of *cursor, terminated in place;
// null when none is left.
char *nextToken(char **cursor)
{
    char *p = *cursor;
    while (*p && isspace((unsigned char)*p)) ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    char *token = p;
    while (*p && !isspace((unsigned char)*p)) ++p;
    if (*p) *p++ = '\0';
    *cursor = p;
    return token;
}

struct ObjReader {
    const char *fileName;
    int lineNumber;
    char *lineCopy;   // the line as read, for messages
    PxArray vertices; // 3 reals per vertex, as read
    PxArray corners;  // 3 raw vertex numbers (0-based) per triangle
    int failed;

    // A bad file is the caller's to hear of: the read fails, nothing ends.
    void fail(const char *what)
    {
        PxWarning(kFileLevel, "%s: %s: %s\nFile %s, line %d.\n", kReader, what, lineCopy, fileName, lineNumber);
        failed = 1;
    }

    void vertexLine(char *rest)
    {
        PxReal xyz[3];
        for (int k = 0; k < 3; ++k) {
            char *token = nextToken(&rest), *end = nullptr;
            if (token) xyz[k] = strtod(token, &end);
            if (!token || *end != '\0') return fail("Vertex incomplete");
            if (!isfinite(xyz[k])) return fail("Vertex not finite");
        }
        PxReal *slot = static_cast<PxReal *>(PxArrayGrow(&vertices, 1));
        if (!slot) return fail("Out of memory");
        PxV3Copy(slot, xyz);
    }

    // The 0-based vertex number of one face token, or -1 after a message.
    int faceCorner(const char *token)
    {
        char *end = nullptr;
        errno = 0;
        long number = strtol(token, &end, 10);
        if (end == token || (*end != '\0' && *end != '/') || errno == ERANGE) {
            fail("Face index not a number");
            return -1;
        }
        long count = vertices.size;
        long index = number > 0 ? number - 1 : count + number;
        if (number == 0 || index < 0 || index >= count) {
            fail("Face index out of range");
            return -1;
        }
        return (int)index;
    }

    void faceLine(char *rest)
    {
        int first = -1, previous = -1, read = 0;
        for (char *token = nextToken(&rest); token; token = nextToken(&rest)) {
            int corner = faceCorner(token);
            if (corner < 0) return;
            if (read == 0) first = corner;
            if (read >= 2) {
                int *triangle = static_cast<int *>(PxArrayGrow(&corners, 1));
                if (!triangle) return fail("Out of memory");
                triangle[0] = first;
                triangle[1] = previous;
                triangle[2] = corner;
            }
            previous = corner;
            ++read;
        }
        if (read < 3) fail("Face incomplete");
    }

    void parse(char *text)
    {
        char *p = text;
        while (*p && isspace((unsigned char)*p)) ++p;
        if ((p[0] == 'v' || p[0] == 'f') && (p[1] == ' ' || p[1] == '\t' || p[1] == '\0')) {
            char *rest = p + (p[1] ? 2 : 1);
            if (p[0] == 'v')
                vertexLine(rest);
            else
                faceLine(rest);
        }
    }
};

void freeVertexArray(CdxGeometryID, void *data)
{
    PxMemoryAPI.destroy(data);
}

// Numbers the raw vertices by their distinct coordinates (first appearance
// first) and returns the distinct count, or -1 when memory is short.
int shareVertices(const PxReal *raw, int count, int *numbers)
{
    PxHash *hash = PxHashCreate(count > 0 ? (unsigned int)count : 1u);
    if (!hash) return -1;
    PxHashSetHashFunc(hash, CdxuTriangleMeshVectorHashFn);
    PxHashSetKeyCompareFunc(hash, CdxuTriangleMeshCompareVectors);
    int distinct = 0;
    for (int i = 0; i < count && distinct >= 0; ++i) {
        void *stored = PxHashInsert(const_cast<PxReal *>(raw + 3 * i), &numbers[i], hash);
        if (!stored)
            distinct = -1;
        else if (stored == &numbers[i])
            numbers[i] = distinct++;
        else
            numbers[i] = *static_cast<int *>(stored);
    }
    PxHashDestroy(hash);
    return distinct;
}

// The built mesh over the distinct vertices; null when nothing usable.
CdxGeometryID makeMesh(const ObjReader *reader)
{
    int rawCount = reader->vertices.size, triangles = reader->corners.size;
    const PxReal *raw = static_cast<const PxReal *>(reader->vertices.data);
    int *numbers = static_cast<int *>(PxMemoryAPI.create(sizeof(int) * (size_t)(rawCount + 1)));
    if (!numbers) return nullptr;
    int distinct = shareVertices(raw, rawCount, numbers);
    PxReal *shared = distinct > 0 ? static_cast<PxReal *>(PxMemoryAPI.create(3 * sizeof(PxReal) * (size_t)distinct))
                                  : nullptr;
    CdxGeometryID mesh = shared ? CxTriangleMeshCreate(triangles, 0) : nullptr;
    if (!mesh) {
        PxMemoryAPI.destroy(numbers);
        PxMemoryAPI.destroy(shared);
        return nullptr;
    }
    for (int i = 0; i < rawCount; ++i) PxV3Copy(shared + 3 * numbers[i], raw + 3 * i);
    const int *corner = static_cast<const int *>(reader->corners.data);
    for (int t = 0; t < triangles; ++t, corner += 3)
        CxTriangleMeshAddTriangle(mesh, shared + 3 * numbers[corner[0]], shared + 3 * numbers[corner[1]],
                                  shared + 3 * numbers[corner[2]]);
    PxMemoryAPI.destroy(numbers);
    CdxTriangleMeshSetVertexArray(mesh, shared, distinct);
    CdxTriangleMeshSetDestroyCallback(mesh, freeVertexArray, shared);
    if (!CxTriangleMeshBuild(mesh)) {
        CxTriangleMeshDestroy(mesh);
        return nullptr;
    }
    return mesh;
}

// Formats and writes; 0 on a write error.
int writeText(PxStream *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
int writeText(PxStream *stream, const char *format, ...)
{
    char text[128];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0 || length >= (int)sizeof text) return 0;
    return PxStreamWrite(text, 1, (size_t)length, stream) == (size_t)length;
}

// Writes the "v" lines of the distinct corners and numbers every corner
// (1-based) in numbers; 0 on a write error or when memory is short.
int writeVertices(PxStream *stream, const CxTriangleMesh *mesh, int *numbers, int *distinct)
{
    int corners = 3 * mesh->triangleCount;
    PxHash *hash = PxHashCreate((unsigned int)corners);
    if (!hash) return 0;
    PxHashSetHashFunc(hash, CdxuTriangleMeshVectorHashFn);
    PxHashSetKeyCompareFunc(hash, CdxuTriangleMeshCompareVectors);
    int ok = 1;
    *distinct = 0;
    for (int k = 0; k < corners && ok; ++k) {
        PxReal *v = mesh->triangles[k / 3].vertex[k % 3];
        void *stored = PxHashInsert(v, &numbers[k], hash);
        if (!stored) {
            ok = 0;
        } else if (stored != &numbers[k]) {
            numbers[k] = *static_cast<int *>(stored);
        } else {
            numbers[k] = ++*distinct;
            ok = writeText(stream, "v %.17g %.17g %.17g\n", v[0], v[1], v[2]);
        }
    }
    PxHashDestroy(hash);
    return ok;
}

int writeMesh(PxStream *stream, const CxTriangleMesh *mesh)
{
    int corners = 3 * mesh->triangleCount, distinct = 0;
    int *numbers = static_cast<int *>(PxMemoryAPI.create(sizeof(int) * (size_t)(corners + 1)));
    if (!numbers) return 0;
    int ok = writeText(stream, "# %d triangles\n", mesh->triangleCount) &&
             writeVertices(stream, mesh, numbers, &distinct);
    for (int t = 0; t < mesh->triangleCount && ok; ++t)
        ok = writeText(stream, "f %d %d %d\n", numbers[3 * t], numbers[3 * t + 1], numbers[3 * t + 2]);
    PxMemoryAPI.destroy(numbers);
    return ok;
}

} // namespace

unsigned int CdxuTriangleMeshVectorHashFn(const void *key, unsigned int size)
{
    const PxReal *v = static_cast<const PxReal *>(key);
    uint64_t h = 1469598103934665603ull; // FNV-1a over the coordinates' bits
    for (int k = 0; k < 3; ++k) {
        PxReal x = v[k] == 0.0 ? 0.0 : v[k]; // -0 and 0 are the same vertex
        uint64_t bits;
        memcpy(&bits, &x, sizeof bits);
        for (int byte = 0; byte < 8; ++byte) {
            h ^= (bits >> (8 * byte)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
    return size ? (unsigned int)(h % size) : 0u;
}

int CdxuTriangleMeshCompareVectors(const void *a, const void *b)
{
    const PxReal *u = static_cast<const PxReal *>(a), *v = static_cast<const PxReal *>(b);
    for (int k = 0; k < 3; ++k) {
        if (u[k] < v[k]) return -1;
        if (u[k] > v[k]) return 1;
    }
    return 0;
}

CdxGeometryID CdxuTriangleMeshCreateFromObj(const char *fileName)
{
    if (!fileName) return nullptr;
    PxStream *stream = PxStreamOpenWithSearch(fileName, PX_MODE_READ);
    if (!stream) {
        PxWarning(kFileLevel, "%s: Cannot open file %s.\n", kReader, fileName);
        return nullptr;
    }
    ObjReader reader = {fileName, 0, nullptr, {}, {}, 0};
    PxArrayInit(&reader.vertices, 64, 3 * sizeof(PxReal));
    PxArrayInit(&reader.corners, 64, 3 * sizeof(int));
    LineBuffer line = {nullptr, 0}, copy = {nullptr, 0};
    while (!reader.failed && readLine(stream, &line, &reader.failed)) {
        ++reader.lineNumber;
        if (copy.capacity < line.capacity) {
            char *grown = static_cast<char *>(PxMemoryAPI.resize(copy.text, (size_t)line.capacity));
            if (!grown) {
                reader.failed = 1;
                break;
            }
            copy = {grown, line.capacity};
        }
        strcpy(copy.text, line.text);
        reader.lineCopy = copy.text;
        reader.parse(line.text);
    }
    PxStreamClose(stream);
    CdxGeometryID mesh = reader.failed ? nullptr : makeMesh(&reader);
    PxMemoryAPI.destroy(line.text);
    PxMemoryAPI.destroy(copy.text);
    PxArrayTerm(&reader.vertices);
    PxArrayTerm(&reader.corners);
    return mesh;
}

int CdxuTriangleMeshWriteToObj(CdxGeometryID geometry, const char *fileName)
{
    const CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh || !fileName) return 0;
    PxStream *stream = PxStreamOpen(fileName, PX_MODE_WRITE);
    if (!stream) {
        PxWarning(kFileLevel, "CdxuTriangleMeshWriteToObj: Cannot open file %s.\n", fileName);
        return 0;
    }
    int ok = writeMesh(stream, mesh);
    if (fflush(stream->file) != 0) ok = 0;
    PxStreamClose(stream);
    if (!ok) PxWarning(kFileLevel, "CdxuTriangleMeshWriteToObj: Cannot write file %s.\n", fileName);
    return ok;
}
