#include "collision_support.h"

// Summed in the order of a row vector times the rotation block.
Vec Pose::ToWorldDirection(const Vec &local) const
{
    return Add(Add(Mul(Axis(0), local[0]), Mul(Axis(1), local[1])), Mul(Axis(2), local[2]));
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

double Deepest(const std::vector<CdxContact> &contacts)
{
    double deepest = std::numeric_limits<double>::infinity();
    for (const CdxContact &c : contacts) deepest = std::min(deepest, c.separation);
    return deepest;
}

namespace {

double SegmentDistance2D(double px, double py, double ax, double ay, double bx, double by)
{
    double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
    double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

void Ring(const Pose &pose, double r, double z, double spacing, std::vector<Vec> *out)
{
    int n = std::max(8, (int)std::ceil(2.0 * M_PI * r / spacing));
    for (int k = 0; k < n; ++k) {
        double a = 2.0 * M_PI * k / n;
        out->push_back(pose.ToWorld({r * std::cos(a), r * std::sin(a), z}));
    }
}

void Disc(const Pose &pose, double r, double z, double spacing, std::vector<Vec> *out)
{
    out->push_back(pose.ToWorld({0.0, 0.0, z}));
    int rings = std::max(1, (int)std::ceil(r / spacing));
    for (int i = 1; i <= rings; ++i) Ring(pose, r * i / rings, z, spacing, out);
}

double SdBox(const Vec &p, const Pose &pose, const Vec &half)
{
    Vec q = pose.ToLocal(p);
    double outside2 = 0.0, inside = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
        double d = std::fabs(q[k]) - half[k];
        if (d > 0.0) outside2 += d * d;
        inside = std::max(inside, d);
    }
    return outside2 > 0.0 ? std::sqrt(outside2) : inside;
}

// Signed distance to a frustum of radius rb at zb and rt at zt (a cylinder
// when they are equal): the distance to its outline in the (rho, z) half
// plane, the axis not being a boundary.
double SdCone(const Vec &p, const Pose &pose, double rb, double zb, double rt, double zt)
{
    Vec q = pose.ToLocal(p);
    double rho = std::hypot(q[0], q[1]), z = q[2];
    double d = std::min({SegmentDistance2D(rho, z, 0.0, zb, rb, zb), SegmentDistance2D(rho, z, rb, zb, rt, zt),
                         SegmentDistance2D(rho, z, rt, zt, 0.0, zt)});
    bool inside = z >= zb && z <= zt && rho <= rb + (rt - rb) * (z - zb) / (zt - zb);
    return inside ? -d : d;
}

std::vector<Vec> BoxSurface(const Pose &pose, const Vec &half, double spacing)
{
    std::vector<Vec> out;
    for (int axis = 0; axis < 3; ++axis) {
        int u = (axis + 1) % 3, v = (axis + 2) % 3;
        int nu = std::max(1, (int)std::ceil(2.0 * half[u] / spacing));
        int nv = std::max(1, (int)std::ceil(2.0 * half[v] / spacing));
        for (int side = -1; side <= 1; side += 2)
            for (int i = 0; i <= nu; ++i)
                for (int j = 0; j <= nv; ++j) {
                    Vec local;
                    local[axis] = side * half[axis];
                    local[u] = -half[u] + 2.0 * half[u] * i / nu;
                    local[v] = -half[v] + 2.0 * half[v] * j / nv;
                    out.push_back(pose.ToWorld(local));
                }
    }
    return out;
}

std::vector<Vec> ConeSurface(const Pose &pose, double rb, double zb, double rt, double zt, double spacing)
{
    std::vector<Vec> out;
    int levels = std::max(1, (int)std::ceil((zt - zb) / spacing));
    for (int i = 0; i <= levels; ++i) {
        double z = zb + (zt - zb) * i / levels;
        double r = rb + (rt - rb) * i / levels;
        if (r > 0.0) Ring(pose, r, z, spacing, &out);
    }
    Disc(pose, rb, zb, spacing, &out);
    if (rt > 0.0)
        Disc(pose, rt, zt, spacing, &out);
    else
        out.push_back(pose.ToWorld({0.0, 0.0, zt}));
    return out;
}

} // namespace

CdxGeometryID Solid::Create() const
{
    switch (kind) {
    case Sphere: return CdxSphereCreate(r);
    case Box: return CdxBoxCreate(2 * half[0], 2 * half[1], 2 * half[2]);
    case Plane: return CdxPlaneCreate();
    case Cylinder: return CdxCylinderCreate(r, 2 * hh);
    case Cone: return CdxConeCreate(zt - zb, rb, rt);
    }
    return nullptr;
}

double Solid::Sd(const Vec &p, const Pose &pose) const
{
    switch (kind) {
    case Sphere: return Norm(Sub(p, pose.Origin())) - r;
    case Box: return SdBox(p, pose, half);
    case Plane: return Dot(Sub(p, pose.Origin()), pose.Axis(2));
    case Cylinder: return SdCone(p, pose, r, -hh, r, hh);
    case Cone: return SdCone(p, pose, rb, zb, rt, zt);
    }
    return 0;
}

std::vector<Vec> Solid::Surface(const Pose &pose, double spacing) const
{
    switch (kind) {
    case Box: return BoxSurface(pose, half, spacing);
    case Cylinder: return ConeSurface(pose, r, -hh, r, hh, spacing);
    case Cone: return ConeSurface(pose, rb, zb, rt, zt, spacing);
    case Sphere: return ConeSurface(pose, r, 0, r, 0, spacing);
    case Plane: break;
    }
    return {};
}

Vec Solid::Support(const Pose &pose, const Vec &d) const
{
    Vec local = pose.ToLocal(Add(pose.Origin(), d));
    auto sgn = [](double x) { return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0); };
    auto rim = [&](double radius, double z) {
        double rho = std::hypot(local[0], local[1]);
        Vec p = {0, 0, z};
        if (rho > 0) p = {radius * local[0] / rho, radius * local[1] / rho, z};
        return p;
    };
    Vec p;
    switch (kind) {
    case Sphere: p = Mul(local, r / Norm(local)); break;
    case Box: p = {sgn(local[0]) * half[0], sgn(local[1]) * half[1], sgn(local[2]) * half[2]}; break;
    case Cylinder: p = rim(r, sgn(local[2]) * hh); break;
    case Cone: {
        Vec base = rim(rb, zb), top = rim(rt, zt);
        p = Dot(base, local) >= Dot(top, local) ? base : top;
        break;
    }
    case Plane: p = {0, 0, 0}; break;
    }
    return pose.ToWorld(p);
}

void Solid::Mass(double *volume, Vec *centroid, Vec *inertia) const
{
    *centroid = {0, 0, 0};
    switch (kind) {
    case Sphere: *volume = 4.0 / 3.0 * M_PI * r * r * r, *inertia = {0.4 * r * r, 0.4 * r * r, 0.4 * r * r}; break;
    case Box: {
        const Vec sq = {half[0] * half[0], half[1] * half[1], half[2] * half[2]};
        *volume = 8 * half[0] * half[1] * half[2],
        *inertia = {(sq[1] + sq[2]) / 3, (sq[0] + sq[2]) / 3, (sq[0] + sq[1]) / 3};
        break;
    }
    case Plane: *volume = 1, *inertia = {1, 1, 1}; break;
    case Cylinder: {
        const double across = r * r / 4 + hh * hh / 3;
        *volume = 2 * M_PI * r * r * hh, *inertia = {across, across, r * r / 2};
        break;
    }
    case Cone: { // discs along the axis summed by Simpson's rule
        const int n = 2000;
        double sums[5] = {}; // volume, first and second moment along the axis, the discs' own spin and tilt
        for (int i = 0; i <= n; ++i) {
            const double z = zb + (zt - zb) * i / n, rho = rb + (rt - rb) * i / n;
            const double w = (i == 0 || i == n ? 1 : i % 2 ? 4 : 2) * (zt - zb) / (3 * n) * M_PI * rho * rho;
            const double terms[5] = {1, z, z * z, rho * rho / 2, rho * rho / 4};
            for (int k = 0; k < 5; ++k) sums[k] += w * terms[k];
        }
        const double zc = sums[1] / sums[0], across = (sums[2] + sums[4]) / sums[0] - zc * zc;
        *volume = sums[0], *centroid = {0, 0, zc}, *inertia = {across, across, sums[3] / sums[0]};
        break;
    }
    }
}

namespace {

// Two triangles per cell of an (n + 1) x (n + 1) grid of vertex indices,
// turning from the first grid direction to the second.
void AddGridTriangles(Mesh *mesh, const std::vector<int> &grid, int n)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int a = grid[i * (n + 1) + j], b = grid[(i + 1) * (n + 1) + j];
            int c = grid[(i + 1) * (n + 1) + j + 1], d = grid[i * (n + 1) + j + 1];
            mesh->Triangle(a, b, c);
            mesh->Triangle(a, c, d);
        }
}

} // namespace

int Mesh::Vertex(const Vec &p)
{
    vertices.push_back(p);
    return (int)vertices.size() - 1;
}

CdxGeometryID Mesh::Build()
{
    geometry = CdxTriangleMeshCreateWithOptions(capacity > 0 ? capacity : (int)triangles.size(), &options);
    CdxTriangleMeshSetOBBStartDepth(geometry, obbStartDepth);
    if (minArea >= 0.0) CdxTriangleMeshSetMinAreaThreshold(geometry, minArea);
    for (const auto &t : triangles)
        EXPECT_EQ(1, CdxTriangleMeshAddTriangle(geometry, vertices[t[0]].data(), vertices[t[1]].data(),
                                                vertices[t[2]].data()));
    EXPECT_EQ(1, CdxTriangleMeshBuild(geometry));
    return geometry;
}

void AddBox(Mesh *mesh, const Vec &half, int n, const Vec &centre)
{
    // Each face is a grid of (n + 1)^2 corners spanned by two in-face axes
    // u, v with u x v the outward normal.
    for (int axis = 0; axis < 3; ++axis)
        for (int side = -1; side <= 1; side += 2) {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            if (side < 0) std::swap(u, v);
            std::vector<int> grid((n + 1) * (n + 1));
            for (int i = 0; i <= n; ++i)
                for (int j = 0; j <= n; ++j) {
                    Vec p = centre;
                    p[axis] += side * half[axis];
                    p[u] += half[u] * (2.0 * i / n - 1.0);
                    p[v] += half[v] * (2.0 * j / n - 1.0);
                    grid[i * (n + 1) + j] = mesh->Vertex(p);
                }
            AddGridTriangles(mesh, grid, n);
        }
}

void AddIcosphere(Mesh *mesh, double radius, int subdivisions)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<Vec> points = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                               {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>> faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (Vec &p : points) p = Mul(p, 1.0 / Norm(p));
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middles.find(key);
            if (found != middles.end()) return found->second;
            Vec m = Add(points[a], points[b]);
            points.push_back(Mul(m, 1.0 / Norm(m)));
            return middles[key] = (int)points.size() - 1;
        };
        std::vector<std::array<int, 3>> finer;
        for (const auto &f : faces) {
            int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
            finer.push_back({f[0], ab, ca});
            finer.push_back({f[1], bc, ab});
            finer.push_back({f[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        faces = finer;
    }
    int base = (int)mesh->vertices.size();
    for (const Vec &p : points) mesh->Vertex(Mul(p, radius));
    for (const auto &f : faces) mesh->Triangle(base + f[0], base + f[1], base + f[2]);
}

void AddTetrahedron(Mesh *mesh, const Vec &a, const Vec &b, const Vec &c, const Vec &d)
{
    int ia = mesh->Vertex(a), ib = mesh->Vertex(b), ic = mesh->Vertex(c), id = mesh->Vertex(d);
    // Orient so that d lies behind face abc.
    if (Dot(Cross(Sub(b, a), Sub(c, a)), Sub(d, a)) > 0.0) std::swap(ib, ic);
    mesh->Triangle(ia, ib, ic);
    mesh->Triangle(ia, id, ib);
    mesh->Triangle(ib, id, ic);
    mesh->Triangle(ic, id, ia);
}

void AddFloor(Mesh *mesh, double half, int n, double height)
{
    std::vector<int> grid((n + 1) * (n + 1));
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            grid[i * (n + 1) + j] = mesh->Vertex({half * (2.0 * i / n - 1.0), half * (2.0 * j / n - 1.0), height});
    AddGridTriangles(mesh, grid, n);
}

bool AllFinite(const std::vector<CdxContact> &contacts, const Vec &normal)
{
    bool finite = std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
    for (const CdxContact &c : contacts)
        for (int k = 0; k < 3; ++k)
            finite = finite && std::isfinite(c.position[k]) && std::isfinite(c.normal[k]) &&
                     std::isfinite(c.separation);
    return finite;
}

BoxBoxCounts gBoxBoxCounts;

namespace {

CdxIntersectFn gBoxBoxIntersect;

void CountHello(CdxModelPair *)
{
    ++gBoxBoxCounts.hello;
}
void CountGoodbye(CdxModelPair *)
{
    ++gBoxBoxCounts.goodbye;
}
int CountIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    ++gBoxBoxCounts.intersectCalls;
    return gBoxBoxIntersect(pair, result);
}

} // namespace

ModelPairKey PairKey(CdxModelID a, CdxModelID b)
{
    return a < b ? ModelPairKey(a, b) : ModelPairKey(b, a);
}

std::vector<CdxModelID> ModelsIn(CdxSpaceID space)
{
    std::vector<CdxModelID> models;
    CdxSpaceModelIterator iterator;
    CdxSpaceModelIteratorBegin(space, &iterator);
    CdxModelID model = nullptr;
    while (CdxSpaceGetModel(space, &iterator, &model)) models.push_back(model);
    return models;
}

void CdxTest::SetUp()
{
    ASSERT_EQ(1, CdxInit(kTypeCapacity, kModelCapacity));
    if (setup_ == kAllSolids) {
        savedWarningLevel_ = PxWarningLevel;
        PxWarningLevel = 3;
        CdxPrimitivesRegisterTypes();
        ASSERT_EQ(6, CdxTriangleMeshRegisterType());
        CdxPrimitivesRegisterInteractions();
        CdxTriangleMeshRegisterInteractions();
        CdxCompositeRegisterType();
        CdxCompositeGenericRegisterInteractions();
        return;
    }
    CdxSphereBoxPlaneRegisterTypes();
    CdxSphereBoxPlaneRegisterInteractions();
    ASSERT_EQ(3, CdxCompositeRegisterType());
    CdxCompositeGenericRegisterInteractions();
    CdxLineSegRegisterInteraction(CdxSphereGetTypeId(), CdxSphereLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxBoxGetTypeId(), CdxBoxLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxPlaneGetTypeId(), CdxPlaneLineSegIntersect);
    gBoxBoxCounts = BoxBoxCounts{};
    const CdxGeometryTypeID box = CdxBoxGetTypeId();
    CdxInteractions counting = CdxInteractionTableGetElementPtr(box, box)->interactions;
    gBoxBoxIntersect = counting.intersectFn;
    counting.helloFn = CountHello;
    counting.goodbyeFn = CountGoodbye;
    counting.intersectFn = CountIntersect;
    ASSERT_EQ(1, CdxInteractionTableSetElement(box, box, &counting, nullptr));
}

void CdxTest::TearDown()
{
    // Composites first: they let their elements go.
    for (bool composites : {true, false})
        for (CdxModelID model : models_)
            if (CdxModelIsComposite(model) == composites) {
                CdxSpaceRemoveModel(model);
                CdxModelDestroy(model);
            }
    for (Mesh &mesh : meshes_) Own(mesh.geometry);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    for (CdxSpaceID space : spaces_) CdxSpaceDestroy(space);
    CdxTerm();
    if (setup_ == kAllSolids) PxWarningLevel = savedWarningLevel_;
}

CdxModelID CdxTest::Model(CdxGeometryID geometry, PxMatrix4 *transform)
{
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, transform);
    models_.push_back(model);
    Own(geometry);
    return model;
}

CdxModelID CdxTest::Place(CdxGeometryID geometry, const Pose &pose)
{
    kept_.push_back({pose, {0, 0, 0}, {0, 0, 0}});
    return Model(geometry, &kept_.back().pose.tm);
}

CdxModelID CdxTest::At(PxReal x, PxReal y, PxReal z, CdxGeometryID geometry)
{
    return Place(geometry ? geometry : CdxBoxCreate(2, 2, 2), Translation(x, y, z));
}

CdxModelID CdxTest::Composite(int maxElements, PxReal x, PxReal y, PxReal z)
{
    CdxModelID model = CdxCompositeModelCreate(maxElements);
    kept_.push_back({Translation(x, y, z), {0, 0, 0}, {0, 0, 0}});
    CdxModelSetTransformPtr(model, &kept_.back().pose.tm);
    models_.push_back(model);
    return model;
}

Pose &CdxTest::PoseOf(CdxModelID model)
{
    for (Kept &kept : kept_)
        if (&kept.pose.tm == CdxModelGetTransformPtr(model)) return kept.pose;
    ADD_FAILURE() << "model not placed by the fixture";
    return kept_.front().pose;
}

void CdxTest::Drive(CdxModelID model, PxReal vx, PxReal vy, PxReal vz)
{
    Kept &kept = *std::find_if(kept_.begin(), kept_.end(), [&](Kept &k) { return &k.pose == &PoseOf(model); });
    PxV3Set(kept.linear, vx, vy, vz);
    CdxModelSetLinearVelocityPtr(model, kept.linear);
    CdxModelSetAngularVelocityPtr(model, kept.angular);
}

CdxGeometryID CdxTest::Own(CdxGeometryID geometry)
{
    if (geometry && std::find(geometries_.begin(), geometries_.end(), geometry) == geometries_.end())
        geometries_.push_back(geometry);
    return geometry;
}

Mesh &CdxTest::NewMesh()
{
    meshes_.emplace_back();
    return meshes_.back();
}

CdxModelPair *CdxTest::Pair(CdxModelID a, CdxModelID b)
{
    pairs_.emplace_back();
    CdxModelPairReset(&pairs_.back(), a, b);
    CdxHello(&pairs_.back());
    return &pairs_.back();
}

int CdxTest::Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts, Vec *normal,
                       const CdxRequest *request, int capacity, CdxModelPair *pairOut)
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, model1, model2);
    CdxHello(&pair);
    CdxModelPairSetRequestPtr(&pair, const_cast<CdxRequest *>(request));
    std::vector<CdxContact> buffer(capacity > 0 ? capacity : 1);
    CdxIntersectResult result = ResultOn(capacity > 0 ? buffer.data() : nullptr, capacity);
    CdxIntersect(&pair, &result);
    CdxGoodbye(&pair);
    if (contacts) contacts->assign(buffer.begin(), buffer.begin() + result.contactCount);
    if (normal) *normal = ToVec(result.normal);
    if (pairOut) *pairOut = pair;
    return result.touch;
}

CdxSpaceID CdxTest::Space(int axisMask, int maxModels, int maxPairs)
{
    CdxSpaceID space = CdxSpaceAxisSortCreate(axisMask, maxModels, maxPairs);
    if (space) spaces_.push_back(space);
    return space;
}

Transitions CdxTest::Read(CdxSpaceID space, int containerSize, bool includeFrozen,
                          const std::function<void(int, const CdxSpacePairIterator &)> &during)
{
    Transitions t;
    CdxModelPairContainer *container = CdxModelPairContainerCreate(containerSize);
    CdxSpacePairIterator iterator;
    CdxSpacePairIteratorBegin(space, &iterator);
    auto collect = [&](std::set<ModelPairKey> &section, CdxModelPair **(*get)(CdxModelPairContainer *, int *)) {
        int count;
        CdxModelPair **pairs = get(container, &count);
        for (int k = 0; k < count; ++k) {
            EXPECT_TRUE(t.records.emplace(PairKey(pairs[k]), pairs[k]).second) << "a pair listed twice";
            section.insert(PairKey(pairs[k]));
        }
    };
    int more = 1;
    while (more && t.calls < 100000) {
        CdxModelPairContainerReset(container);
        more = includeFrozen ? CdxSpaceGetPairsIncludingFrozen(space, &iterator, container)
                             : CdxSpaceGetPairs(space, &iterator, container);
        ++t.calls;
        collect(t.goodbye, CdxModelPairContainerGetGoodbyeArray);
        collect(t.hello, CdxModelPairContainerGetHelloArray);
        collect(t.staying, CdxModelPairContainerGetStayingArray);
        int count = 0;
        CdxModelPair **hellos = CdxModelPairContainerGetHelloArray(container, &count);
        // The hello section fills from its end: back to front is the list's order.
        for (int k = count - 1; k >= 0; --k) t.helloInOrder.push_back(PairKey(hellos[k]));
        CdxModelPair **staying = CdxModelPairContainerGetStayingArray(container, &count);
        for (int k = 0; k < count; ++k) t.stayingInOrder.push_back(PairKey(staying[k]));
        collect(t.frozen, CdxModelPairContainerGetFrozenArray);
        if (during) during(t.calls, iterator);
    }
    EXPECT_EQ(0, more) << "the reading never finished";
    CdxModelPairContainerDestroy(container);
    return t;
}

Transitions CdxTest::Step(CdxSpaceID space, int containerSize, bool includeFrozen)
{
    CdxSpaceUpdateAll(space);
    CdxSpaceEndChanges(space);
    Transitions t = Read(space, containerSize, includeFrozen);
    CdxSpaceBeginChanges(space);
    return t;
}
