// The RBD section of a scene file: the world's parameters and its bodies
// (constraints are in RbdLoadConstraint.cpp).
#include <stddef.h>
#include <string.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Rbd.h>

#include "PxFileInternal.h"
#include "RbdLoadConstraint.h"

namespace {

struct WorldRecord {
    char id[PXF_ID_SIZE];
    PxReal gravity[3];
    PxReal epsilon, gamma, velThresh, angvelThresh, accThresh, angaccThresh, timeStep, degeneracy, tolerance;
    PxReal maxCorrectingVelocity, maxCorrectingRate, restSpeed;
    int aliveWindow, averagingWindow, autoDisable, integrationModel, linearSolver, stepperOptions;
    int blockIterations, iterations, cycleSize1, cycleSize2, solverFunction;
    int largeIslandSolver, largeIslandRows, sweeps;
    int jointPositionPasses;
};

// Sets each parameter the file gives.
void applyWorld(RbdWorldID w, const PxXMLHandler *t, const WorldRecord &r)
{
    if (PxXMLHandlerWasCalled(t, "GRAVITY")) RbdWorldSetGravity(w, r.gravity[0], r.gravity[1], r.gravity[2]);
    if (PxXMLHandlerWasCalled(t, "EPSILON")) RbdWorldSetEpsilon(w, r.epsilon);
    if (PxXMLHandlerWasCalled(t, "GAMMA")) RbdWorldSetGamma(w, r.gamma);
    if (PxXMLHandlerWasCalled(t, "VEL_THRESH")) RbdWorldSetAutoDisableVelocityThreshold(w, r.velThresh);
    if (PxXMLHandlerWasCalled(t, "ANGVEL_THRESH")) RbdWorldSetAutoDisableAngularVelocityThreshold(w, r.angvelThresh);
    if (PxXMLHandlerWasCalled(t, "ACC_THRESH")) RbdWorldSetAutoDisableAccelerationThreshold(w, r.accThresh);
    if (PxXMLHandlerWasCalled(t, "ANGACC_THRESH"))
        RbdWorldSetAutoDisableAngularAccelerationThreshold(w, r.angaccThresh);
    if (PxXMLHandlerWasCalled(t, "ALIVE_WINDOW")) RbdWorldSetAutoDisableAliveWindow(w, r.aliveWindow);
    if (PxXMLHandlerWasCalled(t, "AVERAGING_WINDOW")) RbdWorldSetAutoDisableAveragingWindow(w, r.averagingWindow);
    if (PxXMLHandlerWasCalled(t, "REST_SPEED")) RbdWorldSetAutoDisableRestSpeed(w, r.restSpeed);
    if (PxXMLHandlerWasCalled(t, "AUTO_DISABLE")) RbdWorldSetAutoDisable(w, r.autoDisable);
    if (PxXMLHandlerWasCalled(t, "INTEGRATION_MODEL")) RbdWorldSetIntegrationModel(w, r.integrationModel);
    if (PxXMLHandlerWasCalled(t, "LINEAR_SOLVER")) RbdWorldSetLinearSolver(w, r.linearSolver);
    if (PxXMLHandlerWasCalled(t, "STEPPER_OPTIONS")) RbdWorldSetStepperOptions(w, r.stepperOptions);
    if (PxXMLHandlerWasCalled(t, "TIME_STEP")) RbdWorldSetTimeStep(w, r.timeStep);
    if (PxXMLHandlerWasCalled(t, "LCP_MAX_BLOCK_ITERATIONS")) RbdWorldLCPSetMaxBlockIterations(w, r.blockIterations);
    if (PxXMLHandlerWasCalled(t, "LCP_MAX_ITERATIONS")) RbdWorldLCPSetMaxIterations(w, r.iterations);
    if (PxXMLHandlerWasCalled(t, "LCP_MAX_CYCLE_SIZE1")) RbdWorldLCPSetMaxCycleSize1(w, r.cycleSize1);
    if (PxXMLHandlerWasCalled(t, "LCP_MAX_CYCLE_SIZE2")) RbdWorldLCPSetMaxCycleSize2(w, r.cycleSize2);
    if (PxXMLHandlerWasCalled(t, "LCP_DEGENERACY_FILTER")) RbdWorldLCPSetDegeneracyFilter(w, r.degeneracy);
    if (PxXMLHandlerWasCalled(t, "LCP_TOLERANCE")) RbdWorldLCPSetTolerance(w, r.tolerance);
    if (PxXMLHandlerWasCalled(t, "LCP_SOLVER_FUNCTION")) RbdWorldLCPSetSolverFunction(w, r.solverFunction);
    if (PxXMLHandlerWasCalled(t, "LCP_LARGE_ISLAND_SOLVER")) RbdWorldLCPSetLargeIslandSolver(w, r.largeIslandSolver);
    if (PxXMLHandlerWasCalled(t, "LCP_LARGE_ISLAND_ROWS")) RbdWorldLCPSetLargeIslandRows(w, r.largeIslandRows);
    if (PxXMLHandlerWasCalled(t, "LCP_ITERATIONS")) RbdWorldLCPSetIterations(w, r.sweeps);
    if (PxXMLHandlerWasCalled(t, "MAX_CORRECTING_VEL")) RbdWorldSetMaxCorrectingVelocity(w, r.maxCorrectingVelocity);
    if (PxXMLHandlerWasCalled(t, "MAX_CORRECTING_RATE")) RbdWorldSetMaxCorrectingRate(w, r.maxCorrectingRate);
    if (PxXMLHandlerWasCalled(t, "JOINT_POSITION_PASSES")) RbdWorldSetJointPositionPasses(w, r.jointPositionPasses);
}

int loadWorld(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    WorldRecord r;
    memset(&r, 0, sizeof r);
    typedef WorldRecord R;
    PxXMLHandler t[] = {PXF_TEXT("ID", R, id),
                        PXF_CHECKED("GRAVITY", PxfParseMagnitude, R, gravity, 3),
                        PXF_CHECKED("EPSILON", PxfParseNonNegative, R, epsilon, 1),
                        PXF_CHECKED("GAMMA", PxfParseNonNegative, R, gamma, 1),
                        PXF_CHECKED("VEL_THRESH", PxfParseNonNegative, R, velThresh, 1),
                        PXF_CHECKED("ANGVEL_THRESH", PxfParseNonNegative, R, angvelThresh, 1),
                        PXF_CHECKED("ACC_THRESH", PxfParseNonNegative, R, accThresh, 1),
                        PXF_CHECKED("ANGACC_THRESH", PxfParseNonNegative, R, angaccThresh, 1),
                        PXF_INT("ALIVE_WINDOW", R, aliveWindow),
                        PXF_INT("AVERAGING_WINDOW", R, averagingWindow),
                        PXF_CHECKED("REST_SPEED", PxfParseNonNegative, R, restSpeed, 1),
                        PXF_INT("AUTO_DISABLE", R, autoDisable),
                        PXF_INT("INTEGRATION_MODEL", R, integrationModel),
                        PXF_INT("LINEAR_SOLVER", R, linearSolver),
                        PXF_INT("STEPPER_OPTIONS", R, stepperOptions),
                        PXF_CHECKED("TIME_STEP", PxfParsePositive, R, timeStep, 1),
                        PXF_INT("LCP_MAX_BLOCK_ITERATIONS", R, blockIterations),
                        PXF_INT("LCP_MAX_ITERATIONS", R, iterations),
                        PXF_INT("LCP_MAX_CYCLE_SIZE1", R, cycleSize1),
                        PXF_INT("LCP_MAX_CYCLE_SIZE2", R, cycleSize2),
                        PXF_CHECKED("LCP_DEGENERACY_FILTER", PxfParseNonNegative, R, degeneracy, 1),
                        PXF_CHECKED("LCP_TOLERANCE", PxfParseNonNegative, R, tolerance, 1),
                        PXF_INT("LCP_SOLVER_FUNCTION", R, solverFunction),
                        PXF_INT("LCP_LARGE_ISLAND_SOLVER", R, largeIslandSolver),
                        PXF_INT("LCP_LARGE_ISLAND_ROWS", R, largeIslandRows),
                        PXF_INT("LCP_ITERATIONS", R, sweeps),
                        PXF_CHECKED("MAX_CORRECTING_VEL", PxfParsePositive, R, maxCorrectingVelocity, 1),
                        PXF_CHECKED("MAX_CORRECTING_RATE", PxfParsePositive, R, maxCorrectingRate, 1),
                        PXF_INT("JOINT_POSITION_PASSES", R, jointPositionPasses),
                        PX_XML_END};
    const int code = PxXMLElementProcess(element, t, &r);
    const PxXMLHandler *bad = PxfBadEntry(t);
    if (bad) {
        PXF_PROBLEM(context, at, "World contains an invalid <%s> element. World parameters not set.\n", bad->name);
        return code;
    }
    // The importing file owns the world: an imported file's parameters do not
    // change it.
    if (context->fileDepth > 1) return code;
    const long mark = PxfWarningMark();
    applyWorld(context->world, t, r);
    PxfNoteLibraryWarnings(context, at, "World", r.id, mark);
    char fullId[PXF_FULL_ID_SIZE];
    if (r.id[0] && PxfFullID(context, at, r.id, fullId))
        PxLoadHashInsert(context, fullId, context->world, PX_KIND_WORLD);
    return code;
}

struct BodyRecord {
    char id[PXF_ID_SIZE];
    int enabled, frozen;
    PxReal pos[3], quat[4], rot[3], mass, moi[6], force[3], torque[3], vel[3], angvel[3], damp[2], fastspin[3];
    PxReal com[16];
};

// The checks that keep a body from being made; true when it may be.
bool bodyIsValid(PxLoadContext *context, PxfPosition at, PxXMLHandler *t, const BodyRecord &r)
{
    const PxXMLHandler *bad = PxfBadEntry(t);
    PxMatrix4 com;
    PxfMatrix4FromReals(com, r.com);
    if (!PxXMLHandlerWasCalled(t, "ID") || !r.id[0])
        PXF_PROBLEM(context, at,
                    "Body was encountered without an <ID> field.You must supply each body with a unique string ID. "
                    "Body not created.\n");
    else if (strcmp(r.id, "WORLD") == 0)
        PXF_PROBLEM(context, at,
                    "A body cannot have an <ID> of 'WORLD'. This is a reserved word used to indicate that a "
                    "constraint is between a body and the world. Body not created.\n");
    else if (bad)
        PXF_PROBLEM(context, at, "Body '%s' contains an invalid <%s> element. Body not created.\n", r.id, bad->name);
    else if (!(r.mass > 0.0))
        PXF_PROBLEM(context, at, "Body '%s' has a mass of %g; it must be > 0. Body not created.\n", r.id, r.mass);
    else if (!PxMatrix4IsTM(com, PXF_TM_TOLERANCE))
        PXF_PROBLEM(context, at, "Body '%s' contains an invalid <COM> transformation matrix. Body not created.\n",
                    r.id);
    else
        return true;
    return false;
}

// Mass, inertia (body frame) and the centre-of-mass frame, scaled.
void setMassProperties(RbdBodyID b, const BodyRecord &r, const PxXMLHandler *t, PxReal s)
{
    const PxReal s3 = s * s * s, s5 = s3 * s * s;
    RbdBodySetMass(b, r.mass * s3);
    if (PxXMLHandlerWasCalled(t, "MOI")) {
        const PxMatrix3 inertia = {{r.moi[0] * s5, r.moi[1] * s5, r.moi[2] * s5},
                                   {r.moi[1] * s5, r.moi[3] * s5, r.moi[4] * s5},
                                   {r.moi[2] * s5, r.moi[4] * s5, r.moi[5] * s5}};
        RbdBodySetInertiaTensor(b, inertia);
    }
    if (PxXMLHandlerWasCalled(t, "COM")) {
        PxMatrix4 com;
        PxfMatrix4FromReals(com, r.com);
        for (int j = 0; j < 3; ++j) com[3][j] *= s;
        RbdBodySetCenterOfMassRelativeTransform(b, com);
    }
}

// Pose: POS with QUAT (or ROT, Euler angles), carried by the frame.
void setPose(RbdBodyID b, const BodyRecord &r, const PxXMLHandler *t, const PxfFrame &frame)
{
    PxQuaternion q = {r.quat[0], r.quat[1], r.quat[2], r.quat[3]}, world;
    if (!PxXMLHandlerWasCalled(t, "QUAT") && PxXMLHandlerWasCalled(t, "ROT")) {
        PxMatrix4 tm;
        PxMatrix3 rotation;
        PxMatrix3FromEulerAngles(rotation, r.rot[0], r.rot[1], r.rot[2]);
        memset(tm, 0, sizeof tm);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) tm[i][j] = rotation[i][j];
        tm[3][3] = 1.0;
        PxQuaternionFromTM(q, tm);
    }
    PxfFrameQuaternion(frame, q, world);
    PxVector3 position;
    PxfFramePoint(frame, r.pos, position);
    RbdBodySetQuaternion(b, world[0], world[1], world[2], world[3]);
    RbdBodySetPosition(b, position[0], position[1], position[2]);
}

void setMotion(RbdBodyID b, const BodyRecord &r, const PxfFrame &frame, unsigned int options)
{
    PxVector3 v;
    if (!(options & PX_LOAD_IGNORE_VELOCITIES)) {
        PxfFrameVector(frame, r.vel, v);
        RbdBodySetLinearVelocity(b, v[0] * frame.scale, v[1] * frame.scale, v[2] * frame.scale);
        PxfFrameVector(frame, r.angvel, v);
        RbdBodySetAngularVelocity(b, v[0], v[1], v[2]);
    }
    if (!(options & PX_LOAD_IGNORE_FORCES)) {
        PxfFrameVector(frame, r.force, v);
        RbdBodyAddForce(b, v[0], v[1], v[2]);
        PxfFrameVector(frame, r.torque, v);
        RbdBodyAddTorque(b, v[0], v[1], v[2]);
    }
    RbdBodySetLinearVelocityDamping(b, r.damp[0]);
    RbdBodySetAngularVelocityDamping(b, r.damp[1]);
}

int loadBody(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    const PxfPosition at = PxfPositionOf(element);
    BodyRecord r;
    memset(&r, 0, sizeof r);
    r.enabled = 1;
    r.quat[0] = 1.0;
    r.mass = 1.0;
    const PxReal identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(r.com, identity, sizeof identity);
    typedef BodyRecord R;
    PxXMLHandler t[] = {PXF_TEXT("ID", R, id),
                        PXF_INT("ENABLED", R, enabled),
                        PXF_INT("FROZEN", R, frozen),
                        PXF_CHECKED("POS", PxfParseMagnitude, R, pos, 3),
                        PXF_CHECKED("QUAT", PxfParseAxis, R, quat, 4),
                        PXF_CHECKED("ROT", PxfParseFinite, R, rot, 3),
                        PXF_CHECKED("MASS", PxfParseMass, R, mass, 1),
                        PXF_CHECKED("MOI", PxfParseInertia, R, moi, 6),
                        PXF_CHECKED("FORCE", PxfParseMagnitude, R, force, 3),
                        PXF_CHECKED("TORQUE", PxfParseMagnitude, R, torque, 3),
                        PXF_CHECKED("VEL", PxfParseMagnitude, R, vel, 3),
                        PXF_CHECKED("ANGVEL", PxfParseMagnitude, R, angvel, 3),
                        PXF_CHECKED("DAMP", PxfParseNonNegative, R, damp, 2),
                        PXF_CHECKED("FASTSPIN", PxfParseFinite, R, fastspin, 3),
                        PXF_CHECKED("COM", PxfParseFinite, R, com, 16),
                        PX_XML_END};
    const int code = PxXMLElementProcess(element, t, &r);
    char fullId[PXF_FULL_ID_SIZE];
    if (!bodyIsValid(context, at, t, r) || !PxfFullID(context, at, r.id, fullId)) return code;
    if (RbdBodyLookup(context, fullId)) {
        PXF_PROBLEM(context, at, "Duplicate body ID '%s' detected. Body not created.\n", r.id);
        return code;
    }
    const PxfFrame frame = PxfFrameOf(context, element, r.id);
    RbdBodyID b = RbdBodyCreate(context->world);
    if (!b) {
        PXF_PROBLEM(context, at, "Body '%s' could not be created: the world has no room left. Body not created.\n",
                    r.id);
        return code;
    }
    const long mark = PxfWarningMark();
    setMassProperties(b, r, t, frame.scale);
    setPose(b, r, t, frame);
    setMotion(b, r, frame, context->options);
    if (PxXMLHandlerWasCalled(t, "FASTSPIN")) {
        PxVector3 axis;
        PxfFrameVector(frame, r.fastspin, axis);
        RbdBodySetFastSpinAxis(b, axis[0], axis[1], axis[2]);
    }
    if (r.enabled && !(context->options & PX_LOAD_BODIES_DISABLED)) RbdBodyEnable(b);
    if (r.frozen) RbdBodyFreeze(b);
    PxfNoteLibraryWarnings(context, at, "Body", r.id, mark);
    RbdBodySetName(b, fullId);
    PxLoadHashInsert(context, fullId, b, PX_KIND_BODY);
    return code;
}

int loadBodies(PxXMLElement *element)
{
    PxXMLHandler t[] = {PX_XML_ELEMENT("BODY", loadBody), PX_XML_END};
    return PxXMLElementProcess(element, t, PxfContextOf(element));
}

} // namespace

extern "C" {

int RbdLoadXML(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    PxXMLHandler t[] = {PX_XML_ELEMENT("WORLD", loadWorld), PX_XML_ELEMENT("BODIES", loadBodies),
                        PX_XML_ELEMENT("CONSTRAINTS", PxfLoadConstraints), PX_XML_END};
    return PxXMLElementProcess(element, t, context);
}

int RbdWorldLoad(RbdWorldID world, PxStream *stream, PxLoadContext *context)
{
    if (!world || !context) {
        PxWarning(PXF_MISUSE_LEVEL, "RbdWorldLoad: needs a world and a load context.\n");
        return 0;
    }
    context->world = world;
    PxLoadContextSetSectionHandler(context, PXF_SECTION_RBD, RbdLoadXML);
    return PxLoad(context, stream);
}

} // extern "C"
