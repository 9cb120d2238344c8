// A universe with one scene filled from scene-file text, for the tests of
// joints, limits and robots. The reader's messages are kept as lines
// "E:text" (errors) and "W:text" (warnings); standard-error messages of
// refused joint commands are captured separately.
#ifndef KELMAR_TESTS_KELMAR_RIG_H
#define KELMAR_TESTS_KELMAR_RIG_H

#include <functional>
#include <string>
#include <vector>

#include <kelmar/kelmar.h>

namespace kelmartest {

class Rig {
public:
    // text: elements inside <PX> (read at once; messages in `messages`).
    explicit Rig(const std::string &text = "");
    ~Rig();
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;

    // Reads more elements into the scene; returns their messages.
    std::vector<std::string> Load(const std::string &elements);
    void Steps(int n);
    kelmar::Solid *solid(const char *name) { return scene.LookupSolid(name); }
    kelmar::Joint *joint(const char *name) { return scene.LookupJoint(name); }
    kelmar::Limit *limit(const char *name);
    kelmar::Robot *robot(const char *name) { return dynamic_cast<kelmar::Robot *>(scene.LookupObject(name)); }

    kelmar::Universe universe;
    kelmar::Scene scene;
    std::vector<std::string> messages;
};

// What action writes to standard error.
std::string StandardError(const std::function<void()> &action);

} // namespace kelmartest

#endif
