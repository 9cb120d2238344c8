// Filming a run: every n-th step, the picture of a named camera of the
// universe's scenes (a KelmarCamera, or the left eye of a KelmarCamHead) or
// of an overview camera that sees the whole universe, written as PNG frames
// into a folder, and a contact sheet of them at the end.
#ifndef KELMAR_CAMERAFILM_H
#define KELMAR_CAMERAFILM_H

#include <memory>
#include <string>
#include <vector>

#include <kelmar/FrameRecorder.h>

namespace kelmar {

class Object;
class Universe;
class VirtualCamera;

class CameraFilm {
public:
    // camera: the full name of a camera object, or empty for the overview
    // (width x height pixels, files "everything_NNNNNN.png"). every: steps
    // between frames (>= 1).
    CameraFilm(Universe *universe, const std::string &directory, const std::string &camera, int every,
               int width = 640, int height = 480);
    ~CameraFilm();
    // False, with GetError, when the camera is not found or the folder
    // cannot be made.
    bool Open();
    // Films step when it is a multiple of every.
    bool Step(int step);
    // Writes directory/contact_sheet.png.
    bool Finish();
    int FrameCount() const { return recorder_.FrameCount(); }
    const std::string &GetError() const { return error_; }
    std::string ContactSheet() const { return directory_ + "/contact_sheet.png"; }

private:
    bool Shoot(std::vector<unsigned char> &rgb, int *width, int *height);
    bool Took(bool ok, const VirtualCamera &camera);

    Universe *universe_;
    std::string directory_, name_, error_;
    int every_, width_, height_;
    Object *camera_ = nullptr;
    std::unique_ptr<VirtualCamera> overview_;
    FrameRecorder recorder_;
};

} // namespace kelmar

#endif
