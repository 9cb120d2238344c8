#include "SimTrajectory.h"

namespace ksim {

const char *const kTrajectoryHeader = "step,time,body,name,x,y,z,qw,qx,qy,qz,vx,vy,vz,wx,wy,wz,awake";

Trajectory::~Trajectory() = default;

bool Trajectory::open(const std::string &path)
{
    if (!out_.open(path)) return false;
    rows_ = 0;
    fprintf(out_.file(), "%s\n", kTrajectoryHeader);
    return true;
}

// Names come from the scene or from a file: quote any that would break the
// row, doubling quotes inside.
static void writeName(FILE *file, const std::string &name)
{
    if (name.find_first_of(",\"\n\r") == std::string::npos) {
        fputs(name.c_str(), file);
        return;
    }
    fputc('"', file);
    for (char c : name) {
        if (c == '"') fputc('"', file);
        fputc(c, file);
    }
    fputc('"', file);
}

void Trajectory::record(const Scene &scene)
{
    FILE *file_ = out_.file();
    if (!file_) return;
    const std::vector<NamedBody> &bodies = scene.bodies();
    for (size_t k = 0; k < bodies.size(); ++k) {
        RbdBodyID b = bodies[k].body;
        PxVector3 p, v, w;
        PxQuaternion q;
        RbdBodyGetPosition(b, p);
        RbdBodyGetQuaternion(b, q);
        RbdBodyGetLinearVelocity(b, v);
        RbdBodyGetAngularVelocity(b, w);
        fprintf(file_, "%d,%.9g,%zu,", scene.stepsDone(), scene.time(), k);
        writeName(file_, bodies[k].name);
        fprintf(file_, ",%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d\n", p[0], p[1], p[2],
                q[0], q[1], q[2], q[3], v[0], v[1], v[2], w[0], w[1], w[2], RbdBodyIsEnabled(b) ? 1 : 0);
        ++rows_;
    }
}

bool Trajectory::close()
{
    return !out_.file() || out_.commit();
}

} // namespace ksim
