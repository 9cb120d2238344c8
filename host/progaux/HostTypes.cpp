// The module's host data types with their copy, free and describe functions.
#include "progaux/HostTypes.h"

#include <cstdio>

#include <kelmar/ContactList.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdContactParams.h>
#include <kelmar/Solid.h>

#include "objects/DfxObject.h"
#include "objects/DfxUniverse.h"

namespace kelmar {

namespace {

long gSerial = 0;

void *CopySolidRef(const void *value, DfxUnit *unit)
{
    return static_cast<const DfxSolid *>(value)->Copy(unit);
}

void FreeSolidRef(void *value)
{
    delete static_cast<DfxSolid *>(value);
}

void DescribeSolidRef(const void *value, char *text, int size)
{
    static_cast<const DfxSolid *>(value)->Description(text, size);
}

void *CopyContactList(const void *value, DfxUnit *)
{
    const auto *from = static_cast<const HostContactList *>(value);
    auto *copy = new HostContactList(from->list ? new ContactList(*from->list) : nullptr, from->solid.c_str());
    copy->generation = from->generation;
    return copy;
}

void FreeContactList(void *value)
{
    delete static_cast<HostContactList *>(value);
}

void DescribeContactList(const void *value, char *text, int size)
{
    const auto *list = static_cast<const HostContactList *>(value);
    if (!list->Current())
        std::snprintf(text, static_cast<size_t>(size), "out-of-date contact list of solid '%s'\n",
                      list->solid.c_str());
    else
        std::snprintf(text, static_cast<size_t>(size), "%d contacts of solid '%s'\n", list->Count(),
                      list->solid.c_str());
}

void *CopyContactValue(const void *value, DfxUnit *)
{
    return new HostContact(*static_cast<const HostContact *>(value));
}

void FreeContact(void *value)
{
    delete static_cast<HostContact *>(value);
}

void DescribeContact(const void *value, char *text, int size)
{
    const auto *contact = static_cast<const HostContact *>(value);
    if (!contact->valid)
        std::snprintf(text, static_cast<size_t>(size), "invalid contact\n");
    else
        std::snprintf(text, static_cast<size_t>(size), "contact between\n %s\n %s\n",
                      contact->hasBody[0] ? contact->names[0].c_str() : "",
                      contact->hasBody[1] ? contact->names[1].c_str() : "");
}

} // namespace

HostContactList::HostContactList(ContactList *l, const char *solidName)
    : list(l), generation(SimulationGeneration()), serial(++gSerial), solid(solidName ? solidName : "")
{
}

HostContactList::~HostContactList()
{
    delete list;
}

const ContactList *HostContactList::Current() const
{
    return generation == SimulationGeneration() ? list : nullptr;
}

int HostContactList::Count() const
{
    return Current() ? Current()->count : 0;
}

std::string SolidNameOf(RbdBodyID body)
{
    if (!body) return "WORLD";
    const auto *solid = static_cast<const Solid *>(RbdBodyGetUserData(body));
    return solid && solid->GetName() ? solid->GetName() : "";
}

HostContact *CopyContact(RbdContactID contact)
{
    auto *copy = new HostContact;
    if (!contact) return copy;
    RbdConstraintID constraint = contact;
    copy->valid = true;
    for (int side = 0; side < 2; ++side) {
        RbdBodyID body = RbdConstraintGetBody(constraint, side);
        copy->hasBody[side] = body != nullptr;
        copy->names[side] = SolidNameOf(body);
        RbdConstraintGetForce(constraint, side, copy->force[side]);
        RbdConstraintGetTorque(constraint, side, copy->torque[side]);
    }
    RbdContactGetPosition(contact, copy->position);
    RbdContactGetNormal(contact, copy->normal);
    RbdContactGetDirection(contact, copy->direction);
    copy->penetration = RbdContactGetPenetration(contact);
    const RbdContactParams *params = RbdContactGetParams(contact);
    copy->frictionType = params ? RbdContactParamsGetType(params) : -1;
    if (!params) return copy;
    copy->frictionForce[0] = RbdContactParamsGetPrimaryFriction(params);
    copy->frictionForce[1] = RbdContactParamsGetSecondaryFriction(params);
    copy->mu[0] = RbdContactParamsGetPrimaryFrictionCoefficient(params);
    copy->mu[1] = RbdContactParamsGetSecondaryFrictionCoefficient(params);
    return copy;
}

const DfxType *SolidRefType()
{
    static const DfxType *type = dfx_typedef("vx.SolidRef", CopySolidRef, FreeSolidRef, DescribeSolidRef);
    return type;
}

const DfxType *ContactListType()
{
    static const DfxType *type = dfx_typedef("vx.ContactList", CopyContactList, FreeContactList, DescribeContactList);
    return type;
}

const DfxType *ContactType()
{
    static const DfxType *type = dfx_typedef("vx.Contact", CopyContactValue, FreeContact, DescribeContact);
    return type;
}

void DescribeHostValue(const DfxType *type, const void *value, char *text, int size)
{
    if (type == SolidRefType()) DescribeSolidRef(value, text, size);
    if (type == ContactListType()) DescribeContactList(value, text, size);
    if (type == ContactType()) DescribeContact(value, text, size);
}

void *CopyHostValue(const DfxType *type, const void *value)
{
    if (type == SolidRefType()) return CopySolidRef(value, nullptr);
    if (type == ContactListType()) return CopyContactList(value, nullptr);
    if (type == ContactType()) return CopyContactValue(value, nullptr);
    return nullptr;
}

} // namespace kelmar
