// The base of the joints of a scene: one dynamics constraint between the
// bodies of two solids (or a solid and the world). Hinge, Prismatic,
// Spring, RPROJoint, BSJoint, Linear1 and Linear2 choose the constraint;
// this base keeps it, places it and reads the tags every joint element
// shares.
//
// Each body carries an attachment frame of the constraint, kept relative
// to the body's centre-of-mass frame (in world coordinates for the world
// side): row 0 is the joint's primary axis, row 3 its position (cm). A
// joint is made with both frames on the same world frame; its coordinate
// (angle or displacement) is zero there.
#ifndef KELMAR_JOINT_H
#define KELMAR_JOINT_H

#include <vector>

#include <kelmar/Object.h>
#include <kelmar/PxTypes.h>
#include <kelmar/PxXML.h>
#include <kelmar/RbdTypes.h>

namespace kelmar {

class Limit;
class Solid;
struct JointElement;

class Joint : public Object {
public:
    // The constraint is owned: the destructor destroys it.
    explicit Joint(Scene *scene = nullptr, RbdConstraintID constraint = nullptr);
    ~Joint() override;

    void draw(unsigned int flags) const override { (void)flags; }
    // Reads a joint element (or a status record of this joint): the common
    // tags and the kind's own, then Initialize. 0 on success; 2 when
    // Initialize failed; a reader code when the element was broken.
    int loadStatus(PxXMLElement *element) override;

    // Position (cm, world) and axis of the constraint.
    virtual void SetPosition(const double *position);
    virtual void GetPosition(double *position) const;
    // Attachment point in body index's frame (0 or 1).
    virtual void GetPositionRel(int body, double *position) const;
    // Normalises axis in place unless it is a unit vector (zero: +x).
    virtual void SetAxis(double *axis);
    virtual void GetAxis(double *axis) const;
    // Both attachment frames onto tm (world); GetTM gives frame body in world.
    virtual void SetTM(double tm[4][4]);
    virtual void GetTM(int body, double tm[4][4]) const;

    // The common part of reading a joint element: name, solids, placement
    // (transform tags, or DH parameters relative to a joint), axis,
    // registration, enabling. For a joint that already has its bodies (a
    // status record) only GRAPHICS is taken. Reports through the input;
    // false when the joint was not made.
    bool Initialize(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &element);

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
    // The solid of body index (0, 1), or null for the world.
    Solid *GetSolid(int body) const;
    // The limit of a hinge, prismatic joint or spring; null for the others.
    virtual Limit *GetLimit() { return nullptr; }

    // The frame a joint with Denavit-Hartenberg parameters d (cm), theta
    // (rad), a (cm), alpha (rad) has in its reference frame. The joint axis
    // is x: theta turns about it and d moves along it; a moves along the
    // turned y axis and alpha tilts about that y axis.
    static void CreateDHTransform(double tm[4][4], double d, double theta, double a, double alpha);

    bool showGraphics = false;

protected:
    // Kinds with an axis (hinge, prismatic, linear-2) turn it with the placement.
    virtual bool HasAxis() const { return false; }
    // The kind's handler entries beyond the common ones (offsets into JointElement).
    virtual void AddTags(std::vector<PxXMLHandler> &handlers) const { (void)handlers; }
    // After Initialize: the kind's own tags; isNew for a joint just made.
    virtual int FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &element, bool isNew);

    RbdConstraintID constraint_ = nullptr;

private:
    bool FindSolids(PxXMLInput *input, const PxXMLHandler *handlers, const JointElement &element,
                    Solid *solids[2]) const;
    bool Place(PxXMLInput *input, const PxXMLHandler *handlers, const JointElement &element, double tm[4][4]);
    void ApplyPlacement(const PxXMLHandler *handlers, const JointElement &element, const double tm[4][4]);
};

} // namespace kelmar

#endif
