// A prismatic joint: body 0 slides along its primary axis relative to
// body 1 without turning; the coordinate is the displacement (cm) of
// attachment point 0 from attachment point 1 along that axis.
#ifndef KELMAR_PRISMATIC_H
#define KELMAR_PRISMATIC_H

#include <kelmar/LimitedJoint.h>

namespace kelmar {

class Prismatic : public LimitedJoint {
public:
    explicit Prismatic(Scene *scene);

    // Speed: the rate of the displacement now; position: the displacement now.
    void ComputePositionAndSpeed() override;
    double DriveForce() const override;

protected:
    bool HasAxis() const override { return true; }
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
};

} // namespace kelmar

#endif
