// Contacts of two meshes: culling the offered contacts to the held limit,
// and the single normal of small meshes from the trace of the
// intersection.
#include "mesh/CxTriangleMeshMesh.h"

#include <float.h>

namespace {

// Contacts closer than this (squared distance) are one contact.
const PxReal kMergeDistance2 = 0.01;
// Small-mesh mode: fewer triangles than this in both meshes together, and
// not both meshes above kSmallEach.
const int kSmallTotal = 120;
const int kSmallEach = 19;
// The trace normal is used when the trace encloses at least this share of
// the area a circle of the same length would (4 pi A / L^2), and when it
// agrees with the summed contact normals to within this cosine.
const PxReal kTraceRoundness = 0.1;
const PxReal kTraceAgreement = 0.2;
const PxReal kZeroLength = 1e-14;

// Merges held contact from into into: positions weighted by their merge
// counts, normals and separations summed.
void mergeHeld(CxHeldContact *into, const CxHeldContact *from)
{
    PxReal total = into->merged + from->merged;
    CdxContact *c = &into->contact;
    for (int k = 0; k < 3; ++k) {
        c->position[k] = (c->position[k] * into->merged + from->contact.position[k] * from->merged) / total;
        c->normal[k] += from->contact.normal[k];
    }
    c->separation += from->contact.separation;
    into->merged += from->merged;
}

// Room for one more: the held contact with the smallest sum of distances
// to the others (the one most in the middle) is merged into its nearest.
void makeRoom(CxMeshMeshQuery *q)
{
    int n = q->heldCount, central = 0, nearest = -1;
    PxReal bestSum = DBL_MAX;
    for (int i = 0; i < n; ++i) {
        PxReal sum = 0.0;
        for (int j = 0; j < n; ++j)
            if (j != i) sum += PxV3Distance(q->held[i].contact.position, q->held[j].contact.position);
        if (sum < bestSum) {
            bestSum = sum;
            central = i;
        }
    }
    PxReal nearestDistance = DBL_MAX;
    for (int j = 0; j < n; ++j) {
        if (j == central) continue;
        PxReal d = PxV3Distance(q->held[central].contact.position, q->held[j].contact.position);
        if (d < nearestDistance) {
            nearestDistance = d;
            nearest = j;
        }
    }
    mergeHeld(&q->held[nearest], &q->held[central]);
    q->held[central] = q->held[--q->heldCount];
}

} // namespace

void CullContacts(CxMeshMeshQuery *q, const PxVector3 position, const PxVector3 normal, PxReal separation, int dims,
                  int triangleA, int triangleB)
{
    if (q->limit <= 0) return;
    CxHeldContact offered;
    PxV3Copy(offered.contact.position, position);
    PxV3Copy(offered.contact.normal, normal);
    offered.contact.separation = separation;
    offered.contact.dims = (uint16_t)dims;
    offered.contact.element1 = triangleA;
    offered.contact.element2 = triangleB;
    offered.merged = 1;
    for (int i = 0; i < q->heldCount; ++i) {
        PxVector3 d;
        PxV3Sub(d, q->held[i].contact.position, position);
        if (PxV3LengthSquared(d) < kMergeDistance2) {
            PxV3Add(q->held[i].contact.normal, q->held[i].contact.normal, normal);
            q->held[i].contact.separation += separation;
            ++q->held[i].merged;
            return;
        }
    }
    if (q->heldCount == q->limit) {
        if (q->limit == 1) {
            mergeHeld(&q->held[0], &offered);
            return;
        }
        makeRoom(q);
    }
    q->held[q->heldCount++] = offered;
}

int CxMeshMeshIsSmall(const CxTriangleMesh *a, const CxTriangleMesh *b)
{
    int na = a->triangleCount, nb = b->triangleCount;
    return na + nb < kSmallTotal && !(na > kSmallEach && nb > kSmallEach);
}

int CxMeshMeshTraceNormal(const CxMeshMeshQuery *q, PxVector3 normal)
{
    PxVector3 summed, trace;
    PxV3Copy(summed, q->normalSum);
    PxV3Copy(trace, q->traceArea);
    PxReal area = PxV3Length(trace);
    int traceUsable = area > kZeroLength && 4.0 * M_PI * area >= kTraceRoundness * q->traceLength * q->traceLength;
    if (PxV3Normalize(summed) <= kZeroLength) {
        if (!traceUsable) return 0;
        PxV3Scale(normal, trace, 1.0 / area);
        return 1;
    }
    PxV3Scale(trace, trace, 1.0 / (area > 0.0 ? area : 1.0));
    PxReal agreement = PxV3Dot(trace, summed);
    if (traceUsable && fabs(agreement) >= kTraceAgreement) {
        // The trace's orientation says nothing about which mesh is which:
        // take the side of the contact normals.
        PxV3Scale(normal, trace, agreement < 0.0 ? -1.0 : 1.0);
    } else {
        PxV3Copy(normal, summed);
    }
    return 1;
}
