// A robot's solids: membership, freezing, collisions between adjacent
// links, contacts, and the traversals of nodes, joints and solids.
#include <kelmar/Robot.h>

#include <kelmar/CdxSpace.h>
#include <kelmar/ContactList.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Solid.h>

namespace kelmar {

namespace {

struct ContactWalk {
    Solid *solid;
    void (*visit)(RbdContactID, int, Solid *, void *);
    void *data;
};

void VisitContact(RbdConstraintID c, void *data)
{
    const ContactWalk &w = *static_cast<const ContactWalk *>(data);
    if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT) return;
    w.visit(c, RbdConstraintGetBody(c, 0) == w.solid->GetBody() ? 0 : 1, w.solid, w.data);
}

const Solid *OtherSolid(RbdContactID c, int side)
{
    RbdBodyID other = RbdConstraintGetBody(c, 1 - side);
    return other ? static_cast<const Solid *>(RbdBodyGetUserData(other)) : nullptr;
}

struct Filter {
    ContactList *list;
    int type;
    const Solid *other;
};

// Keeps contacts against `other`, or with type != 0 against solids of that type.
void Collect(RbdContactID c, int side, Solid *, void *data)
{
    const Filter &f = *static_cast<const Filter *>(data);
    const Solid *other = OtherSolid(c, side);
    if (f.other && other != f.other) return;
    if (!f.other && f.type != 0 && (!other || other->type != f.type)) return;
    f.list->add(c, side);
}

} // namespace

bool Robot::IsPart(const Solid *s) const
{
    if (s && solid == s) return true;
    for (const Robot *child : children)
        if (child->IsPart(s)) return true;
    return false;
}

void Robot::Freeze(int depth)
{
    if (depth <= 0) return;
    if (solid) solid->Freeze();
    for (Robot *child : children) child->Freeze(depth - 1);
}

void Robot::UnFreeze(int depth)
{
    if (depth <= 0) return;
    if (solid) solid->UnFreeze();
    for (Robot *child : children) child->UnFreeze(depth - 1);
}

void Robot::SetCollisionOfAdjacentLinks(bool on)
{
    for (Robot *child : children) {
        CdxModelID mine = solid ? solid->GetModel() : nullptr;
        CdxModelID theirs = child->solid ? child->solid->GetModel() : nullptr;
        if (mine && theirs) {
            if (on)
                CdxSpaceEnablePair(mine, theirs);
            else
                CdxSpaceDisablePair(mine, theirs);
        }
        child->SetCollisionOfAdjacentLinks(on);
    }
}

void Robot::ForAllContacts(void (*visit)(RbdContactID, int, Solid *, void *), void *data) const
{
    const_cast<Robot *>(this)->ForEachNode([&](Robot *node) {
        RbdBodyID body = node->solid ? node->solid->GetBody() : nullptr;
        ContactWalk walk{node->solid, visit, data};
        if (body) RbdBodyForAllConstraints(body, VisitContact, &walk);
    });
}

ContactList *Robot::GetContacts(int type) const
{
    ContactList *list = new ContactList(nullptr);
    Filter filter{list, type, nullptr};
    ForAllContacts(Collect, &filter);
    return list;
}

ContactList *Robot::GetContacts(const Solid *other) const
{
    ContactList *list = new ContactList(nullptr);
    Filter filter{list, 0, other};
    if (other) ForAllContacts(Collect, &filter);
    return list;
}

// The list of one node's solid (empty for a virtual solid).
ContactList *Robot::GetContacts(const Robot *node, int type)
{
    if (!node || !node->solid) return new ContactList(nullptr);
    return node->solid->GetContacts(type);
}

// ---- Traversal ----

void Robot::ForAllJoints(void (Robot::*method)(double), double value)
{
    ForEachJointNode([&](Robot *node) { (node->*method)(value); });
}

void Robot::ForAllJoints(void (Robot::*method)(double), const double *values)
{
    ForEachJointNode([&](Robot *node) { (node->*method)(*values++); });
}

void Robot::ForAllJoints(void (Robot::*method)(double, bool), const double *values, bool flag)
{
    ForEachJointNode([&](Robot *node) { (node->*method)(*values++, flag); });
}

void Robot::ForAllJoints(double (Robot::*method)(), double *results)
{
    ForEachJointNode([&](Robot *node) { *results++ = (node->*method)(); });
}

void Robot::ForAllJoints(void (*visit)(Robot *, void *), void *data)
{
    ForEachJointNode([&](Robot *node) { visit(node, data); });
}

void Robot::ForAllNodes(void (*visit)(Robot *, void *), void *data)
{
    ForEachNode([&](Robot *node) { visit(node, data); });
}

void Robot::ForAllSolids(void (*visit)(Solid *, void *), void *data)
{
    ForEachNode([&](Robot *node) {
        if (node->solid) visit(node->solid, data);
    });
}

} // namespace kelmar
