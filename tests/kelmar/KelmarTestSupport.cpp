#include "KelmarTestSupport.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <gtest/gtest.h>

#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>

namespace kelmartest {

namespace {

std::string Format(const char *format, va_list args)
{
    char text[4096];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

} // namespace

int CollectMessage(PxXMLInput *input, int severity, int, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    static_cast<std::vector<std::string> *>(input->errorHandlerData)
        ->push_back((severity == PX_XML_WARNING ? "W:" : "E:") + text);
    return 0;
}

std::string WriteTempScene(const std::string &text)
{
    char path[] = "/tmp/kelmartestXXXXXX.px";
    const int fd = mkstemps(path, 3);
    if (fd < 0) return "";
    FILE *file = fdopen(fd, "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return path;
}

Rig::Rig(const std::string &text)
{
    universe.AddScene(&scene);
    if (!text.empty()) Load(text);
}

Rig::~Rig()
{
    universe.DelScene(&scene);
}

std::vector<std::string> Rig::Load(const std::string &elements)
{
    FILE *file = std::tmpfile();
    std::fprintf(file, "<PX>\n%s\n</PX>\n", elements.c_str());
    std::rewind(file);
    PxStream *stream = PxStreamCreate(file);
    const size_t before = messages.size();
    PxXMLInput *input = scene.CreateXMLInput(stream);
    PxXMLInputSetErrorHandler(input, CollectMessage, &messages);
    kelmar::PxLoad(&scene, input);
    CdxSpaceBuild(scene.GetSpace());
    kelmar::SetInputScene(input, nullptr);
    PxXMLInputDestroy(input);
    PxStreamDestroy(stream);
    std::fclose(file);
    return {messages.begin() + static_cast<long>(before), messages.end()};
}

bool Rig::Read(const std::string &path)
{
    PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_READ);
    if (!stream) return false;
    PxXMLInput *input = scene.CreateXMLInput(stream);
    PxXMLInputSetErrorHandler(input, CollectMessage, &messages);
    const bool read = kelmar::PxLoad(&scene, input);
    CdxSpaceBuild(universe.GetSpace());
    PxXMLInputDestroy(input);
    PxStreamClose(stream);
    return read;
}

bool Rig::ReadText(const std::string &text)
{
    const std::string path = WriteTempScene(text);
    const bool read = Read(path);
    std::remove(path.c_str());
    return read;
}

int Rig::Bodies() const
{
    int n = 0;
    for (RbdBodyID b = RbdBodyGetFirst(universe.GetWorld()); b; b = RbdBodyGetNext(b)) ++n;
    return n;
}

int Rig::Models() const
{
    return CdxSpaceGetModelCount(universe.GetSpace());
}

void Rig::Steps(int n)
{
    for (int i = 0; i < n; ++i) universe.step();
}

kelmar::Limit *Rig::limit(const char *name)
{
    kelmar::Joint *j = joint(name);
    return j ? j->GetLimit() : nullptr;
}

void RecordingScene::Error(int, const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    messages.push_back("E:" + Format(format, args));
    va_end(args);
}

void RecordingScene::Warning(int, const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    warnings += Format(format, args);
    va_end(args);
}

std::string StatusText(const kelmar::Universe *universe, const kelmar::Scene &scene)
{
    FILE *file = std::tmpfile();
    if (universe) universe->saveStatus(file);
    scene.saveStatus(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

void LoadStatusText(kelmar::Universe *universe, kelmar::Scene &scene, const std::string &text)
{
    FILE *file = std::tmpfile();
    std::fputs(text.c_str(), file);
    std::rewind(file);
    EXPECT_EQ(universe ? universe->loadStatus(file) : PX_XML_OK, PX_XML_OK);
    EXPECT_EQ(scene.loadStatus(file), PX_XML_OK);
    std::fclose(file);
}

} // namespace kelmartest
