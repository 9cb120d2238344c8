// A spring-damper between two attachment points; its coordinate is its
// length (cm). Stiffness in kg/s^2, damping in kg/s; the natural length is
// the distance of the two points when the spring is made.
#ifndef KELMAR_SPRING_H
#define KELMAR_SPRING_H

#include <kelmar/LimitedJoint.h>

namespace kelmar {

class Spring : public LimitedJoint {
public:
    // Stiffness 100, damping 0.3, drawn.
    explicit Spring(Scene *scene);

    // A red line between the attachment points (opaque pass).
    void draw(unsigned int flags) const override;
    // Speed: the rate of the length now; position: the length now.
    void ComputePositionAndSpeed() override;
    double DriveForce() const override;

protected:
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
    int FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &element, bool isNew) override;

private:
    void PlaceEnds(const PxXMLHandler *handlers, const JointElement &element);
};

} // namespace kelmar

#endif
