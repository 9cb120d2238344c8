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
#include <set>
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
    // Fingers (solid names up to their last '_') with a link whose name
    // ends in suffix (a palm has no '_') touching the solid s.
    int FingersOn(const kelmar::Solid *s, const std::string &suffix = "")
    {
        std::set<std::string> fingers;
        const std::unique_ptr<kelmar::ContactList> list(s->GetContacts(0));
        for (const auto &e : list->entries) {
            const RbdBodyID other = RbdConstraintGetBody(e.contact, 1 - e.bodyIndex);
            const std::string name = other ? static_cast<kelmar::Solid *>(RbdBodyGetUserData(other))->GetName() : "";
            if (name.find('_') != std::string::npos &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                fingers.insert(name.substr(0, name.rfind('_')));
        }
        return int(fingers.size());
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

} // namespace grasptest

#endif
