#include "loader/LoaderTestSupport.h"

#include <cstdarg>
#include <cstdio>

#include <kelmar/CdxSpace.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>

#include "KelmarTestSupport.h"

namespace kelmartest {

namespace {

std::string Format(const char *format, va_list args)
{
    char text[4096];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

int Record(PxXMLInput *input, int severity, int, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    static_cast<std::vector<Message> *>(input->errorHandlerData)->push_back({severity, Format(format, args)});
    va_end(args);
    return 0;
}

} // namespace

std::string WriteTempScene(const std::string &text)
{
    const std::string path = WriteTempFile(text);
    const std::string scene = path + ".px";
    return std::rename(path.c_str(), scene.c_str()) == 0 ? scene : path;
}

std::string ExamplePath(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}

void RecordingScene::Error(int, const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    messages.push_back({2, Format(format, args)});
    va_end(args);
}

Probe::Probe()
{
    universe.AddScene(&scene);
}

Probe::~Probe()
{
    universe.DelScene(&scene);
}

bool Probe::Read(const std::string &path)
{
    PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_READ);
    if (!stream) return false;
    PxXMLInput *input = scene.CreateXMLInput(stream);
    PxXMLInputSetErrorHandler(input, Record, &scene.messages);
    const bool read = kelmar::PxLoad(&scene, input);
    CdxSpaceBuild(universe.GetSpace());
    PxXMLInputDestroy(input);
    PxStreamClose(stream);
    return read;
}

bool Probe::ReadText(const std::string &text)
{
    const std::string path = WriteTempScene(text);
    const bool read = Read(path);
    std::remove(path.c_str());
    return read;
}

int Probe::Bodies() const
{
    int n = 0;
    for (RbdBodyID b = RbdBodyGetFirst(universe.GetWorld()); b; b = RbdBodyGetNext(b)) ++n;
    return n;
}

int Probe::Models() const
{
    return CdxSpaceGetModelCount(universe.GetSpace());
}

} // namespace kelmartest
