// Car wheel: body 0 the chassis, body 1 the wheel. Rows: 0 suspension along
// the steering axis, 1-2 the wheel centre on the steering axis, 3 the angle
// between hinge and steering axes, 4 steering, 5 (optional) hinge motor.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

const PxReal HINGE_MOTOR_MIN_FORCE = 0.0001;

void resetData(RbdBaseConstraint *c)
{
    RbdCarWheelData *wheel = &c->data.carWheel;
    wheel->suspensionKp = RBD_REAL_MAX;
    wheel->suspensionKd = 0.0;
    wheel->steeringMotorVelocity = 0.0;
    wheel->steeringMotorMaxForce = RBD_REAL_MAX;
    wheel->hingeMotorVelocity = 0.0;
    wheel->hingeMotorMaxForce = 0.0;
    wheel->steeringLock = 0;
    wheel->suspensionHighLimit = RBD_REAL_MAX;
    wheel->suspensionLowLimit = -RBD_REAL_MAX;
    wheel->suspensionReference = 0.0;
    wheel->suspensionLimitSoftness = 0.0;
    wheel->steeringAngle = 0.0;
    wheel->steeringMaxForce = RBD_REAL_MAX;
    wheel->axisDot = 0.0;
}

// The wheel body remembers its car wheel so that its contacts can find it.
void setBodies(RbdBaseConstraint *c, RbdBody *chassis, RbdBody *wheel)
{
    RbdBody *oldWheel = c->body[1];
    BaseConstraintSetBodies(c, chassis, wheel);
    if (c->body[1] != wheel) return; // refused
    if (oldWheel && oldWheel != wheel && oldWheel->wheelConstraint == c) oldWheel->wheelConstraint = nullptr;
    if (wheel) wheel->wheelConstraint = c;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_CARWHEEL, 6, 0, 4, RbdBclAddCarWheel, setBodies, nullptr, resetData};

bool isCarWheel(const RbdBaseConstraint *c, const char *function)
{
    return RbdConstraintCheckType(c, RBD_TYPE_CARWHEEL, function) != 0;
}

// Rebuilds both attachment frames from the steering and hinge axes (world):
// chassis frame (steering, hinge made perpendicular, third), wheel frame
// (steering made perpendicular to the hinge, hinge, third). At this pose the
// measured steering and hinge angles are 0.
void setAxes(RbdBaseConstraint *c, const PxVector3 steering, const PxVector3 hinge)
{
    PxVector3 steeringUnit, hingeUnit;
    PxV3Copy(steeringUnit, steering);
    PxV3Copy(hingeUnit, hinge);
    RbdNormalizeAxis(steeringUnit);
    RbdNormalizeAxis(hingeUnit);
    RbdConstraintBodySetAxes(c, 0, steeringUnit, hingeUnit);
    PxMatrix4 wheelFrame;
    RbdMakeFrame(hingeUnit, steeringUnit, wheelFrame); // rows: hinge, steering made perpendicular
    RbdConstraintBodySetAxes(c, 1, wheelFrame[1], hingeUnit);
    c->data.carWheel.axisDot = PxV3Dot(steeringUnit, hingeUnit);
}

// Coordinates of the wheel relative to the chassis.
struct WheelState {
    PxReal suspensionHeight; // (p1 - p0) . a0
    PxReal suspensionRate;
    PxReal steeringAngle; // of the hinge axis s1 about a0, from s0
    PxReal steeringRate;  // a0 . (w1 - w0)
    PxReal hingeAngle;    // of the wheel's a1 about s1, from a0
    PxReal hingeRate;     // s1 . (w1 - w0)
};

// Jacobian of the suspension height (p1 - p0) . a0: the negated linear row along a0.
void suspensionJacobian(const RbdBaseConstraint *c, const RbdBclFrames *f, PxReal jacobian[RBD_JACOBIAN_COLUMNS])
{
    PxVector3 arm0, angular0, angular1, minusAxis;
    PxV3Sub(arm0, f->p[1], f->com[0]);
    PxV3Cross(angular0, arm0, f->a[0]);
    PxV3Scale(angular0, angular0, -1.0);
    PxV3Cross(angular1, f->r[1], f->a[0]);
    PxV3Scale(minusAxis, f->a[0], -1.0);
    RbdBclMakeJacobian(c, minusAxis, angular0, f->a[0], angular1, jacobian);
}

void measure(const RbdBaseConstraint *c, const RbdBclFrames *f, WheelState *state)
{
    PxVector3 linear0, angular0, linear1, angular1, relative, separation, hingeCrossSteering;
    RbdBclBodyVelocity(c, 0, linear0, angular0);
    RbdBclBodyVelocity(c, 1, linear1, angular1);
    PxV3Sub(relative, angular1, angular0);
    PxV3Sub(separation, f->p[1], f->p[0]);
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    suspensionJacobian(c, f, jacobian);
    state->suspensionHeight = PxV3Dot(separation, f->a[0]);
    state->suspensionRate = RbdBclJacobianVelocity(c, jacobian);
    state->steeringAngle = atan2(PxV3Dot(f->s[1], f->t[0]), PxV3Dot(f->s[1], f->s[0]));
    state->steeringRate = PxV3Dot(f->a[0], relative);
    PxV3Cross(hingeCrossSteering, f->s[1], f->a[0]);
    state->hingeAngle = atan2(PxV3Dot(f->a[1], hingeCrossSteering), PxV3Dot(f->a[1], f->a[0]));
    state->hingeRate = PxV3Dot(f->s[1], relative);
}

// One measured quantity of the wheel; 0 for a handle that is not a car wheel.
PxReal measured(RbdConstraintID c, const char *function, PxReal WheelState::*quantity)
{
    if (!isCarWheel(c, function)) return 0.0;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    WheelState state;
    measure(c, &f, &state);
    return state.*quantity;
}

void addSuspensionRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c, const RbdBclFrames *f,
                      const WheelState *state, const RbdBclParameters *parameters)
{
    const RbdCarWheelData *wheel = &c->data.carWheel;
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    suspensionJacobian(c, f, jacobian);
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) *RbdBclJacobianEntry(list, row, col) = jacobian[col];
    PxReal height = state->suspensionHeight;
    if (height > wheel->suspensionHighLimit) {
        list->phi[row] = height - wheel->suspensionHighLimit;
        list->lo[row] = -RBD_REAL_MAX;
        list->hi[row] = 0.0;
        list->rowEpsilon[row] = wheel->suspensionLimitSoftness;
    } else if (height < wheel->suspensionLowLimit) {
        list->phi[row] = height - wheel->suspensionLowLimit;
        list->lo[row] = 0.0;
        list->hi[row] = RBD_REAL_MAX;
        list->rowEpsilon[row] = wheel->suspensionLimitSoftness;
    } else {
        list->phi[row] = height - wheel->suspensionReference;
        RbdBclSoftenRow(list, row, wheel->suspensionKp, wheel->suspensionKd, parameters);
    }
}

} // namespace

RbdConstraintID RbdCarWheelCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdCarWheelCreate");
}

RbdConstraintID RbdCarWheelCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdCarWheelCreateInPool") : nullptr;
}

void RbdCarWheelReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdCarWheelReset");
}

void RbdCarWheelSetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (isCarWheel(c, "RbdCarWheelSetPosition")) RbdConstraintSetPosition(c, x, y, z);
}

void RbdCarWheelGetPosition(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (isCarWheel(c, "RbdCarWheelGetPosition")) RbdConstraintBodyGetPosition(c, 1, out);
}

void RbdCarWheelSetSteeringAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (!isCarWheel(c, "RbdCarWheelSetSteeringAxis") || !RbdCheckFinite3(x, y, z, "RbdCarWheelSetSteeringAxis"))
        return;
    PxVector3 steering = {x, y, z}, hinge;
    RbdCarWheelGetHingeAxis(c, hinge);
    setAxes(c, steering, hinge);
}

void RbdCarWheelGetSteeringAxis(RbdConstraintID c, PxVector3 out)
{
    PxVector3 secondary;
    PxV3Zero(out);
    if (isCarWheel(c, "RbdCarWheelGetSteeringAxis")) RbdConstraintBodyGetAxes(c, 0, out, secondary);
}

void RbdCarWheelSetHingeAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (!isCarWheel(c, "RbdCarWheelSetHingeAxis") || !RbdCheckFinite3(x, y, z, "RbdCarWheelSetHingeAxis")) return;
    PxVector3 hinge = {x, y, z}, steering;
    RbdCarWheelGetSteeringAxis(c, steering);
    setAxes(c, steering, hinge);
}

void RbdCarWheelGetHingeAxis(RbdConstraintID c, PxVector3 out)
{
    PxVector3 primary;
    PxV3Zero(out);
    if (isCarWheel(c, "RbdCarWheelGetHingeAxis")) RbdConstraintBodyGetAxes(c, 1, primary, out);
}

void RbdCarWheelSetSteeringLimitedForceMotor(RbdConstraintID c, PxReal velocity, PxReal maxForce)
{
    if (!isCarWheel(c, "RbdCarWheelSetSteeringLimitedForceMotor")) return;
    c->data.carWheel.steeringMotorVelocity = velocity;
    c->data.carWheel.steeringMotorMaxForce = fabs(maxForce);
    c->data.carWheel.steeringLock = 0;
}

PxReal RbdCarWheelGetSteeringMotorVelocity(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetSteeringMotorVelocity") ? c->data.carWheel.steeringMotorVelocity : 0.0;
}

PxReal RbdCarWheelGetSteeringMotorMaxForce(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetSteeringMotorMaxForce") ? c->data.carWheel.steeringMotorMaxForce : 0.0;
}

void RbdCarWheelSetSteeringLock(RbdConstraintID c, int on)
{
    if (!isCarWheel(c, "RbdCarWheelSetSteeringLock")) return;
    c->data.carWheel.steeringLock = on ? 1 : 0;
    c->data.carWheel.steeringMotorMaxForce = RBD_REAL_MAX;
}

int RbdCarWheelGetSteeringLock(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetSteeringLock") ? c->data.carWheel.steeringLock : 0;
}

void RbdCarWheelSetSteeringAngle(RbdConstraintID c, PxReal angle)
{
    if (!isCarWheel(c, "RbdCarWheelSetSteeringAngle")) return;
    c->data.carWheel.steeringAngle = angle;
    c->data.carWheel.steeringLock = 1;
}

PxReal RbdCarWheelGetDesiredSteeringAngle(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetDesiredSteeringAngle") ? c->data.carWheel.steeringAngle : 0.0;
}

void RbdCarWheelSetSteeringMaxForce(RbdConstraintID c, PxReal maxForce)
{
    if (isCarWheel(c, "RbdCarWheelSetSteeringMaxForce")) c->data.carWheel.steeringMaxForce = fabs(maxForce);
}

PxReal RbdCarWheelGetSteeringMaxForce(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetSteeringMaxForce") ? c->data.carWheel.steeringMaxForce : 0.0;
}

void RbdCarWheelSetHingeLimitedForceMotor(RbdConstraintID c, PxReal velocity, PxReal maxForce)
{
    if (!isCarWheel(c, "RbdCarWheelSetHingeLimitedForceMotor")) return;
    c->data.carWheel.hingeMotorVelocity = velocity;
    c->data.carWheel.hingeMotorMaxForce = fabs(maxForce);
}

PxReal RbdCarWheelGetHingeMotorVelocity(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetHingeMotorVelocity") ? c->data.carWheel.hingeMotorVelocity : 0.0;
}

PxReal RbdCarWheelGetHingeMotorMaxForce(RbdConstraintID c)
{
    return isCarWheel(c, "RbdCarWheelGetHingeMotorMaxForce") ? c->data.carWheel.hingeMotorMaxForce : 0.0;
}

void RbdCarWheelSetSuspension(RbdConstraintID c, PxReal kp, PxReal kd, PxReal limitSoftness, PxReal lowLimit,
                              PxReal highLimit, PxReal reference)
{
    if (!isCarWheel(c, "RbdCarWheelSetSuspension")) return;
    if (!(kp >= 0.0 && kd >= 0.0 && limitSoftness >= 0.0 && lowLimit <= highLimit)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdCarWheelSetSuspension: needs kp, kd, softness >= 0 and low <= high; "
                                     "ignored.\n");
        return;
    }
    RbdCarWheelData *wheel = &c->data.carWheel;
    wheel->suspensionKp = kp;
    wheel->suspensionKd = kd;
    wheel->suspensionLimitSoftness = limitSoftness;
    wheel->suspensionLowLimit = lowLimit;
    wheel->suspensionHighLimit = highLimit;
    wheel->suspensionReference = reference;
}

void RbdCarWheelGetSuspension(RbdConstraintID c, PxReal *kp, PxReal *kd, PxReal *limitSoftness, PxReal *lowLimit,
                              PxReal *highLimit, PxReal *reference)
{
    if (!isCarWheel(c, "RbdCarWheelGetSuspension") || !kp || !kd || !limitSoftness || !lowLimit || !highLimit ||
        !reference)
        return;
    const RbdCarWheelData *wheel = &c->data.carWheel;
    *kp = wheel->suspensionKp;
    *kd = wheel->suspensionKd;
    *limitSoftness = wheel->suspensionLimitSoftness;
    *lowLimit = wheel->suspensionLowLimit;
    *highLimit = wheel->suspensionHighLimit;
    *reference = wheel->suspensionReference;
}

PxReal RbdCarWheelGetHingeAngle(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetHingeAngle", &WheelState::hingeAngle);
}

PxReal RbdCarWheelGetHingeAngleRate(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetHingeAngleRate", &WheelState::hingeRate);
}

PxReal RbdCarWheelGetSteeringAngle(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetSteeringAngle", &WheelState::steeringAngle);
}

PxReal RbdCarWheelGetSteeringAngleRate(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetSteeringAngleRate", &WheelState::steeringRate);
}

PxReal RbdCarWheelGetSuspensionHeight(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetSuspensionHeight", &WheelState::suspensionHeight);
}

PxReal RbdCarWheelGetSuspensionRate(RbdConstraintID c)
{
    return measured(c, "RbdCarWheelGetSuspensionRate", &WheelState::suspensionRate);
}

int RbdBodyIsCarWheel(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyIsCarWheel")) return 0;
    const RbdBaseConstraint *wheel = body->wheelConstraint;
    return wheel && wheel->typeId == RBD_TYPE_CARWHEEL && wheel->enabled && wheel->body[1] == body;
}

void RbdCarWheelUpdateWheelFrictionDirection(RbdBodyID wheelBody, RbdContactID firstContact)
{
    if (!RbdCheckBody(wheelBody, "RbdCarWheelUpdateWheelFrictionDirection")) return;
    RbdBaseConstraint *wheel = wheelBody->wheelConstraint;
    if (!wheel || wheel->typeId != RBD_TYPE_CARWHEEL) return;
    PxVector3 hinge;
    RbdCarWheelGetHingeAxis(wheel, hinge);
    for (RbdBaseConstraint *contact = firstContact; contact; contact = contact->data.contact.next) {
        if (contact->typeId != RBD_TYPE_CONTACT) break;
        PxVector3 rolling;
        PxV3Cross(rolling, contact->data.contact.normal, hinge);
        if (PxV3Length(rolling) > 0.1) {
            PxV3Normalize(rolling);
            PxV3Copy(contact->data.contact.direction, rolling);
            contact->data.contact.params.options |= RBD_CONTACT_DIRECTION;
        }
    }
}

void RbdBclAddCarWheel(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    const RbdCarWheelData *wheel = &c->data.carWheel;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    WheelState state;
    measure(c, &f, &state);

    addSuspensionRow(list, row, c, &f, &state, parameters);
    RbdBclSetLinearRow(list, row + 1, c, &f, f.s[0]);
    RbdBclSetLinearRow(list, row + 2, c, &f, f.t[0]);
    // Row 3 holds a0 . s1 at its value when the axes were set.
    PxVector3 g;
    PxV3Cross(g, f.a[0], f.s[1]);
    RbdBclSetAngularRow(list, row + 3, c, g);
    list->phi[row + 3] = PxV3Dot(f.a[0], f.s[1]) - wheel->axisDot;

    // Row 4: steering about a0, J v = a0 . (w1 - w0), the steering rate.
    PxVector3 minusSteering, minusHinge;
    PxV3Scale(minusSteering, f.a[0], -1.0);
    RbdBclSetAngularRow(list, row + 4, c, minusSteering);
    list->lo[row + 4] = -wheel->steeringMotorMaxForce;
    list->hi[row + 4] = wheel->steeringMotorMaxForce;
    list->correction[row + 4] = RBD_CORRECTION_DRIVEN;
    if (wheel->steeringLock)
        list->phi[row + 4] = state.steeringAngle - wheel->steeringAngle;
    else
        list->c[row + 4] = wheel->steeringMotorVelocity;

    int32_t rows = 5;
    if (wheel->hingeMotorMaxForce > HINGE_MOTOR_MIN_FORCE) {
        // Row 5: J v = s1 . (w1 - w0), the wheel's spin relative to the chassis.
        PxV3Scale(minusHinge, f.s[1], -1.0);
        RbdBclSetAngularRow(list, row + 5, c, minusHinge);
        list->c[row + 5] = wheel->hingeMotorVelocity;
        list->lo[row + 5] = -wheel->hingeMotorMaxForce;
        list->hi[row + 5] = wheel->hingeMotorMaxForce;
        rows = 6;
    }
    RbdBclEndConstraint(list, c, rows);
}
