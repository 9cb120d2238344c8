// What hinges, prismatic joints and springs share: their constraint's
// limit is driven as a Limit, measured once per step, and saved and read
// as a LIMIT element.
#ifndef KELMAR_LIMITEDJOINT_H
#define KELMAR_LIMITEDJOINT_H

#include <kelmar/Joint.h>
#include <kelmar/Limit.h>

namespace kelmar {

class LimitedJoint : public Joint, public Limit {
public:
    LimitedJoint(Scene *scene, RbdConstraintID constraint);

    // Each step the old readings of position and speed expire.
    void Update() override { Invalidate(); }
    // The joint's status is its limit's LIMIT element.
    void saveStatus(PxStream *stream) const override { Limit::saveStatus(stream); }
    int loadStatus(PxXMLElement *element) override { return Joint::loadStatus(element); }
    Limit *GetLimit() override { return this; }

protected:
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
    // Velocity (cm/s, world) of the world point p0 carried by body 0 minus
    // that of p1 carried by body 1 (the world stands still).
    void RelativeVelocity(const double *p0, const double *p1, double *v) const;
};

} // namespace kelmar

#endif
