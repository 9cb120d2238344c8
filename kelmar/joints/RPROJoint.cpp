// Relative position and orientation joints: the reference frame of
// relative positions, the pose setters and the element's strengths and
// relative pose.
#include <kelmar/RPROJoint.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdRPROJoint.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

#include "JointElement.h"

namespace kelmar {

namespace {

void WriteTriple(const char *tag, PxStream *stream, const double *v)
{
    char x[32], y[32], z[32];
    PxXMLWrite(tag, stream, "%s, %s, %s", FormatReal(v[0], x), FormatReal(v[1], y), FormatReal(v[2], z));
}

} // namespace

RPROJoint::RPROJoint(Scene *owner) : Joint(owner, owner ? RbdRPROJointCreate(owner->GetWorld()) : nullptr)
{
}

void RPROJoint::UseTM(RbdBodyID body)
{
    frame_ = -1;
    for (int i = 0; body && constraint_ && i < 2; ++i)
        if (RbdConstraintGetBody(constraint_, i) == body) frame_ = i;
}

void RPROJoint::UseTM(int bodyIndex)
{
    const bool known = constraint_ && (bodyIndex == 0 || bodyIndex == 1);
    frame_ = known && RbdConstraintGetBody(constraint_, bodyIndex) ? bodyIndex : -1;
}

// Each body's attachment orientation is given relative to the body: the
// frame tm's rotation (the world axes for null) seen from the body.
void RPROJoint::SetAttachmentOrientations(const double (*tm)[4])
{
    double frame[4][4];
    PxM4Identity(frame);
    if (tm) PxM4Copy(frame, tm);
    for (int i = 0; i < 2; ++i) {
        RbdBodyID body = RbdConstraintGetBody(constraint_, i);
        double local[4][4];
        PxM4Identity(local);
        if (body)
            FrameInBody(local, frame, RbdBodyGetTransformPtr(body));
        else
            PxM4Copy(local, frame);
        PxQuaternion q;
        PxQuaternionFromTM(q, local);
        RbdRPROJointSetAttachmentQuaternion(constraint_, q, i);
    }
    const PxQuaternion identity = {1, 0, 0, 0};
    RbdRPROJointSetRelativeQuaternion(constraint_, identity);
}

void RPROJoint::SetPosition(const double *p)
{
    if (!constraint_) return;
    Joint::SetPosition(p);
    SetAttachmentOrientations(nullptr);
    if (frame_ < 0)
        PxV3Copy(origin_, p);
    else
        RbdConstraintBodyGetPositionRel(constraint_, frame_, origin_);
}

void RPROJoint::GetPosition(double *p) const
{
    RbdConstraintBodyGetPosition(constraint_, frame_ < 0 ? 1 : frame_, p);
}

void RPROJoint::SetTM(double tm[4][4])
{
    if (!constraint_) return;
    Joint::SetTM(tm);
    SetAttachmentOrientations(tm);
}

void RPROJoint::SetRelativePosition(const double *r)
{
    if (!constraint_) return;
    double p[3];
    if (frame_ < 0) {
        PxV3Add(p, origin_, r);
        RbdConstraintBodySetPosition(constraint_, 1, p);
    } else {
        PxQuaternion q;
        double axes[3][3], along[3];
        RbdRPROJointGetAttachmentQuaternion(constraint_, frame_, q);
        PxQuaternionToMatrix3(axes, q);
        PxV3MulM3(along, r, axes);
        PxV3Add(p, origin_, along);
        RbdConstraintBodySetPositionRel(constraint_, frame_, p);
    }
    EnableBodies();
}

void RPROJoint::GetRelativePosition(double *r) const
{
    PxV3Zero(r);
    if (!constraint_) return;
    double p[3], d[3];
    if (frame_ < 0) {
        RbdConstraintBodyGetPosition(constraint_, 1, p);
        PxV3Sub(r, p, origin_);
        return;
    }
    PxQuaternion q;
    double axes[3][3];
    RbdRPROJointGetAttachmentQuaternion(constraint_, frame_, q);
    PxQuaternionToMatrix3(axes, q);
    RbdConstraintBodyGetPositionRel(constraint_, frame_, p);
    PxV3Sub(d, p, origin_);
    for (int k = 0; k < 3; ++k) r[k] = PxV3Dot(d, axes[k]);
}

void RPROJoint::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    const PxXMLHandler own[] = {
        PX_XML_VALUE("MAX_FORCE", PxXMLParseDoubleArray, offsetof(JointElement, maxForce), 3),
        PX_XML_VALUE("MAX_TORQUE", PxXMLParseDoubleArray, offsetof(JointElement, maxTorque), 3),
        PX_XML_VALUE("REL_POS", PxXMLParseDoubleArray, offsetof(JointElement, relPos), 3),
        PX_XML_VALUE("REL_QUAT", PxXMLParseDoubleArray, offsetof(JointElement, relQuat), 4)};
    handlers.insert(handlers.end(), own, own + 4);
}

// Strengths scale as forces (s^3). A new joint with a relative pose reads
// it in the frame of the RELTO solid's body.
int RPROJoint::FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &v, bool isNew)
{
    const double s = scene->GetScale(), s3 = s * s * s;
    double strength[3];
    if (Given(handlers, "MAX_FORCE")) {
        PxV3Scale(strength, v.maxForce, s3);
        RbdRPROJointSetLinearStrength(constraint_, strength);
    }
    if (Given(handlers, "MAX_TORQUE")) {
        PxV3Scale(strength, v.maxTorque, s3);
        RbdRPROJointSetAngularStrength(constraint_, strength);
    }
    if (!isNew || !(Given(handlers, "REL_POS") || Given(handlers, "REL_QUAT"))) return PX_XML_OK;
    const Solid *reference = v.relTo[0] ? scene->LookupSolid(v.relTo) : nullptr;
    if (v.relTo[0] && !reference)
        ReportWarning(input,
                      "Solid '%s' referenced from RPROjoint '%s' is not created yet, using world reference frame "
                      "instead.\n",
                      v.relTo, v.id);
    UseTM(reference ? reference->GetBody() : nullptr);
    SetTM(v.frame);
    SetPosition(v.frame[3]);
    if (Given(handlers, "REL_POS")) {
        double r[3];
        PxV3Scale(r, v.relPos, s);
        SetRelativePosition(r);
    }
    if (Given(handlers, "REL_QUAT")) RbdRPROJointSetRelativeQuaternion(constraint_, v.relQuat);
    return PX_XML_OK;
}

void RPROJoint::saveStatus(PxStream *stream) const
{
    PxVector3 force, torque;
    RbdRPROJointGetLinearStrength(constraint_, force);
    RbdRPROJointGetAngularStrength(constraint_, torque);
    WriteTriple("MAX_FORCE", stream, force);
    WriteTriple("MAX_TORQUE", stream, torque);
}

} // namespace kelmar
