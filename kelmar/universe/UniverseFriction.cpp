// Friction switching: every body-body contact is switched each step between
// static friction (the contact point sticks) and dynamic friction (it
// slides), and friction proportional to the normal force becomes a box
// limit from the normal force of the previous step.
#include <kelmar/Universe.h>

#include <cmath>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/SbxBridge.h>

namespace kelmar {

namespace {

// Tangential relative speed (cm/s, per axis) below which a contact sticks.
const double kStickingSpeed = 0.001;

// Velocity of body 0's material point at the contact relative to body 1's,
// without its part along the normal.
void TangentialVelocity(RbdContactID contact, PxVector3 tangential, PxVector3 normal)
{
    PxVector3 position, v0, v1, d;
    RbdContactGetPosition(contact, position);
    RbdContactGetNormal(contact, normal);
    RbdBodyGetVelocityAtPoint(RbdConstraintGetBody(contact, 0), position, v0);
    RbdBodyGetVelocityAtPoint(RbdConstraintGetBody(contact, 1), position, v1);
    PxV3Sub(d, v0, v1);
    PxV3AddScaled(tangential, d, normal, -PxV3Dot(d, normal));
}

bool Sticks(const PxVector3 t)
{
    return std::fabs(t[0]) < kStickingSpeed && std::fabs(t[1]) < kStickingSpeed && std::fabs(t[2]) < kStickingSpeed;
}

// The normal force of the previous step, whose box limits mu x F replace
// friction proportional to the normal force.
double NormalForce(RbdContactID contact, const PxVector3 normal)
{
    PxVector3 force;
    RbdConstraintGetForce(contact, 0, force);
    return std::fabs(PxV3Dot(force, normal));
}

} // namespace

// The contact's user value records the coefficient in use: positive while
// sticking, negated while sliding, 0 for frictionless contacts.
void Universe::TransformDynamicContacts(CdxIntersectResult *result, RbdContactID contacts, bool isNew)
{
    (void)result;
    for (RbdContactID contact = contacts; contact; contact = RbdContactGetNext(contact)) {
        RbdContactParams *p = RbdContactGetParams(contact);
        if (RbdContactParamsGetType(p) != 2) {
            RbdContactSetUserValue(contact, 0.0);
            continue;
        }
        PxVector3 tangential, normal;
        TangentialVelocity(contact, tangential, normal);
        // Static values go into both directions when sticking, dynamic ones
        // when sliding.
        const bool sticking = Sticks(tangential);
        const bool box = !(options_ & kScaledBox) && RbdContactParamsGetPrimaryFrictionModel(p) == 1 && !isNew;
        const double mu = RbdContactParamsSwitchFriction(p, sticking, box, box ? NormalForce(contact, normal) : 0.0);
        RbdContactSetUserValue(contact, sticking ? mu : -mu);
    }
}

void IntersectNewCB(CdxIntersectResult *result, RbdContactID contacts, void *universe)
{
    static_cast<Universe *>(universe)->TransformDynamicContacts(result, contacts, true);
}

void IntersectActiveCB(CdxIntersectResult *result, RbdContactID contacts, void *universe)
{
    static_cast<Universe *>(universe)->TransformDynamicContacts(result, contacts, false);
}

// On the body-body response, which is every pair of bodies the universe makes
// contacts for (its models all answer as bodies).
void Universe::InstallFrictionCallbacks()
{
    SbxBridgeSetIntersectNewCB(bridge_, SbxBodyResponseID, SbxBodyResponseID, IntersectNewCB, this);
    SbxBridgeSetIntersectActiveCB(bridge_, SbxBodyResponseID, SbxBodyResponseID, IntersectActiveCB, this);
    // The switch reads only the contacts and their bodies' velocities: a
    // resting pair may keep its contacts, switched afresh each step.
    SbxBridgeSetCallbacksOnKeptContacts(bridge_, SbxBodyResponseID, SbxBodyResponseID, 1);
}

} // namespace kelmar
