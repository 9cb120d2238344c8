// libFuzzer target for the scene reader. Each input is read as a scene
// description into a fresh scene of one universe, then the scene is
// removed again: every element handler, transform, import (of the example
// files only), rollback and registry path can be reached. Any crash, hang,
// leak or out-of-bounds access is a failure; reader messages are expected.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>
#include <kelmar/kelmar.h>

namespace {

// The folder imports are read from: KELMAR_FUZZ_SCENES (the seed copies,
// without the large mesh, so that runs stay fast), else the examples.
std::string SceneFolder()
{
    const char *folder = getenv("KELMAR_FUZZ_SCENES");
    return folder && *folder ? folder : KELMAR_EXAMPLES_DIR;
}

// Imports may open the scenes of that folder, by their file name, and
// nothing else.
class FuzzScene : public kelmar::Scene {
public:
    void Error(int, const char *, ...) const override {}
    void Warning(int, const char *, ...) const override {}
    PxStream *StreamOpenWithSearch(const char *name, int mode) override
    {
        const std::string given = name;
        const std::string base = given.substr(given.rfind('/') + 1);
        static const std::string folder = SceneFolder();
        for (const char *dir : {"/", "/malformed/"}) {
            const std::string path = folder + dir + base;
            struct stat info;
            if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return PxStreamOpen(path.c_str(), mode);
        }
        return nullptr;
    }
};

int Quiet(PxXMLInput *, int, int, const char *, ...)
{
    return 0;
}

void Silent(int, const char *, va_list)
{
}
void Mute(int, const char *)
{
}

kelmar::Universe &TheUniverse()
{
    static kelmar::Universe *universe = [] {
        PxSetWarningHandler(Silent);
        PxSetInfoShow(Mute);
        PxSetFatalErrorShow(Mute);
        return new kelmar::Universe(300, 300, 300, 3000);
    }();
    return *universe;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kelmar::Universe &universe = TheUniverse();
    FuzzScene scene;
    universe.AddScene(&scene);
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (file) {
        PxStream *stream = PxStreamCreate(file);
        PxXMLInput *input = scene.CreateXMLInput(stream);
        PxXMLInputSetErrorHandler(input, Quiet, nullptr);
        kelmar::PxLoad(&scene, input);
        CdxSpaceBuild(universe.GetSpace());
        PxXMLInputDestroy(input);
        PxStreamDestroy(stream);
        fclose(file);
    }
    universe.DelScene(&scene);
    return 0;
}
