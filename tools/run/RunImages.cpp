// kelmar-run's film through the graphics library's CameraFilm; a build
// without the library refuses --images with the reason.
#include "RunImages.h"

#ifdef KELMAR_RUN_IMAGES
#include <kelmar/CameraFilm.h>
#include <kelmar/GraphicsSetup.h>
#endif

namespace krun {

#ifdef KELMAR_RUN_IMAGES

struct Film::Camera {
    kelmar::CameraFilm film;
    std::string name, directory;
};

void installGraphics()
{
    kelmar::InstallGraphics();
}

bool Film::open(kelmar::Universe &universe, const Options &o, std::string &problem)
{
    if (o.imagesDir.empty()) return true;
    camera_.reset(
        new Camera{kelmar::CameraFilm(&universe, o.imagesDir, o.camera, o.csvEvery), o.camera, o.imagesDir});
    if (camera_->film.Open()) return true;
    problem = camera_->film.GetError();
    return false;
}

bool Film::shoot(int step, std::string &problem)
{
    if (!camera_ || camera_->film.Step(step)) return true;
    problem = "no picture at step " + std::to_string(step) + ": " + camera_->film.GetError();
    return false;
}

bool Film::finish(std::string &problem)
{
    if (!camera_ || camera_->film.Finish()) return true;
    problem = camera_->film.GetError();
    return false;
}

std::string Film::summary() const
{
    if (!camera_) return "";
    const std::string name = camera_->name.empty() ? "everything" : camera_->name;
    return std::to_string(camera_->film.FrameCount()) + " frames of " + name + " in " + camera_->directory +
           ", contact sheet " + camera_->film.ContactSheet();
}

#else

struct Film::Camera {};

void installGraphics()
{
}

bool Film::open(kelmar::Universe &, const Options &o, std::string &problem)
{
    if (o.imagesDir.empty()) return true;
    problem = "--images needs the graphics library, which this kelmar-run was built without";
    return false;
}

bool Film::shoot(int, std::string &)
{
    return true;
}

bool Film::finish(std::string &)
{
    return true;
}

std::string Film::summary() const
{
    return "";
}

#endif

Film::Film() = default;
Film::~Film() = default;

} // namespace krun
