#include "test_pair_support.h"

#include <algorithm>
#include <limits>

// Summed in the order of a row vector times the rotation block.
Vec Pose::ToWorldDirection(const Vec &local) const
{
    return Add(Add(Mul(Axis(0), local[0]), Mul(Axis(1), local[1])), Mul(Axis(2), local[2]));
}

Vec Pose::ToWorld(const Vec &local) const
{
    return Add(ToWorldDirection(local), Origin());
}

Vec Pose::ToLocal(const Vec &world) const
{
    Vec d = Sub(world, Origin());
    return {Dot(d, Axis(0)), Dot(d, Axis(1)), Dot(d, Axis(2))};
}

void Pose::SetOrigin(const Vec &p)
{
    for (int k = 0; k < 3; ++k) tm[3][k] = p[k];
}

Pose Identity()
{
    Pose pose;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) pose.tm[i][j] = i == j ? 1.0 : 0.0;
    return pose;
}

Pose Translation(double x, double y, double z)
{
    Pose pose = Identity();
    pose.SetOrigin({x, y, z});
    return pose;
}

// Rodrigues: axis e_i turned by angle about k.
Pose AxisAngle(const Vec &axis, double angle, const Vec &origin)
{
    Pose pose = Identity();
    Vec k = Mul(axis, 1.0 / Norm(axis));
    double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 3; ++i) {
        Vec e = {0.0, 0.0, 0.0};
        e[i] = 1.0;
        Vec turned = Add(Add(Mul(e, c), Mul(Cross(k, e), s)), Mul(k, Dot(k, e) * (1.0 - c)));
        for (int j = 0; j < 3; ++j) pose.tm[i][j] = turned[j];
    }
    pose.SetOrigin(origin);
    return pose;
}

Vec Random::UnitVector()
{
    for (;;) {
        Vec v = InBox(1.0);
        double n = Norm(v);
        if (n > 0.1 && n <= 1.0) return Mul(v, 1.0 / n);
    }
}

Pose Random::RandomPose(const Vec &origin)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    double w = normal(engine_), x = normal(engine_), y = normal(engine_), z = normal(engine_);
    double n = std::sqrt(w * w + x * x + y * y + z * z);
    w /= n, x /= n, y /= n, z /= n;
    // Rows: the images of the unit axes under the rotation q.
    const double m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)},
                            {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)},
                            {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)}};
    Pose pose = Identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) pose.tm[i][j] = m[i][j];
    pose.SetOrigin(origin);
    return pose;
}

Pose Random::TurnedPose(const Vec &origin)
{
    return AxisAngle(UnitVector(), Uniform(0.0, 2.0 * M_PI), origin);
}

double Deepest(const std::vector<CdxContact> &contacts)
{
    double deepest = std::numeric_limits<double>::infinity();
    for (const CdxContact &c : contacts) deepest = std::min(deepest, c.separation);
    return deepest;
}

CdxModelID PairTest::Place(CdxGeometryID geometry, const Pose &pose)
{
    poses_.push_back(pose);
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, &poses_.back().tm);
    placed_.push_back({model, &poses_.back()});
    return model;
}

Pose &PairTest::PoseOf(CdxModelID model)
{
    for (auto &entry : placed_)
        if (entry.first == model) return *entry.second;
    ADD_FAILURE() << "model not placed by the fixture";
    return poses_.front();
}

CdxGeometryID PairTest::Own(CdxGeometryID geometry)
{
    if (std::find(geometries_.begin(), geometries_.end(), geometry) == geometries_.end())
        geometries_.push_back(geometry);
    return geometry;
}

void PairTest::DestroyPlaced()
{
    for (auto &entry : placed_) CdxModelDestroy(entry.first);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    placed_.clear();
    geometries_.clear();
}

int PairTest::Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts, Vec *normal,
                        const CdxRequest *request, int capacity, CdxModelPair *pairOut)
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, model1, model2);
    CdxHello(&pair);
    CdxModelPairSetRequestPtr(&pair, const_cast<CdxRequest *>(request));
    std::vector<CdxContact> buffer(capacity > 0 ? capacity : 1);
    CdxIntersectResult result = {};
    result.contacts = capacity > 0 ? buffer.data() : nullptr;
    result.contactCapacity = capacity;
    CdxIntersect(&pair, &result);
    CdxGoodbye(&pair);
    if (contacts) contacts->assign(buffer.begin(), buffer.begin() + result.contactCount);
    if (normal) *normal = ToVec(result.normal);
    if (pairOut) *pairOut = pair;
    return result.touch;
}
