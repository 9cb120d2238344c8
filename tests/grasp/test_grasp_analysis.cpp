// The grasp map, the friction cones and the null space against independent
// truth: each contact's geometry (unit forces along its normal and
// tangents, right-handed, torques r x f, the map in the ball's frame and
// the cones in the world's), a ball resting on a plane, the squeeze of an
// antipodal grasp, and LAPACK's singular values for random maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include <kelmar/PxVector.h>

#include "GraspTestSupport.h"

extern "C" void dgesdd_(const char *jobz, const int *m, const int *n, double *a, const int *lda, double *s, double *u,
                        const int *ldu, double *vt, const int *ldvt, double *work, const int *lwork, int *iwork,
                        int *info);

namespace {

// A free rubber ball of 4 cm radius at (1, 2, 3), turned by the Euler
// angles given, with contacts made by hand (not enabled, never stepped),
// listed as the ball's (the list puts the newest first).
struct BallWithContacts {
    explicit BallWithContacts(const std::string &euler = "0, 0, 0")
        : world("<GEOMETRIES><SPHERE s><RADIUS>4</RADIUS></SPHERE></GEOMETRIES><SOLID ball><GEOMETRY_ID>s"
                "</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>1, 2, 3</POS><EULER>" +
                euler + "</EULER></SOLID>"),
          ball(world.solid("ball")), list(ball)
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
        const double s = second ? -1 : 1;
        RbdConstraintSetBodies(c, second ? nullptr : ball->GetBody(), second ? ball->GetBody() : nullptr);
        RbdContactSetPosition(c, centre[0] + r[0], centre[1] + r[1], centre[2] + r[2]);
        RbdContactSetNormal(c, s * n[0], s * n[1], s * n[2]);
        RbdContactParamsSetType(RbdContactGetParams(c), frictionType);
        RbdContactParamsSetFrictionCoefficient(RbdContactGetParams(c), mu);
        list.add(c, second ? 1 : 0);
    }
    grasptest::World world;
    kelmar::Solid *ball;
    kelmar::ContactList list;
    double centre[3]; // of mass, world
};

// The columns one contact contributes, at g: frictionless, its normal n;
// frictional, two unit tangents and n with t1 x t2 = n; torques r x f. n
// and the lever r are given in the world, the map is in the rows of frame.
void ExpectColumns(const double *g, int count, const double (*frame)[4], const double nWorld[3],
                   const double rWorld[3], double torqueTolerance = 1e-9)
{
    double n[3], r[3], torque[3], cross[3];
    for (int i = 0; i < 3; ++i) n[i] = PxV3Dot(frame[i], nWorld), r[i] = PxV3Dot(frame[i], rWorld);
    PxV3Cross(cross, g, g + 6 * (count - 1)); // t1 x n = -t2 (for one column: zero)
    for (int k = 0; k < count; ++k) {
        PxV3Cross(torque, r, g + 6 * k);
        EXPECT_NEAR(PxV3Length(g + 6 * k), 1.0, 1e-9) << "column " << k;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(g[6 * k + 3 + i], torque[i], torqueTolerance) << "column " << k;
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(g[6 * (count - 1) + i], n[i], 1e-9);
        EXPECT_NEAR(cross[i], count == 3 ? -g[6 + i] : 0.0, 1e-9);
    }
}

// LAPACK's rank: singular values above 1e-4 of the largest; -1 when one
// lies between 1e-6 and 1e-2 of it, where a float matrix's rank is a
// matter of tolerance (the geometry's zeros are rounding, about 1e-7).
int LapackRank(const std::vector<float> &g, int columns)
{
    std::vector<double> a(g.begin(), g.end()), s(size_t(std::min(6, columns))), work(1000);
    std::vector<int> iwork(8 * s.size());
    int rows = 6, lwork = int(work.size()), info = 0, one = 1, rank = 0;
    double unused = 0; // no singular vectors (jobz "N")
    dgesdd_("N", &rows, &columns, a.data(), &rows, s.data(), &unused, &one, &unused, &one, work.data(), &lwork,
            iwork.data(), &info);
    EXPECT_EQ(info, 0);
    for (double v : s) {
        if (v > 1e-6 * s[0] && v < 1e-2 * s[0]) return -1;
        rank += v > 1e-4 * s[0];
    }
    return rank;
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
// the columns less LAPACK's rank, each vector (scaled to unit length: a
// basis vector is 1 at its free column) is annihilated by the map, and the
// basis is independent. Component j of vector k is stored at
// j * nullity + k, so read column by column it is the nullity x m matrix N^T.
TEST(GraspAnalysis, RandomContactsAgreeWithTheGeometryAndLapack)
{
    std::mt19937 random(20261206);
    std::normal_distribution<double> normal;
    int deficient = 0, ambiguous = 0;
    for (int trial = 0; trial < 240; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        const int kind = trial % 4, edges = 1 + trial % 8, drawn = std::max(edges, 3); // fewer count as three
        BallWithContacts b(kind == 0 ? "0.3, -1.1, 2.0" : "0, 0, 0");
        std::vector<std::array<double, 8>> made; // n, r, mu, type
        for (int c = 0; c < 1 + trial / 4 % 10; ++c) {
            std::array<double, 8> m{normal(random), normal(random), normal(random),
                                    normal(random), normal(random), normal(random)};
            double *n = m.data(), *r = n + 3;
            if (kind == 1) PxV3Scale(n, r, -1);
            if (kind >= 2) PxV3Set(r, kind == 2 ? normal(random) : 1, 0, 0);
            PxV3Scale(n, n, 1 / PxV3Length(n));
            m[6] = static_cast<float>(c == 2 ? 0.0 : 0.2 + 0.35 * c); // kept in single precision
            m[7] = kind == 0 ? (trial + c) % 3 : kind == 1 ? 0 : 2;
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
                for (int j = 0; j < 3; ++j) EXPECT_NEAR(e[3 + j], torque[j], 1e-9);
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
        const int rank = LapackRank(map, columns), nullity = kelmar::Grasp::ComputeNullSpace(n, 6, columns, 1e-5f);
        ambiguous += rank < 0;
        if (rank < 0) continue;
        deficient += rank < std::min(6, columns);
        EXPECT_EQ(columns - nullity, rank) << "kind " << kind;
        ASSERT_EQ(n.size(), static_cast<size_t>(columns * nullity));
        for (int k = 0; k < nullity; ++k) {
            double length = 0, worst = 0;
            for (int j = 0; j < columns; ++j) length += std::pow(n[size_t(j * nullity + k)], 2);
            for (int i = 0; i < 6; ++i) {
                double sum = 0;
                for (int j = 0; j < columns; ++j) sum += double(map[size_t(j * 6 + i)]) * n[size_t(j * nullity + k)];
                worst = std::max(worst, std::fabs(sum) / std::sqrt(length));
            }
            EXPECT_LT(worst, 1e-5) << "vector " << k;
        }
        if (nullity == 0) continue;
        EXPECT_EQ(kelmar::Grasp::ComputeNullSpace(n, nullity, columns, 1e-5f), columns - nullity);
    }
    EXPECT_GT(deficient, 120); // kinds 1 to 3 are rank-deficient by their geometry
    EXPECT_LT(ambiguous, 10);
}

// The plane, a contact the collision made, pushes the ball up from 4 cm
// below its centre. Fingertips pressing from +x and -x: the wrenches
// cancel only for equal normal pushes (the squeeze), so the null space is
// that one direction; the spin about the line is the wrench point
// contacts cannot resist.
TEST(GraspAnalysis, BallRestingOnAPlaneAndAntipodalSqueeze)
{
    grasptest::World w("<WORLD><GRAVITY>0, 0, -981</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD><GEOMETRIES><PLANE p/>"
                       "<SPHERE s><RADIUS>4</RADIUS></SPHERE></GEOMETRIES><SOLID floor><GEOMETRY_ID>p</GEOMETRY_ID>"
                       "<MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID><SOLID ball><GEOMETRY_ID>s</GEOMETRY_ID>"
                       "<MATERIAL>rubber</MATERIAL><POS>3, -2, 4.01</POS></SOLID>");
    w.Steps(100);
    std::unique_ptr<kelmar::ContactList> contacts(w.solid("ball")->GetContacts(0));
    ASSERT_EQ(contacts->count, 1);
    int columns = 0;
    kelmar::Grasp resting(w.solid("ball"), contacts.get());
    const double *g = resting.getGraspMap(columns), up[3] = {0, 0, 1}, lever[3] = {0, 0, -4};
    ASSERT_EQ(columns, 3);
    ExpectColumns(g, 3, RbdBodyGetCenterOfMassTransformPtr(w.solid("ball")->GetBody()), up, lever, 0.02);

    BallWithContacts b;
    const double right[3] = {4, 0, 0}, left[3] = {-4, 0, 0}, fromRight[3] = {-1, 0, 0}, fromLeft[3] = {1, 0, 0};
    const double squeeze[6] = {0, 0, 1, 0, 0, 1}; // (t1, t2, n) per contact
    b.Add(right, fromRight, 2, 1.0);
    b.Add(left, fromLeft, 2, 1.0, true);
    kelmar::Grasp antipodal(b.ball, &b.list);
    g = antipodal.getGraspMap(columns);
    ASSERT_EQ(columns, 6);
    std::vector<float> n(g, g + 36);
    ASSERT_EQ(kelmar::Grasp::ComputeNullSpace(n, 6, 6, 1e-6f), 1);
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(n[static_cast<size_t>(j)] / n[5], squeeze[j], 1e-6) << j;
}

} // namespace
