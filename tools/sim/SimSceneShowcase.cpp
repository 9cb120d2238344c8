// "showcase": one of everything the universe offers, on a ground plane.
//   - a ramp made of a triangle list, down which a ball and a lying
//     cylinder roll through a sensor gate (a box that only reports) to a
//     fixed bumper;
//   - a stack of three boxes that a kinematic pusher shoves from the side;
//   - a cone standing on the ground and a dumbbell (a composite of a bar
//     and two balls) dropped beside it;
//   - a pendulum of three hinged links swinging from a fixed point next to
//     a post (a fixed cylinder).
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include <kelmar/PxVector.h>

#include "SimScenes.h"

namespace ksim {

namespace {

const PxReal kDensity = 500.0; // kg/m^3
const PxQuaternion kUnturned = {1.0, 0.0, 0.0, 0.0};

// Pendulum: links of kLinkLength with kLinkPitch between hinges, the first
// hinged to the world at kPivot, all axes along y.
const int kLinks = 3;
const PxReal kLinkLength = 0.5, kLinkPitch = 0.52; // m
const PxVector3 kPivot = {-1.0, 2.5, 2.4};

// Pusher: moves along +y at kPushSpeed between kPushStart and kPushEnd.
const PxReal kPushSpeed = 0.4;                 // m/s
const PxReal kPushStart = 0.5, kPushEnd = 3.5; // s

struct Watch {
    int sensorEntries = 0;
    PxReal largestGap = 0.0;
    std::vector<RbdBodyID> links;
};

PxReal pendulumGap(const std::vector<RbdBodyID> &links)
{
    return chainGap(readStates(links), kLinkPitch, kPivot);
}

Figures judge(const Scene &scene, const Watch &watch)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    const int touching = countBodiesInContact(bodies);
    const int n = static_cast<int>(bodies.size());
    const PxReal gap = pendulumGap(watch.links);
    char words[256], summary[300];
    snprintf(words, sizeof words, "in_contact=%d/%d sensor_entries=%d gap_end=%.3e m gap_max=%.3e m ncp=%d", touching,
             n, watch.sensorEntries, gap, watch.largestGap, countContacts(scene.world()));
    snprintf(summary, sizeof summary,
             "bodies in contact: %d of %d; the sensor gate saw %d bodies enter; pendulum hinges %.3g mm apart at "
             "the end, %.3g mm at most",
             touching, n, watch.sensorEntries, 1000.0 * gap, 1000.0 * watch.largestGap);
    return {words, summary};
}

PxMatrix4 *placed(Scene &scene, PxReal x, PxReal y, PxReal z)
{
    PxMatrix4 tm;
    PxM4Identity(tm);
    PxV3Set(tm[3], x, y, z);
    return scene.pose(tm);
}

// A ramp from (-4, y, 1.2) down to (-1.5, y, 0) for |y| <= 0.6, facing up.
const PxReal kRampTopX = -4.0, kRampFootX = -1.5, kRampTop = 1.2, kRampHalfWidth = 0.6;

PxReal rampHeight(PxReal x)
{
    return kRampTop * (kRampFootX - x) / (kRampFootX - kRampTopX);
}

void addRamp(Scene &scene)
{
    const PxReal x0 = kRampTopX, x1 = kRampFootX, top = kRampTop, half = kRampHalfWidth;
    std::vector<ListTriangle> quad(2);
    const PxReal corners[4][3] = {{x0, -half, top}, {x1, -half, 0.0}, {x1, half, 0.0}, {x0, half, top}};
    const int faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int f = 0; f < 2; ++f)
        for (int c = 0; c < 3; ++c) PxV3Copy(quad[f].corner[c], corners[faces[f][c]]);
    CdxGeometryID list = scene.triangleList(quad);
    scene.own(SbxFixedModelCreate(scene.universe(), list, placed(scene, 0.0, 0.0, 0.0)));
}

// A ball and a cylinder lying across the ramp (axis along y) at its top.
void addRollers(Scene &scene)
{
    // Started a little above the slope (0.15 m measured upright is 0.166 m
    // across a slope of 25.6 degrees).
    const PxReal radius = 0.15, above = 0.2;
    const PxVector3 ballAt = {-3.7, -0.3, rampHeight(-3.7) + above};
    scene.body(scene.keep(CdxSphereCreate(radius)), kDensity, ballAt, kUnturned, "ball");
    // Turned a quarter about x: the cylinder's axis (local z) along y.
    const PxQuaternion lying = {cos(M_PI / 4.0), sin(M_PI / 4.0), 0.0, 0.0};
    const PxVector3 rollerAt = {-3.4, 0.3, rampHeight(-3.4) + above};
    scene.body(scene.keep(CdxCylinderCreate(radius, 0.4)), kDensity, rollerAt, lying, "roller");
}

// A gate the rollers pass through on their way off the ramp, and a fixed
// bumper behind it that stops them.
void addSensorGate(Scene &scene, Watch &watch)
{
    CdxGeometryID gate = scene.keep(CdxBoxCreate(0.2, 1.6, 1.0));
    scene.own(SbxSensorModelCreate(scene.universe(), gate, placed(scene, 0.0, 0.0, 0.5)));
    const PxVector3 bumperAt = {0.9, 0.0, 0.2}, bumperHalf = {0.1, 0.9, 0.2};
    addFixedBox(scene, bumperAt, bumperHalf);
    SbxBridgeSetIntersectNewCB(
        scene.bridge(), SbxSensorResponseID, SbxBodyResponseID,
        [](CdxIntersectResult *result, RbdContactID, void *data) {
            // The gate stands on the ground, which touches it but is no body.
            CdxModelID a, b;
            CdxModelPairGetModels(result->pair, &a, &b);
            if (CdxModelGetBody(a) || CdxModelGetBody(b)) ++static_cast<Watch *>(data)->sensorEntries;
        },
        &watch);
}

void addStackAndPusher(Scene &scene)
{
    const PxReal edge = 0.4;
    CdxGeometryID cube = scene.keep(CdxBoxCreate(edge, edge, edge));
    for (int k = 0; k < 3; ++k) {
        const PxVector3 at = {1.5, -1.5, 0.5 * edge + k * edge};
        scene.body(cube, kDensity, at, kUnturned, "crate" + std::to_string(k));
    }
    CdxGeometryID plate = scene.keep(CdxBoxCreate(1.0, 0.2, 0.3));
    PxMatrix4 *pose = placed(scene, 1.5, -2.6, 0.15);
    PxReal *velocity = scene.vector(0.0, 0.0, 0.0);
    scene.own(SbxKinematicModelCreate(scene.universe(), plate, pose, velocity, scene.vector(0.0, 0.0, 0.0)));
    scene.beforeStep = [pose, velocity](Scene &, PxReal time, PxReal h) {
        const bool moving = time >= kPushStart && time < kPushEnd;
        velocity[1] = moving ? kPushSpeed : 0.0;
        (*pose)[3][1] += velocity[1] * h;
    };
}

void addConeAndDumbbell(Scene &scene)
{
    // A cone's base lies a quarter of its height below its origin.
    const PxReal height = 0.6;
    const PxVector3 coneAt = {1.5, 1.5, 0.25 * height};
    scene.body(scene.keep(CdxConeCreatePointed(height, 0.25)), kDensity, coneAt, kUnturned, "cone");

    CdxModelID dumbbell = scene.own(SbxCompositeModelAndBodyCreate(scene.universe(), 3, kDensity));
    CdxGeometryID bar = scene.keep(CdxBoxCreate(0.6, 0.08, 0.08));
    CdxGeometryID weight = scene.keep(CdxSphereCreate(0.12));
    CdxCompositeModelAddElement(dumbbell, scene.element(bar), placed(scene, 0.0, 0.0, 0.0));
    CdxCompositeModelAddElement(dumbbell, scene.element(weight), placed(scene, -0.3, 0.0, 0.0));
    CdxCompositeModelAddElement(dumbbell, scene.element(weight), placed(scene, 0.3, 0.0, 0.0));
    SbxCompositeModelAndBodyBuild(scene.universe(), dumbbell);
    RbdBodyID body = CdxModelGetBody(dumbbell);
    const PxReal tilt = 0.3; // rad about y
    RbdBodySetQuaternion(body, cos(0.5 * tilt), 0.0, sin(0.5 * tilt), 0.0);
    RbdBodySetPosition(body, 2.8, 0.5, 0.9);
    scene.report(body, "dumbbell");
}

void addPendulum(Scene &scene, Watch &watch)
{
    const PxReal postRadius = 0.05;
    CdxGeometryID post = scene.keep(CdxCylinderCreate(postRadius, kPivot[2]));
    scene.own(
        SbxFixedModelCreate(scene.universe(), post, placed(scene, kPivot[0], kPivot[1] + 0.3, 0.5 * kPivot[2])));
    CdxGeometryID rod = scene.keep(CdxBoxCreate(kLinkLength, 0.08, 0.08));
    CdxModelID previousModel = nullptr;
    RbdBodyID previous = nullptr;
    for (int k = 0; k < kLinks; ++k) {
        const PxVector3 at = {kPivot[0] + kLinkPitch * (k + 0.5), kPivot[1], kPivot[2]};
        CdxModelID link = scene.body(rod, kDensity, at, kUnturned, "link" + std::to_string(k));
        RbdBodyID body = CdxModelGetBody(link);
        RbdConstraintID hinge = scene.own(RbdHingeCreate(scene.world()));
        RbdConstraintSetBodies(hinge, body, previous);
        RbdConstraintSetPosition(hinge, kPivot[0] + kLinkPitch * k, kPivot[1], kPivot[2]);
        RbdConstraintSetAxis(hinge, 0.0, 1.0, 0.0);
        RbdConstraintEnable(hinge);
        // Neighbours share a hinge: their ends must not push each other.
        if (previousModel) CdxSpaceDisablePair(previousModel, link);
        watch.links.push_back(body);
        previousModel = link;
        previous = body;
    }
}

} // namespace

std::unique_ptr<Scene> buildShowcase()
{
    auto scene = std::make_unique<Scene>("showcase", sizesFor(16, 24, 8));
    if (!scene->valid()) return scene;
    useGravity(*scene, 9.81);
    useFriction(*scene, 0.5);
    addGround(*scene);
    auto watch = std::make_shared<Watch>();
    addRamp(*scene);
    addRollers(*scene);
    addSensorGate(*scene, *watch);
    addStackAndPusher(*scene);
    addConeAndDumbbell(*scene);
    addPendulum(*scene, *watch);
    scene->afterStep = [watch](Scene &) {
        watch->largestGap = std::max(watch->largestGap, pendulumGap(watch->links));
    };
    scene->judge = [watch](const Scene &s) { return judge(s, *watch); };
    scene->description = "a ramp, rollers and a sensor gate, a pushed stack, a cone, a dumbbell and a pendulum";
    return scene;
}

} // namespace ksim
