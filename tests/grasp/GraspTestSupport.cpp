#include "GraspTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>

#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>

namespace grasptest {

std::string Example(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}

std::string Hand3WithBall(bool frozenBall)
{
    return R"(<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<IMPORT hand><NAME>)" +
           Example("hand3") + R"(</NAME><EULER>3.141592653589793, 0, 0</EULER></IMPORT>
<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>0, 0, -11</POS><FROZEN>)" +
           (frozenBall ? "1" : "0") + "</FROZEN></SOLID>";
}

World::World(const std::string &elements)
{
    char path[] = "/tmp/kelmar-grasp-XXXXXX";
    close(mkstemp(path));
    file_ = path;
    std::ofstream(file_) << "<?xml version=\"1.0\"?>\n<PX>\n" << elements << "\n</PX>\n";
    scene = new kelmar::Scene(file_.c_str());
    universe.AddScene(scene);
    loadErrors = scene->GetLoadErrorCount();
}

World::~World()
{
    universe.DelScene(scene);
    delete scene;
    std::remove(file_.c_str());
}

void World::Steps(int n)
{
    for (int i = 0; i < n; ++i) universe.step();
}

int World::TipsOn(const kelmar::Solid *ball)
{
    int n = 0;
    for (const char *tip : {"hand.finger1_distal", "hand.finger2_distal", "hand.finger3_distal"})
        n += Touches(solid(tip), ball) ? 1 : 0;
    return n;
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

int Count(const std::string &text, const std::string &piece)
{
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

BallWithContacts::BallWithContacts(const std::string &euler)
    : world(R"(<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>1, 2, 3</POS><EULER>)" +
            euler + "</EULER></SOLID>"),
      ball(world.solid("ball")), list(ball)
{
    RbdBodyGetCenterOfMassPosition(ball->GetBody(), centre);
}

BallWithContacts::~BallWithContacts()
{
    for (RbdContactID c : made) RbdConstraintDestroy(c);
}

void BallWithContacts::Add(const double position[3], const double normal[3], int frictionType, double mu, bool second)
{
    RbdContactID c = RbdContactCreate(world.universe.GetWorld());
    RbdConstraintSetBodies(c, second ? nullptr : ball->GetBody(), second ? ball->GetBody() : nullptr);
    RbdContactSetPosition(c, position[0], position[1], position[2]);
    RbdContactSetNormal(c, normal[0], normal[1], normal[2]);
    RbdContactParamsSetType(RbdContactGetParams(c), frictionType);
    RbdContactParamsSetFrictionCoefficient(RbdContactGetParams(c), mu);
    made.push_back(c);
    list.add(c, second ? 1 : 0);
}

bool Touches(const kelmar::Solid *solid, const kelmar::Solid *other)
{
    return std::unique_ptr<kelmar::ContactList>(solid->GetContacts(other))->count > 0;
}

} // namespace grasptest
