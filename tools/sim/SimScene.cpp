#include "SimScene.h"

#include <math.h>

#include <algorithm>
#include <utility>

#include <kelmar/PxVector.h>

namespace ksim {

Scene::Scene(std::string name, SbxUniverseSizes sizes) : name_(std::move(name))
{
    universe_ = SbxUniverseCreate(sizes);
}

// Joints first (they hold bodies), then the models with their bodies and
// the contacts of their pairs, then the shapes they stood on, and last the
// universe, which takes the remaining bodies with its world.
Scene::~Scene()
{
    if (teardown) teardown();
    for (auto c = constraints_.rbegin(); c != constraints_.rend(); ++c) RbdConstraintDestroy(*c);
    for (auto m = models_.rbegin(); m != models_.rend(); ++m) SbxModelDestroy(universe_, *m);
    for (CdxModelID e : elements_) CdxModelDestroy(e);
    for (auto g = geometries_.rbegin(); g != geometries_.rend(); ++g) CdxGeometryDestroy(*g);
    if (universe_) SbxUniverseDestroy(universe_);
}

CdxGeometryID Scene::keep(CdxGeometryID geometry)
{
    if (geometry) geometries_.push_back(geometry);
    return geometry;
}

CdxModelID Scene::own(CdxModelID model)
{
    if (model) models_.push_back(model);
    return model;
}

RbdConstraintID Scene::own(RbdConstraintID constraint)
{
    if (constraint) constraints_.push_back(constraint);
    return constraint;
}

PxMatrix4 *Scene::pose(const PxMatrix4 initial)
{
    poses_.emplace_back();
    PxM4Copy(poses_.back().m, initial);
    return &poses_.back().m;
}

PxReal *Scene::vector(PxReal x, PxReal y, PxReal z)
{
    vectors_.push_back({{x, y, z}});
    return vectors_.back().v;
}

namespace {

// Every triangle of the list is a candidate for every test: the lists a
// scene makes are small.
int allTriangles(CdxModelPair *pair, const PxVector3, PxReal)
{
    CdxModelID models[2];
    CdxModelPairGetModels(pair, &models[0], &models[1]);
    for (CdxModelID model : models) {
        CdxGeometryID geometry = CdxModelGetGeometry(model);
        if (CdxGeometryGetTypeId(geometry) != CdxTriangleListGetTypeId()) continue;
        CdxUserTriangle *triangles;
        int capacity;
        void *data;
        CdxTriangleListGetList(geometry, &triangles, &capacity, &data);
        return capacity;
    }
    return 0;
}

} // namespace

CdxGeometryID Scene::triangleList(const std::vector<ListTriangle> &triangles)
{
    PxReal reach[3] = {0.0, 0.0, 0.0};
    for (const ListTriangle &t : triangles)
        for (const PxVector3 &c : t.corner)
            for (int a = 0; a < 3; ++a) reach[a] = std::max(reach[a], fabs(c[a]));
    CdxGeometryID list = keep(CdxTriangleListCreate(2.0 * reach[0], 2.0 * reach[1], 2.0 * reach[2], allTriangles));
    if (!list) return nullptr;
    lists_.push_back({list, triangles, std::vector<PxReal>(3 * triangles.size()), {}});
    OwnedList &owned = lists_.back();
    for (size_t k = 0; k < owned.triangles.size(); ++k) {
        ListTriangle &t = owned.triangles[k];
        CdxUserTriangle user = {{t.corner[0], t.corner[1], t.corner[2]}, &owned.normals[3 * k]};
        CdxUserTriangleComputeNormal(&user);
        owned.user.push_back(user);
    }
    CdxTriangleListSetList(list, owned.user.data(), static_cast<int>(owned.user.size()), nullptr);
    return list;
}

CdxModelID Scene::element(CdxGeometryID geometry)
{
    CdxModelID model = CdxModelCreate(geometry);
    if (!model) return nullptr;
    PxMatrix4 identity;
    PxM4Identity(identity);
    CdxModelSetTransformPtr(model, pose(identity));
    elements_.push_back(model);
    return model;
}

const std::vector<ListTriangle> *Scene::trianglesOf(CdxGeometryID list) const
{
    for (const OwnedList &owned : lists_)
        if (owned.list == list) return &owned.triangles;
    return nullptr;
}

CdxModelID Scene::body(CdxGeometryID geometry, PxReal density, const PxVector3 position, const PxQuaternion q,
                       const std::string &name)
{
    CdxModelID model = own(SbxModelAndBodyCreate(universe_, geometry, density));
    if (!model) return nullptr;
    RbdBodyID b = CdxModelGetBody(model);
    RbdBodySetQuaternion(b, q[0], q[1], q[2], q[3]);
    RbdBodySetPosition(b, position[0], position[1], position[2]);
    bodies_.push_back({b, name});
    return model;
}

void Scene::report(RbdBodyID body, const std::string &name, CdxGeometryID shape)
{
    bodies_.push_back({body, name});
    loose_.push_back({body, shape});
}

void Scene::report(RbdBodyID body, const std::string &name)
{
    bodies_.push_back({body, name});
}

std::vector<RbdBodyID> Scene::bodyIds() const
{
    std::vector<RbdBodyID> ids;
    ids.reserve(bodies_.size());
    for (const NamedBody &b : bodies_) ids.push_back(b.body);
    return ids;
}

namespace {

Role roleOf(CdxModelID model, RbdBodyID body)
{
    if (body) return Role::Body;
    if (CdxModelGetResponseID(model) == SbxSensorResponseID) return Role::Sensor;
    return CdxSpaceModelIsFrozen(model) ? Role::Fixed : Role::Kinematic;
}

// A composite is drawn as its elements, each at its own world placement.
void collect(CdxModelID model, Role role, RbdBodyID body, std::vector<Drawable> &out)
{
    if (CdxModelIsComposite(model)) {
        CdxModelUpdate(model); // the space's update leaves the elements to the pair tests
        for (int k = 0; k < CdxCompositeModelGetElementCount(model); ++k)
            collect(CdxCompositeModelGetElement(model, k), role, body, out);
        return;
    }
    const PxMatrix4 *tm = CdxModelGetTransformPtr(model);
    CdxGeometryID geometry = CdxModelGetGeometry(model);
    if (tm && geometry) out.push_back({geometry, *tm, role, body});
}

} // namespace

std::vector<Drawable> Scene::drawables() const
{
    std::vector<Drawable> out;
    CdxSpaceModelIterator it;
    CdxSpaceModelIteratorBegin(space(), &it);
    CdxModelID model;
    while (CdxSpaceGetModel(space(), &it, &model)) {
        RbdBodyID body = CdxModelGetBody(model);
        collect(model, roleOf(model, body), body, out);
    }
    for (const Loose &l : loose_) out.push_back({l.shape, RbdBodyGetTransformPtr(l.body), Role::Body, l.body});
    return out;
}

std::vector<RbdBodyID> Scene::shapeless() const
{
    std::vector<RbdBodyID> out;
    for (const NamedBody &b : bodies_) {
        if (RbdBodyGetModel(b.body)) continue;
        const bool drawn = std::any_of(loose_.begin(), loose_.end(),
                                       [&](const Loose &l) { return l.body == b.body; });
        if (!drawn) out.push_back(b.body);
    }
    return out;
}

void Scene::step(PxReal h)
{
    if (beforeStep) beforeStep(*this, time_, h);
    SbxUniverseStep(universe_, h);
    time_ += h;
    ++steps_;
}

void Scene::observe()
{
    if (afterStep) afterStep(*this);
}

Figures Scene::figures() const
{
    if (judge) return judge(*this);
    return {};
}

} // namespace ksim
