// Diagnostics reach people: printed unless a sink is installed (tests
// install one to read them).
#include <cstdio>
#include <utility>

#include "StandIn.h"

namespace dfx {

namespace {

Sink &CurrentSink()
{
    static Sink sink;
    return sink;
}

void Print(int level, const std::string &text)
{
    static const char *const kPrefix[] = {"", "warning: ", "error: "};
    FILE *stream = level == DFX_INFO ? stdout : stderr;
    std::fputs(level >= 0 && level <= 2 ? kPrefix[level] : "", stream);
    std::fputs(text.c_str(), stream);
    if (level != DFX_INFO && (text.empty() || text.back() != '\n')) std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

void Emit(int level, const std::string &text)
{
    if (CurrentSink())
        CurrentSink()(level, text);
    else
        Print(level, text);
}

Sink SetDiagnosticsSink(Sink sink)
{
    Sink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

CaptureDiagnostics::CaptureDiagnostics()
{
    previous_ = SetDiagnosticsSink([this](int level, const std::string &text) { all_.push_back({level, text}); });
}

CaptureDiagnostics::~CaptureDiagnostics()
{
    SetDiagnosticsSink(std::move(previous_));
}

std::vector<std::string> CaptureDiagnostics::Texts(int level) const
{
    std::vector<std::string> texts;
    for (const Diagnostic &d : all_)
        if (d.level == level) texts.push_back(d.text);
    return texts;
}

std::string CaptureDiagnostics::Joined() const
{
    std::string joined;
    for (const Diagnostic &d : all_) joined += d.text;
    return joined;
}

} // namespace dfx

using dfx::Emit;
using dfx::FormatV;

extern "C" {

void dfx_diagnostics(int level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    Emit(level, text);
}

void dfx_warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    Emit(DFX_WARNING, text);
}

void dfx_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    Emit(DFX_ERROR, text);
}

} // extern "C"
