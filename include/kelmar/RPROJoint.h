// A relative position and orientation joint: holds body 1's attachment
// point on body 0's and body 1's attachment frame at a relative
// orientation to body 0's, each of the six rows with a force bound
// (kg cm/s^2, kg cm^2/s^2). Relative positions (cm) are read in a chosen
// reference frame: body 0's or body 1's attachment frame, or the world.
#ifndef KELMAR_RPROJOINT_H
#define KELMAR_RPROJOINT_H

#include <kelmar/Joint.h>

namespace kelmar {

class RPROJoint : public Joint {
public:
    explicit RPROJoint(Scene *scene);

    void saveStatus(PxStream *stream) const override;
    // The attachment frame of body (or of body index 0, 1) becomes the
    // reference frame; -1, a null body or a body not on the joint: none.
    void UseTM(RbdBodyID body);
    void UseTM(int bodyIndex);
    int GetReferenceFrame() const { return frame_; }

    // Both attachment frames on the world axes, the relative orientation
    // the identity, the origin of relative positions at p (world).
    void SetPosition(const double *p) override;
    // The reference frame's attachment point (body 1's without one), world.
    void GetPosition(double *p) const override;
    // Both attachment frames onto tm, relative orientation the identity.
    void SetTM(double tm[4][4]) override;
    // The target: the reference frame's attachment point at origin + r
    // (r along the frame's axes); without a reference frame body 1's
    // attachment point at origin + r (world). Wakes both bodies.
    void SetRelativePosition(const double *r);
    void GetRelativePosition(double *r) const;

protected:
    void AddTags(std::vector<PxXMLHandler> &handlers) const override;
    int FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &element, bool isNew) override;

private:
    void SetAttachmentOrientations(const double (*tm)[4]);

    // With a reference frame, in that body's frame (so it moves with it);
    // without, in world coordinates.
    double origin_[3] = {0, 0, 0};
    int frame_ = -1;
};

} // namespace kelmar

#endif
