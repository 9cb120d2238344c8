// The host's printf: every conversion of the C library, and %S, which
// takes a DfxUnit* and writes its path. Each conversion is handed to
// snprintf on its own with the argument of its type.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "StandIn.h"

namespace dfx {

namespace {

// One conversion of the format, "%-8.3lf" say, and where it ends.
struct Spec {
    std::string text;
    char conversion = 0;
    std::string length; // hh h l ll j z t L
    int stars = 0;      // '*' width and precision taken from the arguments
};

Spec ReadSpec(const char *&p)
{
    Spec spec;
    const char *start = p++;
    while (*p && std::strchr("-+ #0", *p)) ++p;
    for (int part = 0; part < 2; ++part) {
        if (part == 1 && *p != '.') break;
        if (part == 1) ++p;
        if (*p == '*') {
            ++spec.stars;
            ++p;
        }
        while (*p >= '0' && *p <= '9') ++p;
    }
    const char *length = p;
    while (*p && std::strchr("hljztL", *p)) ++p;
    spec.length.assign(length, p);
    spec.conversion = *p;
    if (*p) ++p;
    spec.text.assign(start, p);
    return spec;
}

template <class T> void Append(std::string &out, const Spec &spec, const int *stars, T value)
{
    char small[256];
    int n;
    if (spec.stars == 2)
        n = std::snprintf(small, sizeof small, spec.text.c_str(), stars[0], stars[1], value);
    else if (spec.stars == 1)
        n = std::snprintf(small, sizeof small, spec.text.c_str(), stars[0], value);
    else
        n = std::snprintf(small, sizeof small, spec.text.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    if (spec.stars == 2)
        std::snprintf(&big[0], big.size(), spec.text.c_str(), stars[0], stars[1], value);
    else if (spec.stars == 1)
        std::snprintf(&big[0], big.size(), spec.text.c_str(), stars[0], value);
    else
        std::snprintf(&big[0], big.size(), spec.text.c_str(), value);
    out.append(big.c_str(), static_cast<size_t>(n));
}

void AppendInteger(std::string &out, const Spec &spec, const int *stars, va_list &args)
{
    const std::string &l = spec.length;
    if (l == "l") return Append(out, spec, stars, va_arg(args, long));
    if (l == "ll") return Append(out, spec, stars, va_arg(args, long long));
    if (l == "z") return Append(out, spec, stars, va_arg(args, size_t));
    if (l == "j") return Append(out, spec, stars, va_arg(args, std::intmax_t));
    if (l == "t") return Append(out, spec, stars, va_arg(args, std::ptrdiff_t));
    Append(out, spec, stars, va_arg(args, int)); // int, short and char arrive as int
}

void AppendConversion(std::string &out, const Spec &spec, va_list &args)
{
    int stars[2] = {0, 0};
    for (int i = 0; i < spec.stars; ++i) stars[i] = va_arg(args, int);
    switch (spec.conversion) {
    case 'S': out += UnitPath(va_arg(args, const DfxUnit *)); return;
    case '%': out += '%'; return;
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'o':
    case 'c': return AppendInteger(out, spec, stars, args);
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (spec.length == "L") return Append(out, spec, stars, va_arg(args, long double));
        return Append(out, spec, stars, va_arg(args, double));
    case 's': {
        const char *text = va_arg(args, const char *);
        return Append(out, spec, stars, text ? text : "(null)");
    }
    case 'p': return Append(out, spec, stars, va_arg(args, void *));
    default: out += spec.text; // unknown or %n: written as it stands
    }
}

} // namespace

std::string FormatV(const char *format, va_list args)
{
    std::string out;
    if (!format) return out;
    va_list copy;
    va_copy(copy, args);
    for (const char *p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        AppendConversion(out, ReadSpec(p), copy);
    }
    va_end(copy);
    return out;
}

std::string Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

// Names from the program below the root down to the unit; an unnamed unit
// shows its label in angle brackets.
std::string UnitPath(const DfxUnit *unit)
{
    if (!unit || !IsLive(unit)) return "<no unit>";
    if (unit->kind == Kind::kRoot) return "<root>";
    std::string path;
    for (const DfxUnit *u = unit; u && u->kind != Kind::kRoot; u = u->parent) {
        const std::string part = u->name.empty() ? "<" + u->label + ">" : u->name;
        path = path.empty() ? part : part + "/" + path;
    }
    return path;
}

} // namespace dfx
