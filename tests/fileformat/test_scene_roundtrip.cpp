// A scene with every joint type, limits, motors, composites, a mesh and
// materials, saved, loaded into a fresh universe and saved again: the two
// files are the same, and both universes move the same way.
#include <math.h>

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

#include "SceneTestSupport.h"

using namespace scenetest;

namespace {

const PxReal kStep = 0.01;
const int kSteps = 100;

// A scene with every joint type, limits and motors, a plane, boxes, a
// sphere, a composite of two boxes, a closed mesh and three materials, in a
// universe of its own. It owns the transforms and vertices its models read.
struct Scene {
    Scene();
    ~Scene();
    SbxUniverseID universe = makeUniverse();
    PxMatrix4 groundPose, elementRelative[2], elementPose[2];
    PxReal meshVertices[8][3];
    std::vector<CdxGeometryID> geometries;
    std::vector<CdxModelID> elements, models; // models: the top-level ones
};

RbdBodyID freeBody(RbdWorldID w, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID b = RbdBodyCreate(w);
    RbdBodySetPosition(b, x, y, z);
    RbdBodyEnable(b);
    return b;
}

// Materials 1 and 2 beside material 0, with the parameters of three pairs.
void setMaterials(SbxBridgeID bridge)
{
    SbxBridgeGetNewMaterial(bridge);
    SbxBridgeGetNewMaterial(bridge);
    RbdContactParams *p = SbxBridgeGetContactParams(bridge, 0, 1);
    RbdContactParamsSetType(p, 2);
    RbdContactParamsSetFriction(p, 5.0);
    RbdContactParamsSetRestitution(p, 0.25);
    RbdContactParamsSetRestitutionThreshold(p, 0.05);
    p = SbxBridgeGetContactParams(bridge, 1, 1);
    RbdContactParamsSetType(p, 1);
    RbdContactParamsSetPrimaryFrictionModel(p, 1);
    RbdContactParamsSetPrimaryFrictionCoefficient(p, 0.6);
    RbdContactParamsSetSoftness(p, 0.001);
    p = SbxBridgeGetContactParams(bridge, 0, 2);
    RbdContactParamsSetType(p, 2);
    RbdContactParamsSetFrictionModel(p, 1);
    RbdContactParamsSetFrictionCoefficient(p, 0.5);
    RbdContactParamsSetPrimarySlip(p, 0.01);
    RbdContactParamsSetMaxAdhesiveForce(p, 2.0);
    RbdContactParamsSetSpinFriction(p, 0.002);
}

// A closed cube of side 0.4 about the origin, counter-clockwise outside.
CdxGeometryID cubeMesh(Scene *s)
{
    for (int i = 0; i < 8; ++i) {
        s->meshVertices[i][0] = (i & 1) ? 0.2 : -0.2;
        s->meshVertices[i][1] = (i & 2) ? 0.2 : -0.2;
        s->meshVertices[i][2] = (i & 4) ? 0.2 : -0.2;
    }
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    CdxGeometryID mesh = CdxTriangleMeshCreate(12);
    for (const auto &f : faces)
        CdxTriangleMeshAddTriangle(mesh, s->meshVertices[f[0]], s->meshVertices[f[1]], s->meshVertices[f[2]]);
    CdxTriangleMeshBuild(mesh);
    return mesh;
}

CdxModelID addBodyModel(Scene *s, CdxGeometryID g, PxReal density, int material, PxReal x, PxReal y, PxReal z)
{
    CdxModelID m = SbxModelAndBodyCreate(s->universe, g, density);
    CdxModelSetMaterialID(m, material);
    RbdBodySetPosition(CdxModelGetBody(m), x, y, z);
    s->geometries.push_back(g);
    s->models.push_back(m);
    return m;
}

void addModels(Scene *s)
{
    PxM4Identity(s->groundPose);
    CdxGeometryID plane = CdxPlaneCreate();
    s->geometries.push_back(plane);
    s->models.push_back(SbxFixedModelCreate(s->universe, plane, &s->groundPose));
    CdxModelID crate = addBodyModel(s, CdxBoxCreate(0.5, 0.5, 0.5), 400, 1, 0, 0, 0.26);
    CdxModelID ball = addBodyModel(s, CdxSphereCreate(0.2), 300, 2, 1, 0, 0.5);
    RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.5, 0, 0);
    CdxSpaceDisablePair(crate, ball);
    addBodyModel(s, cubeMesh(s), 250, 1, 0, 1, 0.5);
    addBodyModel(s, CdxCylinderCreate(0.1, 0.3), 500, 2, 2, 1, 0.5);
    CdxModelID composite = SbxCompositeModelAndBodyCreate(s->universe, 2, 300);
    for (int i = 0; i < 2; ++i) {
        CdxGeometryID box = CdxBoxCreate(0.2, 0.2, 0.2);
        CdxModelID element = CdxModelCreate(box);
        PxM4Identity(s->elementRelative[i]);
        PxM4Identity(s->elementPose[i]);
        s->elementRelative[i][3][0] = i == 0 ? -0.15 : 0.15;
        CdxModelSetTransformPtr(element, &s->elementPose[i]);
        CdxModelSetMaterialID(element, 1);
        CdxModelSetDensity(element, 300);
        CdxCompositeModelAddElement(composite, element, &s->elementRelative[i]);
        s->geometries.push_back(box);
        s->elements.push_back(element);
    }
    SbxCompositeModelAndBodyBuild(s->universe, composite);
    RbdBodySetPosition(CdxModelGetBody(composite), -1, 0, 0.4);
    s->models.push_back(composite);
}

// Lower and upper stops of c's limit, switched on.
RbdLimit *stops(RbdConstraintID c, const RbdSingleLimit &lo, const RbdSingleLimit &up)
{
    RbdLimit *limit = RbdConstraintGetLimit(c);
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitSetUpperLimit(limit, &up);
    RbdLimitActivateLimits(limit, 1);
    return limit;
}

void addHingeChain(RbdWorldID w)
{
    RbdBodyID pend = freeBody(w, 0, -2, 2), bob = freeBody(w, 0, -2, 1.5);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(2.0, 0.1, 0.1, 1.0, inertia);
    // Turned off the body's axes, so that the tensor is full.
    PxMatrix3 turn, turnT, half;
    PxMatrix3FromEulerAngles(turn, 0.3, -0.2, 0.5);
    PxM3Transpose(turnT, turn);
    PxM3Mul(half, turnT, inertia);
    PxM3Mul(inertia, half, turn);
    RbdBodySetMass(pend, 2.0);
    RbdBodySetInertiaTensor(pend, inertia);
    RbdConstraintID hinge = RbdHingeCreate(w);
    RbdConstraintSetBodies(hinge, pend, nullptr);
    RbdConstraintSetPosition(hinge, 0, -2, 2.5);
    RbdConstraintSetAxis(hinge, 1, 0, 0);
    RbdLimitSetLimitedForceMotor(stops(hinge, {-0.5, RBD_REAL_MAX, 0, 0.5}, {0.8, 2000, 10, 1}), 1.0, 5.0);
    RbdConstraintEnable(hinge);
    RbdConstraintID ball = RbdBSJointCreate(w);
    RbdConstraintSetBodies(ball, bob, pend);
    RbdConstraintSetPosition(ball, 0, -2, 1.75);
    RbdConstraintEnable(ball);
}

RbdConstraintID joinToWorld(RbdConstraintID c, RbdBodyID b)
{
    RbdConstraintSetBodies(c, b, nullptr);
    return c;
}

void addSliders(RbdWorldID w)
{
    RbdBodyID slider = freeBody(w, 2, 0, 2), cross = freeBody(w, 3, 0, 2);
    RbdConstraintID prismatic = joinToWorld(RbdPrismaticCreate(w), slider);
    RbdConstraintSetAxis(prismatic, 0, 0, 1);
    RbdConstraintSetPosition(prismatic, 2, 0, 2);
    RbdLimitSetLock(stops(prismatic, {-0.3, RBD_REAL_MAX, 0, 0}, {0.3, RBD_REAL_MAX, 0, 0}), 0.1, 50.0);
    RbdConstraintEnable(prismatic);
    RbdConstraintID universal = RbdUniversalCreate(w);
    RbdConstraintSetBodies(universal, cross, slider);
    RbdConstraintSetPosition(universal, 2.5, 0, 2);
    RbdUniversalSetAxis(universal, 0, 1, 0, 0);
    RbdUniversalSetAxis(universal, 1, 0, 1, 0);
    RbdConstraintEnable(universal);
    RbdConstraintID linear1 = joinToWorld(RbdLinear1Create(w), freeBody(w, 4, 0, 2));
    RbdConstraintSetPosition(linear1, 4, 0, 2);
    RbdConstraintSetAxis(linear1, 0, 0, 1);
    RbdConstraintEnable(linear1);
    RbdConstraintID linear2 = joinToWorld(RbdLinear2Create(w), freeBody(w, 5, 0, 2));
    RbdConstraintSetPosition(linear2, 5, 0, 2);
    RbdConstraintSetAxis(linear2, 0, 1, 0);
    RbdConstraintEnable(linear2);
}

void addSpringAndAngles(RbdWorldID w)
{
    RbdConstraintID angular = joinToWorld(RbdAngular3Create(w), freeBody(w, 6, 0, 2));
    RbdConstraintSetAxis(angular, 0, 0, 1);
    RbdAngular3EnableRotation(angular, 1);
    RbdAngular3SetStiffness(angular, 300);
    RbdConstraintEnable(angular);
    RbdBodyID hanging = freeBody(w, 7, 0, 1);
    RbdConstraintID spring = joinToWorld(RbdSpringCreate(w), hanging);
    const PxVector3 p0 = {7, 0, 1}, p1 = {7, 0, 2};
    RbdConstraintBodySetPosition(spring, 0, p0);
    RbdConstraintBodySetPosition(spring, 1, p1);
    RbdSpringSetNaturalLength(spring, 0.8);
    RbdSpringSetStiffness(spring, 100);
    RbdSpringSetDamping(spring, 2);
    stops(spring, {0.5, RBD_REAL_MAX, 0, 1}, {1.2, RBD_REAL_MAX, 0, 1});
    RbdConstraintEnable(spring);
    RbdConstraintID cone = joinToWorld(RbdConeLimitCreate(w), hanging);
    RbdConeLimitSetAxis(cone, 0, 0, 0, 1);
    RbdConeLimitSetAxis(cone, 1, 0, 0, 1);
    RbdConeLimitSetHalfAngle(cone, 0.4);
    RbdConstraintEnable(cone);
}

void addPathsAndWheel(RbdWorldID w)
{
    RbdConstraintID path = joinToWorld(RbdFixedPathCreate(w), freeBody(w, 8, 0, 2));
    RbdConstraintSetPosition(path, 8, 0, 2.2);
    RbdFixedPathSetVelocity(path, 0, 0.1, 0, 0);
    RbdConstraintEnable(path);
    RbdConstraintID rpro = joinToWorld(RbdRPROJointCreate(w), freeBody(w, 9, 0, 2));
    RbdConstraintSetPosition(rpro, 9, 0, 2.2);
    const PxVector3 linear = {100, 100, 100}, angular = {50, 50, 50};
    RbdRPROJointSetLinearStrength(rpro, linear);
    RbdRPROJointSetAngularStrength(rpro, angular);
    RbdConstraintEnable(rpro);
    RbdBodyID chassis = freeBody(w, 10, 0, 1), wheel = freeBody(w, 10, 0.5, 1);
    RbdBodyFreeze(chassis);
    RbdConstraintID car = RbdCarWheelCreate(w);
    RbdConstraintSetBodies(car, chassis, wheel);
    RbdCarWheelSetPosition(car, 10, 0.5, 1);
    RbdCarWheelSetSteeringAxis(car, 0, 0, 1);
    RbdCarWheelSetHingeAxis(car, 0, 1, 0);
    RbdCarWheelSetSuspension(car, 1000, 50, 0.01, -0.1, 0.1, 0);
    RbdCarWheelSetHingeLimitedForceMotor(car, 2, 10);
    RbdCarWheelSetSteeringAngle(car, 0.1);
    RbdConstraintEnable(car);
}

Scene::Scene()
{
    RbdWorldID w = SbxUniverseGetWorld(universe);
    RbdWorldSetGravity(w, 0, 0, -9.81);
    RbdWorldSetTimeStep(w, 0.01);
    // Not the defaults, so that saving them again shows they were read.
    RbdWorldSetMaxCorrectingVelocity(w, 0.5);
    RbdWorldSetMaxCorrectingRate(w, 6.0);
    RbdWorldSetJointPositionPasses(w, 3);
    setMaterials(SbxUniverseGetBridge(universe));
    addModels(this);
    addHingeChain(w);
    addSliders(w);
    addSpringAndAngles(w);
    addPathsAndWheel(w);
}

Scene::~Scene()
{
    for (CdxModelID m : models) SbxModelDestroy(universe, m);
    for (CdxModelID e : elements) CdxModelDestroy(e);
    for (CdxGeometryID g : geometries) CdxGeometryDestroy(g);
    SbxUniverseDestroy(universe);
}

// The scene named the way a user would, saved; and the copy it loads into.
struct RoundTrip : testing::Test {
    CollisionLibrary library;
    Messages messages;
    std::string dir = makeTempDir();
    Scene scene;
    SbxUniverseID copy = makeUniverse();
    PxLoadContext *loaded = nullptr;
    PxSaveContext *names = PxSaveContextCreate();

    void SetUp() override
    {
        SbxModelAndBodyHashInsert(names, scene.models[1], "crate");
        SbxModelAndBodyHashInsert(names, scene.models[2], "ball");
        SbxModelAndBodyHashInsert(names, scene.models[3], "cube");
        SbxModelAndBodyHashInsert(names, scene.models[5], "pair_of_boxes");
        CdxModelHashInsert(names, scene.models[0], "ground");
        CdxGeometryHashInsert(names, CdxModelGetGeometry(scene.models[3]), "cube_mesh");
        SbxUniverseHashInsertAll(names, scene.universe);
    }
    void TearDown() override
    {
        if (loaded) PxLoadContextDestroyObjects(loaded);
        PxLoadContextDestroy(loaded);
        SbxUniverseDestroy(copy);
        PxSaveContextDestroy(names);
    }
    // Saves the scene into the file and loads the file into the copy; the
    // file's text.
    std::string saveAndLoad(const std::string &name)
    {
        const std::string text = saveText(names, dir + name, SbxSave);
        loaded = SbxUniverseLoadFile(copy, (dir + name).c_str(), 0);
        return text;
    }
};

TEST_F(RoundTrip, SavingTheLoadedSceneGivesTheSameFile)
{
    const std::string first = saveAndLoad("first.px");
    ASSERT_NE(loaded, nullptr) << messages.all();
    PxSaveContext *again = PxSaveContextCreate();
    PxSaveContextInsertLoaded(again, loaded);
    SbxUniverseHashInsertAll(again, copy);
    EXPECT_EQ(first, saveText(again, dir + "second.px", SbxSave));
    PxSaveContextDestroy(again);
    for (const char *element : {"<BSJOINT>",
                                "<HINGE>",
                                "<PRISMATIC>",
                                "<CARWHEEL>",
                                "<FIXEDPATH>",
                                "<RPROJOINT>",
                                "<UNIVERSAL>",
                                "<LINEAR1>",
                                "<LINEAR2>",
                                "<ANGULAR3>",
                                "<SPRING>",
                                "<CONELIMIT>",
                                "<LIMIT>",
                                "<POWERED>1</POWERED>",
                                "<LOCKED>1</LOCKED>",
                                "<TRIANGLE_MESH>",
                                "<COMPOSITE>",
                                "<COMPOSITE_GEOMETRY>",
                                "<ELEMENTS>",
                                "<CYLINDER>",
                                "<SPHERE>",
                                "<PLANE>",
                                "<NO_INTERACTION>",
                                "<MATERIAL_TABLE size=\"4\">",
                                "<FRICTION_MODEL1>SCALED_BOX</FRICTION_MODEL1>"})
        EXPECT_NE(first.find(element), std::string::npos) << element;
}

TEST_F(RoundTrip, LoadedSceneMovesLikeTheOriginalForAHundredSteps)
{
    saveAndLoad("scene.px");
    ASSERT_NE(loaded, nullptr) << messages.all();
    std::vector<const PxSaveEntry *> bodies;
    std::vector<std::array<PxReal, 3>> starts;
    PxHashIterator it;
    PxHashInitIterator(&it, PxSaveContextGetHash(names));
    while (const PxSaveEntry *entry = static_cast<const PxSaveEntry *>(PxHashGetDatum(&it))) {
        if (entry->kind != PX_KIND_BODY) continue;
        std::array<PxReal, 3> start;
        RbdBodyGetPosition(static_cast<RbdBodyID>(entry->object), start.data());
        bodies.push_back(entry);
        starts.push_back(start);
    }
    for (int i = 0; i < kSteps; ++i) {
        SbxUniverseStep(scene.universe, kStep);
        SbxUniverseStep(copy, kStep);
    }
    int moved = 0;
    for (size_t i = 0; i < bodies.size(); ++i) {
        RbdBodyID twin = RbdBodyLookup(loaded, bodies[i]->id);
        ASSERT_NE(twin, nullptr) << bodies[i]->id;
        PxVector3 a, b;
        RbdBodyGetPosition(static_cast<RbdBodyID>(bodies[i]->object), a);
        RbdBodyGetPosition(twin, b);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-5) << bodies[i]->id << " axis " << k;
        const PxVector3 travel = {a[0] - starts[i][0], a[1] - starts[i][1], a[2] - starts[i][2]};
        if (PxV3Length(travel) > 0.01) ++moved;
    }
    EXPECT_EQ(bodies.size(), 17u);
    // The comparison means something only when the scene moves.
    EXPECT_GE(moved, 8);
}

} // namespace
