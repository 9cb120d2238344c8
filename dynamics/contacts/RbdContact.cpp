// Contacts: the contact type of the constraint table, creation and reset,
// and the accessors of position, normal, penetration, friction direction,
// parameters, chain link and user value.
#include <math.h>
#include <string.h>
#include <kelmar/RbdContact.h>
#include "contacts/RbdContactRows.h"
#include "world/RbdPrefetch.h"

namespace {

void resetContactData(RbdBaseConstraint *c)
{
    RbdContactData *contact = &c->data.contact;
    memset(contact, 0, sizeof(*contact));
    PxV3Set(contact->normal, 0.0, 1.0, 0.0);
    PxV3Set(contact->direction, 1.0, 0.0, 0.0);
    RbdContactParamsReset(&contact->params);
    c->contactUserValue = 0.0;
    memset(c->contactSleepForce, 0, sizeof(c->contactSleepForce));
}

// A contact removes one degree of freedom (along its normal) and limits none.
const RbdConstraintTypeInfo kContactType = {
    RBD_TYPE_CONTACT, 4, 0, 1, RbdBclAddContact, nullptr, RbdContactSetNormal, resetContactData,
};

RbdContactData *contactOf(RbdContactID c, const char *function)
{
    return RbdConstraintCheckType(c, RBD_TYPE_CONTACT, function) ? &c->data.contact : nullptr;
}

void copyOrZero(PxVector3 out, const PxVector3 value)
{
    if (value)
        PxV3Copy(out, value);
    else
        PxV3Zero(out);
}

// Row by row as RbdConstraintAttachmentToWorld turns the whole frame.
void carriedRow(RbdContactID c, int32_t row, int32_t body, PxVector3 out)
{
    const PxReal(*com)[4] = c->comTransform[body];
    const PxReal *attached = c->attachment[body][row];
    if (!com)
        PxV3Copy(out, attached);
    else if (row == 3)
        PxV3MulTM(out, attached, com);
    else
        PxV3MulTMDir(out, attached, com);
}

} // namespace

RbdContactID RbdContactCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &kContactType, "RbdContactCreate");
}

RbdContactID RbdContactCreateInPool(PxPool *pool)
{
    if (!pool) return nullptr;
    return RbdConstraintCreateOfType(nullptr, pool, &kContactType, "RbdContactCreateInPool");
}

void RbdContactReset(RbdContactID c)
{
    RbdConstraintResetOfType(c, &kContactType, "RbdContactReset");
}

void RbdContactSetPosition(RbdContactID c, PxReal x, PxReal y, PxReal z)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetPosition");
    if (contact && RbdCheckFinite3(x, y, z, "RbdContactSetPosition")) PxV3Set(contact->position, x, y, z);
}

void RbdContactGetPosition(RbdContactID c, PxVector3 out)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetPosition");
    copyOrZero(out, contact ? contact->position : nullptr);
}

void RbdContactSetNormal(RbdContactID c, PxReal x, PxReal y, PxReal z)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetNormal");
    if (!contact || !RbdCheckFinite3(x, y, z, "RbdContactSetNormal")) return;
    PxVector3 normal = {x, y, z};
    PxReal length = PxV3Length(normal);
    // A normal that underflows or overflows when squared has no usable direction.
    if (!(length > 0.0) || !isfinite(length)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdContactSetNormal: the normal (%g, %g, %g) has no direction; unchanged.\n", x,
                  y, z);
        return;
    }
    PxV3Scale(contact->normal, normal, 1.0 / length);
}

void RbdContactGetNormal(RbdContactID c, PxVector3 out)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetNormal");
    copyOrZero(out, contact ? contact->normal : nullptr);
}

void RbdContactSetPenetration(RbdContactID c, PxReal penetration)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetPenetration");
    if (contact && RbdCheckFinite3(penetration, 0.0, 0.0, "RbdContactSetPenetration"))
        contact->penetration = penetration;
}

PxReal RbdContactGetPenetration(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetPenetration");
    return contact ? contact->penetration : 0.0;
}

void RbdContactSetDirection(RbdContactID c, PxReal x, PxReal y, PxReal z)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetDirection");
    if (!contact || !RbdCheckFinite3(x, y, z, "RbdContactSetDirection")) return;
    PxV3Set(contact->direction, x, y, z);
    contact->params.options |= RBD_CONTACT_DIRECTION;
}

void RbdContactGetDirection(RbdContactID c, PxVector3 out)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetDirection");
    copyOrZero(out, contact ? contact->direction : nullptr);
}

void RbdContactSetParams(RbdContactID c, const RbdContactParams *params)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetParams");
    if (contact && params) contact->params = *params;
}

RbdContactParams *RbdContactGetParams(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetParams");
    return contact ? &contact->params : nullptr;
}

void RbdContactSetNext(RbdContactID c, RbdContactID next)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetNext");
    if (!contact) return;
    if (next == c) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdContactSetNext: a contact cannot follow itself; unchanged.\n");
        return;
    }
    contact->next = next;
}

RbdContactID RbdContactGetNext(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetNext");
    return contact ? contact->next : nullptr;
}

int RbdContactIsSwept(RbdContactID c)
{
    return contactOf(c, "RbdContactIsSwept") ? c->swept : 0;
}

void RbdContactSetUserValue(RbdContactID c, PxReal value)
{
    if (contactOf(c, "RbdContactSetUserValue")) c->contactUserValue = value;
}

PxReal RbdContactGetUserValue(RbdContactID c)
{
    return contactOf(c, "RbdContactGetUserValue") ? c->contactUserValue : 0.0;
}

void RbdContactSetFoundPenetration(RbdContactID c, PxReal penetration)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetFoundPenetration");
    if (contact) contact->foundPenetration = penetration;
}

PxReal RbdContactGetFoundPenetration(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetFoundPenetration");
    return contact ? contact->foundPenetration : 0.0;
}

void RbdContactSetSettling(RbdContactID c, int32_t steps)
{
    RbdContactData *contact = contactOf(c, "RbdContactSetSettling");
    if (!contact) return;
    // Settled now: the sweeps hold it at the depth it has.
    if (steps <= 0 && contact->settling > 0) contact->settledPenetration = static_cast<float>(contact->penetration);
    contact->settling = steps > 0 ? steps : 0;
}

int32_t RbdContactGetSettling(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactGetSettling");
    return contact ? contact->settling : 0;
}

void RbdContactRecordFound(RbdContactID c)
{
    RbdContactData *contact = contactOf(c, "RbdContactRecordFound");
    if (!contact) return;
    // The side: the normal crossed with the world axis it leans on least.
    const PxReal *n = contact->normal;
    PxVector3 axis = {0.0, 0.0, 0.0}, side;
    const PxReal x = fabs(n[0]), y = fabs(n[1]), z = fabs(n[2]);
    axis[x <= y && x <= z ? 0 : (y <= z ? 1 : 2)] = 1.0;
    PxV3Cross(side, n, axis);
    PxV3Normalize(side);
    PxMatrix4 frame;
    RbdMakeFrame(n, side, frame);
    PxV3Copy(frame[3], contact->position);
    for (int i = 0; i < 2; ++i) RbdConstraintAttachmentFromWorld(c, i, frame);
    contact->foundPenetration = contact->penetration;
}

void RbdContactGetCarried(RbdContactID c, int32_t row, PxVector3 byBody0, PxVector3 byBody1)
{
    if (!contactOf(c, "RbdContactGetCarried") || row < 0 || row > 3) {
        PxV3Zero(byBody0);
        PxV3Zero(byBody1);
        return;
    }
    carriedRow(c, row, 0, byBody0);
    carriedRow(c, row, 1, byBody1);
}

void RbdContactGetCarriedBy(RbdContactID c, int32_t row, int32_t body, PxVector3 out)
{
    if (!contactOf(c, "RbdContactGetCarriedBy") || row < 0 || row > 3 || body < 0 || body > 1) {
        PxV3Zero(out);
        return;
    }
    carriedRow(c, row, body, out);
}

int RbdContactSharesCarriedAxes(RbdContactID a, RbdContactID b)
{
    if (!contactOf(a, "RbdContactSharesCarriedAxes") || !contactOf(b, "RbdContactSharesCarriedAxes")) return 0;
    if (a->comTransform[0] != b->comTransform[0] || a->comTransform[1] != b->comTransform[1]) return 0;
    // Bits, not values: a zero of the other sign turns into one as well.
    for (int body = 0; body < 2; ++body)
        for (int row = 0; row < 2; ++row)
            if (memcmp(a->attachment[body][row], b->attachment[body][row], 3 * sizeof(PxReal)) != 0) return 0;
    return 1;
}

void RbdContactPrefetch(RbdContactID c)
{
    if (!c) return;
    RbdPrefetchRange(c, offsetof(RbdBaseConstraint, typeId), offsetof(RbdBaseConstraint, typeId) + sizeof(int32_t));
    RbdPrefetchRange(c, offsetof(RbdBaseConstraint, data), offsetof(RbdBaseConstraint, data) + sizeof(c->data));
}

void RbdContactPrefetchCarried(RbdContactID c)
{
    if (c)
        RbdPrefetchRange(c, offsetof(RbdBaseConstraint, attachment),
                         offsetof(RbdBaseConstraint, attachment) + sizeof(c->attachment));
}
