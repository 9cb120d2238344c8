// Box against sphere (the box is model 1): one contact from the sphere's
// centre and its excess over the box's half-extents, in the box frame.
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {1, 0};

struct BoxSphereContact {
    PxVector3 position; // box frame
    PxVector3 normal;   // box frame, from the sphere towards the box
    PxReal separation;
    int dims;
};

// Centre inside the box (or within eps of it): the nearest face, + face of
// an axis before its - face, a later face only when strictly nearer.
void nearestFace(const PxVector3 c, const PxVector3 r, PxReal R, BoxSphereContact *out)
{
    PxReal nearest = HUGE_VAL;
    int axis = 0;
    PxReal direction = -1.0;
    for (int i = 0; i < 3; ++i) {
        PxReal toPlus = fabs(r[i] - c[i]), toMinus = fabs(r[i] + c[i]);
        if (toPlus < nearest) nearest = toPlus, axis = i, direction = -1.0;
        if (toMinus < nearest) nearest = toMinus, axis = i, direction = 1.0;
    }
    PxV3Zero(out->normal);
    out->normal[axis] = direction;
    out->separation = fabs(c[axis]) - r[axis] - R;
    PxV3AddScaled(out->position, c, out->normal, R);
    out->dims = 0x0302;
}

// OverlapOBBSphere: 0 when the sphere is farther than eps from the box.
int overlapBoxSphere(const PxVector3 c, const PxVector3 r, PxReal R, PxReal eps, BoxSphereContact *out)
{
    PxVector3 excess = {0.0, 0.0, 0.0};
    int outside = 0;
    for (int i = 0; i < 3; ++i) {
        if (c[i] > r[i]) {
            excess[i] = c[i] - r[i];
            ++outside;
        } else if (c[i] < -r[i]) {
            excess[i] = c[i] + r[i];
            ++outside;
        }
    }
    PxReal distance2 = PxV3LengthSquared(excess);
    if (distance2 > (R + eps) * (R + eps)) return 0;
    if (distance2 <= eps * eps) {
        nearestFace(c, r, R, out);
        return 1;
    }
    PxReal distance = sqrt(distance2);
    PxV3Scale(out->normal, excess, -1.0 / distance);
    out->separation = distance - R;
    PxV3AddScaled(out->position, c, out->normal, R);
    // Outside on one axis: a face; on two: an edge; on three: a vertex.
    out->dims = (3 - outside) | 0x0300;
    return 1;
}

} // namespace

int CdxBoxSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box = CxBoxRecord(p.model1->geometry);
    CdxSphereRecord *sphere = CxSphereRecord(p.model2->geometry);
    if (!box || !sphere) return CxPairNoTouch(result);
    PxVector3 centre;
    PxV3MulTMInverse(centre, p.tm2[3], p.tm1);
    BoxSphereContact local;
    if (!overlapBoxSphere(centre, box->radii, sphere->radius, p.eps, &local)) return CxPairNoTouch(result);
    PxVector3 position, normal;
    PxV3MulTM(position, local.position, p.tm1);
    PxV3MulTMDir(normal, local.normal, p.tm1);
    return CxPairSingleContact(pair, result, &kDefaultRequest, position, normal, local.separation, local.dims);
}
