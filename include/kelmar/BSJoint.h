// A ball-and-socket joint: the two attachment points coincide.
#ifndef KELMAR_BSJOINT_H
#define KELMAR_BSJOINT_H

#include <kelmar/Joint.h>

namespace kelmar {

class BSJoint : public Joint {
public:
    explicit BSJoint(Scene *scene);

    // A red line from the first body's position to the joint (opaque pass).
    void draw(unsigned int flags) const override;
};

} // namespace kelmar

#endif
