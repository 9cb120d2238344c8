// A linear-2 joint: body 0's attachment point stays on the line through
// the anchor along the direction (two rows).
#ifndef KELMAR_LINEAR2_H
#define KELMAR_LINEAR2_H

#include <kelmar/Joint.h>

namespace kelmar {

class Linear2 : public Joint {
public:
    explicit Linear2(Scene *scene);

    using Joint::SetAxis;
    // The direction of the line (normalised; a zero vector is +x).
    void SetAxis(const double *axis);
    void SetDirection(const double *direction) { SetAxis(direction); }
    // The constraint's axis as it is stored (body 1's primary axis, world).
    void GetDirection(double *direction) const { GetAxis(direction); }

protected:
    bool HasAxis() const override { return true; }
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
};

} // namespace kelmar

#endif
