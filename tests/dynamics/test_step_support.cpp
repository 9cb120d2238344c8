#include "test_step_support.h"

#include <math.h>

namespace rbdtest {

PxReal uniform(Rng &rng, PxReal lo, PxReal hi)
{
    return std::uniform_real_distribution<PxReal>(lo, hi)(rng);
}

void randomVector(Rng &rng, PxReal scale, PxVector3 out)
{
    for (int k = 0; k < 3; ++k) out[k] = uniform(rng, -scale, scale);
}

void randomUnitVector(Rng &rng, PxVector3 out)
{
    do randomVector(rng, 1.0, out);
    while (PxV3Length(out) < 0.1 || PxV3Length(out) > 1.0);
    PxV3Normalize(out);
}

void rotateRows(PxReal rows[][4], int count, const PxVector3 axis, PxReal angle)
{
    const PxReal c = cos(angle), s = sin(angle);
    for (int i = 0; i < count; ++i) {
        PxVector3 v, cross;
        PxV3Copy(v, rows[i]);
        PxV3Cross(cross, axis, v);
        PxReal along = PxV3Dot(axis, v);
        for (int k = 0; k < 3; ++k) rows[i][k] = v[k] * c + cross[k] * s + axis[k] * along * (1.0 - c);
    }
}

void randomTransform(Rng &rng, PxReal scale, PxMatrix4 out)
{
    PxM4Identity(out);
    PxVector3 axis;
    randomUnitVector(rng, axis);
    rotateRows(out, 3, axis, uniform(rng, -M_PI, M_PI));
    randomUnitVector(rng, axis);
    rotateRows(out, 3, axis, uniform(rng, -M_PI, M_PI));
    randomVector(rng, scale, out[3]);
}

void rotateBodyAbout(RbdBodyID body, const PxVector3 point, const PxVector3 axis, PxReal angle)
{
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    PxReal arm[1][4];
    PxV3Sub(arm[0], tm[3], point);
    rotateRows(tm, 3, axis, angle);
    rotateRows(arm, 1, axis, angle);
    PxV3Add(tm[3], point, arm[0]);
    RbdBodySetTransform(body, tm);
}

void translateBody(RbdBodyID body, const PxVector3 offset)
{
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    PxV3Add(tm[3], tm[3], offset);
    RbdBodySetTransform(body, tm);
}

void moveBodyRigidly(RbdBodyID body, PxReal dt)
{
    PxVector3 velocity, angularVelocity, com;
    RbdBodyGetLinearVelocity(body, velocity);
    RbdBodyGetAngularVelocity(body, angularVelocity);
    RbdBodyGetCenterOfMassPosition(body, com);
    PxReal rate = PxV3Length(angularVelocity);
    if (rate > 0.0) {
        PxVector3 axis;
        PxV3Scale(axis, angularVelocity, 1.0 / rate);
        rotateBodyAbout(body, com, axis, rate * dt);
    }
    PxVector3 offset;
    PxV3Scale(offset, velocity, dt);
    translateBody(body, offset);
}

void randomBodyTransform(Rng &rng, PxReal scale, RbdBodyID body)
{
    PxMatrix4 tm;
    randomTransform(rng, scale, tm);
    RbdBodySetTransform(body, tm);
}

void randomCenterOfMassOffset(Rng &rng, PxReal scale, RbdBodyID body)
{
    PxMatrix4 tm;
    randomTransform(rng, scale, tm);
    RbdBodySetCenterOfMassRelativeTransform(body, tm);
}

void setStops(RbdLimit *limit, PxReal lower, PxReal upper)
{
    RbdSingleLimit stop;
    RbdSingleLimitReset(&stop);
    stop.stop = lower;
    RbdLimitSetLowerLimit(limit, &stop);
    stop.stop = upper;
    RbdLimitSetUpperLimit(limit, &stop);
    RbdLimitActivateLimits(limit, 1);
}

int32_t buildRows(RbdLcsConstraints *list, RbdConstraintID c, const RbdBclParameters &parameters)
{
    RbdBclInitConstraintRowList(list);
    RbdBclStartPartition(list);
    c->rowBuilder(list, c, &parameters);
    RbdBclEndPartition(list);
    return list->partitionRowCount;
}

} // namespace rbdtest
