// Makes the example scenes' texture pictures: tiles.ppm (a 64 x 64 tiled
// pattern) and wood.jpg (128 x 128 wood grain), into the folder given.
// The pictures in examples/textures/ were made with it.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <kelmar/Image.h>

namespace {

std::vector<unsigned char> Tiles()
{
    const int side = 64, tile = 16;
    std::vector<unsigned char> rgb(side * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool grout = x % tile == 0 || y % tile == 0;
            const bool dark = (x / tile + y / tile) % 2;
            unsigned char *p = &rgb[3 * (y * side + x)];
            p[0] = grout ? 60 : (dark ? 70 : 220);
            p[1] = grout ? 60 : (dark ? 110 : 225);
            p[2] = grout ? 60 : (dark ? 170 : 230);
        }
    return rgb;
}

// Rings around a point off the picture, wobbled by a few sines.
std::vector<unsigned char> Wood()
{
    const int side = 128;
    std::vector<unsigned char> rgb(side * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double r = std::hypot(x + 40.0, (y - 64) * 0.25) + 3 * std::sin(y * 0.11) + 1.5 * std::sin(x * 0.3);
            const double grain = 0.5 + 0.5 * std::sin(r * 0.9);
            unsigned char *p = &rgb[3 * (y * side + x)];
            p[0] = static_cast<unsigned char>(150 + 60 * grain);
            p[1] = static_cast<unsigned char>(95 + 45 * grain);
            p[2] = static_cast<unsigned char>(45 + 25 * grain);
        }
    return rgb;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? argv[1] : ".";
    std::string error;
    const std::vector<unsigned char> tiles = Tiles(), wood = Wood();
    if (!kelmar::SavePPM((dir + "/tiles.ppm").c_str(), tiles.data(), 64, 64, &error) ||
        !kelmar::SaveJPEG((dir + "/wood.jpg").c_str(), wood.data(), 128, 128, 90, &error)) {
        std::fprintf(stderr, "make_textures: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
