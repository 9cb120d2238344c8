// Script entries of Joint and its kinds: references to named joints of a
// scene, bound whenever the scene is loaded.
#include <kelmar/Hinge.h>
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/Prismatic.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

DfxJoint *Ref(KelmarCall *c)
{
    return Self<DfxJoint>(c);
}

Joint *J(KelmarCall *c)
{
    return Ref(c)->Require();
}

template <DfxJointRef::Type T> void New(KelmarCall *c)
{
    const char *scene = Text(c, 0, "Joint:Joint"), *name = Text(c, 1, "Joint:Joint");
    auto *joint = new DfxJointRef(name, scene, nullptr, T);
    TheAdmin().Register(joint);
    c->self = joint;
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

void Valid(KelmarCall *c)
{
    ReturnInt(c, Ref(c)->GetJoint() != nullptr);
}

// The joint's limit: "badobj:joint" unless the joint has one.
Limit *L(KelmarCall *c)
{
    auto *limit = dynamic_cast<Limit *>(J(c));
    if (!limit) Raise(kBadObjJoint, kJointNotResolved, Ref(c)->Name(), Ref(c)->SceneName());
    return limit;
}

void GetValue(KelmarCall *c)
{
    ReturnFloat(c, L(c)->GetPosition());
}

const NamedEntry kEntries[] = {
    {"Ref_Joint", New<DfxJointRef::kBallAndSocket>},
    {"Ref_FREE_Joint", Free},
    {"Ref_Hinge", New<DfxJointRef::kHinge>},
    {"Ref_FREE_Hinge", Free},
    {"Ref_Spring", New<DfxJointRef::kSpring>},
    {"Ref_FREE_Spring", Free},
    {"Ref_Prismatic", New<DfxJointRef::kPrismatic>},
    {"Ref_FREE_Prismatic", Free},
    {"Ref_RPROJoint", New<DfxJointRef::kRPROJoint>},
    {"Ref_FREE_RPROJoint", Free},
    {"Joint_Valid", Valid},
    {"Hinge_GetAngle", GetValue},
    {"Prismatic_GetDistance", GetValue},
    {"Limit_GetValue", GetValue},
};

} // namespace

EntryList JointEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
