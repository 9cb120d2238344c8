// Camera frames written to disk as PNG files, and a contact sheet of them
// at the end: what a run writes for people to look at. Also the pose of an
// overview camera that sees a whole scene.
#ifndef KELMAR_FRAMERECORDER_H
#define KELMAR_FRAMERECORDER_H

#include <string>
#include <vector>

namespace kelmar {

class FrameRecorder {
public:
    // Frames go to directory/prefix_NNNNNN.png (NNNNNN: the step).
    FrameRecorder(const std::string &directory, const std::string &prefix);
    // Writes one frame (rows bottom-up, as cameras give them) and keeps a
    // thumbnail of it; false, with the reason in GetError, on failure.
    bool Record(int step, const unsigned char *rgb, int width, int height);
    // Thumbnails of every recorded frame in rows of up to columns, each
    // labelled by nothing but its place (left to right, top to bottom).
    bool WriteContactSheet(const std::string &file, int columns = 6);
    int FrameCount() const { return static_cast<int>(thumbnails_.size()); }
    const std::vector<std::string> &Files() const { return files_; }
    const std::string &GetError() const { return error_; }

    static const int kThumbnailWidth = 160; // pixels, at most

private:
    struct Thumbnail {
        int width, height;
        std::vector<unsigned char> rgb; // rows top-down
    };
    std::string directory_, prefix_, error_;
    std::vector<Thumbnail> thumbnails_;
    std::vector<std::string> files_;
};

// A camera pose that sees the box {xmin, xmax, ymin, ymax, zmin, zmax}
// (cm) whole with the given vertical view angle (degrees) and aspect
// ratio: looking at its centre from the front (-y), above, with z up.
void OverviewPose(const float bounds[6], double viewAngleDegrees, double aspect, double pose[4][4]);

} // namespace kelmar

#endif
