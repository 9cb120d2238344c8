// Frames of a run from a named camera or the overview.
#include <kelmar/CameraFilm.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

namespace kelmar {

namespace {

// A camera object of that full name in any scene of the universe.
Object *FindCamera(Universe *universe, const std::string &name)
{
    for (Scene *scene : universe->GetScenes()) {
        Object *object = scene->LookupObject(name.c_str(), false);
        if (dynamic_cast<KelmarCamera *>(object) || dynamic_cast<KelmarCamHead *>(object)) return object;
    }
    return nullptr;
}

} // namespace

CameraFilm::CameraFilm(Universe *universe, const std::string &directory, const std::string &camera, int every,
                       int width, int height)
    : universe_(universe), directory_(directory), name_(camera), every_(every < 1 ? 1 : every), width_(width),
      height_(height), recorder_(directory, camera.empty() ? "everything" : camera)
{
}

CameraFilm::~CameraFilm() = default;

bool CameraFilm::Open()
{
    if (mkdir(directory_.c_str(), 0777) != 0 && errno != EEXIST) {
        error_ = "cannot make the folder '" + directory_ + "': " + std::strerror(errno);
        return false;
    }
    if (name_.empty()) {
        overview_.reset(new VirtualCamera(width_, height_, universe_));
        return true;
    }
    camera_ = FindCamera(universe_, name_);
    if (!camera_) error_ = "no camera named '" + name_ + "' in the scenes";
    return camera_ != nullptr;
}

// The overview follows the universe's bounds, so that it keeps everything
// in view as things move. A head films its left eye's window.
bool CameraFilm::Shoot(std::vector<unsigned char> &rgb, int *width, int *height)
{
    if (auto *head = dynamic_cast<KelmarCamHead *>(camera_)) {
        int x, y;
        head->GetWindow(&x, &y, width, height);
        return Took(head->GetLeftImg(rgb), *head);
    }
    if (auto *camera = dynamic_cast<KelmarCamera *>(camera_)) {
        camera->GetSize(width, height);
        return Took(camera->GetImage1(rgb), *camera);
    }
    double pose[4][4];
    OverviewPose(universe_->GetBounds(), overview_->GetViewAngle(), double(width_) / height_, pose);
    overview_->GetSize(width, height);
    return Took(overview_->GetImage1(pose, rgb), *overview_);
}

bool CameraFilm::Took(bool ok, const VirtualCamera &camera)
{
    if (!ok) error_ = camera.GetError();
    return ok;
}

bool CameraFilm::Step(int step)
{
    if (step % every_ != 0) return true;
    std::vector<unsigned char> rgb;
    int width = 0, height = 0;
    error_.clear();
    if (!Shoot(rgb, &width, &height)) return false;
    if (recorder_.Record(step, rgb.data(), width, height)) return true;
    error_ = recorder_.GetError();
    return false;
}

bool CameraFilm::Finish()
{
    if (recorder_.WriteContactSheet(ContactSheet())) return true;
    error_ = recorder_.GetError();
    return false;
}

} // namespace kelmar
