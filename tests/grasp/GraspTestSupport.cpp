#include "GraspTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdWorld.h>

namespace grasptest {

std::string Example(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}

World::World(const std::string &elements)
{
    char path[] = "/tmp/kelmar-grasp-XXXXXX";
    const int fd = mkstemp(path);
    file_ = path;
    const std::string text = "<?xml version=\"1.0\"?>\n<PX>\n" + elements + "\n</PX>\n";
    if (fd >= 0) {
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) file_.clear();
        close(fd);
    }
    scene = new kelmar::Scene(file_.c_str());
    universe.AddScene(scene);
    loadErrors = scene->GetLoadErrorCount();
}

World::~World()
{
    universe.DelScene(scene);
    delete scene;
    if (!file_.empty()) std::remove(file_.c_str());
}

void World::Steps(int n)
{
    for (int i = 0; i < n; ++i) universe.step();
}

void World::SetGravity(double gz)
{
    RbdWorldSetGravity(universe.GetWorld(), 0, 0, gz);
}

kelmar::Solid *World::solid(const char *name)
{
    return scene->LookupSolid(name, false);
}

kelmar::Robot *World::robot(const char *name)
{
    return dynamic_cast<kelmar::Robot *>(scene->LookupObject(name));
}

namespace {

void Collect(kelmar::GraspChannel channel, const char *text, void *user)
{
    Lines *lines = static_cast<Lines *>(user);
    (channel == kelmar::GraspChannel::kProgress ? lines->progress : lines->problems) += text;
}

} // namespace

Lines::Lines()
{
    kelmar::GraspSetSink(Collect, this);
}

Lines::~Lines()
{
    kelmar::GraspSetSink(nullptr, nullptr);
}

HandMadeContacts::~HandMadeContacts()
{
    for (RbdContactID c : made_) RbdConstraintDestroy(c);
}

RbdContactID HandMadeContacts::Add(RbdBodyID body0, RbdBodyID body1, const double position[3], const double normal[3],
                                   int frictionType, double mu)
{
    RbdContactID c = RbdContactCreate(world_);
    RbdConstraintSetBodies(c, body0, body1);
    RbdContactSetPosition(c, position[0], position[1], position[2]);
    RbdContactSetNormal(c, normal[0], normal[1], normal[2]);
    RbdContactParams *p = RbdContactGetParams(c);
    RbdContactParamsSetType(p, frictionType);
    RbdContactParamsSetFrictionCoefficient(p, mu);
    made_.push_back(c);
    return c;
}

bool Touches(const kelmar::Solid *solid, const kelmar::Solid *other)
{
    kelmar::ContactList *list = solid->GetContacts(other);
    const bool touching = list->count > 0;
    delete list;
    return touching;
}

} // namespace grasptest
