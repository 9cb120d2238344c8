// RGB pictures read from PPM (P6 binary or P3 text, any maximum value up to
// 65535), JPEG and PNG files: the images of textures, shared by file name.
#ifndef KELMAR_IMAGE_H
#define KELMAR_IMAGE_H

#include <memory>
#include <string>
#include <vector>

namespace kelmar {

class Image {
public:
    // The picture of file, read once and then shared; null, with the reason
    // in *error, when the file is missing or not a readable picture.
    static std::shared_ptr<const Image> New(const char *file, std::string *error);
    // Forgets the shared pictures (tests, and callers that change files).
    static void ClearCache();

    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom, 3 bytes a pixel
};

// Readers behind Image::New: true and the picture, or false and the reason.
bool loadPPM(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error);
bool loadJPEG(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error);
// PNG pictures of any kind, turned into 8-bit RGB (rows top-down).
bool loadPNG(const char *file, std::vector<unsigned char> &rgb, int &width, int &height, std::string *error);

// Writers: a PNG (rows given bottom-up, as read back from OpenGL, when
// bottomUp) and a PPM (rows top-down). False, with the reason, on failure.
bool SavePNG(const char *file, const unsigned char *rgb, int width, int height, bool bottomUp, std::string *error);
bool SavePPM(const char *file, const unsigned char *rgb, int width, int height, std::string *error);
// quality 1..100; rows top-down.
bool SaveJPEG(const char *file, const unsigned char *rgb, int width, int height, int quality, std::string *error);

} // namespace kelmar

#endif
