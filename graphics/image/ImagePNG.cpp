// PNG pictures through libpng, for camera frames written to disk.
#include <kelmar/Image.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <png.h>

namespace kelmar {

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// No object with a destructor in the frame setjmp returns to.
bool Write(FILE *f, const unsigned char *rgb, int width, int height, bool bottomUp)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = 0; row < height; ++row) {
        const int source = bottomUp ? height - 1 - row : row;
        png_write_row(png, rgb + static_cast<size_t>(source) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Any PNG as 8-bit RGB: palettes expanded, grey turned to RGB, 16-bit
// samples stripped, alpha dropped.
bool Read(FILE *f, std::vector<unsigned char> &rgb, int &width, int &height)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    width = static_cast<int>(png_get_image_width(png, info));
    height = static_cast<int>(png_get_image_height(png, info));
    rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) png_read_row(png, &rgb[static_cast<size_t>(y) * width * 3], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool loadPNG(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error)
{
    std::unique_ptr<FILE, FileCloser> f(std::fopen(file, "rb"));
    std::vector<unsigned char> bytes;
    int w = 0, h = 0;
    if (!f || !Read(f.get(), bytes, w, h)) {
        if (error) *error = std::string("PNG file '") + file + "' cannot be read";
        return false;
    }
    rgb.swap(bytes);
    width = w;
    height = h;
    return true;
}

bool SavePNG(const char *file, const unsigned char *rgb, int width, int height, bool bottomUp, std::string *error)
{
    if (width < 1 || height < 1) {
        if (error) *error = std::string("PNG file '") + file + "': empty picture";
        return false;
    }
    // Written beside the file under a name of its own and renamed when
    // whole: a program stopped while writing never leaves half a picture
    // under the name asked for.
    std::string temporary = std::string(file) + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    bool written = false;
    if (fd >= 0) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        FILE *f = fdopen(fd, "wb");
        if (!f) close(fd);
        written = f && Write(f, rgb, width, height, bottomUp);
        written = f && std::fclose(f) == 0 && written;
        written = written && std::rename(temporary.c_str(), file) == 0;
        if (!written) std::remove(temporary.c_str());
    }
    if (!written && error) *error = std::string("PNG file '") + file + "' cannot be written";
    return written;
}

} // namespace kelmar
