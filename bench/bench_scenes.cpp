// The four benchmark scenes (S1 stack, S2 pile, S3 chain, S4 boxes) run
// through the simulation universe, one line per scene in the format the
// peer engines' suite prints, so that the lines can be set side by side:
//
//   kelmar     lcs-bkchol S1  steps/s=  ...  us/step=  ...  [reps a,b,c]  <figures>
//
// The solver column names the factorisation the pivoting LCP solver works
// with: the world's default block Cholesky ("bkchol"), the variable-
// bandwidth Cholesky ("vbchol", --solver vbchol) or one chosen per island
// ("auto", --solver auto).
// Each repetition runs in a child process of its own with a wall-clock
// limit: a scene that does not finish in time is reported as not finished
// with the steps it did ("DNF"), never left out. Only the universe step is
// timed (collision, contacts, solve, integration); building the scene and
// computing its figures are not. us/step is the median over the
// repetitions, the figures come from the first (the steps are
// deterministic: a repetition with other figures is flagged).
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

// Under callgrind started with --instr-atstart=no, --tail N counts the last N
// steps alone, and --windows N --count M the first M steps of every N, each
// window in a dump of its own; without valgrind the requests do nothing.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include <kelmar/Rbd.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>

#include "BenchChild.h"
#include "SimScenes.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::vector<int> scenes = {1, 2, 3, 4};
    int reps = 3;
    int steps = ksim::kBenchSteps;
    double timeout = 120.0; // s of wall clock per repetition
    bool sleep = false;
    double tolerance = 0.0; // the LCP tolerance; 0: the world's default
    int linearSolver = RBD_LINEAR_SOLVER_BLOCK_CHOLESKY;
    int sweeps = 0;       // sweeps of the iterative solver; 0: the world's default
    int largeRows = -1;   // rows above which an island is solved iteratively; -1: the world's default
    int pileWidth = 1;    // S2 w times as wide (w^2 x 1000 balls): how the cost grows
    int matching = -1;    // how contacts continue (SbxBridgeSetContactMatching); -1: the bridge's default
    int jointPasses = -1; // joint position projection passes; -1: the world's default
    double spin = 0.0;    // spin friction length (m) of every pair; 0: none
    int tail = 0;         // the last this many steps are also timed alone (a settled pile's cost)
    int log = 0;          // every this many steps, the kinetic energies and deepest contact on stderr; 0: never
    int windows = 0;      // every this many steps, their time per step on stderr; 0: never
    int count = 0;        // under callgrind, the first this many steps of each window counted alone
    int nudge = 0;        // sample of the scene's ensemble: bodies moved by up to 1 nm; 0: as built
    double movers = 0.0;  // at the end, each body above this kinetic energy (J) on stderr; 0: none
    double work = 0.0;    // each step whose kinetic energy rose by more than this (J): who did the work; 0: never
    int watch = -1;       // this body (scene order) every step from watchFrom on: energies and contacts; -1: none
    int watchFrom = 0;
};

// What a child reports through shared memory; progress is written after
// every step, so that a child stopped at the time limit still tells how
// far it came.
struct Shared {
    int stepsDone;
    double seconds;
    double tailSeconds; // of the last Settings::tail steps
    int finished;
    char figures[256];
    double rssMB; // peak resident memory of the child
};

const char *kEngine = "kelmar";

// "lcs-auto", "lcs-bkchol", "lcs-vbchol"; with a tolerance of its own, "lcs-bk@1e-09" and so on;
// "+place" when contacts continue by place everywhere, "+order" when in list order everywhere.
std::string solverName(const Settings &s)
{
    static const char *const names[RBD_LINEAR_SOLVER_COUNT] = {"bkchol", "vbchol", "auto"};
    static const char *const shortNames[RBD_LINEAR_SOLVER_COUNT] = {"bk", "vb", "auto"};
    const char *place = s.matching == SBX_CONTACTS_BY_PLACE   ? "+place"
                        : s.matching == SBX_CONTACTS_IN_ORDER ? "+order"
                                                              : "";
    char name[64];
    if (!(s.tolerance > 0.0))
        snprintf(name, sizeof name, "lcs-%s%s", names[s.linearSolver], place);
    else
        snprintf(name, sizeof name, "lcs-%s@%g%s", shortNames[s.linearSolver], s.tolerance, place);
    return name;
}

const ksim::SceneInfo *benchmarkScene(int number)
{
    for (const ksim::SceneInfo &info : ksim::builtinScenes())
        if (info.benchmark == number) return &info;
    return nullptr;
}

void usage(const char *program)
{
    fprintf(
        stderr,
        "usage: %s [--scene 1234|all] [--reps N] [--steps N] [--timeout S] [--sleep] [--solver auto|bkchol|vbchol] "
        "[--tolerance T] [--sweeps N] [--large-rows N] [--pile-width W] [--match-by-place|--match-in-order]\n"
        "       [--joint-passes N] [--spin L] [--tail N] [--windows N [--count M]] [--log N] [--nudge K] [--movers "
        "E]\n"
        "  S1 stack, S2 pile, S3 chain, S4 boxes; --timeout: wall-clock seconds per repetition;\n"
        "  --solver: the factorisation under the LCP solver (default bkchol, the world's default; auto: chosen\n"
        "            per island);\n"
        "  --tolerance: the LCP solver's tolerance (default the world's, 0.001);\n"
        "  --sweeps, --large-rows: the large-island solver's sweeps and row threshold (default the world's);\n"
        "  --pile-width: S2 W times as wide, W^2 x 1000 balls (reported as S2x4, S2x16, ...);\n"
        "  --match-by-place, --match-in-order: a pair's contacts continue by place, or in list order, in every\n"
        "           island (default: by place for turned boxes the sweeps solve);\n"
        "  --joint-passes: passes of the joint position projection (default the world's, 0 off);\n"
        "  --spin: spin friction of every pair, a length in m (default none);\n"
        "  --tail: also report the time per step of the last N steps (and, under callgrind with\n"
        "          --instr-atstart=no, count their instructions alone);\n"
        "  --windows: every N steps, the time per step of those N on stderr (how the cost moves over a run);\n"
        "  --count: with --windows, under callgrind with --instr-atstart=no, count the first M steps of\n"
        "           each window, one dump a window (no --tail);\n"
        "  --log: every N steps, the total and largest kinetic energy (J), which body, the deepest\n"
        "         contact (m), the bodies above 1e-4 J and the share of the energy that is spin about\n"
        "         contact normals on stderr (untimed: whether and how a scene comes to rest)\n"
        "  --nudge: sample K of the scene: every body starts up to 1 nm from where it was built, in\n"
        "           directions drawn from K. The piles are chaotic (S4's end vmax, 0.006 m/s as built, is\n"
        "           0.031 and 0.68 under nudges 2 and 3), so compare their end figures over samples\n"
        "  --movers: at the end, each body above E joules with its place, velocities, contacts (floor,\n"
        "            wall, bodies; the fastest slip at one) and its last second (untimed)\n"
        "  --work: each step in which the kinetic energy rose by more than E joules: the work of\n"
        "          gravity and of the contacts' normal and friction forces over the step, their power\n"
        "          at the velocities after it, and the contacts that did the most (untimed)\n"
        "  --watch B[:S]: body B (scene order) after every step from step S on: its kinetic and potential\n"
        "          energy, place, velocities, and each contact (normal, arm from its centre, depth, force,\n"
        "          separating speed, slip); with --log and sleeping, every log also lists the awake bodies\n"
        "          when 10 or fewer are awake (untimed)\n",
        program);
}

bool parse(int argc, char **argv, Settings &s)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--sleep") {
            s.sleep = true;
        } else if (a == "--match-by-place") {
            s.matching = SBX_CONTACTS_BY_PLACE;
        } else if (a == "--match-in-order") {
            s.matching = SBX_CONTACTS_IN_ORDER;
        } else if (a == "--scene" && hasValue) {
            const std::string which = argv[++i];
            if (which == "all") continue;
            s.scenes.clear();
            for (char c : which) {
                if (c < '1' || c > '4') return false;
                s.scenes.push_back(c - '0');
            }
            if (s.scenes.empty()) return false;
        } else if ((a == "--reps" || a == "--steps") && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 1 || n > 1000000) return false;
            (a == "--reps" ? s.reps : s.steps) = static_cast<int>(n);
        } else if (a == "--solver" && hasValue) {
            const std::string name = argv[++i];
            if (name != "auto" && name != "bkchol" && name != "vbchol") return false;
            s.linearSolver = name == "auto"     ? RBD_LINEAR_SOLVER_AUTOMATIC
                             : name == "bkchol" ? RBD_LINEAR_SOLVER_BLOCK_CHOLESKY
                                                : RBD_LINEAR_SOLVER_VARIABLE_BANDWIDTH_CHOLESKY;
        } else if (a == "--pile-width" && hasValue) {
            char *end = nullptr;
            const long w = strtol(argv[++i], &end, 10);
            if (*end || w < 1 || w > 8) return false;
            s.pileWidth = static_cast<int>(w);
        } else if (a == "--nudge" && hasValue) {
            char *end = nullptr;
            const long k = strtol(argv[++i], &end, 10);
            if (*end || k < 0 || k > 1000000) return false;
            s.nudge = static_cast<int>(k);
        } else if ((a == "--sweeps" || a == "--large-rows") && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 0 || n > 100000000) return false;
            (a == "--sweeps" ? s.sweeps : s.largeRows) = static_cast<int>(n);
        } else if (a == "--tail" && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 0 || n > 100000000) return false;
            s.tail = static_cast<int>(n);
        } else if ((a == "--windows" || a == "--count") && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 1 || n > 100000000) return false;
            (a == "--windows" ? s.windows : s.count) = static_cast<int>(n);
        } else if (a == "--log" && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 1 || n > 100000000) return false;
            s.log = static_cast<int>(n);
        } else if (a == "--joint-passes" && hasValue) {
            char *end;
            const long n = strtol(argv[++i], &end, 10);
            if (*end || n < 0 || n > 1000) return false;
            s.jointPasses = static_cast<int>(n);
        } else if (a == "--tolerance" && hasValue) {
            char *end;
            s.tolerance = strtod(argv[++i], &end);
            if (*end || !(s.tolerance > 0.0)) return false;
        } else if (a == "--spin" && hasValue) {
            char *end;
            s.spin = strtod(argv[++i], &end);
            if (*end || !(s.spin >= 0.0 && s.spin < 1.0)) return false;
        } else if (a == "--movers" && hasValue) {
            char *end;
            s.movers = strtod(argv[++i], &end);
            if (*end || !(s.movers > 0.0)) return false;
        } else if (a == "--work" && hasValue) {
            char *end;
            s.work = strtod(argv[++i], &end);
            if (*end || !(s.work > 0.0)) return false;
        } else if (a == "--watch" && hasValue) {
            char *end;
            s.watch = static_cast<int>(strtol(argv[++i], &end, 10));
            if (*end == ':') s.watchFrom = static_cast<int>(strtol(end + 1, &end, 10));
            if (*end || s.watch < 0) return false;
        } else if (a == "--timeout" && hasValue) {
            char *end;
            s.timeout = strtod(argv[++i], &end);
            if (*end || !(s.timeout > 0.0)) return false;
        } else {
            return false;
        }
    }
    return s.count == 0 || (s.windows > 0 && s.count <= s.windows && s.tail == 0);
}

// Kinetic energy (J) at which a body counts as at rest.
const PxReal kRestEnergy = 1e-4;

// Per body (in the scene's order), the kinetic energy of its spin about the
// normal of one of its contacts, 1/2 (w.n)^2 n.I.n, the largest over its
// contacts. Point contacts resist such a spin only with spin friction: it
// is what a pile without it keeps longest (a ball turning on the floor, or
// rolling in the groove between two balls that pinch it).
struct SpinAboutNormals {
    std::unordered_map<RbdBodyID, size_t> index;
    std::vector<PxReal> energy;
};

void addSpinAboutNormal(RbdConstraintID c, void *data)
{
    if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT) return;
    SpinAboutNormals &spin = *static_cast<SpinAboutNormals *>(data);
    PxVector3 n;
    RbdContactGetNormal(c, n);
    for (int side = 0; side < 2; ++side) {
        const RbdBodyID body = RbdConstraintGetBody(c, side);
        const auto at = spin.index.find(body);
        if (!body || at == spin.index.end()) continue;
        PxVector3 w;
        RbdBodyGetAngularVelocity(body, w);
        const PxReal along = PxV3Dot(w, n);
        PxReal &energy = spin.energy[at->second];
        energy = std::max(energy, 0.5 * along * along * ksim::inertiaQuadratic(body, ksim::readState(body), n));
    }
}

// Step k's energies: the scene's total, its largest body's and which body
// that is (in the scene's order), the deepest contact, how many bodies are
// not at rest, and the share of the total that is spin about contact normals.
void logEnergies(const ksim::Scene &scene, int step)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    SpinAboutNormals spin = {{}, std::vector<PxReal>(bodies.size(), 0.0)};
    for (size_t b = 0; b < bodies.size(); ++b) spin.index[bodies[b]] = b;
    RbdWorldForAllConstraints(scene.world(), addSpinAboutNormal, &spin);
    PxReal total = 0.0, largest = 0.0, spinning = 0.0;
    size_t which = 0;
    int moving = 0;
    for (size_t b = 0; b < bodies.size(); ++b) {
        const PxReal energy = ksim::largestKineticEnergy({bodies[b]});
        total += energy;
        spinning += spin.energy[b];
        moving += energy > kRestEnergy;
        if (energy > largest) {
            largest = energy;
            which = b;
        }
    }
    fprintf(stderr,
            "# step %d  ke_total=%.3e J  ke_max=%.3e J (body %zu)  pen_max=%.4f m  above_rest=%d  spin_share=%.2f\n",
            step, total, largest, which, ksim::deepestContact(scene.world()), moving,
            total > 0.0 ? spinning / total : 0.0);
}

// Step k's sleep test, under --sleep: how many bodies are awake, the
// largest squared velocity, spin, acceleration and angular acceleration among
// them (the quantities the auto-disable thresholds bound), and how many awake
// bodies exceed each threshold.
void logSleepTest(const ksim::Scene &scene, int step)
{
    RbdWorldID w = scene.world();
    const PxReal limit[4] = {
        RbdWorldGetAutoDisableVelocityThreshold(w), RbdWorldGetAutoDisableAngularVelocityThreshold(w),
        RbdWorldGetAutoDisableAccelerationThreshold(w), RbdWorldGetAutoDisableAngularAccelerationThreshold(w)};
    PxReal largest[4] = {0.0, 0.0, 0.0, 0.0};
    int awake = 0, failing[4] = {0, 0, 0, 0};
    PxReal vertical = 0.0;
    for (RbdBodyID body : scene.bodyIds()) {
        if (!RbdBodyIsEnabled(body)) continue;
        ++awake;
        PxVector3 q[4];
        RbdBodyGetLinearVelocity(body, q[0]);
        RbdBodyGetAngularVelocity(body, q[1]);
        RbdBodyGetLinearAcceleration(body, q[2]);
        RbdBodyGetAngularAcceleration(body, q[3]);
        for (int i = 0; i < 4; ++i) {
            const PxReal squared = q[i][0] * q[i][0] + q[i][1] * q[i][1] + q[i][2] * q[i][2];
            largest[i] = std::max(largest[i], squared);
            failing[i] += squared > limit[i];
        }
        // How much of the spin of a body the spin test fails is about the
        // vertical (the contact normal of a ball on the floor or on a ball below).
        if (PxReal w2 = q[1][0] * q[1][0] + q[1][1] * q[1][1] + q[1][2] * q[1][2]; w2 > limit[1])
            vertical += q[1][2] * q[1][2] / w2;
    }
    fprintf(
        stderr,
        "# step %d  awake=%d  max v2=%.2e w2=%.2e a2=%.2e alpha2=%.2e  over=%d/%d/%d/%d  spin_vertical_share=%.2f\n",
        step, awake, largest[0], largest[1], largest[2], largest[3], failing[0], failing[1], failing[2], failing[3],
        failing[1] ? vertical / failing[1] : 0.0);
    if (awake > 10) return;
    const std::vector<RbdBodyID> ids = scene.bodyIds();
    for (size_t b = 0; b < ids.size(); ++b) {
        if (!RbdBodyIsEnabled(ids[b])) continue;
        PxVector3 x, v, wv;
        RbdBodyGetPosition(ids[b], x);
        RbdBodyGetLinearVelocity(ids[b], v);
        RbdBodyGetAngularVelocity(ids[b], wv);
        fprintf(stderr, "#   awake %zu p=(%+.4f %+.4f %+.4f) v=(%+.5f %+.5f %+.5f) w=(%+.4f %+.4f %+.4f)\n", b, x[0],
                x[1], x[2], v[0], v[1], v[2], wv[0], wv[1], wv[2]);
    }
}

// Sample k of the scene's ensemble: each body's start moved by up to
// kNudge along each axis, drawn from k. A nanometre is far below any contact
// tolerance, so every sample is the same scene; what the piles make of it
// is not the same run.
const PxReal kNudge = 1e-9;

void nudge(const ksim::Scene &scene, int k)
{
    std::mt19937 draw(static_cast<unsigned>(k));
    std::uniform_real_distribution<PxReal> offset(-kNudge, kNudge);
    for (RbdBodyID body : scene.bodyIds()) {
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        const PxReal dx = offset(draw), dy = offset(draw), dz = offset(draw);
        RbdBodySetPosition(body, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}

// The last kMoverWindow steps of every body, under --movers: what the bodies
// still moving at the end did in their last second.
const int kMoverWindow = 100;

struct MoverTrack {
    struct Sample {
        PxVector3 position, velocity, spin;
        PxReal energy;
    };
    std::vector<std::vector<Sample>> samples; // [step % kMoverWindow][body]
    std::vector<PxReal> mechanical;           // per recorded step, the bodies' kinetic plus potential energy (J)
    int recorded = 0;
};

void recordMovers(const ksim::Scene &scene, MoverTrack &track)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    if (track.samples.empty()) track.samples.assign(kMoverWindow, std::vector<MoverTrack::Sample>(bodies.size()));
    std::vector<MoverTrack::Sample> &now = track.samples[track.recorded % kMoverWindow];
    PxVector3 g;
    RbdWorldGetGravity(scene.world(), g);
    PxReal mechanical = 0.0;
    for (size_t b = 0; b < bodies.size(); ++b) {
        RbdBodyGetPosition(bodies[b], now[b].position);
        RbdBodyGetLinearVelocity(bodies[b], now[b].velocity);
        RbdBodyGetAngularVelocity(bodies[b], now[b].spin);
        now[b].energy = ksim::largestKineticEnergy({bodies[b]});
        mechanical += now[b].energy - RbdBodyGetMass(bodies[b]) * PxV3Dot(g, now[b].position);
    }
    track.mechanical.push_back(mechanical);
    ++track.recorded;
}

// Per body, its contacts at the end: against the floor (a static side with
// a vertical normal), a wall (a static side otherwise) and other bodies
// (apart: those that carry no force, a gap the solver kept open); the
// fastest tangential slip at one of them and the largest normal force.
struct MoverContacts {
    std::unordered_map<RbdBodyID, size_t> index;
    std::vector<int> floor, wall, bodies, near; // near: another body's contact that carries no force
    std::vector<PxReal> slip, force;
};

// Velocity of a body's material point at p (world); zero for no body.
void pointVelocity(RbdBodyID body, const PxVector3 p, PxVector3 out)
{
    PxV3Set(out, 0.0, 0.0, 0.0);
    if (!body) return;
    PxVector3 c, v, w, r, wr;
    RbdBodyGetPosition(body, c);
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    PxV3Sub(r, p, c);
    PxV3Cross(wr, w, r);
    PxV3Add(out, v, wr);
}

void addMoverContact(RbdConstraintID c, void *data)
{
    if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT || !RbdConstraintIsEnabled(c)) return;
    MoverContacts &m = *static_cast<MoverContacts *>(data);
    PxVector3 n, p, v0, v1, dv, f;
    RbdContactGetNormal(c, n);
    RbdContactGetPosition(c, p);
    const RbdBodyID body[2] = {RbdConstraintGetBody(c, 0), RbdConstraintGetBody(c, 1)};
    pointVelocity(body[0], p, v0);
    pointVelocity(body[1], p, v1);
    PxV3Sub(dv, v0, v1);
    PxV3AddScaled(dv, dv, n, -PxV3Dot(dv, n));
    const PxReal slip = PxV3Length(dv);
    RbdConstraintGetForce(c, 0, f);
    const PxReal fn = std::fabs(PxV3Dot(f, n));
    for (int side = 0; side < 2; ++side) {
        const auto at = body[side] ? m.index.find(body[side]) : m.index.end();
        if (at == m.index.end()) continue;
        const size_t b = at->second;
        if (body[1 - side])
            ++(fn > 0.0 ? m.bodies : m.near)[b];
        else if (std::fabs(n[2]) > 0.9)
            ++m.floor[b];
        else
            ++m.wall[b];
        m.slip[b] = std::max(m.slip[b], slip);
        m.force[b] = std::max(m.force[b], fn);
    }
}

// Under --movers, one body's contacts, one line each: what it touches, the
// normal, the normal and friction force (on body 0, along the normal)
// and the tangential slip there.
struct ContactsOf {
    RbdBodyID body;
    const std::unordered_map<RbdBodyID, size_t> *index;
};

// The side (0 or 1) of an enabled contact on which the watched body is, -1
// for any other constraint.
int watchedSide(RbdConstraintID c, const ContactsOf &of)
{
    if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT || !RbdConstraintIsEnabled(c)) return -1;
    return RbdConstraintGetBody(c, 0) == of.body ? 0 : RbdConstraintGetBody(c, 1) == of.body ? 1 : -1;
}

void printContactOf(RbdConstraintID c, void *data)
{
    const ContactsOf &of = *static_cast<const ContactsOf *>(data);
    const int side = watchedSide(c, of);
    if (side < 0) return;
    const RbdBodyID body[2] = {RbdConstraintGetBody(c, 0), RbdConstraintGetBody(c, 1)};
    PxVector3 n, p, v0, v1, dv, f;
    RbdContactGetNormal(c, n);
    RbdContactGetPosition(c, p);
    pointVelocity(body[0], p, v0);
    pointVelocity(body[1], p, v1);
    PxV3Sub(dv, v0, v1);
    PxV3AddScaled(dv, dv, n, -PxV3Dot(dv, n));
    RbdConstraintGetForce(c, 0, f);
    const RbdBodyID other = body[1 - side];
    char with[32];
    if (other)
        snprintf(with, sizeof with, "body %zu", of.index->at(other));
    else
        snprintf(with, sizeof with, "%s", std::fabs(n[2]) > 0.9 ? "floor" : "wall");
    fprintf(stderr, "#    contact with %-9s n=(%+.3f %+.3f %+.3f)  fn=%.3e N  ft=%.3e N  slip=%.2e m/s  pen=%.2e m\n",
            with, n[0], n[1], n[2], PxV3Dot(f, n),
            std::sqrt(std::max(0.0, PxV3LengthSquared(f) - PxV3Dot(f, n) * PxV3Dot(f, n))), PxV3Length(dv),
            RbdContactGetPenetration(c));
}

// The bodies above `energy` at the end, fastest first: place, velocities,
// contacts, and over the last second the net displacement against the path
// length (near 1: rolling or sliding on; near 0: rocking or jittering in
// place), how often the velocity turned back, and the energy a second ago.
// The fastest three also print their path every 10 steps.
void reportMovers(const ksim::Scene &scene, const MoverTrack &track, PxReal energy)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    const size_t count = bodies.size();
    MoverContacts m;
    for (size_t b = 0; b < count; ++b) m.index[bodies[b]] = b;
    m.floor.assign(count, 0);
    m.wall.assign(count, 0);
    m.bodies.assign(count, 0);
    m.near.assign(count, 0);
    m.slip.assign(count, 0.0);
    m.force.assign(count, 0.0);
    RbdWorldForAllConstraints(scene.world(), addMoverContact, &m);
    const int window = std::min(track.recorded, kMoverWindow);
    const int last = (track.recorded - 1) % kMoverWindow;
    const int first = (track.recorded - window) % kMoverWindow;
    std::vector<size_t> movers;
    for (size_t b = 0; b < count; ++b)
        if (track.samples[last][b].energy > energy) movers.push_back(b);
    std::sort(movers.begin(), movers.end(),
              [&](size_t a, size_t b) { return track.samples[last][a].energy > track.samples[last][b].energy; });
    fprintf(stderr, "# movers above %.1e J: %zu of %zu (over the last %d steps)\n", energy, movers.size(), count,
            window);
    // Contacts without restitution can only take energy out: a step in
    // which the bodies' kinetic plus potential energy rose had it put in.
    int rises = 0;
    PxReal largestRise = 0.0, risen = 0.0;
    for (size_t k = 1; k < track.mechanical.size(); ++k) {
        const PxReal rise = track.mechanical[k] - track.mechanical[k - 1];
        rises += rise > 0.0;
        if (rise > 0.0) risen += rise;
        largestRise = std::max(largestRise, rise);
    }
    fprintf(stderr,
            "# kinetic + potential energy over the last %d steps: %+.6e J; it rose in %d steps, by %.3e J in all, "
            "at most %.3e J in one\n",
            window, track.mechanical.back() - track.mechanical.front(), rises, risen, largestRise);
    for (size_t rank = 0; rank < movers.size(); ++rank) {
        const size_t b = movers[rank];
        const MoverTrack::Sample &s = track.samples[last][b];
        PxReal path = 0.0;
        int turns = 0;
        for (int k = 1; k < window; ++k) {
            const MoverTrack::Sample &was = track.samples[(first + k - 1) % kMoverWindow][b];
            const MoverTrack::Sample &is = track.samples[(first + k) % kMoverWindow][b];
            PxVector3 d;
            PxV3Sub(d, is.position, was.position);
            path += PxV3Length(d);
            turns += PxV3Dot(is.velocity, was.velocity) < 0.0;
        }
        PxVector3 net;
        PxV3Sub(net, s.position, track.samples[first][b].position);
        fprintf(
            stderr,
            "#  body %4zu ke=%.2e J  p=(%+.4f %+.4f %+.4f)  v=(%+.5f %+.5f %+.5f)  w=(%+.4f %+.4f %+.4f)  "
            "contacts floor=%d wall=%d bodies=%d (+%d idle)  slip_max=%.2e m/s  fn_max=%.1f N  net/path=%.2e/%.2e m  "
            "turns=%d  ke_then=%.2e J\n",
            b, s.energy, s.position[0], s.position[1], s.position[2], s.velocity[0], s.velocity[1], s.velocity[2],
            s.spin[0], s.spin[1], s.spin[2], m.floor[b], m.wall[b], m.bodies[b], m.near[b], m.slip[b], m.force[b],
            PxV3Length(net), path, turns, track.samples[first][b].energy);
        if (rank >= 3) continue;
        ContactsOf of = {bodies[b], &m.index};
        RbdWorldForAllConstraints(scene.world(), printContactOf, &of);
        for (int k = 0; k < window; k += 10) {
            const MoverTrack::Sample &at = track.samples[(first + k) % kMoverWindow][b];
            fprintf(stderr, "#    step -%-3d p=(%+.5f %+.5f %+.5f)  v=(%+.5f %+.5f %+.5f)  ke=%.2e\n", window - 1 - k,
                    at.position[0], at.position[1], at.position[2], at.velocity[0], at.velocity[1], at.velocity[2],
                    at.energy);
        }
    }
}

// Under --work: where a step's kinetic energy comes from. An impulse P on
// a body changes its kinetic energy by P . (v0 + v1) / 2 (the mean of the
// velocities before and after), so a step's change is the sum over the
// contacts of h F . (u0 + u1) / 2, F the contact's force and u the relative
// velocity of the bodies' material points at the contact, plus the work of
// gravity, less what sleeping takes. A contact that solved its rows exactly
// does no positive work at the velocities after the step (its power there,
// h F . u1) but through its depth correction: a pressed normal row leaves
// the bodies separating at the correcting velocity, a sticking friction
// row leaves no slip, a sliding one opposes it.
struct WorkProbe {
    struct Before {
        PxVector3 position, velocity, spin;
        PxReal energy;
        bool awake;
    };
    std::unordered_map<RbdBodyID, size_t> index;
    std::vector<Before> before;
    PxReal h = 0.0;
    // Over the run: positive and negative work of the normal and friction
    // forces, and their power at the velocities after the step.
    PxReal normalGain = 0.0, normalLoss = 0.0, frictionGain = 0.0, frictionLoss = 0.0;
    PxReal normalAfter = 0.0, frictionAfter = 0.0;
    PxReal mechanical = 0.0; // kinetic plus potential energy gained since the first step
};

struct ContactWork {
    size_t body[2]; // scene order; SIZE_MAX for the world
    PxVector3 normal;
    PxReal depth, fn, ft, workNormal, workFriction, powerNormal, powerFriction, separating, slip;
    PxReal onSide[2][2]; // work on each side's body: of the normal force, of friction
    int settling;
};

PxReal kineticEnergy(RbdBodyID body, const PxVector3 v, const PxVector3 w)
{
    return 0.5 * RbdBodyGetMass(body) * PxV3LengthSquared(v) +
           0.5 * ksim::inertiaQuadratic(body, ksim::readState(body), w);
}

void recordBefore(const ksim::Scene &scene, WorkProbe &probe)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    if (probe.index.empty())
        for (size_t b = 0; b < bodies.size(); ++b) probe.index[bodies[b]] = b;
    probe.before.resize(bodies.size());
    for (size_t b = 0; b < bodies.size(); ++b) {
        WorkProbe::Before &was = probe.before[b];
        RbdBodyGetPosition(bodies[b], was.position);
        RbdBodyGetLinearVelocity(bodies[b], was.velocity);
        RbdBodyGetAngularVelocity(bodies[b], was.spin);
        was.energy = kineticEnergy(bodies[b], was.velocity, was.spin);
        was.awake = RbdBodyIsEnabled(bodies[b]) != 0;
    }
}

struct WorkPass {
    const WorkProbe *probe;
    std::vector<ContactWork> contacts;
};

// Velocity of body b's material point at p, before (mean = false: after)
// the step or the mean of the two, about the centre it had before.
void materialVelocity(RbdBodyID body, const WorkProbe::Before &was, const PxVector3 p, bool mean, PxVector3 out)
{
    PxVector3 v, w, r, wr;
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    if (mean) {
        PxV3Add(v, v, was.velocity);
        PxV3Scale(v, v, 0.5);
        PxV3Add(w, w, was.spin);
        PxV3Scale(w, w, 0.5);
    }
    PxV3Sub(r, p, was.position);
    PxV3Cross(wr, w, r);
    PxV3Add(out, v, wr);
}

void addContactWork(RbdConstraintID c, void *data)
{
    if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT || !RbdConstraintIsEnabled(c)) return;
    WorkPass &pass = *static_cast<WorkPass *>(data);
    const WorkProbe &probe = *pass.probe;
    ContactWork cw = {};
    PxVector3 p, f, u[2][2] = {}; // [mean, after][side]
    RbdContactGetNormal(c, cw.normal);
    RbdContactGetPosition(c, p);
    RbdConstraintGetForce(c, 0, f);
    for (int side = 0; side < 2; ++side) {
        const RbdBodyID body = RbdConstraintGetBody(c, side);
        const auto at = body ? probe.index.find(body) : probe.index.end();
        cw.body[side] = at == probe.index.end() ? SIZE_MAX : at->second;
        if (at == probe.index.end()) continue;
        materialVelocity(body, probe.before[at->second], p, true, u[0][side]);
        materialVelocity(body, probe.before[at->second], p, false, u[1][side]);
    }
    PxVector3 mean, after, ft;
    PxV3Sub(mean, u[0][0], u[0][1]);
    PxV3Sub(after, u[1][0], u[1][1]);
    cw.fn = PxV3Dot(f, cw.normal);
    PxV3AddScaled(ft, f, cw.normal, -cw.fn);
    for (int side = 0; side < 2; ++side) {
        const PxReal sign = side == 0 ? 1.0 : -1.0, along = PxV3Dot(u[0][side], cw.normal);
        cw.onSide[side][0] = sign * probe.h * cw.fn * along;
        cw.onSide[side][1] = sign * probe.h * (PxV3Dot(f, u[0][side]) - cw.fn * along);
    }
    cw.ft = PxV3Length(ft);
    const PxReal h = probe.h, meanNormal = PxV3Dot(mean, cw.normal);
    cw.separating = PxV3Dot(after, cw.normal);
    cw.workNormal = h * cw.fn * meanNormal;
    cw.workFriction = h * (PxV3Dot(f, mean) - cw.fn * meanNormal);
    cw.powerNormal = h * cw.fn * cw.separating;
    cw.powerFriction = h * (PxV3Dot(f, after) - cw.fn * cw.separating);
    PxV3AddScaled(after, after, cw.normal, -cw.separating);
    cw.slip = PxV3Length(after);
    cw.depth = RbdContactGetPenetration(c);
    cw.settling = RbdContactGetSettling(c);
    pass.contacts.push_back(cw);
}

void printContactWork(const ContactWork &cw)
{
    char with[2][24];
    for (int side = 0; side < 2; ++side)
        if (cw.body[side] == SIZE_MAX)
            snprintf(with[side], sizeof with[side], "%s", std::fabs(cw.normal[2]) > 0.9 ? "floor" : "wall");
        else
            snprintf(with[side], sizeof with[side], "%zu", cw.body[side]);
    fprintf(stderr,
            "#    %5s-%-5s n=(%+.3f %+.3f %+.3f) depth=%.2e fn=%.3e ft=%.3e  work n=%+.2e f=%+.2e  after n=%+.2e "
            "f=%+.2e  sep=%+.2e slip=%.2e settling=%d\n",
            with[0], with[1], cw.normal[0], cw.normal[1], cw.normal[2], cw.depth, cw.fn, cw.ft, cw.workNormal,
            cw.workFriction, cw.powerNormal, cw.powerFriction, cw.separating, cw.slip, cw.settling);
}

void reportWork(const ksim::Scene &scene, WorkProbe &probe, int step, PxReal threshold)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    PxVector3 g;
    RbdWorldGetGravity(scene.world(), g);
    PxReal rise = 0.0, gravity = 0.0, slept = 0.0, potential = 0.0;
    for (size_t b = 0; b < bodies.size(); ++b) {
        const WorkProbe::Before &was = probe.before[b];
        PxVector3 v, w, x, dx;
        RbdBodyGetLinearVelocity(bodies[b], v);
        RbdBodyGetAngularVelocity(bodies[b], w);
        RbdBodyGetPosition(bodies[b], x);
        PxV3Sub(dx, x, was.position);
        potential -= RbdBodyGetMass(bodies[b]) * PxV3Dot(g, dx);
        rise += kineticEnergy(bodies[b], v, w) - was.energy;
        if (was.awake && !RbdBodyIsEnabled(bodies[b])) slept += was.energy;
        if (!RbdBodyIsEnabled(bodies[b])) continue;
        PxVector3 mean;
        PxV3Add(mean, v, was.velocity);
        gravity += 0.5 * probe.h * RbdBodyGetMass(bodies[b]) * PxV3Dot(g, mean);
    }
    WorkPass pass = {&probe, {}};
    RbdWorldForAllConstraints(scene.world(), addContactWork, &pass);
    PxReal normal = 0.0, friction = 0.0, normalAfter = 0.0, frictionAfter = 0.0;
    for (const ContactWork &cw : pass.contacts) {
        normal += cw.workNormal, friction += cw.workFriction;
        normalAfter += cw.powerNormal, frictionAfter += cw.powerFriction;
        (cw.workNormal > 0.0 ? probe.normalGain : probe.normalLoss) += cw.workNormal;
        (cw.workFriction > 0.0 ? probe.frictionGain : probe.frictionLoss) += cw.workFriction;
    }
    probe.normalAfter += normalAfter, probe.frictionAfter += frictionAfter;
    probe.mechanical += rise + potential;
    if (!(rise > threshold)) return;
    fprintf(stderr, "# work step %d: potential %+.3e J, kinetic plus potential %+.3e J, since the start %+.3e J\n",
            step, potential, rise + potential, probe.mechanical);
    fprintf(stderr,
            "# work step %d: kinetic energy %+.3e J = gravity %+.3e + normal %+.3e + friction %+.3e - slept %.3e "
            "(left %+.1e); at the velocities after: normal %+.3e friction %+.3e\n",
            step, rise, gravity, normal, friction, slept, rise - (gravity + normal + friction - slept), normalAfter,
            frictionAfter);
    std::sort(pass.contacts.begin(), pass.contacts.end(), [](const ContactWork &a, const ContactWork &b) {
        return a.workNormal + a.workFriction > b.workNormal + b.workFriction;
    });
    for (size_t k = 0; k < pass.contacts.size() && k < 6; ++k) printContactWork(pass.contacts[k]);
    // The body whose energy rose most, and the work each of its contacts did on it.
    size_t most = 0;
    PxReal mostRise = -HUGE_VAL;
    for (size_t b = 0; b < bodies.size(); ++b) {
        PxVector3 v, w;
        RbdBodyGetLinearVelocity(bodies[b], v);
        RbdBodyGetAngularVelocity(bodies[b], w);
        const PxReal r = kineticEnergy(bodies[b], v, w) - probe.before[b].energy;
        if (r > mostRise) mostRise = r, most = b;
    }
    PxVector3 v, w, p;
    RbdBodyGetLinearVelocity(bodies[most], v);
    RbdBodyGetAngularVelocity(bodies[most], w);
    RbdBodyGetPosition(bodies[most], p);
    PxVector3 dp;
    PxV3Sub(dp, p, probe.before[most].position);
    fprintf(
        stderr,
        "#   body %zu rose most: %+.3e J to %.3e J (potential %+.3e J), p=(%+.4f %+.4f %+.4f) v=(%+.4f %+.4f %+.4f) "
        "w=(%+.3f %+.3f %+.3f)\n",
        most, mostRise, kineticEnergy(bodies[most], v, w), -RbdBodyGetMass(bodies[most]) * PxV3Dot(g, dp), p[0], p[1],
        p[2], v[0], v[1], v[2], w[0], w[1], w[2]);
    for (const ContactWork &cw : pass.contacts)
        for (int side = 0; side < 2; ++side)
            if (cw.body[side] == most) {
                fprintf(stderr, "#     on it: n %+.2e f %+.2e  ", cw.onSide[side][0], cw.onSide[side][1]);
                printContactWork(cw);
            }
}

// Under --watch: one body's energies and contacts after a step (the body
// and the bodies' index as for --movers).
void printWatchContact(RbdConstraintID c, void *data)
{
    const ContactsOf &of = *static_cast<const ContactsOf *>(data);
    const int side = watchedSide(c, of);
    if (side < 0) return;
    const RbdBodyID body[2] = {RbdConstraintGetBody(c, 0), RbdConstraintGetBody(c, 1)};
    PxVector3 n, p, v0 = {0, 0, 0}, v1 = {0, 0, 0}, dv, f, x, arm;
    RbdContactGetNormal(c, n);
    RbdContactGetPosition(c, p);
    if (body[0]) pointVelocity(body[0], p, v0);
    if (body[1]) pointVelocity(body[1], p, v1);
    PxV3Sub(dv, v0, v1);
    const PxReal sep = PxV3Dot(dv, n);
    PxV3AddScaled(dv, dv, n, -sep);
    RbdConstraintGetForce(c, side, f);
    RbdBodyGetPosition(of.body, x);
    PxV3Sub(arm, p, x);
    const RbdBodyID other = body[1 - side];
    const PxReal fn = PxV3Dot(f, n) * (side == 0 ? 1.0 : -1.0);
    fprintf(stderr,
            "#   w  %5zu%c n=(%+.4f %+.4f %+.4f) arm=(%+.5f %+.5f %+.5f) depth=%.3e fn=%.4e ft=(%+.3e %+.3e %+.3e) "
            "sep=%+.2e slip=(%+.2e %+.2e %+.2e) settling=%d\n",
            other ? of.index->at(other) : SIZE_MAX, side == 0 ? 'a' : 'b', n[0], n[1], n[2], arm[0], arm[1], arm[2],
            RbdContactGetPenetration(c), fn, f[0] - PxV3Dot(f, n) * n[0], f[1] - PxV3Dot(f, n) * n[1],
            f[2] - PxV3Dot(f, n) * n[2], sep, dv[0], dv[1], dv[2], RbdContactGetSettling(c));
}

void reportWatch(const ksim::Scene &scene, int which, int step, std::unordered_map<RbdBodyID, size_t> &index)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    if (which >= static_cast<int>(bodies.size())) return;
    if (index.empty())
        for (size_t b = 0; b < bodies.size(); ++b) index[bodies[b]] = b;
    const RbdBodyID body = bodies[which];
    PxVector3 g, x, v, w;
    RbdWorldGetGravity(scene.world(), g);
    RbdBodyGetPosition(body, x);
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    const PxReal ke = kineticEnergy(body, v, w), pe = -RbdBodyGetMass(body) * PxV3Dot(g, x);
    fprintf(stderr,
            "# w step %d body %d awake=%d ke=%.6e pe=%.9e e=%.9e p=(%+.7f %+.7f %+.7f) v=(%+.6f %+.6f %+.6f) "
            "w=(%+.5f %+.5f %+.5f)\n",
            step, which, RbdBodyIsEnabled(body) != 0, ke, pe, ke + pe, x[0], x[1], x[2], v[0], v[1], v[2], w[0], w[1],
            w[2]);
    ContactsOf of = {body, &index};
    RbdWorldForAllConstraints(scene.world(), printWatchContact, &of);
}

// One repetition, in the child: build (untimed), step (timed), observe and
// judge (untimed).
void runChild(const ksim::SceneInfo &info, const Settings &s, Shared *shared)
{
    const bool wide = info.benchmark == 2 && s.pileWidth > 1;
    std::unique_ptr<ksim::Scene> scene = wide ? ksim::buildWidePile(s.pileWidth) : info.build();
    if (!scene || !scene->valid()) _exit(3);
    ksim::setSleeping(*scene, s.sleep);
    if (s.nudge > 0) nudge(*scene, s.nudge);
    RbdWorldSetLinearSolver(scene->world(), s.linearSolver);
    if (s.tolerance > 0.0) RbdWorldLCPSetTolerance(scene->world(), s.tolerance);
    if (s.sweeps > 0) RbdWorldLCPSetIterations(scene->world(), s.sweeps);
    if (s.largeRows >= 0) RbdWorldLCPSetLargeIslandRows(scene->world(), s.largeRows);
    if (s.matching >= 0) SbxBridgeSetContactMatching(scene->bridge(), s.matching);
    if (s.jointPasses >= 0) RbdWorldSetJointPositionPasses(scene->world(), s.jointPasses);
    if (s.spin > 0.0) RbdContactParamsSetSpinFriction(SbxBridgeGetContactParams(scene->bridge(), 0, 0), s.spin);
    MoverTrack track;
    WorkProbe probe;
    std::unordered_map<RbdBodyID, size_t> watchIndex;
    probe.h = ksim::kBenchStep;
    double windowSeconds = 0.0;
    for (int k = 0; k < s.steps; ++k) {
        if (s.tail > 0 && k == s.steps - s.tail) CALLGRIND_START_INSTRUMENTATION;
        if (s.count > 0 && k % s.windows == 0) CALLGRIND_START_INSTRUMENTATION;
        if (s.work > 0.0) recordBefore(*scene, probe);
        const Clock::time_point start = Clock::now();
        scene->step(ksim::kBenchStep);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        shared->seconds += seconds;
        if (k >= s.steps - s.tail) shared->tailSeconds += seconds;
        if (s.count > 0 && k % s.windows == s.count - 1) {
            char name[64];
            snprintf(name, sizeof name, "steps %d-%d", k + 2 - s.count, k + 1);
            CALLGRIND_DUMP_STATS_AT(name);
            CALLGRIND_STOP_INSTRUMENTATION;
        }
        windowSeconds += seconds;
        if (s.windows > 0 && (k + 1) % s.windows == 0) {
            // The monotonic clock's reading (s) lets a profile taken on that
            // clock (perf record -k mono) be cut into the same windows.
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            fprintf(stderr, "# window steps %d-%d: %.1f us/step, ends t=%.6f\n", k + 2 - s.windows, k + 1,
                    1e6 * windowSeconds / s.windows, static_cast<double>(now.tv_sec) + 1e-9 * now.tv_nsec);
            windowSeconds = 0.0;
        }
        shared->stepsDone = k + 1;
        scene->observe();
        if (s.log > 0 && (k + 1) % s.log == 0) logEnergies(*scene, k + 1);
        if (s.log > 0 && s.sleep && (k + 1) % s.log == 0) logSleepTest(*scene, k + 1);
        if (s.movers > 0.0 && k >= s.steps - kMoverWindow) recordMovers(*scene, track);
        if (s.work > 0.0) reportWork(*scene, probe, k + 1, s.work);
        if (s.watch >= 0 && k + 1 >= s.watchFrom) reportWatch(*scene, s.watch, k + 1, watchIndex);
    }
    if (s.work > 0.0)
        fprintf(stderr,
                "# work over the run: normal +%.3e / %.3e J, friction +%.3e / %.3e J; at the velocities after: "
                "normal %+.3e, friction %+.3e J\n",
                probe.normalGain, probe.normalLoss, probe.frictionGain, probe.frictionLoss, probe.normalAfter,
                probe.frictionAfter);
    if (s.movers > 0.0 && track.recorded > 0) reportMovers(*scene, track, s.movers);
    // Peak resident memory of this child (which forked from a small parent).
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    shared->rssMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    snprintf(shared->figures, sizeof shared->figures, "%s", scene->figures().words.c_str());
    shared->finished = 1;
    scene.reset();
    _exit(0);
}

// Runs one repetition in a child process; returns its report and, when it
// did not finish, why.
Shared runOnce(const ksim::SceneInfo &info, const Settings &s, std::string &why)
{
    return kbench::RunInChild<Shared>(
        s.timeout, [&](Shared *shared) { runChild(info, s, shared); }, why);
}

// "S2", or "S2x16" for the pile 4 times as wide.
std::string sceneLabel(int number, const Settings &s)
{
    std::string label = "S" + std::to_string(number);
    if (number == 2 && s.pileWidth > 1) label += "x" + std::to_string(s.pileWidth * s.pileWidth);
    return label;
}

void runScene(int number, const Settings &s)
{
    const std::string label = sceneLabel(number, s);
    const ksim::SceneInfo *info = benchmarkScene(number);
    const std::string engine = s.sleep ? std::string(kEngine) + "+sleep" : kEngine;
    std::vector<double> perStep;
    std::string figures, memory, why;
    bool differ = false;
    for (int rep = 0; rep < s.reps && why.empty(); ++rep) {
        const Shared r = runOnce(*info, s, why);
        const double us = r.stepsDone ? 1e6 * r.seconds / r.stepsDone : 0.0;
        fprintf(stderr, "# %s %s %s rep %d: %d steps, %.1f us/step%s%s\n", engine.c_str(), solverName(s).c_str(),
                label.c_str(), rep + 1, r.stepsDone, us, why.empty() ? "" : "  ", why.c_str());
        if (s.tail > 0 && r.stepsDone == s.steps)
            fprintf(stderr, "# %s %s %s rep %d: last %d steps, %.1f us/step\n", engine.c_str(), solverName(s).c_str(),
                    label.c_str(), rep + 1, s.tail, 1e6 * r.tailSeconds / s.tail);
        if (!why.empty()) {
            char more[96];
            snprintf(more, sizeof more, " (%f us/step over completed steps)", us);
            why += more;
            break;
        }
        if (rep == 0) {
            figures = r.figures;
            char rss[32];
            snprintf(rss, sizeof rss, " rss=%.0fMB", r.rssMB);
            memory = rss;
        } else if (figures != r.figures)
            differ = true;
        perStep.push_back(us);
    }
    if (!why.empty()) {
        printf("%-10s %-10s %-3s %s\n", engine.c_str(), solverName(s).c_str(), label.c_str(), why.c_str());
    } else {
        std::vector<double> sorted = perStep;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        std::string reps;
        for (size_t k = 0; k < perStep.size(); ++k) {
            char b[32];
            snprintf(b, sizeof b, "%s%.1f", k ? "," : "", perStep[k]);
            reps += b;
        }
        printf("%-10s %-10s %-3s steps/s=%9.1f  us/step=%10.1f  [reps %s]  %s%s%s\n", engine.c_str(),
               solverName(s).c_str(), label.c_str(), 1e6 / median, median, reps.c_str(), figures.c_str(),
               memory.c_str(), differ ? "  (metrics differ between reps!)" : "");
    }
    fflush(stdout);
}

// The settings the comparison depends on, as the peers print theirs.
void header(const Settings &s)
{
    std::unique_ptr<ksim::Scene> probe = ksim::buildStack();
    RbdWorldID world = probe->world();
    fprintf(stderr,
            "# kelmar | universe step, pivoting LCP solver on the %s, tolerance %g | epsilon=%g gamma=%g | friction: "
            "2 directions, "
            "proportional, mu=0.5 | dt=%g s, %d steps, reps=%d, timeout=%.0f s | sleep=%s\n",
            RbdLcsLinearSolverDescription(s.linearSolver),
            s.tolerance > 0.0 ? s.tolerance : RbdWorldLCPGetTolerance(world), RbdWorldGetEpsilon(world),
            RbdWorldGetGamma(world), ksim::kBenchStep, s.steps, s.reps, s.timeout, s.sleep ? "on" : "off");
    if (s.spin > 0.0) fprintf(stderr, "# kelmar spin friction on every pair: %g m\n", s.spin);
}

} // namespace

int main(int argc, char **argv)
{
    Settings settings;
    if (!parse(argc, argv, settings)) {
        usage(argv[0]);
        return 2;
    }
    header(settings);
    for (int number : settings.scenes) runScene(number, settings);
    return 0;
}
