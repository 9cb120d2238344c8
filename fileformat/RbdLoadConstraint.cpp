// Constraint elements: the children every type shares (ID, BODY_IDS,
// ENABLED), the geometry and parameters of each type, limits and contact
// parameters. A constraint is made only when all of it is valid.
#include <math.h>
#include <stddef.h>
#include <string.h>

#include <kelmar/PxMemory.h>

#include <kelmar/Rbd.h>

#include "RbdLoadConstraint.h"

namespace {

struct LimitRecord {
    int index, active, locked, calcPos, powered;
    PxReal loStop, loStiff, loDamp, loRest, upStop, upStiff, upDamp, upRest;
    PxReal maxForce, posLock, pos, desVel, stiffThresh;
    PxXMLHandler table[24];
    int read;
};

struct ConstraintRecord {
    char id[PXF_ID_SIZE];
    char bodyIds[2][PXF_ID_SIZE];
    int enabled;
    PxReal pos[3], axis[3], dir[3], normal[3], penetration;
    PxReal pos1[3], pos2[3], vel1[3], vel2[3], axis1[3], axis2[3];
    PxReal quat1[4], quat2[4], relQuat[4], relAngvel[3], relVel[3], linStrength[3], angStrength[3];
    int rotEnabled;
    PxReal stiffness, damping, naturalLength, halfAngle;
    PxReal sAxis[3], hAxis[3], sDesvel, sMaxforce, sAngle, hDesvel, hMaxforce;
    PxReal suspLo, suspHi, suspSoft, suspRef, suspKp, suspKd;
    int sLock;
    LimitRecord limit;
    PxfParamsRecord params;
};

typedef ConstraintRecord R;
typedef LimitRecord L;

int loadLimit(PxXMLElement *element);

const PxXMLHandler kLimitTable[] = {PXF_INT("INDEX", L, index),
                                    PXF_INT("ACTIVE", L, active),
                                    PXF_REALS("LO_STOP", L, loStop, 1),
                                    PXF_CHECKED("LO_STIFF", PxfParseNonNegative, L, loStiff, 1),
                                    PXF_CHECKED("LO_DAMP", PxfParseNonNegative, L, loDamp, 1),
                                    PXF_CHECKED("LO_REST", PxfParseUnit, L, loRest, 1),
                                    PXF_REALS("UP_STOP", L, upStop, 1),
                                    PXF_CHECKED("UP_STIFF", PxfParseNonNegative, L, upStiff, 1),
                                    PXF_CHECKED("UP_DAMP", PxfParseNonNegative, L, upDamp, 1),
                                    PXF_CHECKED("UP_REST", PxfParseUnit, L, upRest, 1),
                                    PXF_INT("LOCKED", L, locked),
                                    PXF_INT("CALC_POS", L, calcPos),
                                    PXF_CHECKED("MAX_FORCE", PxfParseNonNegative, L, maxForce, 1),
                                    PXF_CHECKED("MAXFORCE", PxfParseNonNegative, L, maxForce, 1),
                                    PXF_REALS("POS_LOCK", L, posLock, 1),
                                    PXF_REALS("POS", L, pos, 1),
                                    PXF_INT("POWERED", L, powered),
                                    PXF_REALS("DESVEL", L, desVel, 1),
                                    PXF_CHECKED("STIFF_THRESH", PxfParseNonNegative, L, stiffThresh, 1),
                                    PX_XML_END};

const PxXMLHandler kCommon[] = {PXF_TEXT("ID", R, id),
                                {"BODY_IDS", PX_XML_VALUE_HANDLER, (PxXMLFunction)PxXMLParseStringArrayExact,
                                 offsetof(R, bodyIds), 2, PXF_ID_SIZE, 0, 0, 0},
                                PXF_INT("ENABLED", R, enabled),
                                PX_XML_END};

const PxXMLHandler kLimitEntry = PX_XML_ELEMENT("LIMIT", loadLimit);

const PxXMLHandler kBSJoint[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3), PX_XML_END};
const PxXMLHandler kHinge[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                               PXF_CHECKED("AXIS", PxfParseAxis, R, axis, 3), kLimitEntry, PX_XML_END};
const PxXMLHandler kPrismatic[] = {PXF_CHECKED("AXIS", PxfParseAxis, R, axis, 3),
                                   PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3), kLimitEntry, PX_XML_END};
const PxXMLHandler kCarWheel[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                                  PXF_CHECKED("S_AXIS", PxfParseAxis, R, sAxis, 3),
                                  PXF_INT("S_LOCK", R, sLock),
                                  PXF_REALS("S_DESVEL", R, sDesvel, 1),
                                  PXF_CHECKED("S_MAXFORCE", PxfParseNonNegative, R, sMaxforce, 1),
                                  PXF_REALS("S_ANGLE", R, sAngle, 1),
                                  PXF_CHECKED("H_AXIS", PxfParseAxis, R, hAxis, 3),
                                  PXF_REALS("H_DESVEL", R, hDesvel, 1),
                                  PXF_CHECKED("H_MAXFORCE", PxfParseNonNegative, R, hMaxforce, 1),
                                  PXF_REALS("SUSP_LOLIM", R, suspLo, 1),
                                  PXF_REALS("SUSP_HILIM", R, suspHi, 1),
                                  PXF_CHECKED("SUSP_SOFT", PxfParseNonNegative, R, suspSoft, 1),
                                  PXF_REALS("SUSP_REF", R, suspRef, 1),
                                  PXF_CHECKED("SUSP_KP", PxfParseNonNegative, R, suspKp, 1),
                                  PXF_CHECKED("SUSP_KD", PxfParseNonNegative, R, suspKd, 1),
                                  PX_XML_END};
const PxXMLHandler kContact[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                                 PXF_CHECKED("NORMAL", PxfParseAxis, R, normal, 3),
                                 PXF_REALS("PENETRATION", R, penetration, 1),
                                 PXF_CHECKED("DIR", PxfParseAxis, R, dir, 3),
                                 PX_XML_ELEMENT("CONTACT_PARAMS", PxfLoadContactParams),
                                 PX_XML_END};
const PxXMLHandler kFixedPath[] = {PXF_CHECKED("POS1", PxfParseMagnitude, R, pos1, 3),
                                   PXF_CHECKED("POS2", PxfParseMagnitude, R, pos2, 3),
                                   PXF_CHECKED("VEL1", PxfParseMagnitude, R, vel1, 3),
                                   PXF_CHECKED("VEL2", PxfParseMagnitude, R, vel2, 3), PX_XML_END};
const PxXMLHandler kRPROJoint[] = {PXF_CHECKED("POS1", PxfParseMagnitude, R, pos1, 3),
                                   PXF_CHECKED("POS2", PxfParseMagnitude, R, pos2, 3),
                                   PXF_CHECKED("QUAT1", PxfParseAxis, R, quat1, 4),
                                   PXF_CHECKED("QUAT2", PxfParseAxis, R, quat2, 4),
                                   PXF_CHECKED("REL_QUAT", PxfParseAxis, R, relQuat, 4),
                                   PXF_CHECKED("REL_ANGVEL", PxfParseMagnitude, R, relAngvel, 3),
                                   PXF_CHECKED("REL_VEL", PxfParseMagnitude, R, relVel, 3),
                                   PXF_CHECKED("LINEAR_STRENGTH", PxfParseNonNegative, R, linStrength, 3),
                                   PXF_CHECKED("ANGULAR_STRENGTH", PxfParseNonNegative, R, angStrength, 3),
                                   PX_XML_END};
const PxXMLHandler kUniversal[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                                   PXF_CHECKED("AXIS1", PxfParseAxis, R, axis1, 3),
                                   PXF_CHECKED("AXIS2", PxfParseAxis, R, axis2, 3), PX_XML_END};
const PxXMLHandler kLinear1[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                                 PXF_CHECKED("AXIS", PxfParseAxis, R, axis, 3), PX_XML_END};
const PxXMLHandler kLinear2[] = {PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                                 PXF_CHECKED("DIR", PxfParseAxis, R, dir, 3), PX_XML_END};
const PxXMLHandler kAngular3[] = {PXF_CHECKED("AXIS", PxfParseAxis, R, axis, 3),
                                  PXF_INT("ROT_ENABLED", R, rotEnabled),
                                  PXF_CHECKED("STIFFNESS", PxfParseNonNegative, R, stiffness, 1),
                                  PXF_CHECKED("DAMPING", PxfParseNonNegative, R, damping, 1), PX_XML_END};
const PxXMLHandler kSpring[] = {PXF_CHECKED("POS1", PxfParseMagnitude, R, pos1, 3),
                                PXF_CHECKED("POS2", PxfParseMagnitude, R, pos2, 3),
                                PXF_CHECKED("NATURAL_LENGTH", PxfParseNonNegative, R, naturalLength, 1),
                                PXF_CHECKED("STIFFNESS", PxfParseNonNegative, R, stiffness, 1),
                                PXF_CHECKED("DAMPING", PxfParseNonNegative, R, damping, 1),
                                kLimitEntry,
                                PX_XML_END};
const PxXMLHandler kConeLimit[] = {PXF_CHECKED("AXIS1", PxfParseAxis, R, axis1, 3),
                                   PXF_CHECKED("AXIS2", PxfParseAxis, R, axis2, 3),
                                   PXF_CHECKED("HALF_ANGLE", PxfParseNonNegative, R, halfAngle, 1),
                                   PXF_CHECKED("STIFFNESS", PxfParseNonNegative, R, stiffness, 1),
                                   PXF_CHECKED("DAMPING", PxfParseNonNegative, R, damping, 1),
                                   PX_XML_END};

// What a type's element is read into and how the record becomes a constraint.
struct Apply {
    PxLoadContext *context;
    PxfPosition at;
    RbdConstraintID c;
    const ConstraintRecord &r;
    const PxXMLHandler *t;
    const PxfFrame &frame;

    bool has(const char *tag) const { return PxXMLHandlerWasCalled(t, tag) != 0; }
    void point(const PxReal in[3], PxVector3 out) const { PxfFramePoint(frame, in, out); }
    void vector(const PxReal in[3], PxVector3 out) const { PxfFrameVector(frame, in, out); }
    // A length of the file; the largest double ("no limit") stays itself.
    PxReal length(PxReal v) const { return fabs(v) >= RBD_REAL_MAX ? v : v * frame.scale; }
};

void setPosition(const Apply &a, const PxReal in[3])
{
    PxVector3 p;
    a.point(in, p);
    RbdConstraintSetPosition(a.c, p[0], p[1], p[2]);
}

void setAxis(const Apply &a, const PxReal in[3])
{
    PxVector3 v;
    a.vector(in, v);
    RbdConstraintSetAxis(a.c, v[0], v[1], v[2]);
}

void setBodyPositions(const Apply &a)
{
    PxVector3 p0, p1;
    a.point(a.r.pos1, p0);
    a.point(a.r.pos2, p1);
    RbdConstraintBodySetPosition(a.c, 0, p0);
    RbdConstraintBodySetPosition(a.c, 1, p1);
}

// Stops above each other are refused, with their stiffness, damping and
// restitution: the limit keeps its stops (no stops by default). Equal stops
// hold the joint.
void applyStops(const Apply &a, RbdLimit *limit, bool lengths)
{
    const LimitRecord &l = a.r.limit;
    if (l.loStop > l.upStop) {
        PXF_NOTICE(a.context, a.at,
                   "Constraint '%s' has a <LO_STOP> of %g above its <UP_STOP> of %g. The stops are refused; the "
                   "previous ones are kept.\n",
                   a.r.id, l.loStop, l.upStop);
        return;
    }
    const RbdSingleLimit lo = {lengths ? a.length(l.loStop) : l.loStop, l.loStiff, l.loDamp, l.loRest};
    const RbdSingleLimit up = {lengths ? a.length(l.upStop) : l.upStop, l.upStiff, l.upDamp, l.upRest};
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitSetUpperLimit(limit, &up);
}

void applyLimit(const Apply &a, bool lengths)
{
    const LimitRecord &l = a.r.limit;
    RbdLimit *limit = RbdConstraintGetLimit(a.c);
    if (!limit || !l.read) return;
    applyStops(a, limit, lengths);
    RbdLimitActivateLimits(limit, l.active);
    if (l.powered) RbdLimitSetLimitedForceMotor(limit, l.desVel, l.maxForce);
    if (l.locked) RbdLimitSetLock(limit, lengths ? a.length(l.posLock) : l.posLock, l.maxForce);
    RbdLimitCalculatePosition(limit, l.calcPos);
    if (PxXMLHandlerWasCalled(l.table, "POS")) RbdLimitSetPosition(limit, lengths ? a.length(l.pos) : l.pos);
}

void applyBSJoint(const Apply &a)
{
    setPosition(a, a.r.pos);
}

void applyHinge(const Apply &a)
{
    setPosition(a, a.r.pos);
    setAxis(a, a.r.axis);
    applyLimit(a, false);
}

void applyPrismatic(const Apply &a)
{
    setAxis(a, a.r.axis);
    setPosition(a, a.r.pos);
    applyLimit(a, true);
}

void applyCarWheelSteering(const Apply &a)
{
    const ConstraintRecord &r = a.r;
    // The motor clears the lock, and unlocking would reset the motor's
    // force: the angle first, then the motor, then the lock again.
    if (a.has("S_ANGLE")) RbdCarWheelSetSteeringAngle(a.c, r.sAngle);
    if (a.has("S_DESVEL") || a.has("S_MAXFORCE"))
        RbdCarWheelSetSteeringLimitedForceMotor(a.c, r.sDesvel, a.has("S_MAXFORCE") ? r.sMaxforce : RBD_REAL_MAX);
    if (r.sLock) RbdCarWheelSetSteeringAngle(a.c, r.sAngle);
}

void applyCarWheel(const Apply &a)
{
    const ConstraintRecord &r = a.r;
    PxVector3 p, v;
    a.point(r.pos, p);
    RbdCarWheelSetPosition(a.c, p[0], p[1], p[2]);
    a.vector(r.sAxis, v);
    if (a.has("S_AXIS")) RbdCarWheelSetSteeringAxis(a.c, v[0], v[1], v[2]);
    a.vector(r.hAxis, v);
    if (a.has("H_AXIS")) RbdCarWheelSetHingeAxis(a.c, v[0], v[1], v[2]);
    applyCarWheelSteering(a);
    RbdCarWheelSetHingeLimitedForceMotor(a.c, r.hDesvel, r.hMaxforce);
    PxReal kp, kd, soft, lo, hi, ref;
    RbdCarWheelGetSuspension(a.c, &kp, &kd, &soft, &lo, &hi, &ref);
    RbdCarWheelSetSuspension(a.c, a.has("SUSP_KP") ? r.suspKp : kp, a.has("SUSP_KD") ? r.suspKd : kd,
                             a.has("SUSP_SOFT") ? r.suspSoft : soft, a.has("SUSP_LOLIM") ? a.length(r.suspLo) : lo,
                             a.has("SUSP_HILIM") ? a.length(r.suspHi) : hi,
                             a.has("SUSP_REF") ? a.length(r.suspRef) : ref);
}

void applyFixedPath(const Apply &a)
{
    setBodyPositions(a);
    const PxReal s = a.frame.scale;
    RbdFixedPathSetVelocity(a.c, 0, a.r.vel1[0] * s, a.r.vel1[1] * s, a.r.vel1[2] * s);
    RbdFixedPathSetVelocity(a.c, 1, a.r.vel2[0] * s, a.r.vel2[1] * s, a.r.vel2[2] * s);
}

void applyRPROJoint(const Apply &a)
{
    const ConstraintRecord &r = a.r;
    setBodyPositions(a);
    if (a.has("QUAT1")) RbdRPROJointSetAttachmentQuaternion(a.c, r.quat1, 0);
    if (a.has("QUAT2")) RbdRPROJointSetAttachmentQuaternion(a.c, r.quat2, 1);
    if (a.has("REL_QUAT")) RbdRPROJointSetRelativeQuaternion(a.c, r.relQuat);
    RbdRPROJointSetRelativeAngularVelocity(a.c, r.relAngvel);
    const PxVector3 v = {r.relVel[0] * a.frame.scale, r.relVel[1] * a.frame.scale, r.relVel[2] * a.frame.scale};
    RbdRPROJointSetRelativeLinearVelocity(a.c, v);
    if (a.has("LINEAR_STRENGTH")) RbdRPROJointSetLinearStrength(a.c, r.linStrength);
    if (a.has("ANGULAR_STRENGTH")) RbdRPROJointSetAngularStrength(a.c, r.angStrength);
}

void applyUniversal(const Apply &a)
{
    PxVector3 v;
    setPosition(a, a.r.pos);
    a.vector(a.r.axis1, v);
    RbdUniversalSetAxis(a.c, 0, v[0], v[1], v[2]);
    a.vector(a.r.axis2, v);
    RbdUniversalSetAxis(a.c, 1, v[0], v[1], v[2]);
}

void applyLinear1(const Apply &a)
{
    setPosition(a, a.r.pos);
    setAxis(a, a.r.axis);
}

void applyLinear2(const Apply &a)
{
    setPosition(a, a.r.pos);
    setAxis(a, a.r.dir);
}

void applyAngular3(const Apply &a)
{
    setAxis(a, a.r.axis);
    RbdAngular3EnableRotation(a.c, a.r.rotEnabled);
    if (a.has("STIFFNESS")) RbdAngular3SetStiffness(a.c, a.r.stiffness);
    if (a.has("DAMPING")) RbdAngular3SetDamping(a.c, a.r.damping);
}

void applySpring(const Apply &a)
{
    setBodyPositions(a);
    RbdSpringSetNaturalLength(a.c, a.length(a.r.naturalLength));
    RbdSpringSetStiffness(a.c, a.r.stiffness);
    RbdSpringSetDamping(a.c, a.r.damping);
    applyLimit(a, true);
}

void applyConeLimit(const Apply &a)
{
    PxVector3 v;
    a.vector(a.r.axis1, v);
    RbdConeLimitSetAxis(a.c, 0, v[0], v[1], v[2]);
    a.vector(a.r.axis2, v);
    RbdConeLimitSetAxis(a.c, 1, v[0], v[1], v[2]);
    if (a.has("HALF_ANGLE")) RbdConeLimitSetHalfAngle(a.c, a.r.halfAngle);
    if (a.has("STIFFNESS")) RbdConeLimitSetStiffness(a.c, a.r.stiffness);
    if (a.has("DAMPING")) RbdConeLimitSetDamping(a.c, a.r.damping);
}

void applyContact(const Apply &a, const RbdContactParams &params)
{
    PxVector3 v;
    a.point(a.r.pos, v);
    RbdContactSetPosition(a.c, v[0], v[1], v[2]);
    a.vector(a.r.normal, v);
    if (a.has("NORMAL")) RbdContactSetNormal(a.c, v[0], v[1], v[2]);
    RbdContactSetPenetration(a.c, a.r.penetration * a.frame.scale);
    RbdContactSetParams(a.c, &params);
    a.vector(a.r.dir, v);
    if (a.has("DIR")) RbdContactSetDirection(a.c, v[0], v[1], v[2]);
}

struct TypeInfo {
    const char *element;
    RbdConstraintID (*create)(RbdWorldID world);
    const PxXMLHandler *entries;
    void (*apply)(const Apply &a); // null for contacts
};

const TypeInfo kBSJointInfo = {"BSJOINT", RbdBSJointCreate, kBSJoint, applyBSJoint};
const TypeInfo kHingeInfo = {"HINGE", RbdHingeCreate, kHinge, applyHinge};
const TypeInfo kPrismaticInfo = {"PRISMATIC", RbdPrismaticCreate, kPrismatic, applyPrismatic};
const TypeInfo kCarWheelInfo = {"CARWHEEL", RbdCarWheelCreate, kCarWheel, applyCarWheel};
const TypeInfo kContactInfo = {"CONTACT", RbdContactCreate, kContact, nullptr};
const TypeInfo kFixedPathInfo = {"FIXEDPATH", RbdFixedPathCreate, kFixedPath, applyFixedPath};
const TypeInfo kRPROJointInfo = {"RPROJOINT", RbdRPROJointCreate, kRPROJoint, applyRPROJoint};
const TypeInfo kUniversalInfo = {"UNIVERSAL", RbdUniversalCreate, kUniversal, applyUniversal};
const TypeInfo kLinear1Info = {"LINEAR1", RbdLinear1Create, kLinear1, applyLinear1};
const TypeInfo kLinear2Info = {"LINEAR2", RbdLinear2Create, kLinear2, applyLinear2};
const TypeInfo kAngular3Info = {"ANGULAR3", RbdAngular3Create, kAngular3, applyAngular3};
const TypeInfo kSpringInfo = {"SPRING", RbdSpringCreate, kSpring, applySpring};
const TypeInfo kConeLimitInfo = {"CONELIMIT", RbdConeLimitCreate, kConeLimit, applyConeLimit};

// The shared entries followed by the type's, in table (out has room for 32).
void buildTable(const PxXMLHandler *entries, PxXMLHandler *out)
{
    int n = 0;
    for (const PxXMLHandler *h = kCommon; h->type != PX_XML_END_OF_TABLE; ++h) out[n++] = *h;
    for (const PxXMLHandler *h = entries; h->type != PX_XML_END_OF_TABLE; ++h) out[n++] = *h;
    out[n] = kCommon[sizeof kCommon / sizeof kCommon[0] - 1];
}

void recordInit(ConstraintRecord *r)
{
    memset(r, 0, sizeof *r);
    r->enabled = 1;
    r->quat1[0] = r->quat2[0] = r->relQuat[0] = 1.0;
    for (int i = 0; i < 3; ++i) r->linStrength[i] = r->angStrength[i] = RBD_REAL_MAX;
    LimitRecord &l = r->limit;
    l.loStop = -RBD_REAL_MAX;
    l.upStop = RBD_REAL_MAX;
    l.loStiff = l.upStiff = RBD_REAL_MAX;
    l.loRest = l.upRest = 1.0;
    memcpy(l.table, kLimitTable, sizeof kLimitTable);
    PxfParamsRecordInit(&r->params);
}

int loadLimit(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    LimitRecord *l = static_cast<LimitRecord *>(context->current);
    l->read = 1;
    const int code = PxXMLElementProcess(element, l->table, l);
    return PxfBadEntry(l->table) ? PX_XML_BAD_VALUE : code;
}

// The constraint's two bodies; false (reported) when a named body is missing.
bool findBodies(PxLoadContext *context, PxfPosition at, const ConstraintRecord &r, RbdBodyID bodies[2])
{
    for (int i = 0; i < 2; ++i) {
        bodies[i] = nullptr;
        if (strcmp(r.bodyIds[i], "WORLD") == 0) continue;
        char fullId[PXF_FULL_ID_SIZE];
        if (PxLoadContextMakeFullID(context, r.bodyIds[i], fullId, sizeof fullId))
            bodies[i] = RbdBodyLookup(context, fullId);
        if (!bodies[i]) {
            PXF_PROBLEM(context, at, "Constraint '%s' refers to non-existent body '%s'. Constraint not created.\n",
                        r.id, r.bodyIds[i]);
            return false;
        }
    }
    if (bodies[0] && bodies[0] == bodies[1]) {
        PXF_PROBLEM(context, at, "Constraint '%s' joins body '%s' to itself. Constraint not created.\n", r.id,
                    r.bodyIds[0]);
        return false;
    }
    if (bodies[0] || bodies[1]) return true;
    PXF_PROBLEM(context, at, "Constraint '%s' joins the world to itself. Constraint not created.\n", r.id);
    return false;
}

// The checks before anything is made; true when the constraint may be made.
bool constraintIsValid(PxLoadContext *context, PxfPosition at, PxXMLHandler *t, const ConstraintRecord &r,
                       char *fullId)
{
    const PxXMLHandler *bad = PxfBadEntry(t);
    if (!PxXMLHandlerWasCalled(t, "ID") || !r.id[0])
        PXF_PROBLEM(
            context, at,
            "All constraints must have an <ID> containing a unique string amongst constraints. Constraint not "
            "created.\n");
    else if (bad)
        PXF_PROBLEM(context, at, "Constraint '%s' contains an invalid <%s> element. Constraint not created.\n", r.id,
                    bad->name);
    else if (!PxfFullID(context, at, r.id, fullId))
        return false;
    else if (RbdConstraintLookup(context, fullId))
        PXF_PROBLEM(context, at, "Duplicate ID '%s' detected. Constraint not created.\n", r.id);
    else if (!PxXMLHandlerWasCalled(t, "BODY_IDS"))
        PXF_PROBLEM(context, at, "Constraint '%s' must have a <BODY_IDS> element. Constraint not created.\n", r.id);
    else
        return true;
    return false;
}

void makeConstraint(PxLoadContext *context, PxXMLElement *element, PxfPosition at, const TypeInfo &type,
                    const ConstraintRecord &r, PxXMLHandler *t)
{
    char fullId[PXF_FULL_ID_SIZE];
    RbdBodyID bodies[2];
    RbdContactParams params;
    RbdContactParamsReset(&params);
    if (!constraintIsValid(context, at, t, r, fullId) || !findBodies(context, at, r, bodies)) return;
    if (!type.apply && !PxfParamsFromRecord(context, at, &r.params, &params)) return;
    const PxfFrame frame = PxfFrameOf(context, element, r.id);
    RbdConstraintID c = type.create(context->world);
    if (!c) {
        PXF_PROBLEM(context, at, "Constraint '%s' could not be created: the world has no room left.\n", r.id);
        return;
    }
    const long mark = PxfWarningMark();
    RbdConstraintSetBodies(c, bodies[0], bodies[1]);
    const Apply apply = {context, at, c, r, t, frame};
    if (type.apply)
        type.apply(apply);
    else
        applyContact(apply, params);
    PxfNoteLibraryWarnings(context, at, "Constraint", r.id, mark);
    if (r.enabled && !(context->options & PX_LOAD_CONSTRAINTS_DISABLED)) RbdConstraintEnable(c);
    PxLoadHashInsert(context, fullId, c, PX_KIND_CONSTRAINT);
}

int loadConstraint(PxXMLElement *element, const TypeInfo &type)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    ConstraintRecord *r = static_cast<ConstraintRecord *>(PxMemoryAPI.create(sizeof(ConstraintRecord)));
    if (!r) return PX_XML_LIMIT;
    recordInit(r);
    PxXMLHandler t[32];
    buildTable(type.entries, t);
    context->current = &r->limit;
    context->params = &r->params;
    const int code = PxXMLElementProcess(element, t, r);
    context->current = nullptr;
    context->params = nullptr;
    makeConstraint(context, element, at, type, *r, t);
    PxMemoryAPI.destroy(r);
    return code;
}

int loadBSJoint(PxXMLElement *e)
{
    return loadConstraint(e, kBSJointInfo);
}
int loadHinge(PxXMLElement *e)
{
    return loadConstraint(e, kHingeInfo);
}
int loadPrismatic(PxXMLElement *e)
{
    return loadConstraint(e, kPrismaticInfo);
}
int loadCarWheel(PxXMLElement *e)
{
    return loadConstraint(e, kCarWheelInfo);
}
int loadContact(PxXMLElement *e)
{
    return loadConstraint(e, kContactInfo);
}
int loadFixedPath(PxXMLElement *e)
{
    return loadConstraint(e, kFixedPathInfo);
}
int loadRPROJoint(PxXMLElement *e)
{
    return loadConstraint(e, kRPROJointInfo);
}
int loadUniversal(PxXMLElement *e)
{
    return loadConstraint(e, kUniversalInfo);
}
int loadLinear1(PxXMLElement *e)
{
    return loadConstraint(e, kLinear1Info);
}
int loadLinear2(PxXMLElement *e)
{
    return loadConstraint(e, kLinear2Info);
}
int loadAngular3(PxXMLElement *e)
{
    return loadConstraint(e, kAngular3Info);
}
int loadSpring(PxXMLElement *e)
{
    return loadConstraint(e, kSpringInfo);
}
int loadConeLimit(PxXMLElement *e)
{
    return loadConstraint(e, kConeLimitInfo);
}

} // namespace

int PxfLoadConstraints(PxXMLElement *element)
{
    PxXMLHandler t[] = {PX_XML_ELEMENT("BSJOINT", loadBSJoint),     PX_XML_ELEMENT("HINGE", loadHinge),
                        PX_XML_ELEMENT("PRISMATIC", loadPrismatic), PX_XML_ELEMENT("CARWHEEL", loadCarWheel),
                        PX_XML_ELEMENT("CONTACT", loadContact),     PX_XML_ELEMENT("FIXEDPATH", loadFixedPath),
                        PX_XML_ELEMENT("RPROJOINT", loadRPROJoint), PX_XML_ELEMENT("UNIVERSAL", loadUniversal),
                        PX_XML_ELEMENT("LINEAR1", loadLinear1),     PX_XML_ELEMENT("LINEAR2", loadLinear2),
                        PX_XML_ELEMENT("ANGULAR3", loadAngular3),   PX_XML_ELEMENT("SPRING", loadSpring),
                        PX_XML_ELEMENT("CONELIMIT", loadConeLimit), PX_XML_END};
    return PxXMLElementProcess(element, t, PxfContextOf(element));
}
