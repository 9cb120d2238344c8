// The RBD section of a scene file: naming a world's objects and writing the
// world, its bodies and its constraints.
#include <stdio.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Rbd.h>

#include "PxFileInternal.h"
#include "RbdSaveConstraint.h"

namespace {

int writeWorldSolver(RbdWorldID w, PxStream *s)
{
    int ok = PxfWriteInt("ALIVE_WINDOW", s, RbdWorldGetAutoDisableAliveWindow(w));
    ok &= PxfWriteInt("AVERAGING_WINDOW", s, RbdWorldGetAutoDisableAveragingWindow(w));
    ok &= PxfWriteReal("REST_SPEED", s, RbdWorldGetAutoDisableRestSpeed(w));
    ok &= PxfWriteInt("AUTO_DISABLE", s, RbdWorldGetAutoDisable(w));
    ok &= PxfWriteInt("INTEGRATION_MODEL", s, RbdWorldGetIntegrationModel(w));
    ok &= PxfWriteInt("LINEAR_SOLVER", s, RbdWorldGetLinearSolver(w));
    ok &= PxfWriteInt("STEPPER_OPTIONS", s, RbdWorldGetStepperOptions(w));
    ok &= PxfWriteReal("TIME_STEP", s, RbdWorldGetTimeStep(w));
    ok &= PxfWriteInt("LCP_MAX_BLOCK_ITERATIONS", s, RbdWorldLCPGetMaxBlockIterations(w));
    ok &= PxfWriteInt("LCP_MAX_ITERATIONS", s, RbdWorldLCPGetMaxIterations(w));
    ok &= PxfWriteInt("LCP_MAX_CYCLE_SIZE1", s, RbdWorldLCPGetMaxCycleSize1(w));
    ok &= PxfWriteInt("LCP_MAX_CYCLE_SIZE2", s, RbdWorldLCPGetMaxCycleSize2(w));
    ok &= PxfWriteReal("LCP_DEGENERACY_FILTER", s, RbdWorldLCPGetDegeneracyFilter(w));
    ok &= PxfWriteReal("LCP_TOLERANCE", s, RbdWorldLCPGetTolerance(w));
    ok &= PxfWriteInt("LCP_SOLVER_FUNCTION", s, RbdWorldLCPGetSolverFunction(w));
    ok &= PxfWriteInt("LCP_LARGE_ISLAND_SOLVER", s, RbdWorldLCPGetLargeIslandSolver(w));
    ok &= PxfWriteInt("LCP_LARGE_ISLAND_ROWS", s, RbdWorldLCPGetLargeIslandRows(w));
    ok &= PxfWriteInt("LCP_ITERATIONS", s, RbdWorldLCPGetIterations(w));
    return ok;
}

int writeWorld(const PxSaveEntry *entry, PxStream *s)
{
    RbdWorldID w = static_cast<RbdWorldID>(entry->object);
    PxVector3 gravity;
    RbdWorldGetGravity(w, gravity);
    int ok = PxXMLWriteStartTag("WORLD", s);
    ok &= PxfWriteText("ID", s, entry->id);
    ok &= PxfWriteReals("GRAVITY", s, gravity, 3);
    ok &= PxfWriteReal("EPSILON", s, RbdWorldGetEpsilon(w));
    ok &= PxfWriteReal("GAMMA", s, RbdWorldGetGamma(w));
    ok &= PxfWriteReal("VEL_THRESH", s, RbdWorldGetAutoDisableVelocityThreshold(w));
    ok &= PxfWriteReal("ANGVEL_THRESH", s, RbdWorldGetAutoDisableAngularVelocityThreshold(w));
    ok &= PxfWriteReal("ACC_THRESH", s, RbdWorldGetAutoDisableAccelerationThreshold(w));
    ok &= PxfWriteReal("ANGACC_THRESH", s, RbdWorldGetAutoDisableAngularAccelerationThreshold(w));
    ok &= writeWorldSolver(w, s);
    ok &= PxfWriteReal("MAX_CORRECTING_VEL", s, RbdWorldGetMaxCorrectingVelocity(w));
    ok &= PxfWriteReal("MAX_CORRECTING_RATE", s, RbdWorldGetMaxCorrectingRate(w));
    ok &= PxfWriteInt("JOINT_POSITION_PASSES", s, RbdWorldGetJointPositionPasses(w));
    ok &= PxXMLWriteEndTag("WORLD", s);
    return ok;
}

// Pose, mass and the motion of one body.
int writeBodyState(RbdBodyID b, PxStream *s)
{
    PxVector3 v;
    PxQuaternion q;
    PxMatrix3 inertia;
    RbdBodyGetPosition(b, v);
    int ok = PxfWriteReals("POS", s, v, 3);
    RbdBodyGetQuaternion(b, q);
    ok &= PxfWriteReals("QUAT", s, q, 4);
    ok &= PxfWriteReal("MASS", s, RbdBodyGetMass(b));
    RbdBodyGetInertiaTensor(b, inertia);
    const PxReal moi[6] = {inertia[0][0], inertia[1][0], inertia[2][0], inertia[1][1], inertia[2][1], inertia[2][2]};
    ok &= PxfWriteReals("MOI", s, moi, 6);
    RbdBodyGetForce(b, v);
    ok &= PxfWriteReals("FORCE", s, v, 3);
    RbdBodyGetTorque(b, v);
    ok &= PxfWriteReals("TORQUE", s, v, 3);
    RbdBodyGetLinearVelocity(b, v);
    ok &= PxfWriteReals("VEL", s, v, 3);
    RbdBodyGetAngularVelocity(b, v);
    ok &= PxfWriteReals("ANGVEL", s, v, 3);
    return ok;
}

int writeBody(const PxSaveEntry *entry, PxStream *s)
{
    RbdBodyID b = static_cast<RbdBodyID>(entry->object);
    int ok = PxXMLWriteStartTag("BODY", s);
    ok &= PxfWriteText("ID", s, entry->id);
    ok &= PxfWriteInt("ENABLED", s, RbdBodyIsEnabled(b) ? 1 : 0);
    ok &= PxfWriteInt("FROZEN", s, RbdBodyIsFrozen(b) ? 1 : 0);
    ok &= writeBodyState(b, s);
    const PxReal damping[2] = {RbdBodyGetLinearVelocityDamping(b), RbdBodyGetAngularVelocityDamping(b)};
    ok &= PxfWriteReals("DAMP", s, damping, 2);
    if (RbdBodyHasFastSpinAxis(b)) {
        PxVector3 axis;
        RbdBodyGetFastSpinAxis(b, axis);
        ok &= PxfWriteReals("FASTSPIN", s, axis, 3);
    }
    PxMatrix4 com;
    RbdBodyGetCenterOfMassRelativeTransform(b, com);
    ok &= PxfWriteMatrix4("COM", s, com);
    ok &= PxXMLWriteEndTag("BODY", s);
    return ok;
}

typedef int (*EntryWriter)(const PxSaveEntry *entry, PxStream *s);

// Every entry of a kind, in ID order, optionally inside a group element.
int writeKind(PxSaveContext *context, int kind, const char *group, EntryWriter writer, PxStream *s)
{
    int count = 0;
    PxSaveEntry **entries = PxfSaveEntriesOfKind(context, kind, &count);
    int ok = group ? PxXMLWriteStartTag(group, s) : 1;
    if (group) PxXMLIndent();
    for (int i = 0; i < count; ++i) ok &= writer(entries[i], s);
    if (group) PxXMLDeIndent();
    if (group) ok &= PxXMLWriteEndTag(group, s);
    PxMemoryAPI.destroy(entries);
    return ok;
}

int writeConstraints(PxSaveContext *context, PxStream *s)
{
    int count = 0;
    PxSaveEntry **entries = PxfSaveEntriesOfKind(context, PX_KIND_CONSTRAINT, &count);
    const int withContacts = (context->options & PX_SAVE_CONTACTS) != 0;
    int ok = PxXMLWriteStartTag("CONSTRAINTS", s);
    PxXMLIndent();
    for (int i = 0; i < count; ++i) {
        RbdConstraintID c = static_cast<RbdConstraintID>(entries[i]->object);
        if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT && !withContacts) continue;
        ok &= PxfWriteConstraint(context, entries[i], s);
    }
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("CONSTRAINTS", s);
    PxMemoryAPI.destroy(entries);
    return ok;
}

struct Namer {
    PxSaveContext *context;
    int index;
    int ok;
};

void nameConstraint(RbdConstraintID c, void *arg)
{
    Namer *namer = static_cast<Namer *>(arg);
    char id[64];
    snprintf(id, sizeof id, "AUTO_CONSTRAINT%d", namer->index++);
    if (!RbdConstraintHashInsert(namer->context, c, id)) namer->ok = 0;
}

} // namespace

extern "C" {

const char *RbdWorldHashInsert(PxSaveContext *context, RbdWorldID world, const char *id)
{
    return PxSaveHashInsert(context, world, id, PX_KIND_WORLD);
}

const char *RbdBodyHashInsert(PxSaveContext *context, RbdBodyID body, const char *id)
{
    return PxSaveHashInsert(context, body, id, PX_KIND_BODY);
}

const char *RbdConstraintHashInsert(PxSaveContext *context, RbdConstraintID constraint, const char *id)
{
    return PxSaveHashInsert(context, constraint, id, PX_KIND_CONSTRAINT);
}

int RbdWorldHashInsertAll(PxSaveContext *context, RbdWorldID world)
{
    if (!context || !world) {
        PxWarning(PXF_MISUSE_LEVEL, "RbdWorldHashInsertAll: needs a context and a world.\n");
        return 0;
    }
    int ok = RbdWorldHashInsert(context, world, "AUTO_WORLD") != nullptr;
    int index = 0;
    for (RbdBodyID b = RbdBodyGetFirst(world); b; b = RbdBodyGetNext(b)) {
        char id[64];
        snprintf(id, sizeof id, "AUTO_BODY%d", index++);
        ok &= RbdBodyHashInsert(context, b, id) != nullptr;
    }
    Namer namer = {context, 0, ok};
    RbdWorldForAllConstraints(world, nameConstraint, &namer);
    return namer.ok;
}

int RbdWriteXML(PxSaveContext *context, PxStream *stream)
{
    if (!context || !stream) return 0;
    int ok = PxXMLWriteStartTag("RBD", stream);
    PxXMLIndent();
    ok &= writeKind(context, PX_KIND_WORLD, nullptr, writeWorld, stream);
    ok &= writeKind(context, PX_KIND_BODY, "BODIES", writeBody, stream);
    ok &= writeConstraints(context, stream);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("RBD", stream);
    return ok;
}

int RbdSave(PxSaveContext *context, PxStream *stream)
{
    PxSaveContextSetWriter(context, PX_SAVE_RBD, RbdWriteXML);
    return PxSave(context, stream);
}

} // extern "C"
