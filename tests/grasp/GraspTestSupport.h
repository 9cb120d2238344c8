// Scenes for the grasp tests: a universe with one scene read from
// scene-file text (the example hands are imported by absolute path), the
// lines the grasps print, and contacts made by hand for the analysis.
#ifndef KELMAR_TESTS_GRASP_SUPPORT_H
#define KELMAR_TESTS_GRASP_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

namespace grasptest {

const char kStill[] = "<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>"; // no gravity

// hand3.px held palm down at the origin (its fingers pointing down), no
// gravity, a rubber ball of 4 cm radius between the fingers, 10 cm below
// the palm's mounting face; frozen: the ball is held in place.
inline std::string Hand3WithBall(bool frozenBall)
{
    return std::string(kStill) +
           "<IMPORT hand><NAME>" KELMAR_EXAMPLES_DIR "/hand3</NAME><EULER>3.141592653589793, 0, 0</EULER></IMPORT>" +
           "<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES><SOLID ball><GEOMETRY_ID>" +
           "ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>0, 0, -11</POS><FROZEN>" +
           (frozenBall ? "1" : "0") + "</FROZEN></SOLID>";
}

// A universe with one scene loaded without errors from the elements given (inside <PX>).
struct World {
    explicit World(const std::string &elements)
    {
        char path[] = "/tmp/kelmar-grasp-XXXXXX";
        close(mkstemp(path));
        std::ofstream(file = path) << "<?xml version=\"1.0\"?>\n<PX>\n" << elements << "\n</PX>\n";
        universe.AddScene(scene = new kelmar::Scene(path));
        EXPECT_EQ(scene->GetLoadErrorCount(), 0);
    }
    ~World()
    {
        universe.DelScene(scene);
        delete scene;
        std::remove(file.c_str());
    }
    void Steps(int n)
    {
        for (int i = 0; i < n; ++i) universe.step();
    }
    kelmar::Solid *solid(const std::string &name) { return scene->LookupSolid(name.c_str(), false); }
    kelmar::Robot *robot(const char *name) { return dynamic_cast<kelmar::Robot *>(scene->LookupObject(name)); }
    // Fingers (name prefixes) with any of the links given touching other.
    int FingersOn(const kelmar::Solid *other, std::vector<std::string> fingers, std::vector<std::string> links)
    {
        int n = 0;
        for (const std::string &f : fingers) {
            bool on = false;
            for (const std::string &l : links)
                on |= solid(f + l) &&
                      std::unique_ptr<kelmar::ContactList>(solid(f + l)->GetContacts(other))->count > 0;
            n += on;
        }
        return n;
    }
    int TipsOn(const kelmar::Solid *ball) // hand3's
    {
        return FingersOn(ball, {"hand.finger1", "hand.finger2", "hand.finger3"}, {"_distal"});
    }

    kelmar::Universe universe{1000, 1000, 1000, 20000};
    kelmar::Scene *scene = nullptr;
    std::string file;
};

// Collects the grasps' lines while alive (progress and problem channels apart).
struct Lines {
    Lines() { kelmar::GraspSetSink(Collect, this); }
    ~Lines() { kelmar::GraspSetSink(nullptr, nullptr); }
    static void Collect(kelmar::GraspChannel channel, const char *text, void *user)
    {
        Lines *lines = static_cast<Lines *>(user);
        (channel == kelmar::GraspChannel::kProgress ? lines->progress : lines->problems) += text;
    }
    std::string progress, problems;
};

// Occurrences of piece in text.
inline int Count(const std::string &text, const std::string &piece)
{
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// A free rubber ball of 4 cm radius at (1, 2, 3), turned by the Euler
// angles given, with contacts made by hand (not enabled, never stepped),
// listed as the ball's.
struct BallWithContacts {
    explicit BallWithContacts(const std::string &euler = "0, 0, 0")
        : world("<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES><SOLID ball><GEOMETRY_ID>"
                "ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>1, 2, 3</POS><EULER>" +
                euler + "</EULER></SOLID>"),
          ball(world.solid("ball")), list(ball)
    {
        RbdBodyGetCenterOfMassPosition(ball->GetBody(), centre);
    }
    ~BallWithContacts()
    {
        for (RbdContactID c : made) RbdConstraintDestroy(c);
    }
    // A contact at position (cm) whose normal points into the ball, with a
    // friction type and coefficient; second: the ball is its second body.
    void Add(const double p[3], const double normal[3], int frictionType, double mu, bool second = false)
    {
        RbdContactID c = RbdContactCreate(world.universe.GetWorld());
        RbdConstraintSetBodies(c, second ? nullptr : ball->GetBody(), second ? ball->GetBody() : nullptr);
        RbdContactSetPosition(c, p[0], p[1], p[2]);
        RbdContactSetNormal(c, normal[0], normal[1], normal[2]);
        RbdContactParamsSetType(RbdContactGetParams(c), frictionType);
        RbdContactParamsSetFrictionCoefficient(RbdContactGetParams(c), mu);
        made.push_back(c);
        list.add(c, second ? 1 : 0);
    }

    World world;
    kelmar::Solid *ball;
    kelmar::ContactList list;
    double centre[3]; // of mass, world
    std::vector<RbdContactID> made;
};

} // namespace grasptest

#endif
