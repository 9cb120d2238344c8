// Forces on a solid, its contact lists and the constraint iterator.
#include <kelmar/ContactList.h>
#include <kelmar/Solid.h>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>

namespace kelmar {

namespace {

std::vector<RbdConstraintID> ConstraintsOf(RbdBodyID body, int type)
{
    std::pair<int, std::vector<RbdConstraintID>> walk(type, {});
    if (!body) return walk.second;
    RbdBodyForAllConstraints(
        body,
        [](RbdConstraintID c, void *arg) {
            auto &w = *static_cast<std::pair<int, std::vector<RbdConstraintID>> *>(arg);
            if (w.first < 0 || RbdConstraintGetTypeId(c) == w.first) w.second.push_back(c);
        },
        &walk);
    return walk.second;
}

int SideOf(RbdConstraintID c, RbdBodyID body)
{
    return RbdConstraintGetBody(c, 0) == body ? 0 : 1;
}

const Solid *OtherSolid(RbdConstraintID c, int side)
{
    RbdBodyID other = RbdConstraintGetBody(c, 1 - side);
    return other ? static_cast<const Solid *>(RbdBodyGetUserData(other)) : nullptr;
}

} // namespace

void Solid::ComputeTotalForceAndTorque()
{
    PxV3Zero(totalForce_);
    PxV3Zero(totalTorque_);
    for (RbdConstraintID c : ConstraintsOf(body_, -1)) {
        const int side = SideOf(c, body_);
        PxVector3 f, t;
        RbdConstraintGetForce(c, side, f);
        RbdConstraintGetTorque(c, side, t);
        PxV3Add(totalForce_, totalForce_, f);
        PxV3Add(totalTorque_, totalTorque_, t);
    }
    cacheValid_ = 3;
}

void Solid::GetTotalForce(double *force)
{
    if (!(cacheValid_ & 1)) ComputeTotalForceAndTorque();
    PxV3Copy(force, totalForce_);
}

void Solid::GetTotalTorque(double *torque)
{
    if (!(cacheValid_ & 2)) ComputeTotalForceAndTorque();
    PxV3Copy(torque, totalTorque_);
}

ContactList *Solid::GetContacts(int type) const
{
    ContactList *list = new ContactList(this);
    for (RbdConstraintID c : ConstraintsOf(body_, RBD_TYPE_CONTACT)) {
        const int side = SideOf(c, body_);
        if (type != 0) {
            const Solid *other = OtherSolid(c, side);
            if (!other || other->type != type) continue;
        }
        list->add(c, side);
    }
    return list;
}

ContactList *Solid::GetContacts(const Solid *other) const
{
    ContactList *list = new ContactList(this);
    for (RbdConstraintID c : ConstraintsOf(body_, RBD_TYPE_CONTACT)) {
        const int side = SideOf(c, body_);
        if (OtherSolid(c, side) == other) list->add(c, side);
    }
    return list;
}

ContactList::ContactList(const Solid *s) : solid(s), body(s ? s->GetBody() : nullptr)
{
}

void ContactList::add(RbdContactID contact, int bodyIndex)
{
    if (bodyIndex > 1) bodyIndex = RbdConstraintGetBody(contact, 1) == body ? 1 : 0;
    entries.insert(entries.begin(), Entry{contact, bodyIndex});
    ++count;
    PxVector3 f, t;
    RbdConstraintGetForce(contact, bodyIndex, f);
    RbdConstraintGetTorque(contact, bodyIndex, t);
    PxV3Add(totalForce, totalForce, f);
    PxV3Add(totalTorque, totalTorque, t);
}

ConstraintIterator::ConstraintIterator(const Solid *solid, int type)
    : type_(type), body_(solid ? solid->GetBody() : nullptr), constraints_(ConstraintsOf(body_, type))
{
}

RbdConstraintID ConstraintIterator::operator++()
{
    current_ = next_ < constraints_.size() ? constraints_[next_++] : nullptr;
    return current_;
}

int ConstraintIterator::GetBodyIndex() const
{
    return current_ ? SideOf(current_, body_) : 0;
}

} // namespace kelmar
