#include "RigTestSupport.h"

#include <cstdarg>
#include <cstdio>

#include <gtest/gtest.h>

#include <kelmar/CdxSpace.h>

namespace kelmartest {

namespace {

int Collect(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    (void)code;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    auto *out = static_cast<std::vector<std::string> *>(input->errorHandlerData);
    out->push_back(std::string(severity == PX_XML_WARNING ? "W:" : "E:") + text);
    return 0;
}

} // namespace

Rig::Rig(const std::string &text)
{
    universe.AddScene(&scene);
    if (!text.empty()) messages = Load(text);
}

Rig::~Rig()
{
    universe.DelScene(&scene);
}

std::vector<std::string> Rig::Load(const std::string &elements)
{
    std::vector<std::string> out;
    FILE *file = std::tmpfile();
    std::fprintf(file, "<PX>\n%s\n</PX>\n", elements.c_str());
    std::rewind(file);
    PxStream *stream = PxStreamCreate(file);
    PxXMLInput *input = scene.CreateXMLInput(stream);
    PxXMLInputSetErrorHandler(input, Collect, &out);
    kelmar::PxLoad(&scene, input);
    CdxSpaceBuild(scene.GetSpace());
    kelmar::SetInputScene(input, nullptr);
    PxXMLInputDestroy(input);
    PxStreamDestroy(stream);
    std::fclose(file);
    return out;
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

std::string StandardError(const std::function<void()> &action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

} // namespace kelmartest
