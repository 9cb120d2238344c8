// Summary, CSV and status of a kelmar-run.
#include "RunReport.h"

#include <string>

#include <kelmar/CdxSpace.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdWorld.h>

namespace krun {

namespace {

int countBodies(RbdWorldID world)
{
    int n = 0;
    for (RbdBodyID b = RbdBodyGetFirst(world); b; b = RbdBodyGetNext(b)) ++n;
    return n;
}

int countContacts(RbdWorldID world)
{
    int n = 0;
    for (RbdConstraintID c = RbdConstraintGetFirst(world); c; c = RbdConstraintGetNext(c))
        n += RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT ? 1 : 0;
    return n;
}

void printRobots(FILE *out, kelmar::Scene &scene)
{
    std::string names;
    int count = 0;
    scene.ForEachObject([&](const char *name, kelmar::Object *object) {
        const auto *robot = dynamic_cast<const kelmar::Robot *>(object);
        if (!robot) return;
        names += (count++ ? ", " : "") + std::string(name) + " (" + std::to_string(robot->numJoints) + " joints)";
    });
    fprintf(out, "  robots     %d%s%s\n", count, count ? ": " : "", names.c_str());
}

} // namespace

int countAwakeBodies(const kelmar::Universe &universe)
{
    int n = 0;
    for (RbdBodyID b = RbdBodyGetFirst(universe.GetWorld()); b; b = RbdBodyGetNext(b))
        n += RbdBodyIsEnabled(b) ? 1 : 0;
    return n;
}

void printSummary(FILE *out, const char *sceneFile, kelmar::Universe &universe, kelmar::Scene &scene,
                  const std::vector<MeasuredJoint> &joints, const RunFigures &f)
{
    RbdWorldID world = universe.GetWorld();
    fprintf(out, "kelmar-run: %s\n", sceneFile);
    fprintf(out, "  bodies     %d (%d awake), collision models %d, solids and robots %d\n", countBodies(world),
            countAwakeBodies(universe), CdxSpaceGetModelCount(universe.GetSpace()), scene.ObjectCount());
    fprintf(out, "  joints     %d, %zu with a position:\n", scene.JointCount(), joints.size());
    for (const MeasuredJoint &joint : joints)
        fprintf(out, "    %-28s %10.4f\n", joint.name.c_str(), positionOf(joint));
    printRobots(out, scene);
    fprintf(out, "  contacts   %d\n", countContacts(world));
    fprintf(out, "  simulated  %.3f s in %d steps of %g s\n", f.simulated, f.steps, universe.timeStep);
    fprintf(out, "  wall time  %.3f s stepping (%.1f us per step), %.1f ms loading", f.wall,
            f.steps ? 1e6 * f.wall / f.steps : 0.0, 1e3 * f.load);
    if (f.filming >= 0) fprintf(out, ", %.3f s filming", f.filming);
    fputc('\n', out);
}

void writeCsvHeader(FILE *out, const std::vector<MeasuredJoint> &joints)
{
    fputs("time", out);
    for (const MeasuredJoint &joint : joints) fprintf(out, ",%s", joint.name.c_str());
    fputc('\n', out);
}

void writeCsvRow(FILE *out, double time, const std::vector<MeasuredJoint> &joints)
{
    fprintf(out, "%.6f", time);
    for (const MeasuredJoint &joint : joints) fprintf(out, ",%.9g", positionOf(joint));
    fputc('\n', out);
}

void writeStatus(FILE *out, const kelmar::Universe &universe, const kelmar::Scene &scene)
{
    universe.saveStatus(out);
    scene.saveStatus(out);
}

} // namespace krun
