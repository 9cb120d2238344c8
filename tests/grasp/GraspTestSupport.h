// Scenes for the grasp tests: a universe with one scene read from
// scene-file text (the example hands are imported by absolute path), the
// lines the grasps print, and contacts made by hand for the analysis.
#ifndef KELMAR_TESTS_GRASP_SUPPORT_H
#define KELMAR_TESTS_GRASP_SUPPORT_H

#include <string>
#include <vector>

#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

namespace grasptest {

// The example file's path (examples/name).
std::string Example(const std::string &name);

// hand3.px held palm down at the origin (its fingers pointing down), no
// gravity, a rubber ball of 4 cm radius between the fingers, 10 cm below
// the palm's mounting face; frozen: the ball is held in place.
std::string Hand3WithBall(bool frozenBall);

// A universe with one scene loaded from the elements given (inside <PX>).
class World {
public:
    explicit World(const std::string &elements);
    ~World();
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    void Steps(int n);
    kelmar::Solid *solid(const char *name) { return scene->LookupSolid(name, false); }
    kelmar::Robot *robot(const char *name) { return dynamic_cast<kelmar::Robot *>(scene->LookupObject(name)); }
    // hand3's fingertips touching the ball.
    int TipsOn(const kelmar::Solid *ball);

    kelmar::Universe universe{1000, 1000, 1000, 20000};
    kelmar::Scene *scene = nullptr;
    int loadErrors = 0;

private:
    std::string file_;
};

// Collects the grasps' lines while alive (progress and problem channels apart).
struct Lines {
    Lines();
    ~Lines();
    std::string progress, problems;
};

// Occurrences of piece in text.
int Count(const std::string &text, const std::string &piece);

// A free rubber ball of 4 cm radius at (1, 2, 3), turned by the Euler
// angles given, with contacts made by hand (not enabled, never stepped),
// listed as the ball's.
struct BallWithContacts {
    explicit BallWithContacts(const std::string &euler = "0, 0, 0");
    ~BallWithContacts();
    // A contact at position (cm) whose normal points into the ball, with a
    // friction type and coefficient; second: the ball is its second body.
    void Add(const double position[3], const double normal[3], int frictionType, double mu, bool second = false);

    World world;
    kelmar::Solid *ball;
    kelmar::ContactList list;
    double centre[3]; // of mass, world
    std::vector<RbdContactID> made;
};

// True when the solid has a contact with other.
bool Touches(const kelmar::Solid *solid, const kelmar::Solid *other);

} // namespace grasptest

#endif
