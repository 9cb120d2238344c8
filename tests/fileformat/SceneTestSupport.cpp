#include "SceneTestSupport.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>

#include <gtest/gtest.h>

#include "common/ReadFile.h"

namespace scenetest {

namespace {

// Messages of the live collector.
Messages *&current()
{
    static Messages *messages = nullptr;
    return messages;
}

std::string format(const char *f, va_list args)
{
    char text[2048];
    vsnprintf(text, sizeof text, f, args);
    return text;
}

int onPositioned(PxXMLInput *input, int severity, int code, const char *f, ...)
{
    va_list args;
    va_start(args, f);
    const std::string text = format(f, args);
    va_end(args);
    char where[64];
    snprintf(where, sizeof where, "%s line %d, pos %d: ", severity == 2 ? "Error" : "Warning", input->line,
             input->column);
    current()->positioned.push_back(where + text);
    return code;
}

} // namespace

CollisionLibrary::CollisionLibrary()
{
    CdxInit(8, 256);
    CdxPrimitivesRegisterTypes();
    CdxTriangleMeshRegisterType();
    CdxCompositeRegisterType();
    CdxPrimitivesRegisterInteractions();
    CdxTriangleMeshRegisterInteractions();
    CdxCompositeGenericRegisterInteractions();
    CdxCompositeLineSegRegisterInteraction();
}

CollisionLibrary::~CollisionLibrary()
{
    CdxTerm();
}

SbxUniverseID makeUniverse()
{
    const SbxUniverseSizes sizes = {64, 256, 8, 64, 512, 4};
    return SbxUniverseCreate(sizes);
}

std::string makeTempDir()
{
    std::string pattern = testing::TempDir() + "kelmar_scene_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char *made = mkdtemp(buffer.data());
    return made ? std::string(made) + "/" : testing::TempDir();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path);
    out << text;
}

std::string saveText(PxSaveContext *context, const std::string &path, int (*save)(PxSaveContext *, PxStream *))
{
    PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_WRITE);
    const int ok = save(context, stream);
    PxStreamClose(stream);
    return ok ? testsupport::ReadFile(path) : std::string();
}

Messages::Messages()
    : savedInfo_(PxSetInfoHandler([](int, const char *f, va_list a) { current()->info.push_back(format(f, a)); })),
      savedFatal_(
          PxSetFatalErrorHandler([](int, const char *f, va_list a) { current()->fatal.push_back(format(f, a)); })),
      savedWarning_(PxSetWarningHandler([](int, const char *, va_list) {})) // plain warnings kept quiet
{
    current() = this;
}

Messages::~Messages()
{
    PxSetInfoHandler(savedInfo_);
    PxSetFatalErrorHandler(savedFatal_);
    PxSetWarningHandler(savedWarning_);
    current() = nullptr;
}

bool Messages::has(const std::vector<std::string> &texts, const std::string &part)
{
    for (const std::string &t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

std::string Messages::all() const
{
    std::string text;
    for (const std::string &t : info) text += "info: " + t;
    for (const std::string &t : positioned) text += "at: " + t;
    for (const std::string &t : fatal) text += "fatal: " + t;
    return text;
}

SceneFiles::SceneFiles()
{
    PxLoadContextSetErrorHandler(context, onPositioned, nullptr);
}

SceneFiles::~SceneFiles()
{
    PxLoadContextDestroyObjects(context);
    PxLoadContextDestroy(context);
    SbxUniverseDestroy(universe);
}

int SceneFiles::load(const std::string &name, const std::string &text)
{
    writeFile(dir + name, text);
    PxStream *stream = PxStreamOpen((dir + name).c_str(), PX_MODE_READ);
    const int result = SbxUniverseLoad(universe, stream, context);
    PxStreamClose(stream);
    return result;
}

} // namespace scenetest
