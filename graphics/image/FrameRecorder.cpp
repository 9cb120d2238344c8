// Frames and their contact sheet. A thumbnail is the frame shrunk by a
// whole factor (the mean of each block of pixels), at most 160 wide.
#include <kelmar/FrameRecorder.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <kelmar/Image.h>
#include <kelmar/PxVector.h>

namespace kelmar {

namespace {

const int kGap = 4;                           // pixels between thumbnails
const unsigned char kSheet[3] = {40, 40, 40}; // sheet colour

} // namespace

FrameRecorder::FrameRecorder(const std::string &directory, const std::string &prefix)
    : directory_(directory), prefix_(prefix)
{
}

bool FrameRecorder::Record(int step, const unsigned char *rgb, int width, int height)
{
    char name[32];
    std::snprintf(name, sizeof name, "_%06d.png", step);
    const std::string file = directory_ + "/" + prefix_ + name;
    if (!SavePNG(file.c_str(), rgb, width, height, true, &error_)) return false;
    files_.push_back(file);
    const int factor = std::max(1, (width + kThumbnailWidth - 1) / kThumbnailWidth);
    Thumbnail t{width / factor, height / factor, {}};
    t.rgb.resize(static_cast<size_t>(t.width) * t.height * 3);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
            for (int k = 0; k < 3; ++k) {
                int sum = 0;
                for (int j = 0; j < factor; ++j)
                    for (int i = 0; i < factor; ++i)
                        sum += rgb[3 * ((height - 1 - (y * factor + j)) * width + x * factor + i) + k];
                t.rgb[3 * (y * t.width + x) + k] = static_cast<unsigned char>(sum / (factor * factor));
            }
    thumbnails_.push_back(std::move(t));
    return true;
}

bool FrameRecorder::WriteContactSheet(const std::string &file, int columns)
{
    if (thumbnails_.empty()) {
        error_ = "no frames for a contact sheet";
        return false;
    }
    int cellWidth = 0, cellHeight = 0;
    for (const Thumbnail &t : thumbnails_)
        cellWidth = std::max(cellWidth, t.width), cellHeight = std::max(cellHeight, t.height);
    const int count = static_cast<int>(thumbnails_.size());
    columns = std::max(1, std::min(columns, count));
    const int rows = (count + columns - 1) / columns;
    const int width = kGap + columns * (cellWidth + kGap), height = kGap + rows * (cellHeight + kGap);
    std::vector<unsigned char> sheet(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < sheet.size(); ++i) sheet[i] = kSheet[i % 3];
    for (int n = 0; n < count; ++n) {
        const Thumbnail &t = thumbnails_[n];
        const int left = kGap + (n % columns) * (cellWidth + kGap), top = kGap + (n / columns) * (cellHeight + kGap);
        for (int y = 0; y < t.height; ++y)
            std::copy_n(&t.rgb[3 * y * t.width], 3 * t.width, &sheet[3 * ((top + y) * width + left)]);
    }
    return SavePNG(file.c_str(), sheet.data(), width, height, false, &error_);
}

void OverviewPose(const float b[6], double viewAngleDegrees, double aspect, double pose[4][4])
{
    const double centre[3] = {(b[0] + b[1]) / 2.0, (b[2] + b[3]) / 2.0, (b[4] + b[5]) / 2.0};
    const double extent[3] = {b[1] - b[0], b[3] - b[2], b[5] - b[4]};
    const double radius = std::max(1.0, 0.5 * PxV3Length(extent));
    // The bounding sphere fits the narrower of the two view angles.
    const double half = std::atan(std::tan(viewAngleDegrees * M_PI / 360) * std::min(1.0, aspect));
    const double distance = radius / std::sin(half);
    const double elevation = 30 * M_PI / 180;
    double forward[3] = {0, std::cos(elevation), -std::sin(elevation)},
           up[3] = {0, std::sin(elevation), std::cos(elevation)};
    PxM4Identity(pose);
    PxV3Cross(pose[0], up, forward);
    PxV3Copy(pose[1], up);
    PxV3Copy(pose[2], forward);
    for (int k = 0; k < 3; ++k) pose[3][k] = centre[k] - distance * forward[k];
}

} // namespace kelmar
