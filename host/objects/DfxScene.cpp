// A host scene: messages to the host's diagnostics, files through the
// host's search list, registered from construction to destruction.
#include "objects/DfxScene.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <kelmar/PxMemory.h>
#include <kelmar/PxStream.h>

#include "admin/DfxKelmarAdmin.h"

namespace kelmar {

namespace {

std::string Formatted(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, args);
    return text;
}

// The stream keeps the name it was asked for, as the scene reader names
// files in its messages by it.
void Rename(PxStream *stream, const char *name)
{
    const size_t length = std::strlen(name);
    auto *copy = static_cast<char *>(PxMemoryAPI.create(length + 1));
    if (!copy) return;
    std::memcpy(copy, name, length + 1);
    PxMemoryAPI.destroy(stream->name);
    stream->name = copy;
}

} // namespace

DfxScene::DfxScene(const char *name, const char *universeName, const char *fileName, const double placement[4][4],
                   double scale, const char *variables, DfxUnit *unit)
    : Scene(fileName, placement, scale, variables), name_(name ? name : ""),
      universeName_(universeName ? universeName : ""), unit_(unit)
{
    TheAdmin().Register(this);
}

DfxScene::~DfxScene()
{
    TheAdmin().UnRegister(this);
}

void DfxScene::Warning(int code, const char *format, ...) const
{
    (void)code;
    va_list args;
    va_start(args, format);
    const std::string text = Formatted(format, args);
    va_end(args);
    dfx_diagnostics(DFX_WARNING, "%s", text.c_str());
}

void DfxScene::Error(int code, const char *format, ...) const
{
    (void)code;
    va_list args;
    va_start(args, format);
    const std::string text = Formatted(format, args);
    va_end(args);
    dfx_diagnostics(DFX_ERROR, "%s", text.c_str());
}

PxStream *DfxScene::StreamOpenWithSearch(const char *name, int mode)
{
    const char *modeText = PxStreamModeText(mode);
    FILE *file = name && modeText ? dfx_fopen(name, modeText) : nullptr;
    PxStream *stream = file ? PxStreamCreate(file) : nullptr;
    if (!stream && file) std::fclose(file);
    if (stream) Rename(stream, name);
    return stream;
}

} // namespace kelmar
