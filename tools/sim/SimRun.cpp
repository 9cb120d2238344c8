#include "SimRun.h"

#include <math.h>

#include <chrono>

namespace ksim {

RunResult runScene(Scene &scene, int steps, PxReal dt, Trajectory *trajectory, int every, Progress *progress)
{
    using Clock = std::chrono::steady_clock;
    RunResult result;
    if (trajectory) trajectory->record(scene);
    for (int k = 1; k <= steps; ++k) {
        const Clock::time_point start = Clock::now();
        scene.step(dt);
        result.seconds += std::chrono::duration<double>(Clock::now() - start).count();
        result.steps = k;
        scene.observe();
        if (trajectory && (k % every == 0 || k == steps)) trajectory->record(scene);
        if (progress) progress->update(k, result.seconds, RbdWorldGetEnabledBodies(scene.world()));
    }
    if (progress) progress->finish();
    return result;
}

static bool finiteState(RbdBodyID body)
{
    PxVector3 p, v, w;
    PxQuaternion q;
    RbdBodyGetPosition(body, p);
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    RbdBodyGetQuaternion(body, q);
    for (int i = 0; i < 3; ++i)
        if (!isfinite(p[i]) || !isfinite(v[i]) || !isfinite(w[i]) || !isfinite(q[i])) return false;
    return isfinite(q[3]);
}

int countUnsound(const Scene &scene)
{
    int unsound = RbdWorldGetNonFiniteBodyCount(scene.world());
    for (const NamedBody &named : scene.bodies()) unsound += finiteState(named.body) ? 0 : 1;
    return unsound;
}

WorldCounts countWorld(RbdWorldID world)
{
    WorldCounts counts;
    for (RbdBodyID b = RbdBodyGetFirst(world); b; b = RbdBodyGetNext(b)) {
        ++counts.bodies;
        if (RbdBodyIsFrozen(b))
            ++counts.frozen;
        else if (RbdBodyIsEnabled(b))
            ++counts.awake;
        else
            ++counts.asleep;
        counts.kineticEnergy += RbdBodyGetKineticEnergy(b);
    }
    return counts;
}

} // namespace ksim
