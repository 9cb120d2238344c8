// PPM pictures: "P6" (binary samples) and "P3" (text samples), one or two
// bytes a binary sample depending on the maximum value; comments start
// with '#' and run to the end of the line.
#include <kelmar/Image.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace kelmar {

namespace {

const int kMaxSide = 16384; // pixels; larger is taken for a corrupt header

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool Fail(std::string *error, const char *file, const std::string &why)
{
    if (error) *error = std::string("PPM file '") + file + "': " + why;
    return false;
}

// The next header number, skipping blanks and comments; -1 when there is none.
long HeaderNumber(FILE *f)
{
    int c = std::fgetc(f);
    while (c != EOF && (std::isspace(c) || c == '#')) {
        if (c == '#')
            while (c != EOF && c != '\n') c = std::fgetc(f);
        c = std::fgetc(f);
    }
    if (c == EOF || !std::isdigit(c)) return -1;
    long value = 0;
    while (c != EOF && std::isdigit(c) && value <= 1000000) {
        value = 10 * value + (c - '0');
        c = std::fgetc(f);
    }
    if (c != EOF && !std::isspace(c)) return -1; // the one blank before binary samples
    return value;
}

bool ReadSample(FILE *f, bool text, long maxValue, unsigned char *out)
{
    long v;
    if (text) {
        v = HeaderNumber(f);
    } else {
        const int hi = std::fgetc(f);
        const int lo = maxValue > 255 ? std::fgetc(f) : 0;
        if (hi == EOF || lo == EOF) return false;
        v = maxValue > 255 ? (hi << 8 | lo) : hi;
    }
    if (v < 0 || v > maxValue) return false;
    *out = static_cast<unsigned char>((v * 255 + maxValue / 2) / maxValue);
    return true;
}

} // namespace

bool loadPPM(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error)
{
    File f(std::fopen(file, "rb"));
    if (!f) return Fail(error, file, "cannot be opened");
    char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, f.get()) != 2 || magic[0] != 'P' || (magic[1] != '6' && magic[1] != '3'))
        return Fail(error, file, "does not start with P6 or P3");
    const bool text = magic[1] == '3';
    const long w = HeaderNumber(f.get()), h = HeaderNumber(f.get()), maxValue = HeaderNumber(f.get());
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return Fail(error, file, "bad size in the header (width and height 1 to 16384)");
    if (maxValue < 1 || maxValue > 65535) return Fail(error, file, "bad maximum value in the header (1 to 65535)");
    std::vector<unsigned char> bytes(static_cast<size_t>(w) * h * 3);
    for (unsigned char &b : bytes)
        if (!ReadSample(f.get(), text, maxValue, &b))
            return Fail(error, file, "pixel data ends early or holds a sample above the maximum value");
    rgb.swap(bytes);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool SavePPM(const char *file, const unsigned char *rgb, int width, int height, std::string *error)
{
    File f(std::fopen(file, "wb"));
    if (!f) return Fail(error, file, "cannot be written");
    std::fprintf(f.get(), "P6\n%d %d\n255\n", width, height);
    const size_t size = static_cast<size_t>(width) * height * 3;
    if (std::fwrite(rgb, 1, size, f.get()) != size) return Fail(error, file, "write failed");
    return true;
}

} // namespace kelmar
