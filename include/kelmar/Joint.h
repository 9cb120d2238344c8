// The base of the joints of a scene: one dynamics constraint between the
// bodies of two solids (or a solid and the world). The joint kinds build on
// this; the scene's joint registry, a solid's attachment walk and the
// constraint iterator need only what is here.
#ifndef KELMAR_JOINT_H
#define KELMAR_JOINT_H

#include <kelmar/Object.h>
#include <kelmar/PxTypes.h>
#include <kelmar/RbdTypes.h>

namespace kelmar {

class Solid;

class Joint : public Object {
public:
    // The constraint is owned: the destructor destroys it.
    explicit Joint(Scene *scene = nullptr, RbdConstraintID constraint = nullptr);
    ~Joint() override;

    void draw(unsigned int flags) const override { (void)flags; }
    // Position (cm, world) and axis of the constraint.
    virtual void SetPosition(const double *position);
    virtual void GetPosition(double *position) const;
    // Attachment point in body index's frame (0 or 1).
    virtual void GetPositionRel(int body, double *position) const;
    virtual void SetAxis(double *axis);
    virtual void GetAxis(double *axis) const;
    // Both attachment frames onto tm (world); GetTM gives frame body in world.
    virtual void SetTM(double tm[4][4]);
    virtual void GetTM(int body, double tm[4][4]) const;

    // Takes the constraint (the previous one is destroyed); its user data is this joint.
    void SetConstraint(RbdConstraintID constraint);
    RbdConstraintID GetConstraint() const { return constraint_; }
    // Forgets the constraint without destroying it (someone else did).
    void ReleaseConstraint() { constraint_ = nullptr; }
    // The bodies of two solids (null: the world). Fails when the first has
    // no body or the bodies live in another world than the constraint.
    bool SetSolids(const Solid *const solids[2]);
    void Enable(bool on);
    // Wakes both bodies.
    void EnableBodies();

    bool showGraphics = false;

protected:
    RbdConstraintID constraint_ = nullptr;
};

} // namespace kelmar

#endif
