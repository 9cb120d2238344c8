#include "SceneTestSupport.h"

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace scenetest {

namespace {

RbdBodyID freeBody(RbdWorldID w, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID b = RbdBodyCreate(w);
    RbdBodySetPosition(b, x, y, z);
    RbdBodyEnable(b);
    return b;
}

void setMaterials(Scene *s, SbxBridgeID bridge)
{
    s->materials[0] = 0;
    s->materials[1] = SbxBridgeGetNewMaterial(bridge);
    s->materials[2] = SbxBridgeGetNewMaterial(bridge);
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
    RbdLimit *limit = RbdConstraintGetLimit(hinge);
    const RbdSingleLimit lo = {-0.5, RBD_REAL_MAX, 0, 0.5}, up = {0.8, 2000, 10, 1};
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitSetUpperLimit(limit, &up);
    RbdLimitActivateLimits(limit, 1);
    RbdLimitSetLimitedForceMotor(limit, 1.0, 5.0);
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
    RbdLimit *limit = RbdConstraintGetLimit(prismatic);
    const RbdSingleLimit lo = {-0.3, RBD_REAL_MAX, 0, 0}, up = {0.3, RBD_REAL_MAX, 0, 0};
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitSetUpperLimit(limit, &up);
    RbdLimitActivateLimits(limit, 1);
    RbdLimitSetLock(limit, 0.1, 50.0);
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
    RbdLimit *limit = RbdConstraintGetLimit(spring);
    const RbdSingleLimit lo = {0.5, RBD_REAL_MAX, 0, 1}, up = {1.2, RBD_REAL_MAX, 0, 1};
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitSetUpperLimit(limit, &up);
    RbdLimitActivateLimits(limit, 1);
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

// Messages of the live collector.
Messages *&current()
{
    static Messages *messages = nullptr;
    return messages;
}

std::string format(const char *f, va_list args)
{
    char text[2048];
    vsnprintf(text, sizeof text, f, args);
    return text;
}

int onPositioned(PxXMLInput *input, int severity, int code, const char *f, ...)
{
    va_list args;
    va_start(args, f);
    const std::string text = format(f, args);
    va_end(args);
    char where[64];
    snprintf(where, sizeof where, "%s line %d, pos %d: ", severity == 2 ? "Error" : "Warning", input->line,
             input->column);
    current()->positioned.push_back(where + text);
    return code;
}

bool contains(const std::vector<std::string> &texts, const std::string &part)
{
    for (const std::string &t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

} // namespace

CollisionLibrary::CollisionLibrary()
{
    CdxInit(8, 256);
    CdxPrimitivesRegisterTypes();
    CdxTriangleMeshRegisterType();
    CdxCompositeRegisterType();
    CdxPrimitivesRegisterInteractions();
    CdxTriangleMeshRegisterInteractions();
    CdxCompositeGenericRegisterInteractions();
    CdxCompositeLineSegRegisterInteraction();
}

CollisionLibrary::~CollisionLibrary()
{
    CdxTerm();
}

SbxUniverseID makeUniverse()
{
    const SbxUniverseSizes sizes = {64, 256, 8, 64, 512, 4};
    return SbxUniverseCreate(sizes);
}

void buildScene(Scene *s)
{
    RbdWorldID w = SbxUniverseGetWorld(s->universe);
    RbdWorldSetGravity(w, 0, 0, -9.81);
    RbdWorldSetTimeStep(w, 0.01);
    // Not the defaults, so that saving them again shows they were read.
    RbdWorldSetMaxCorrectingVelocity(w, 0.5);
    RbdWorldSetMaxCorrectingRate(w, 6.0);
    RbdWorldSetJointPositionPasses(w, 3);
    setMaterials(s, SbxUniverseGetBridge(s->universe));
    addModels(s);
    addHingeChain(w);
    addSliders(w);
    addSpringAndAngles(w);
    addPathsAndWheel(w);
}

void destroyScene(Scene *s)
{
    for (CdxModelID m : s->models) SbxModelDestroy(s->universe, m);
    for (CdxModelID e : s->elements) CdxModelDestroy(e);
    for (CdxGeometryID g : s->geometries) CdxGeometryDestroy(g);
    s->models.clear();
    s->elements.clear();
    s->geometries.clear();
}

void nameScene(PxSaveContext *context, const Scene &s)
{
    SbxModelAndBodyHashInsert(context, s.models[1], "crate");
    SbxModelAndBodyHashInsert(context, s.models[2], "ball");
    SbxModelAndBodyHashInsert(context, s.models[3], "cube");
    SbxModelAndBodyHashInsert(context, s.models[5], "pair_of_boxes");
    CdxModelHashInsert(context, s.models[0], "ground");
    CdxGeometryHashInsert(context, CdxModelGetGeometry(s.models[3]), "cube_mesh");
    SbxUniverseHashInsertAll(context, s.universe);
}

std::string makeTempDir()
{
    std::string pattern = testing::TempDir() + "kelmar_scene_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char *made = mkdtemp(buffer.data());
    return made ? std::string(made) + "/" : testing::TempDir();
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path);
    out << text;
}

std::string saveUniverse(SbxUniverseID universe, const std::string &path, PxLoadContext *loaded)
{
    PxSaveContext *context = PxSaveContextCreate();
    PxSaveContextInsertLoaded(context, loaded);
    SbxUniverseHashInsertAll(context, universe);
    PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_WRITE);
    const int ok = SbxSave(context, stream);
    PxStreamClose(stream);
    PxSaveContextDestroy(context);
    return ok ? readFile(path) : std::string();
}

Messages::Messages()
    : savedInfo_(PxSetInfoHandler([](int, const char *f, va_list a) { current()->info.push_back(format(f, a)); })),
      savedFatal_(
          PxSetFatalErrorHandler([](int, const char *f, va_list a) { current()->fatal.push_back(format(f, a)); })),
      savedWarning_(PxSetWarningHandler([](int, const char *, va_list) {})) // plain warnings kept quiet
{
    current() = this;
}

Messages::~Messages()
{
    PxSetInfoHandler(savedInfo_);
    PxSetFatalErrorHandler(savedFatal_);
    PxSetWarningHandler(savedWarning_);
    current() = nullptr;
}

void Messages::watch(PxLoadContext *context)
{
    PxLoadContextSetErrorHandler(context, onPositioned, nullptr);
}

bool Messages::infoHas(const std::string &text) const
{
    return contains(info, text);
}
bool Messages::positionedHas(const std::string &text) const
{
    return contains(positioned, text);
}
bool Messages::fatalHas(const std::string &text) const
{
    return contains(fatal, text);
}

std::string Messages::all() const
{
    std::string text;
    for (const std::string &t : info) text += "info: " + t;
    for (const std::string &t : positioned) text += "at: " + t;
    for (const std::string &t : fatal) text += "fatal: " + t;
    return text;
}

SceneFiles::SceneFiles()
{
    messages.watch(context);
}

SceneFiles::~SceneFiles()
{
    PxLoadContextDestroyObjects(context);
    PxLoadContextDestroy(context);
    SbxUniverseDestroy(universe);
}

int SceneFiles::load(const std::string &name, const std::string &text)
{
    writeFile(dir + name, text);
    PxStream *stream = PxStreamOpen((dir + name).c_str(), PX_MODE_READ);
    const int result = SbxUniverseLoad(universe, stream, context);
    PxStreamClose(stream);
    return result;
}

} // namespace scenetest
