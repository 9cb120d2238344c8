// A linear-1 joint: body 0's attachment point stays on the plane through
// the anchor perpendicular to the axis (one row).
#ifndef KELMAR_LINEAR1_H
#define KELMAR_LINEAR1_H

#include <kelmar/Joint.h>

namespace kelmar {

class Linear1 : public Joint {
public:
    explicit Linear1(Scene *scene);

    // The anchor at p (cm, world); the axis points from body 1's position
    // (the world origin without body 1) to it.
    void SetPosition(const double *p) override;
};

} // namespace kelmar

#endif
