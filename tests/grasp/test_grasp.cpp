// The grasps against independent truth, in one file with their scenes.
// Analysis: each contact's columns of the grasp map (unit forces along its
// normal and tangents, right-handed, torques r x f, in the ball's frame),
// the friction cones' edges in the world, the null space against LAPACK's
// singular values for random maps, a ball resting on a plane and the
// squeeze of an antipodal grasp. Controllers: the ball wraps close hand3.px
// on a rubber ball and hold it palm down against gravity, their rules on a
// two-fingered hand with a branch; the contact-based grasps explore the
// ball by touch and keep each link's force near its limit; the SOM grasp
// closes our five-fingered hand on a cylinder, its map's tie rule, contact
// memory and the messages of bad map files by table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

// LAPACK's singular value decomposition (jobz, m, n, a, lda, s, u, ldu, vt, ldvt, work, lwork, iwork, info).
extern "C" void dgesdd_(const char *, const int *, const int *, double *, const int *, double *, double *,
                        const int *, double *, const int *, double *, const int *, int *, int *);

namespace {

const std::string kStill = "<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>"; // no gravity

// A rubber ball of 4 cm radius at pos, with the further elements given.
std::string Ball(const std::string &pos, const std::string &more = "")
{
    return "<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES><SOLID ball><GEOMETRY_ID>"
           "ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>" +
           pos + "</POS>" + more + "</SOLID>";
}

// A universe with one scene loaded without errors from the elements given (inside <PX>).
struct World {
    explicit World(const std::string &elements)
    {
        char path[] = "/tmp/kelmar-grasp-XXXXXX";
        close(mkstemp(path));
        std::ofstream(path) << "<?xml version=\"1.0\"?>\n<PX>\n" << elements << "\n</PX>\n";
        universe.AddScene((scene = std::make_unique<kelmar::Scene>(path)).get());
        std::remove(path);
        EXPECT_EQ(scene->GetLoadErrorCount(), 0);
    }
    ~World() { universe.DelScene(scene.get()); }
    kelmar::Solid *solid(const std::string &name) { return scene->LookupSolid(name.c_str(), false); }
    kelmar::Robot *robot(const char *name) { return dynamic_cast<kelmar::Robot *>(scene->LookupObject(name)); }
    // Fingers (solid names up to their last '_') with a link whose name
    // ends in suffix (from its last '_'; a palm has none) touching the solid s.
    int FingersOn(const kelmar::Solid *s, const std::string &suffix = "")
    {
        std::set<std::string> fingers;
        const std::unique_ptr<kelmar::ContactList> list(s->GetContacts(0));
        for (const auto &e : list->entries) {
            const RbdBodyID other = RbdConstraintGetBody(e.contact, 1 - e.bodyIndex);
            const std::string name = other ? static_cast<kelmar::Solid *>(RbdBodyGetUserData(other))->GetName() : "";
            const size_t cut = name.rfind('_');
            if (cut != std::string::npos && (suffix.empty() || name.substr(cut) == suffix))
                fingers.insert(name.substr(0, cut));
        }
        return int(fingers.size());
    }

    kelmar::Universe universe{1000, 1000, 1000, 20000};
    std::unique_ptr<kelmar::Scene> scene;
};

// Collects the grasps' lines while alive (progress and problem channels apart).
struct Lines {
    Lines() { kelmar::GraspSetSink(Collect, this); }
    ~Lines() { kelmar::GraspSetSink(nullptr, nullptr); }
    static void Collect(kelmar::GraspChannel channel, const char *text, void *user)
    {
        Lines *lines = static_cast<Lines *>(user);
        (channel == kelmar::GraspChannel::kProgress ? lines->progress : lines->problems) += text;
    }
    std::string progress, problems;
};

// The free ball at (1, 2, 3), turned by the Euler angles given, with
// contacts made by hand (not enabled, never stepped), listed as the ball's
// (the list puts the newest first).
struct BallWithContacts {
    explicit BallWithContacts(const std::string &euler = "0, 0, 0")
        : world(Ball("1, 2, 3", "<EULER>" + euler + "</EULER>")), ball(world.solid("ball")), list(ball)
    {
        RbdBodyGetCenterOfMassPosition(ball->GetBody(), centre);
    }
    ~BallWithContacts()
    {
        for (const kelmar::ContactList::Entry &e : list.entries) RbdConstraintDestroy(e.contact);
    }
    // A contact at the lever r from the centre whose normal n points into
    // the ball. second: the ball is the contact's second body, so that the
    // stored normal points into the finger.
    void Add(const double r[3], const double n[3], int frictionType, double mu, bool second = false)
    {
        RbdContactID c = RbdContactCreate(world.universe.GetWorld());
        RbdConstraintSetBodies(c, second ? nullptr : ball->GetBody(), second ? ball->GetBody() : nullptr);
        RbdContactSetPosition(c, centre[0] + r[0], centre[1] + r[1], centre[2] + r[2]);
        RbdContactSetNormal(c, second ? -n[0] : n[0], second ? -n[1] : n[1], second ? -n[2] : n[2]);
        RbdContactParamsSetType(RbdContactGetParams(c), frictionType);
        RbdContactParamsSetFrictionCoefficient(RbdContactGetParams(c), mu);
        list.add(c, second ? 1 : 0);
    }
    World world;
    kelmar::Solid *ball;
    kelmar::ContactList list;
    double centre[3]; // of mass, world
};

// The columns one contact contributes, at g: frictionless, its normal n;
// frictional, two unit tangents and n with n x t1 = t2; torques r x f. n
// and the lever r are given in the world, the map is in the rows of frame.
void ExpectColumns(const double *g, int count, const double (*frame)[4], const double nWorld[3],
                   const double rWorld[3], double torqueTolerance = 1e-9)
{
    double n[3], r[3], torque[3], cross[3];
    for (int i = 0; i < 3; ++i) n[i] = PxV3Dot(frame[i], nWorld), r[i] = PxV3Dot(frame[i], rWorld);
    for (int k = 0; k < count; ++k) {
        PxV3Cross(torque, r, g + 6 * k);
        EXPECT_NEAR(PxV3Length(g + 6 * k), 1.0, 1e-9) << "column " << k;
        EXPECT_LT(PxV3Distance(g + 6 * k + 3, torque), torqueTolerance) << "column " << k;
    }
    EXPECT_LT(PxV3Distance(g + 6 * (count - 1), n), 1e-9);
    PxV3Cross(cross, g + 6 * (count - 1), g);
    EXPECT_TRUE(count == 1 || PxV3Distance(cross, g + 6) < 1e-9) << "n x t1 is not t2";
}

// Random contacts on a ball, of four kinds, three rank-deficient by their
// geometry: 0, any friction type, lever and normal on a turned ball (rank
// min(6, m)); 1, frictionless, normals through the centre (no torques:
// rank <= 3); 2, frictional on the ball's x axis (no torque about it:
// rank <= 5); 3, frictional, all at one point (rank <= 3). Levers on axes
// keep the geometry's zeros exact. Each contact's columns are checked
// against its geometry, and its cone's edges: n plus mu times a unit
// tangent (on the cone of angle atan mu), evenly spaced about n, torques
// r x f, in the world. Then the null space of the whole map: its size is
// the columns less LAPACK's rank (singular values above 1e-4 of the
// largest; none may lie between 1e-6 and 1e-2 of it, where a float
// matrix's rank is a matter of tolerance), each vector as returned (1 at
// its free column) is taken within 1e-5 of zero by the map, and the basis
// is independent. Component j of vector k is stored at
// j * nullity + k, so read column by column it is the nullity x m matrix N^T.
// Trial 240 is an antipodal grasp, fingertips pressing from +x and -x: the
// wrenches cancel only for equal normal pushes (the squeeze), so the null
// space is that one direction; the spin about the line is the wrench point
// contacts cannot resist.
TEST(GraspAnalysis, RandomContactsAgreeWithTheGeometryAndLapack)
{
    std::mt19937 random(20261206);
    std::normal_distribution<double> normal;
    int deficient = 0, ambiguous = 0;
    for (int trial = 0; trial <= 240; ++trial) { // the last one antipodal
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        const int kind = trial % 4, edges = 1 + trial % 8, drawn = std::max(edges, 3); // fewer count as three
        BallWithContacts b(kind == 0 ? "0.3, -1.1, 2.0" : "0, 0, 0");
        std::vector<std::array<double, 8>> made; // n, r, mu, type
        for (int c = 0; c < (trial == 240 ? 2 : 1 + trial / 4 % 10); ++c) {
            std::array<double, 8> m{normal(random), normal(random), normal(random),
                                    normal(random), normal(random), normal(random)};
            double *n = m.data(), *r = n + 3;
            if (kind == 1) PxV3Scale(n, r, -1);
            if (kind >= 2) PxV3Set(r, kind == 2 ? normal(random) : 1, 0, 0);
            PxV3Scale(n, n, 1 / PxV3Length(n));
            m[6] = static_cast<float>(c == 2 ? 0.0 : 0.2 + 0.35 * c); // kept in single precision
            m[7] = kind == 0 ? (trial + c) % 3 : kind == 1 ? 0 : 2;
            if (trial == 240) m = {c ? 1.0 : -1.0, 0, 0, c ? -4.0 : 4.0, 0, 0, 1, 2}; // the antipodal pair
            b.Add(r, n, int(m[7]), m[6], c % 2 == 1);
            made.push_back(m);
        }
        kelmar::Grasp grasp(b.ball, &b.list);
        int columns = -1, at = 0, cone = 1;
        const double *g = grasp.getGraspMap(columns);
        std::vector<double> w;
        const int wrenches = grasp.WrenchSpaceL1(w, edges);
        for (size_t i = 0; i < made.size(); ++i) {
            const double *n = made[made.size() - 1 - i].data(), *r = n + 3, mu = n[6];
            const int type = int(n[7]), count = type == 0 ? 1 : type == 2 ? 3 : 0; // one direction adds nothing
            if (count > 0 && at + count <= columns)
                ExpectColumns(g + 6 * at, count, RbdBodyGetCenterOfMassTransformPtr(b.ball->GetBody()), n, r);
            at += count;
            if (type != 2 || mu == 0 || size_t(6 * (cone += drawn)) > w.size()) continue;
            double first[3], tangent[3], torque[3];
            PxV3AddScaled(first, &w[size_t(6 * (cone - drawn))], n, -1.0);
            for (int k = 0; k < drawn; ++k) {
                const double *e = &w[size_t(6 * (cone - drawn + k))];
                PxV3AddScaled(tangent, e, n, -1.0);
                PxV3Cross(torque, r, e);
                EXPECT_NEAR(PxV3Dot(tangent, n), 0, 1e-9);
                EXPECT_NEAR(PxV3Length(tangent), mu, 1e-9);
                EXPECT_NEAR(PxV3Dot(tangent, first) / (mu * mu), std::cos(2 * M_PI * k / drawn), 1e-6) << k;
                EXPECT_LT(PxV3Distance(e + 3, torque), 1e-9) << k;
            }
        }
        ASSERT_EQ(columns, at);
        EXPECT_EQ(wrenches, cone);
        ASSERT_EQ(w.size(), static_cast<size_t>(6 * cone));
        EXPECT_EQ(std::vector<double>(w.begin(), w.begin() + 6), std::vector<double>(6, 0.0)); // the origin first
        const std::vector<float> map(g, g + 6 * columns);
        kelmar::ContactList none(b.ball); // a new list discards the map
        grasp.SetContacts(&none);
        EXPECT_EQ(grasp.getGraspMap(columns), nullptr);
        std::vector<float> n = map;
        if ((columns = int(map.size() / 6)) == 0) {
            EXPECT_EQ(kelmar::Grasp::ComputeNullSpace(n, 6, 1, 1e-5f), -1); // too little data is refused
            continue;
        }
        const int nullity = kelmar::Grasp::ComputeNullSpace(n, 6, columns, 1e-5f);
        // Antipodal: only the squeeze, equal normal pushes ((t1, t2, n) per contact), is free.
        ASSERT_TRUE(trial != 240 || n.size() == 6u) << n.size() / 6 << " free directions";
        for (int j = 0; j < 6 && trial == 240; ++j)
            EXPECT_NEAR(n[size_t(j)] / n[5], j % 3 == 2 ? 1.0 : 0.0, 1e-6) << j;
        std::vector<double> a(map.begin(), map.end()), s(6), work(1000); // s: zero beyond min(6, columns)
        int rows = 6, lwork = 1000, info = 0, one = 1, rank = 0, unclear = 0, iwork[48];
        dgesdd_("N", &rows, &columns, a.data(), &rows, s.data(), nullptr, &one, nullptr, &one, work.data(), &lwork,
                iwork, &info);
        ASSERT_EQ(info, 0);
        for (double v : s) unclear += (v > 1e-6 * s[0] && v < 1e-2 * s[0]), rank += (v > 1e-4 * s[0]);
        ambiguous += unclear > 0;
        if (unclear > 0) continue;
        deficient += rank < std::min(6, columns);
        EXPECT_EQ(columns - nullity, rank) << "kind " << kind;
        ASSERT_EQ(n.size(), static_cast<size_t>(columns * nullity));
        for (int k = 0; k < nullity; ++k) {
            double gn[6] = {};
            for (int j = 0; j < columns; ++j)
                for (int i = 0; i < 6; ++i) gn[i] += map[size_t(j * 6 + i)] * n[size_t(j * nullity + k)];
            for (double x : gn) EXPECT_LT(std::fabs(x), 1e-5) << "vector " << k;
        }
        if (nullity == 0) continue;
        EXPECT_EQ(kelmar::Grasp::ComputeNullSpace(n, nullity, columns, 1e-5f), columns - nullity);
    }
    EXPECT_GT(deficient, 120); // kinds 1 to 3 are rank-deficient by their geometry
    EXPECT_LT(ambiguous, 10);
}

// The plane, a contact the collision made, pushes the ball up from 4 cm
// below its centre.
TEST(GraspAnalysis, BallRestingOnAPlaneHasOneContactOfThreeColumns)
{
    World w(
        "<WORLD><GRAVITY>0, 0, -981</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD><GEOMETRIES><PLANE p/></GEOMETRIES>"
        "<SOLID floor><GEOMETRY_ID>p</GEOMETRY_ID><MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID>" +
        Ball("3, -2, 4.01"));
    for (int s = 0; s < 100; ++s) w.universe.step();
    std::unique_ptr<kelmar::ContactList> contacts(w.solid("ball")->GetContacts(0));
    ASSERT_EQ(contacts->count, 1);
    int columns = 0;
    kelmar::Grasp resting(w.solid("ball"), contacts.get());
    const double *g = resting.getGraspMap(columns), up[3] = {0, 0, 1}, lever[3] = {0, 0, -4};
    ASSERT_EQ(columns, 3);
    ExpectColumns(g, 3, RbdBodyGetCenterOfMassTransformPtr(w.solid("ball")->GetBody()), up, lever, 0.02);
}

// hand3.px held palm down at the origin (its fingers pointing down), no
// gravity, the ball between the fingers, 10 cm below the palm's mounting
// face, one run per controller: the ball free for the wraps and held in
// place for the contact-based grasps.
// Runs 0 and 1, GraspBallWrap and GraspBallWrap2_Orb type 0: they close
// (every fingertip on the ball within 1 s); gravity on, the contacts take
// the load for 0.25 s, then hold for 2 s: the ball drifts less than 1 mm,
// the fingers carry its weight, all tips still touch.
// Runs 2 and 3, GraspContactBased0 with a force limit (given squared) and
// without: each link's force on the ball (kg cm/s^2) rises as the links
// press; a link over the limit backs off, so that no force exceeds the
// limit by more than the largest rise seen in one step, and once settled
// the links press far less than without a limit.
// Runs 4 and 5, GraspContactBased: with the accepted stretch anywhere on
// the 3 cm tip link, exploration ends ("fertig!") with every fingertip on
// the ball; the hand opened, the drive step runs each joint at its share
// of the largest remaining motion, so that all cover the same fraction of
// their way and arrive together, back on the ball. Beyond the link's end
// no tip contact is accepted: every tip joint closes to its upper stop
// (1.4 rad) and no finger is done.
TEST(Hand3OnTheBall, WrapsHoldContactBased0KeepsItsLimitContactBasedArrivesTogether)
{
    // The wraps' link centre lines keep the ball's radius plus half a link's
    // width (0.8 cm) from its centre, less 1 mm so that the fingertips press;
    // contact0's motors alone press with about 200 to 270.
    const double centre[3] = {0, 0, -11}, wrapRadius = 4.0 + 0.8 - 0.1, limit = 150.0;
    double peak[2] = {0, 0}, rise[2] = {0, 0}, settled[2] = {0, 0}, start[3], end[3], force[3];
    for (int run = 0; run < 6; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        World w(kStill +
                "<IMPORT hand><NAME>" KELMAR_EXAMPLES_DIR "/hand3</NAME><EULER>3.141592653589793, 0, 0</EULER>" +
                "</IMPORT>" + Ball("0, 0, -11", run >= 2 ? "<FROZEN>1</FROZEN>" : ""));
        kelmar::Robot *hand = w.robot("hand.robot");
        kelmar::Solid *ball = w.solid("ball");
        Lines lines; // the orb prints its goal point every step
        if (run < 2) {
            kelmar::GraspBallWrap wrap;
            kelmar::GraspBallWrap2_Orb orb;
            run ? orb.init(hand, 0, centre, wrapRadius) : wrap.init(hand, ball, wrapRadius, 0.05);
            auto step = [&] { run ? (void)orb.grasp() : wrap.grasp(), w.universe.step(); };
            for (int closing = 0; closing < 200 && w.FingersOn(ball, "_distal") < 3; ++closing) step();
            ASSERT_EQ(w.FingersOn(ball, "_distal"), 3) << "the fingertips never all touched the ball";
            RbdWorldSetGravity(w.universe.GetWorld(), 0, 0, -981);
            RbdBodyEnable(ball->GetBody());
            for (int s = 0; s < 50; ++s) step();
            ball->GetPosition(start);
            for (int s = 0; s < 400; ++s) step();
            ball->GetPosition(end);
            ball->GetTotalForce(force);
            EXPECT_LT(PxV3Distance(start, end), 0.1); // cm
            EXPECT_NEAR(force[2] / (RbdBodyGetMass(ball->GetBody()) * 981), 1.0, 0.1);
            EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
            continue;
        }
        if (run < 4) {
            kelmar::GraspContactBased0 grasp;
            grasp.init(hand, ball, run == 2 ? limit * limit : 1e30, 2.0);
            double previous[9] = {0};
            for (int s = 0; s < 300; ++s) {
                const int contacts = grasp.grasp();
                w.universe.step();
                EXPECT_TRUE(s < 299 || contacts >= 3) << contacts << " links touching at the end";
                for (int i = 0; i < 9; ++i) { // each link's contacts with the ball
                    std::unique_ptr<kelmar::ContactList> list(hand->GetNodeOfJoint(i)->solid->GetContacts(ball));
                    double total[3] = {0, 0, 0}, f[3];
                    for (const auto &e : list->entries)
                        RbdConstraintGetForce(e.contact, e.bodyIndex, f), PxV3Add(total, total, f);
                    const double force = PxV3Length(total);
                    rise[run - 2] = std::max(rise[run - 2], force - std::exchange(previous[i], force));
                    peak[run - 2] = std::max(peak[run - 2], force);
                    if (s >= 200) settled[run - 2] += force / 100;
                }
            }
            continue;
        }
        const bool valid = run == 4;
        kelmar::GraspContactBased grasp;
        grasp.init(hand, 0.05, valid ? 0.0 : 5.0, valid ? 3.2 : 9.0);
        bool done = false;
        for (int s = 0; s < 400 && !done; ++s) done = grasp.explore(), w.universe.step();
        if (!valid) {
            const size_t at = lines.progress.find("Kontakt mit ball bei y=");
            double y = 0;
            ASSERT_NE(at, std::string::npos);
            std::sscanf(lines.progress.c_str() + at, "Kontakt mit ball bei y=%lf", &y);
            char line[80]; // the number as printed, with three decimals
            std::snprintf(line, sizeof line, "Kontakt mit ball bei y=%.3f -> INVALID contact.\n", y);
            EXPECT_EQ(lines.progress.compare(at, std::strlen(line), line), 0) << lines.progress;
            EXPECT_EQ(lines.progress.find("-> VALID"), std::string::npos);
            EXPECT_EQ(lines.progress.find("Finger"), std::string::npos);
            for (int tip : {2, 5, 8}) EXPECT_DOUBLE_EQ(hand->GetNodeOfJoint(tip)->target, 1.4) << tip;
            continue;
        }
        EXPECT_TRUE(done) << "no end of exploration in 400 steps";
        EXPECT_EQ(lines.progress.find("fertig!\n"), lines.progress.size() - 8); // once, the last line
        EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
        for (int f = 0; f < 3; ++f)
            EXPECT_NE(lines.progress.find("Finger " + std::to_string(f) + " fertig.\n"), std::string::npos);
        for (int f = 0; f < 3; ++f) EXPECT_EQ(grasp.getContactSegment(f), 2) << "finger " << f;
        const double open[9] = {};
        for (int s = 0; s < 100; ++s) hand->SetJoints(open, 1.0f), w.universe.step();
        double before[9], after[9], way[9], largest = 0, sum = 0;
        hand->GetJoints(before);
        EXPECT_FALSE(grasp.grasp());
        w.universe.step();
        hand->GetJoints(after);
        for (int j = 0; j < 9; ++j)
            way[j] = hand->GetNodeOfJoint(j)->target - before[j], sum += std::fabs(way[j]),
            largest = std::max(largest, std::fabs(way[j]));
        // The largest way advances by three steps of 0.005 rad under the ease
        // law, every other joint by its share of that.
        const double cap = 9 * 5 * M_PI / 180, ease = std::pow((std::min(sum, cap) + 0.3) / (cap + 0.3), 2);
        const double step = 0.005 * 3 * ease / largest;
        int shorter = 0; // joints with a way well short of the largest
        for (int j = 0; j < 9; ++j) {
            if (std::fabs(way[j]) < 0.01) continue;
            shorter += std::fabs(way[j]) < 0.5 * largest;
            EXPECT_NEAR(after[j] - before[j], step * way[j],
                        std::fabs(way[j]) == largest ? 5e-5 : 0.25 * step * std::fabs(way[j]))
                << "joint " << j << " of way " << way[j];
        }
        EXPECT_GE(shorter, 2);
        for (int s = 0; s < 100; ++s) grasp.grasp(), w.universe.step();
        EXPECT_TRUE(grasp.grasp()) << "not arrived";
        EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
        grasp.reset();
        EXPECT_EQ(grasp.getContactSegment(0), -1);
    }
    EXPECT_GT(peak[0], limit) << "the limit was never reached: nothing tested";
    EXPECT_LE(peak[0], limit + rise[0]);
    EXPECT_LT(settled[0], 0.8 * settled[1]);
}

// Finger b along +x (anchors at x = 2, 4, 6, axes +y) with a second link
// bx beside b2 after b1 (a branch); finger c along -x (axes -y) whose
// first joint spreads about +z. Links 1 cm wide, no gravity.
std::string Link(const char *name, const char *parent, double x, double y, const char *axis, int upper)
{
    char s[400];
    std::snprintf(s, sizeof s,
                  "<SOLID %s><GEOMETRY_ID>b</GEOMETRY_ID><POS>%g, %g, 0</POS></SOLID><HINGE j%s><SOLID_IDS>%s, %s"
                  "</SOLID_IDS><POS>%g, %g, 0</POS><AXIS>%s</AXIS><LIMIT><STOPS>-1, %d</STOPS></LIMIT></HINGE>",
                  name, x + (x > 0 ? 1 : -1), y, name, name, parent, x, y, axis, upper);
    return s;
}

// The second wrap's plans (the first branch is taken, with one message per
// plan). Type 1 aims only the first joints: b1 turns in the palm's plane
// (its axis lies in it) and stays; c1 turns finger c onto the line from
// the goal through its base, in the palm's x-y plane, kept 0.01 inside its
// stops. Type 2 leaves the first joints and closes the others on the
// sphere: the second link of each finger, turned by its planned amount,
// and then the third, lie on the sphere's tangent (seen from its anchor,
// centre and axis in one plane).
// Then the first wrap, on the joints still at rest: the ball's centre at
// angle phi below the +x axis, seen from b1's anchor (2, 0, 0) at distance
// 5: b1's link line (along +x) is on the tangent when phi = asin(radius /
// 5) and must close by phi minus that, unless that is within the tolerance
// or opens it. Then a ball about b2's anchor that encloses b1's: b1 stops
// finger b though its joints were running; finger c, outside, is driven:
// c1 to its upper stop.
TEST(BallWraps, RulesOnATwoFingeredHandWithABranch)
{
    World w(kStill +
            "<GEOMETRIES><BOX b><SIZE>1, 1, 1</SIZE></BOX></GEOMETRIES><SOLID palm><GEOMETRY_ID>b"
            "</GEOMETRY_ID><FROZEN>1</FROZEN></SOLID>" +
            Link("b1", "palm", 2, 0, "0, 1, 0", 3) + Link("b2", "b1", 4, 0, "0, 1, 0", 3) +
            Link("b3", "b2", 6, 0, "0, 1, 0", 3) + Link("c1", "palm", -2, 0, "0, 0, 1", 1) +
            Link("c2", "c1", -4, 0, "0, -1, 0", 3) + Link("c3", "c2", -6, 0, "0, -1, 0", 3) +
            Link("bx", "b1", 4, 3, "0, 1, 0", 3) + "<ROBOT hand><SOLID>palm</SOLID></ROBOT>");
    kelmar::Robot *hand = w.robot("hand"), *b1 = hand->GetNodeOfJoint(0), *b2 = hand->GetNodeOfJoint(1);
    const int c1 = 4, c2 = 5; // joints b1 b2 b3 bx c1 c2 c3
    Lines lines;
    const double goal[3] = {-5, 2, -3}, across[3] = {-2.2, 5, 0}, centre[3] = {0, 0, -3}, radius = 1.0;
    kelmar::GraspBallWrap2_Orb orb;
    kelmar::GraspBallWrap2_Orb::Plan p;
    auto plan = [&](int type, const double *at, double r) { return orb.init(hand, type, at, r), orb.plan(hand, p); };
    ASSERT_TRUE(plan(1, goal, 1.0));
    ASSERT_EQ(p.fingers, 2);
    ASSERT_EQ(std::vector<int>(p.joints, p.joints + 2),
              std::vector<int>({3, 3})); // b1 b2 b3 (the first branch), c1 c2 c3
    for (int j : {0, 1, 2, 4, 5}) EXPECT_EQ(p.target[j / 3][j % 3], p.current[j / 3][j % 3]) << j;
    const double t = p.target[1][0] - p.current[1][0];
    EXPECT_GT(std::fabs(t), 0.1);
    EXPECT_NEAR(-std::cos(t) * (goal[1] - 0) + std::sin(t) * (goal[0] + 2), 0, 1e-9);
    EXPECT_NE(lines.progress.find("vGoalPoint: -5.00 2.00 -3.00\n"), std::string::npos);
    ASSERT_TRUE(plan(1, across, 1.0)); // the goal line almost square to finger c
    EXPECT_NEAR(std::fabs(p.target[1][0]), 0.99, 1e-12);

    ASSERT_TRUE(plan(2, centre, radius));
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(p.target[f][0], p.current[f][0]);
        const double out = f == 0 ? 1 : -1;
        double d[3] = {centre[0] - 4 * out, centre[1], centre[2]}, off[3], turn = 0; // seen from the anchor
        for (int k = 1; k < 3; ++k) {
            turn += p.target[f][k] - p.current[f][k];
            const double link[3] = {out * std::cos(turn), 0, -std::sin(turn)};
            PxV3Cross(off, d, link);
            EXPECT_NEAR(PxV3Length(off), radius, 1e-9) << "finger " << f << ", link " << k;
            EXPECT_GT(PxV3Dot(d, link), 0) << "finger " << f << ", link " << k;
            PxV3AddScaled(d, d, link, -2.0); // seen from the next anchor
        }
    }
    double largest = 0, way[6]; // speed fractions: each joint's share of the largest motion (all 1 if none)
    for (int j = 0; j < 6; ++j)
        largest = std::max(largest, way[j] = std::fabs(p.target[j / 3][j % 3] - p.current[j / 3][j % 3]));
    for (int j = 0; j < 6; ++j)
        EXPECT_NEAR(p.speed[j / 3][j % 3], largest > 0.001 ? way[j] / largest : 1.0, 1e-12) << j;
    ASSERT_EQ(orb.grasp(hand), 0);
    EXPECT_EQ(hand->GetNodeOfJoint(c2)->target, p.target[1][1]);
    EXPECT_EQ(hand->GetNodeOfJoint(c1)->target, p.current[1][0]);
    const std::string branch = "Finger contains branches! Selecting first.\n";
    std::string repeated;
    while (repeated.size() < lines.problems.size()) repeated += branch;
    EXPECT_TRUE(lines.problems.size() >= 3 * branch.size() && lines.problems == repeated)
        << lines.problems; // at least once per plan, and nothing else

    kelmar::GraspBallWrap wrap;
    wrap.init(hand, nullptr, 1.5, 0.05);
    const double cases[][2] = {{0.0, 0.0}, {0.009, 0.0}, {-0.3, 0.0}, {0.05, 0.05}, {0.4, 0.4}}; // beyond, turn
    for (const auto &c : cases) {
        const double phi = std::asin(1.5 / 5) + c[0], current = b1->_GetJoint();
        PxV3Set(wrap.centre, 2 + 5 * std::cos(phi), 0, -5 * std::sin(phi));
        b2->target = 99;
        wrap.grasp(hand);
        EXPECT_NEAR(b1->target, current + c[1], 1e-9) << c[0];
        EXPECT_EQ(b2->target == 99, c[1] != 0) << c[0]; // b1 on its aim lets b2 have its command
    }
    hand->ForAllJoints(&kelmar::Robot::_SetJointSpeed, 1.0);
    wrap.init(hand, nullptr, 2.5, 0.05);
    PxV3Set(wrap.centre, 4, 0, 0);
    wrap.grasp(hand);
    w.universe.step();
    double before[7], after[7];
    hand->GetJoints(before);
    for (int s = 0; s < 10; ++s) w.universe.step(); // running on at 1 rad/s would turn them by 0.05
    hand->GetJoints(after);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(after[j], before[j], 1e-3) << "joint " << j;
    EXPECT_EQ(hand->GetNodeOfJoint(c1)->target, 1.0);
    EXPECT_GT(after[c1] - before[c1], 0.01);
}

// hand24.px over a wooden cylinder (radius 2.5 cm, 12 cm long, along x)
// held in place, no gravity, the wrist locked (an arm would hold it):
// following the map of tools/make_hand24.py the hand closes by step 100
// and holds with at least three fingers (any of a finger's links), whose
// contact memory is full; the locks refuse the wrist's targets, once each.
TEST(SomGrasp, ClosesTheFiveFingeredHandOnACylinderTheMapsTieRuleContactMemoryAndBadMapFiles)
{
    World w(kStill + "<IMPORT hand><NAME>" KELMAR_EXAMPLES_DIR
                     "/hand24</NAME></IMPORT><GEOMETRIES><CYLINDER can_shape><RADIUS>2.5</RADIUS><HEIGHT>12</HEIGHT>"
                     "</CYLINDER></GEOMETRIES><SOLID can><GEOMETRY_ID>can_shape</GEOMETRY_ID><MATERIAL>wood"
                     "</MATERIAL><POS>0, 8, -4</POS><EULER>0, 1.5707963267948966, 0</EULER><FROZEN>1</FROZEN>"
                     "</SOLID>");
    kelmar::Robot *hand = w.robot("hand.robot");
    ASSERT_EQ(hand->numJoints, 24);
    kelmar::GraspShadowSOMGrasp som;
    som.init(hand, 0.02f, 0.05f);
    ASSERT_TRUE(som.loadSOM(KELMAR_EXAMPLES_DIR "/hand24_som.txt", "power", 20, 24) && som.setActiveSOM("power"));
    for (int wrist : {0, 1}) hand->GetNodeOfJoint(wrist)->limit->SetLock(true);
    testing::internal::CaptureStderr(); // the thumb hits its stops, too
    int fewestOn = 5, remembered = 0;
    for (int s = 0; s < 300; ++s) {
        som.grasp();
        w.universe.step();
        if (s >= 100) fewestOn = std::min(fewestOn, w.FingersOn(w.solid("can")));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "hand.wrist_flex: cannot move locked joint!\nhand.wrist_deviation: cannot move locked joint!\n", 0),
              0u);
    EXPECT_GE(fewestOn, 3);
    for (const auto &finger : som.contactReservoir) remembered += finger[0] >= 20;
    EXPECT_GE(remembered, 3);

    // The map's nearest node: over the mask given, a tie goes to the later
    // node; an empty map matches nothing. The contact memory: one segment
    // (finger 1's tip, joint 10) over 25 steps: touch at step 0, steady touch
    // on steps 6 to 14, then nothing. Reservoir by hand: a touching step
    // drains then adds 5 (or sets 20 above 20), other steps drain by 1 (from 1
    // to 0). Finger 1's segments all reach its last joint: they fill alike.
    // The mask then compares finger 1's three ranges only; with nothing
    // touching, every joint. Map files that are missing, short, long or not
    // numbers: a map that did not load is not kept, so it cannot be activated
    // and nothing projects.
    kelmar::GraspManifold map(3, 2);
    const double nodes[3][2] = {{0, 0}, {2, 0}, {2, 5}}, query[2] = {1, 0}, near0[2] = {0.2, 4};
    for (int k = 0; k < 6; ++k) map.node(k / 2)[k % 2] = nodes[k / 2][k % 2];
    double out[2];
    ASSERT_TRUE(map.match(out, query, nullptr)); // as far from node 0 as from node 1
    EXPECT_EQ(std::vector<double>(out, out + 2), std::vector<double>({2, 0}));
    const bool firstOnly[2] = {true, false}; // nodes 1 and 2 tie with node 0 too
    ASSERT_TRUE(map.match(out, query, firstOnly));
    EXPECT_EQ(out[1], 5);
    ASSERT_TRUE(map.match(out, near0, firstOnly));
    EXPECT_EQ(out[0], 0);
    EXPECT_FALSE(kelmar::GraspManifold(0, 2).match(out, query, nullptr));
    const int expected[25] = {5,  4,  3,  2,  1,  0,  5,  9,  13, 17, 21, 25, 20,
                              24, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10};
    kelmar::GraspShadowSOMGrasp memory;
    memory.touchFromRobot = false;
    for (int step = 0; step < 25; ++step) {
        memory.touch[10] = step == 0 || (step >= 6 && step <= 14);
        memory.updateContactReservoir();
        const int seen[3] = {memory.contactReservoir[1][2], memory.contactReservoir[1][0],
                             memory.contactReservoir[0][0]};
        EXPECT_EQ(std::vector<int>(seen, seen + 3), std::vector<int>({expected[step], expected[step], 0})) << step;
    }
    bool segments[5][3], mask[24];
    for (bool reset : {false, true}) {
        if (reset) memory.reset();
        memory.getContactReservoirSegments(segments);
        memory.getContactProjectionMask(mask, segments);
        for (int j = 0; j < 24; ++j) EXPECT_EQ(mask[j], reset || (j >= 7 && j <= 10)) << j;
    }
    EXPECT_EQ(std::vector<double>(memory.lastTarget + 2, memory.lastTarget + 4), std::vector<double>({2, -2}));
    const std::pair<const char *, const char *> cases[] = {
        // the file's text (null: no such file), the message (%s: the file's name)
        {nullptr, "Could not open /tmp/kelmar-no-such-map"},
        {"1 2 3\n4 5", "Dimension mismatch. Too few values in somweights-file \"%s\" (5 available, 6 expected)"},
        {"1 2 3\n4 5 6\n7",
         "Dimension mismatch. Too many values in somweights-file \"%s\" (7 available, 6 expected)"},
        {"1 2 x3\n4 5 6", "\"x3\" is not a number in somweights-file \"%s\""},
    };
    for (const auto &c : cases) {
        const std::string file = c.first ? "/tmp/kelmar-som-" + std::to_string(getpid()) : "/tmp/kelmar-no-such-map";
        if (c.first) std::ofstream(file) << c.first;
        Lines lines;
        kelmar::GraspShadowSOMGrasp bad;
        double out[24], posture[24] = {};
        EXPECT_FALSE(bad.loadSOM(file.c_str(), "map", 2, 3));
        EXPECT_FALSE(bad.setActiveSOM("map") || bad.getSOMProjection(out, posture, segments));
        std::string message = c.second;
        if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, file);
        EXPECT_EQ(lines.problems,
                  "Error loading grasp manifold: " + message + "\nSOM \"map\" undefined.\nNo valid SOM activated.\n");
        std::remove(file.c_str());
    }
}

} // namespace
