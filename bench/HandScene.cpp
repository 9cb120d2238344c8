// The hand-holds-ball scene with the robot layer.
#include "HandScene.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>

#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdWorld.h>

namespace khand {

namespace {

const double kPalmZ = 30, kBaseRadius = 3.5, kSplay = 0.5; // cm, rad
const double kLength[3] = {4, 3, 2.5}, kRadius = 0.8;      // capsule segments and radius (cm)
const double kMass[3] = {0.0101871, 0.0081765, 0.0071712}; // kg
const double kInertia[3][3] = {{2.37114e-2, 2.37114e-2, 3.12263e-3},
                               {1.27937e-2, 1.27937e-2, 2.47923e-3},
                               {8.93080e-3, 8.93080e-3, 2.15753e-3}}; // kg cm^2, about x, y, z
const double kBallRadius = 4, kBallZ = 24.5, kBallMass = 0.134041;
const double kTorque = 5000; // 0.5 N m in kg cm^2/s^2
const double kRate = 50, kCloseAngle = 0.9, kCloseTime = 0.5, kRelease = 0.5;

void Cross(double out[3], const double a[3], const double b[3])
{
    PxV3Cross(out, a, b);
}

void Along(double out[3], const double base[3], double s, const double d[3])
{
    for (int k = 0; k < 3; ++k) out[k] = base[k] + s * d[k];
}

} // namespace

HandScene::HandScene(Servo servo) : servo_(servo), universe_(20, 100, 20, 200, 1)
{
    universe_.AddScene(&scene_);
    universe_.timeStep = kStep;
    RbdWorldID world = universe_.GetWorld();
    RbdWorldSetGravity(world, 0, 0, -981);
    RbdWorldSetAutoDisable(world, 0);
    universe_.SetContactParameter(0, 0, kelmar::kStaticFriction, 1.0);
    universe_.SetContactParameter(0, 0, kelmar::kDynamicFriction, 1.0);
    universe_.SetContactParameter(0, 0, kelmar::kRestitution, 0.0);
    double pose[4][4];
    PxM4Identity(pose);
    pose[3][2] = kPalmZ;
    kelmar::SolidSpec fixed;
    fixed.fixed = true;
    fixed.pose = pose;
    fixed.name = "palm";
    palm_ = kelmar::AddBox(&scene_, 8, 8, 2, fixed);
    pose[3][2] = kBallZ - kBallRadius;
    fixed.name = "support";
    support_ = kelmar::AddSolid(&scene_, CdxPlaneCreate(), fixed);
    pose[3][2] = kBallZ;
    kelmar::SolidSpec ball;
    ball.name = "ball";
    ball.pose = pose;
    ball.mass = kBallMass;
    ball_ = kelmar::AddSphere(&scene_, kBallRadius, ball);
    for (int f = 0; f < 3; ++f) BuildFinger(f);
    kelmar::Robot *fingers[3];
    for (int f = 0; f < 3; ++f) fingers[f] = new kelmar::Robot(limits_[3 * f]->GetJoint(), links_[3 * f], 3);
    hand_ = new kelmar::Robot(nullptr, nullptr, fingers, 3);
    scene_.InsertObject("hand", hand_);
    // Only ball pairs: no finger-finger, finger-palm or finger-support contacts.
    for (int i = 0; i < 9; ++i) {
        CdxSpaceDisablePair(links_[i]->GetModel(), palm_->GetModel());
        CdxSpaceDisablePair(links_[i]->GetModel(), support_->GetModel());
        for (int j = i + 1; j < 9; ++j) CdxSpaceDisablePair(links_[i]->GetModel(), links_[j]->GetModel());
    }
    CdxSpaceBuild(universe_.GetSpace());
}

HandScene::~HandScene()
{
    universe_.DelScene(&scene_);
}

// Links along d = sin(0.5) r - cos(0.5) z from the palm's bottom face,
// each a capsule (a cylinder and two end spheres) with the peers' mass and
// inertia; every hinge turns about t, positive toward the palm's axis.
void HandScene::BuildFinger(int f)
{
    const double a = 2 * M_PI / 3 * f;
    const double r[3] = {std::cos(a), std::sin(a), 0}, t[3] = {-std::sin(a), std::cos(a), 0};
    const double d[3] = {std::sin(kSplay) * r[0], std::sin(kSplay) * r[1], -std::cos(kSplay)};
    const double base[3] = {kBaseRadius * r[0], kBaseRadius * r[1], kPalmZ - 1}; // on the palm's bottom face
    CdxGeometryID sphere = CdxSphereCreate(kRadius);
    scene_.InsertGeometry("", sphere);
    double s = 0;
    for (int k = 0; k < 3; ++k) {
        const int i = 3 * f + k;
        double frame[4][4], anchor[3], axis[3] = {t[0], t[1], t[2]};
        PxM4Identity(frame);
        Cross(frame[0], t, d);
        PxV3Copy(frame[1], t);
        PxV3Copy(frame[2], d);
        Along(frame[3], base, s + kLength[k] / 2, d);
        Along(anchor, base, s, d);
        CdxGeometryID cylinder = CdxCylinderCreate(kRadius, kLength[k]);
        scene_.InsertGeometry("", cylinder);
        auto *link = new kelmar::Composite;
        link->SetInitialTM(frame);
        double rel[4][4];
        PxM4Identity(rel);
        link->AddComponent(cylinder, nullptr, false, rel, 0, -1);
        for (double end : {-0.5, 0.5}) {
            rel[3][2] = end * kLength[k];
            link->AddComponent(sphere, nullptr, false, rel, 0, -1);
        }
        const double inertia[6] = {kInertia[k][0], 0, 0, kInertia[k][1], 0, kInertia[k][2]};
        link->Build(&scene_, false, 0, kMass[k], inertia, true, nullptr);
        char name[16];
        std::snprintf(name, sizeof name, "f%dl%d", f, k);
        scene_.InsertObject(name, link);
        links_[i] = link;
        auto *hinge = new kelmar::Hinge(&scene_);
        const kelmar::Solid *pair[2] = {link, k == 0 ? nullptr : links_[i - 1]};
        hinge->SetSolids(pair);
        hinge->SetPosition(anchor);
        hinge->SetAxis(axis);
        std::snprintf(name, sizeof name, "f%dj%d", f, k);
        scene_.InsertJoint(name, hinge);
        kelmar::Limit *limit = hinge;
        limit->SetLimits(0, 1.6);
        limit->SetLimitParams(DBL_MAX, 0, 0, DBL_MAX, 0, 0);
        limit->maxForce = limit->lockForce = kTorque;
        limit->maxSpeed = servo_ == Servo::kRate ? 1e3 : 10;
        limit->SetController(new kelmar::LinearController(kRate));
        limits_[i] = limit;
        s += kLength[k];
    }
}

void HandScene::Control(double t)
{
    const double target = kCloseAngle * std::min(t / kCloseTime, 1.0);
    if (servo_ == Servo::kRate) {
        for (kelmar::Limit *limit : limits_) limit->SetValueCtrl(target, 1.0);
    } else {
        double targets[9];
        std::fill(targets, targets + 9, target);
        hand_->SetJoints(targets, 1.0f);
    }
    if (!supportGone_ && t >= kRelease - 1e-9) {
        CdxSpaceDisablePair(ball_->GetModel(), support_->GetModel());
        supportGone_ = true;
    }
}

void HandScene::Observe(int stepsDone)
{
    if (stepsDone != kRefStep) return;
    ball_->GetPosition(reference_);
    haveReference_ = true;
}

// Links whose capsule surface is within 1 mm of the ball's (penetration
// counts); deepest: the deepest penetration (cm), negative for a gap.
int HandScene::Touching(double *deepest) const
{
    double ball[3];
    ball_->GetPosition(ball);
    int touching = 0;
    *deepest = -1e9;
    for (int i = 0; i < 9; ++i) {
        const double(*tm)[4] = links_[i]->GetTM();
        const double half = 0.5 * kLength[i % 3];
        double w[3], closest[3];
        PxV3Sub(w, ball, tm[3]);
        const double u = std::max(-half, std::min(half, PxV3Dot(w, tm[2])));
        PxV3AddScaled(closest, w, tm[2], -u);
        const double gap = PxV3Length(closest) - kBallRadius - kRadius;
        if (gap <= 0.1) ++touching;
        *deepest = std::max(*deepest, -gap);
    }
    return touching;
}

std::string HandScene::Figures() const
{
    double p[3], v[3], deepest;
    ball_->GetPosition(p);
    RbdBodyGetLinearVelocity(ball_->GetBody(), v);
    const double slip = haveReference_ ? PxV3Distance(p, reference_) : NAN;
    const int touching = Touching(&deepest);
    std::unique_ptr<kelmar::ContactList> contacts(ball_->GetContacts(0));
    int fingerContacts = 0;
    for (const kelmar::ContactList::Entry &e : contacts->entries)
        if (RbdConstraintGetBody(e.contact, 1 - e.bodyIndex)) ++fingerContacts; // palm and support have no body
    char text[256];
    std::snprintf(text, sizeof text, "held=%s slip_mm=%.3f contacts=%d vmax=%.2e touch=%d/9 pen_mm=%.2f ball_z=%.4f",
                  haveReference_ && slip <= 3.0 ? "yes" : "NO", 10 * slip, fingerContacts, PxV3Length(v) / 100,
                  touching, 10 * deepest, p[2] / 100);
    return text;
}

} // namespace khand
