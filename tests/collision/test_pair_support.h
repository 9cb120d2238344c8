// Shared pieces of the primitive and triangle-mesh pair tests: vector
// arithmetic written independently of the library, poses the test owns,
// seeded random numbers and poses, and a fixture that places models at such
// poses and runs one pair, collecting the library's messages meanwhile.
#ifndef KELMAR_TESTS_COLLISION_TEST_PAIR_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_PAIR_SUPPORT_H

#include <kelmar/Cdx.h>
#include <kelmar/PxVector.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <deque>
#include <random>
#include <utility>
#include <vector>

#include "common/MessageLog.h"

using Vec = std::array<double, 3>;

inline Vec Add(const Vec &a, const Vec &b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
inline Vec Sub(const Vec &a, const Vec &b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vec Mul(const Vec &a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}
inline double Dot(const Vec &a, const Vec &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline double Norm(const Vec &a)
{
    return std::sqrt(Dot(a, a));
}
inline Vec Cross(const Vec &a, const Vec &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline Vec ToVec(const PxReal *p)
{
    return {p[0], p[1], p[2]};
}

// A pose the test owns: rows 0..2 the local axes, row 3 the origin.
struct Pose {
    PxMatrix4 tm;
    Vec Axis(int i) const { return {tm[i][0], tm[i][1], tm[i][2]}; }
    Vec Origin() const { return {tm[3][0], tm[3][1], tm[3][2]}; }
    Vec ToWorldDirection(const Vec &local) const;
    Vec ToWorld(const Vec &local) const;
    Vec ToLocal(const Vec &world) const;
    void SetOrigin(const Vec &p);
};

Pose Identity();
Pose Translation(double x, double y, double z);
// Rotation by angle about a unit axis, then translation.
Pose AxisAngle(const Vec &axis, double angle, const Vec &origin);

// Seeded random numbers and poses.
class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
    Vec InBox(double half) { return {Uniform(-half, half), Uniform(-half, half), Uniform(-half, half)}; }
    Vec UnitVector();
    // A uniformly random rotation (from a random unit quaternion) at origin.
    Pose RandomPose(const Vec &origin);
    // A turn by a random angle about a random axis at origin.
    Pose TurnedPose(const Vec &origin);

private:
    std::mt19937 engine_;
};

// The deepest separation of a contact list (+infinity when empty).
double Deepest(const std::vector<CdxContact> &contacts);

// Models placed at poses kept alive by the fixture; the messages of the
// chosen channels are collected while the fixture lives.
class PairTest : public ::testing::Test, protected testsupport::MessageLog {
protected:
    explicit PairTest(int channels) : MessageLog(channels) {}

    CdxModelID Place(CdxGeometryID geometry, const Pose &pose);
    Pose &PoseOf(CdxModelID model);
    void Move(CdxModelID model, const Pose &pose) { PoseOf(model) = pose; }
    // A geometry the fixture destroys (once, however often it is given);
    // returns it.
    CdxGeometryID Own(CdxGeometryID geometry);
    // Destroys the placed models, then the owned geometries.
    void DestroyPlaced();

    // Hello, intersect and goodbye on a fresh pair (model1, model2) with
    // the given request (null: the pair type's own default) and contact
    // capacity. Returns touch; contacts and normal in the out-parameters.
    int Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts, Vec *normal = nullptr,
                  const CdxRequest *request = nullptr, int capacity = 64, CdxModelPair *pairOut = nullptr);

private:
    std::deque<Pose> poses_;
    std::vector<std::pair<CdxModelID, Pose *>> placed_;
    std::vector<CdxGeometryID> geometries_;
};

#endif
