// JPEG pictures through libjpeg. The library's errors end a read or write
// through our own handler (a long jump back here) instead of its default
// exit(), and its messages become the reason returned.
#include <kelmar/Image.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace kelmar {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info)
{
    ErrorManager *manager = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void QuietWarning(j_common_ptr, int)
{
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

bool Fail(std::string *error, const char *file, const std::string &why)
{
    if (error) *error = std::string("JPEG file '") + file + "': " + why;
    return false;
}

// Kept apart from loadJPEG so that no object with a destructor lives in the
// frame that setjmp returns to.
bool Decompress(FILE *f, std::vector<unsigned char> &rgb, int &width, int &height, char *message)
{
    jpeg_decompress_struct info;
    ErrorManager manager;
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = OnError;
    manager.base.emit_message = QuietWarning;
    manager.message[0] = 0;
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    rgb.resize(static_cast<size_t>(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &rgb[static_cast<size_t>(info.output_scanline) * width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool Compress(FILE *f, const unsigned char *rgb, int width, int height, int quality, char *message)
{
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = OnError;
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.message);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // At high quality colours keep their full resolution too.
    if (quality >= 90)
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool loadJPEG(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error)
{
    std::unique_ptr<FILE, FileCloser> f(std::fopen(file, "rb"));
    if (!f) return Fail(error, file, "cannot be opened");
    char message[JMSG_LENGTH_MAX];
    std::vector<unsigned char> bytes;
    int w = 0, h = 0;
    if (!Decompress(f.get(), bytes, w, h, message)) return Fail(error, file, message);
    rgb.swap(bytes);
    width = w;
    height = h;
    return true;
}

bool SaveJPEG(const char *file, const unsigned char *rgb, int width, int height, int quality, std::string *error)
{
    std::unique_ptr<FILE, FileCloser> f(std::fopen(file, "wb"));
    if (!f) return Fail(error, file, "cannot be written");
    char message[JMSG_LENGTH_MAX];
    if (!Compress(f.get(), rgb, width, height, quality < 1 ? 1 : (quality > 100 ? 100 : quality), message))
        return Fail(error, file, message);
    return true;
}

} // namespace kelmar
