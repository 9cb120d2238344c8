// A unit's output values as text, for the save and load hooks of modules:
// "values <n>", then one line per output: its type and its value (numbers
// with their count, texts quoted, bytes in hexadecimal; objects of declared
// types are written as "none" and left alone on loading).
#include <cstdio>
#include <cstring>

#include "StandIn.h"

namespace dfx {

namespace {

void WriteValue(FILE *file, const Value &value)
{
    const char kind = value.type ? value.type->builtin : 0;
    if (kind == 'i' || kind == 'f') {
        std::fprintf(file, "%s %zu", value.type->name.c_str(), value.numbers.size());
        for (float f : value.numbers) std::fprintf(file, " %.9g", static_cast<double>(f));
    } else if (kind == 't') {
        std::fprintf(file, "text %s", Quote(value.text).c_str());
    } else if (kind == 'b') {
        std::fprintf(file, "bytes %zu ", value.bytes.size());
        for (unsigned char b : value.bytes) std::fprintf(file, "%02x", b);
    } else {
        std::fputs("none", file);
    }
    std::fputc('\n', file);
}

bool ReadNumbers(FILE *file, Value &value)
{
    size_t count = 0;
    if (std::fscanf(file, "%zu", &count) != 1 || count > (1u << 24)) return false;
    value.numbers.resize(count);
    for (float &f : value.numbers)
        if (std::fscanf(file, "%f", &f) != 1) return false;
    return true;
}

bool ReadText(FILE *file, Value &value)
{
    int c;
    while ((c = std::fgetc(file)) == ' ') continue;
    if (c != '"') return false;
    value.text.clear();
    while ((c = std::fgetc(file)) != EOF && c != '"') {
        if (c == '\\') c = std::fgetc(file) == 'n' ? '\n' : c;
        value.text += static_cast<char>(c);
    }
    return c == '"';
}

bool ReadBytes(FILE *file, Value &value)
{
    size_t count = 0;
    if (std::fscanf(file, "%zu ", &count) != 1 || count > (1u << 28)) return false;
    value.bytes.resize(count);
    for (unsigned char &b : value.bytes) {
        unsigned int byte;
        if (std::fscanf(file, "%2x", &byte) != 1) return false;
        b = static_cast<unsigned char>(byte);
    }
    return true;
}

bool ReadValue(FILE *file, Value &value)
{
    char type[64];
    if (std::fscanf(file, "%63s", type) != 1) return false;
    if (std::strcmp(type, "none") == 0) return true;
    value.Clear();
    const bool text = std::strcmp(type, "text") == 0, bytes = std::strcmp(type, "bytes") == 0;
    value.type = dfx_type(type);
    if (!value.type || !value.type->builtin) return false;
    return text ? ReadText(file, value) : bytes ? ReadBytes(file, value) : ReadNumbers(file, value);
}

} // namespace

} // namespace dfx

extern "C" {

void dfx_save_value(FILE *file, DfxUnit *unit)
{
    dfx::CountHostCall();
    if (!file || !dfx::IsLive(unit)) prog_throw("badarg:unit", "dfx_save_value: no file or unit\n");
    std::fprintf(file, "values %zu\n", unit->outputs.size());
    for (const dfx::Port *output : unit->outputs) dfx::WriteValue(file, output->value);
}

int dfx_load_value(FILE *file, DfxUnit *unit)
{
    dfx::CountHostCall();
    if (!file || !dfx::IsLive(unit)) prog_throw("badarg:unit", "dfx_load_value: no file or unit\n");
    size_t count = 0;
    if (std::fscanf(file, " values %zu", &count) != 1 || count != unit->outputs.size()) return 0;
    for (dfx::Port *output : unit->outputs)
        if (!dfx::ReadValue(file, output->value)) return 0;
    return 1;
}

} // extern "C"
