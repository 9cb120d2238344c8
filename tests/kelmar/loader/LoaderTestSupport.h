// Reading scene files in tests: a universe and a scene whose every message
// (the reader's, with its severity, and the scene's own) is kept in order.
#ifndef KELMAR_TESTS_LOADER_SUPPORT_H
#define KELMAR_TESTS_LOADER_SUPPORT_H

#include <string>
#include <vector>

#include <kelmar/kelmar.h>

namespace kelmartest {

struct Message {
    int severity; // 1 note, 2 error
    std::string text;
    bool operator==(const Message &other) const { return severity == other.severity && text == other.text; }
};

// A temporary scene file (name ending in ".px") holding text.
std::string WriteTempScene(const std::string &text);

// Where the example scenes are.
std::string ExamplePath(const std::string &name);

class RecordingScene : public kelmar::Scene {
public:
    using kelmar::Scene::Scene;
    void Error(int code, const char *format, ...) const override;
    mutable std::vector<Message> messages;
};

// A universe with one scene attached; Read() reads a file into the scene.
class Probe {
public:
    Probe();
    ~Probe();
    // Reads path; true when the reader met no structural error.
    bool Read(const std::string &path);
    // Reads text written to a temporary file beside the examples' malformed files.
    bool ReadText(const std::string &text);
    int Bodies() const;
    int Models() const;
    kelmar::Solid *SolidNamed(const char *name) { return scene.LookupSolid(name, false); }

    kelmar::Universe universe{200, 200, 200, 4000};
    RecordingScene scene;
};

} // namespace kelmartest

#endif
