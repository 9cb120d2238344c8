// A hinge: the two attachment frames share their origin and primary axis;
// the coordinate is the angle (rad) of body 0 about the axis relative to
// body 1, growing with axis . (w0 - w1).
#ifndef KELMAR_HINGE_H
#define KELMAR_HINGE_H

#include <kelmar/LimitedJoint.h>

namespace kelmar {

class Hinge : public LimitedJoint {
public:
    explicit Hinge(Scene *scene);

    // Speed: axis . (w0 - w1) now; position: the angle now.
    void ComputePositionAndSpeed() override;
    double DriveForce() const override;

protected:
    bool HasAxis() const override { return true; }
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
};

} // namespace kelmar

#endif
