// One constraint element: the children every type shares (ID, BODY_IDS,
// ENABLED), then the geometry and parameters of its type, and its limit.
#include <stdio.h>

#include <kelmar/PxMessage.h>
#include <kelmar/Rbd.h>

#include "RbdSaveConstraint.h"

namespace {

typedef int (*TypeWriter)(RbdConstraintID c, PxStream *s);

int writePosition(RbdConstraintID c, PxStream *s)
{
    PxVector3 p;
    RbdConstraintGetPosition(c, p);
    return PxfWriteReals("POS", s, p, 3);
}

int writeAxis(const char *tag, RbdConstraintID c, PxStream *s)
{
    PxVector3 a;
    RbdConstraintGetAxis(c, a);
    return PxfWriteReals(tag, s, a, 3);
}

// The attachment points of both bodies, world coordinates.
int writeBodyPositions(RbdConstraintID c, PxStream *s)
{
    PxVector3 p0, p1;
    RbdConstraintBodyGetPosition(c, 0, p0);
    RbdConstraintBodyGetPosition(c, 1, p1);
    return PxfWriteReals("POS1", s, p0, 3) && PxfWriteReals("POS2", s, p1, 3);
}

// Stops, motor and lock; written only while one of them is on.
int writeLimit(const RbdLimit *limit, PxStream *s)
{
    if (!limit) return 1;
    const int active = RbdLimitIsActive(limit), motorized = RbdLimitIsMotorized(limit);
    const int locked = RbdLimitIsLocked(limit);
    if (!active && !motorized && !locked) return 1;
    PxXMLIndent();
    int ok = PxXMLWriteStartTag("LIMIT", s);
    ok &= PxfWriteInt("INDEX", s, 0);
    if (active) {
        RbdSingleLimit lo, up;
        RbdLimitGetLowerLimit(limit, &lo);
        RbdLimitGetUpperLimit(limit, &up);
        ok &= PxfWriteInt("ACTIVE", s, 1);
        ok &= PxfWriteReal("LO_STOP", s, lo.stop) && PxfWriteReal("LO_STIFF", s, lo.stiffness);
        ok &= PxfWriteReal("LO_DAMP", s, lo.damping) && PxfWriteReal("LO_REST", s, lo.restitution);
        ok &= PxfWriteReal("UP_STOP", s, up.stop) && PxfWriteReal("UP_STIFF", s, up.stiffness);
        ok &= PxfWriteReal("UP_DAMP", s, up.damping) && PxfWriteReal("UP_REST", s, up.restitution);
    }
    // Lock, maximum force and position serve motors and locks as well.
    ok &= PxfWriteInt("LOCKED", s, locked ? 1 : 0);
    ok &= PxfWriteInt("CALC_POS", s, RbdLimitPositionIsCalculated(limit) ? 1 : 0);
    ok &= PxfWriteReal("MAX_FORCE", s, RbdLimitGetMotorMaxForce(limit));
    ok &= PxfWriteReal("POS_LOCK", s, limit->lockPosition);
    ok &= PxfWriteReal("POS", s, RbdLimitGetPosition(limit));
    if (motorized) {
        ok &= PxfWriteInt("POWERED", s, 1);
        ok &= PxfWriteReal("DESVEL", s, RbdLimitGetMotorDesiredVelocity(limit));
    }
    ok &= PxXMLWriteEndTag("LIMIT", s);
    PxXMLDeIndent();
    return ok;
}

int writeBSJoint(RbdConstraintID c, PxStream *s)
{
    return writePosition(c, s);
}

int writeHinge(RbdConstraintID c, PxStream *s)
{
    return writePosition(c, s) && writeAxis("AXIS", c, s) && writeLimit(RbdConstraintGetLimit(c), s);
}

int writePrismatic(RbdConstraintID c, PxStream *s)
{
    return writeAxis("AXIS", c, s) && writePosition(c, s) && writeLimit(RbdConstraintGetLimit(c), s);
}

int writeCarWheelSteering(RbdConstraintID c, PxStream *s)
{
    PxVector3 axis;
    RbdCarWheelGetSteeringAxis(c, axis);
    int ok = PxfWriteReals("S_AXIS", s, axis, 3);
    ok &= PxfWriteInt("S_LOCK", s, RbdCarWheelGetSteeringLock(c));
    ok &= PxfWriteReal("S_DESVEL", s, RbdCarWheelGetSteeringMotorVelocity(c));
    ok &= PxfWriteReal("S_MAXFORCE", s, RbdCarWheelGetSteeringMotorMaxForce(c));
    ok &= PxfWriteReal("S_ANGLE", s, RbdCarWheelGetDesiredSteeringAngle(c));
    return ok;
}

int writeCarWheel(RbdConstraintID c, PxStream *s)
{
    PxVector3 v;
    RbdCarWheelGetPosition(c, v);
    int ok = PxfWriteReals("POS", s, v, 3) && writeCarWheelSteering(c, s);
    RbdCarWheelGetHingeAxis(c, v);
    ok &= PxfWriteReals("H_AXIS", s, v, 3);
    ok &= PxfWriteReal("H_DESVEL", s, RbdCarWheelGetHingeMotorVelocity(c));
    ok &= PxfWriteReal("H_MAXFORCE", s, RbdCarWheelGetHingeMotorMaxForce(c));
    PxReal kp, kd, soft, lo, hi, ref;
    RbdCarWheelGetSuspension(c, &kp, &kd, &soft, &lo, &hi, &ref);
    ok &= PxfWriteReal("SUSP_LOLIM", s, lo) && PxfWriteReal("SUSP_HILIM", s, hi);
    ok &= PxfWriteReal("SUSP_SOFT", s, soft) && PxfWriteReal("SUSP_REF", s, ref);
    ok &= PxfWriteReal("SUSP_KP", s, kp) && PxfWriteReal("SUSP_KD", s, kd);
    return ok;
}

int writeContact(RbdConstraintID c, PxStream *s)
{
    PxVector3 v;
    RbdContactGetPosition(c, v);
    int ok = PxfWriteReals("POS", s, v, 3);
    RbdContactGetNormal(c, v);
    ok &= PxfWriteReals("NORMAL", s, v, 3);
    ok &= PxfWriteReal("PENETRATION", s, RbdContactGetPenetration(c));
    const RbdContactParams *params = RbdContactGetParams(c);
    // A direction only counts once it was set.
    if (params->options & RBD_CONTACT_DIRECTION) {
        RbdContactGetDirection(c, v);
        ok &= PxfWriteReals("DIR", s, v, 3);
    }
    return ok && PxfWriteContactParams(s, params);
}

int writeFixedPath(RbdConstraintID c, PxStream *s)
{
    PxVector3 v0, v1;
    RbdFixedPathGetVelocity(c, 0, v0);
    RbdFixedPathGetVelocity(c, 1, v1);
    return writeBodyPositions(c, s) && PxfWriteReals("VEL1", s, v0, 3) && PxfWriteReals("VEL2", s, v1, 3);
}

int writeRPROJoint(RbdConstraintID c, PxStream *s)
{
    PxQuaternion q0, q1, rel;
    PxVector3 v;
    RbdRPROJointGetAttachmentQuaternion(c, 0, q0);
    RbdRPROJointGetAttachmentQuaternion(c, 1, q1);
    RbdRPROJointGetRelativeQuaternion(c, rel);
    int ok = writeBodyPositions(c, s) && PxfWriteReals("QUAT1", s, q0, 4) && PxfWriteReals("QUAT2", s, q1, 4);
    ok &= PxfWriteReals("REL_QUAT", s, rel, 4);
    RbdRPROJointGetRelativeAngularVelocity(c, v);
    ok &= PxfWriteReals("REL_ANGVEL", s, v, 3);
    RbdRPROJointGetRelativeLinearVelocity(c, v);
    ok &= PxfWriteReals("REL_VEL", s, v, 3);
    RbdRPROJointGetLinearStrength(c, v);
    ok &= PxfWriteReals("LINEAR_STRENGTH", s, v, 3);
    RbdRPROJointGetAngularStrength(c, v);
    ok &= PxfWriteReals("ANGULAR_STRENGTH", s, v, 3);
    return ok;
}

int writeUniversal(RbdConstraintID c, PxStream *s)
{
    PxVector3 a0, a1;
    RbdUniversalGetAxis(c, 0, a0);
    RbdUniversalGetAxis(c, 1, a1);
    return writePosition(c, s) && PxfWriteReals("AXIS1", s, a0, 3) && PxfWriteReals("AXIS2", s, a1, 3);
}

int writeLinear1(RbdConstraintID c, PxStream *s)
{
    return writePosition(c, s) && writeAxis("AXIS", c, s);
}

int writeLinear2(RbdConstraintID c, PxStream *s)
{
    return writePosition(c, s) && writeAxis("DIR", c, s);
}

int writeAngular3(RbdConstraintID c, PxStream *s)
{
    int ok = writeAxis("AXIS", c, s) && PxfWriteInt("ROT_ENABLED", s, RbdAngular3IsRotationEnabled(c) ? 1 : 0);
    return ok && PxfWriteReal("STIFFNESS", s, RbdAngular3GetStiffness(c)) &&
           PxfWriteReal("DAMPING", s, RbdAngular3GetDamping(c));
}

int writeSpring(RbdConstraintID c, PxStream *s)
{
    int ok = writeBodyPositions(c, s) && PxfWriteReal("NATURAL_LENGTH", s, RbdSpringGetNaturalLength(c));
    ok &= PxfWriteReal("STIFFNESS", s, RbdSpringGetStiffness(c)) &&
          PxfWriteReal("DAMPING", s, RbdSpringGetDamping(c));
    return ok && writeLimit(RbdConstraintGetLimit(c), s);
}

int writeConeLimit(RbdConstraintID c, PxStream *s)
{
    PxVector3 a0, a1;
    RbdConeLimitGetAxis(c, 0, a0);
    RbdConeLimitGetAxis(c, 1, a1);
    int ok = PxfWriteReals("AXIS1", s, a0, 3) && PxfWriteReals("AXIS2", s, a1, 3);
    ok &= PxfWriteReal("HALF_ANGLE", s, RbdConeLimitGetHalfAngle(c));
    return ok && PxfWriteReal("STIFFNESS", s, RbdConeLimitGetStiffness(c)) &&
           PxfWriteReal("DAMPING", s, RbdConeLimitGetDamping(c));
}

struct TypeEntry {
    const char *element;
    TypeWriter writer;
};

// Indexed by the constraint type number.
const TypeEntry kTypes[RBD_TYPE_COUNT] = {
    {"BSJOINT", writeBSJoint},
    {"HINGE", writeHinge},
    {"PRISMATIC", writePrismatic},
    {"CARWHEEL", writeCarWheel},
    {"CONTACT", writeContact},
    {"FIXEDPATH", writeFixedPath},
    {"RPROJOINT", writeRPROJoint},
    {"UNIVERSAL", writeUniversal},
    {"LINEAR1", writeLinear1},
    {"LINEAR2", writeLinear2},
    {"ANGULAR3", writeAngular3},
    {"SPRING", writeSpring},
    {"CONELIMIT", writeConeLimit},
    {nullptr, nullptr},
    {nullptr, nullptr},
};

int writeBodyIds(PxSaveContext *context, RbdConstraintID c, PxStream *s)
{
    RbdBodyID b0 = RbdConstraintGetBody(c, 0), b1 = RbdConstraintGetBody(c, 1);
    const char *first = b0 ? PxfSaveName(context, b0) : "WORLD";
    const char *second = b1 ? PxfSaveName(context, b1) : "WORLD";
    return PxXMLWrite("BODY_IDS", s, "%s,%s", first, second);
}

} // namespace

int PxfWriteConstraint(PxSaveContext *context, const PxSaveEntry *entry, PxStream *s)
{
    RbdConstraintID c = static_cast<RbdConstraintID>(entry->object);
    const int type = RbdConstraintGetTypeId(c);
    if (type < 0 || type >= RBD_TYPE_COUNT || !kTypes[type].element) {
        PxWarning(PXF_MISUSE_LEVEL, "RbdWriteXML: constraint '%s' has type %d, which has no file element. Skipped.\n",
                  entry->id, type);
        return 1;
    }
    const TypeEntry &t = kTypes[type];
    int ok = PxXMLWriteStartTag(t.element, s);
    ok &= PxfWriteText("ID", s, entry->id);
    ok &= writeBodyIds(context, c, s);
    ok &= PxfWriteInt("ENABLED", s, RbdConstraintIsEnabled(c) ? 1 : 0);
    ok &= t.writer(c, s);
    ok &= PxXMLWriteEndTag(t.element, s);
    return ok;
}
