// Reading a map file: all of its text, split at white space, each piece a
// real number; the values fill the nodes in order.
#include <kelmar/GraspManifold.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <kelmar/GraspOutput.h>

namespace kelmar {

namespace {

bool ReadAll(const char *file, std::string &text)
{
    FILE *in = std::fopen(file, "rb");
    if (!in) return false;
    char buffer[4096];
    for (size_t n = std::fread(buffer, 1, sizeof buffer, in); n > 0; n = std::fread(buffer, 1, sizeof buffer, in))
        text.append(buffer, n);
    std::fclose(in);
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

void Mismatch(const char *which, const char *file, size_t found, size_t expected)
{
    GraspPrint(GraspChannel::kProblem,
               "Error loading grasp manifold: Dimension mismatch. %ssomweights-file \"%s\" (%zu available, %zu "
               "expected)\n",
               which, file, found, expected);
}

} // namespace

bool GraspManifold::load(const char *file)
{
    std::string text;
    if (!file || !ReadAll(file, text)) {
        GraspPrint(GraspChannel::kProblem, "Error loading grasp manifold: Could not open %s\n", file ? file : "");
        return false;
    }
    size_t found = 0;
    for (size_t at = 0; at < text.size();) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at == text.size()) break;
        size_t end = at;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        const std::string token = text.substr(at, end - at);
        char *stop = nullptr;
        errno = 0;
        const double value = std::strtod(token.c_str(), &stop);
        if (*stop != '\0' || errno == ERANGE) {
            GraspPrint(GraspChannel::kProblem,
                       "Error loading grasp manifold: \"%s\" is not a number in somweights-file \"%s\"\n",
                       token.c_str(), file);
            return false;
        }
        if (found < nodes_.size()) nodes_[found] = value;
        ++found;
        at = end;
    }
    if (found == nodes_.size()) return true;
    Mismatch(found < nodes_.size() ? "Too few values in " : "Too many values in ", file, found, nodes_.size());
    return false;
}

} // namespace kelmar
