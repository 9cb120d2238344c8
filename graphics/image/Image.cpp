// Shared pictures by file name; the file's first bytes choose the reader.
#include <kelmar/Image.h>

#include <cstdio>
#include <map>

#include <kelmar/PxStream.h>

namespace kelmar {

namespace {

std::map<std::string, std::shared_ptr<const Image>> &Cache()
{
    static std::map<std::string, std::shared_ptr<const Image>> cache;
    return cache;
}

// 'P' '6' or 'P' '3': PPM; 0xFF 0xD8: JPEG; else 0 (or -1: unreadable).
int Kind(const char *file)
{
    FILE *f = std::fopen(file, "rb");
    if (!f) return -1;
    unsigned char magic[2] = {0, 0};
    const size_t n = std::fread(magic, 1, 2, f);
    std::fclose(f);
    if (n == 2 && magic[0] == 'P' && (magic[1] == '6' || magic[1] == '3')) return 'P';
    if (n == 2 && magic[0] == 0xFF && magic[1] == 0xD8) return 'J';
    if (n == 2 && magic[0] == 0x89 && magic[1] == 'P') return 'N';
    return 0;
}

} // namespace

std::shared_ptr<const Image> Image::New(const char *file, std::string *error)
{
    if (!file || !*file) {
        if (error) *error = "no image file named";
        return nullptr;
    }
    auto it = Cache().find(file);
    if (it != Cache().end()) return it->second;
    // As named, else through the file search list (scene runners add the
    // scene's folder, so that a scene's pictures lie beside it).
    const char *found = PxGetFileLocation(file);
    const std::string path = found ? found : file;
    auto image = std::make_shared<Image>();
    bool ok = false;
    switch (Kind(path.c_str())) {
    case -1:
        if (error) *error = std::string("image file '") + file + "' cannot be opened";
        break;
    case 'P': ok = loadPPM(path.c_str(), image->rgb, image->width, image->height, error); break;
    case 'J': ok = loadJPEG(path.c_str(), image->rgb, image->width, image->height, error); break;
    case 'N': ok = loadPNG(path.c_str(), image->rgb, image->width, image->height, error); break;
    default:
        if (error)
            *error = std::string("image file '") + file + "' is neither a PPM (P6, P3), a JPEG nor a PNG picture";
    }
    if (!ok) return nullptr;
    Cache()[file] = image;
    return image;
}

void Image::ClearCache()
{
    Cache().clear();
}

} // namespace kelmar
