// Reading a joint element: the common tags, the solids, the placement and
// the registration of the joint.
#include <kelmar/Joint.h>

#include <cstring>
#include <string>

#include <kelmar/Limit.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

#include "JointElement.h"

namespace kelmar {

namespace {

bool IsWorldName(const char *name)
{
    return !name[0] || std::strcmp(name, "WORLD") == 0;
}

} // namespace

int Joint::loadStatus(PxXMLElement *element)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    JointElement v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kJointNameSize - 1);
    std::vector<PxXMLHandler> handlers;
    AppendCommonTags(handlers);
    AddTags(handlers);
    handlers.push_back(PX_XML_END);
    // The LIMIT element finds its limit through the input's user data.
    const int result = ProcessFor(GetLimit(), element, handlers.data(), &v);
    if (result != PX_XML_OK) return result;
    const bool isNew = !constraint_ || !RbdConstraintGetBody(constraint_, 0);
    if (!Initialize(input, handlers.data(), v)) return PX_XML_BAD_VALUE;
    return FinishElement(input, handlers.data(), v, isNew);
}

int Joint::FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &element, bool isNew)
{
    (void)input, (void)handlers, (void)element, (void)isNew;
    return PX_XML_OK;
}

bool Joint::Initialize(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &v)
{
    if (constraint_ && RbdConstraintGetBody(constraint_, 0)) {
        if (Given(handlers, "GRAPHICS")) showGraphics = v.graphics != 0;
        return true;
    }
    if (!scene || !constraint_) return false;
    if (!v.id[0]) std::strncpy(v.id, scene->MakeDefaultId("JOINT").c_str(), kJointNameSize - 1);
    if (scene->LookupJoint(scene->GetFullId(v.id), false)) {
        LoadError(input, "Joint with ID '%s' already exists in scene.\n", v.id);
        return false;
    }
    Solid *solids[2] = {nullptr, nullptr};
    if (!FindSolids(input, handlers, v, solids)) return false;
    const bool givenAxis = Given(handlers, "AXIS") || Given(handlers, "DIR");
    if (HasAxis() && givenAxis && !Given(handlers, "DH") && !Given(handlers, "TM") &&
        !(PxV3Dot(v.axis, v.axis) > 0)) {
        LoadError(input, "Axis of joint '%s' is zero.\n", v.id);
        return false;
    }
    if (!SetSolids(solids)) {
        LoadError(input, "Could not set bodies of joint '%s'.\n", v.id);
        return false;
    }
    if (!Place(input, handlers, v, v.frame)) return false;
    ApplyPlacement(handlers, v, v.frame);
    scene->InsertJoint(v.id, this);
    if (Given(handlers, "ENABLED")) Enable(v.enabled != 0);
    if (Given(handlers, "GRAPHICS")) showGraphics = v.graphics != 0;
    return true;
}

bool Joint::FindSolids(PxXMLInput *input, const PxXMLHandler *handlers, const JointElement &v, Solid *solids[2]) const
{
    if (!Given(handlers, "SOLID_IDS")) {
        LoadError(input, "Joint '%s' must have a <SOLID_IDS> element.\n", v.id);
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (IsWorldName(v.solids[i])) continue;
        solids[i] = scene->LookupSolid(v.solids[i]);
        if (!solids[i]) {
            LoadError(input, "Joint '%s' refers to not existing solid '%s'.\n", v.id, v.solids[i]);
            return false;
        }
    }
    return true;
}

// The joint's world frame: DH parameters on the reference joint's second
// attachment frame, or the transform tags relative to the RELTO solid (or
// the scene placement).
bool Joint::Place(PxXMLInput *input, const PxXMLHandler *handlers, const JointElement &v, double tm[4][4])
{
    const double s = scene->GetScale();
    if (!Given(handlers, "DH")) {
        const double(*reference)[4] = v.relTo[0] ? scene->GetSolidTransform(v.relTo, "joint", v.id) : nullptr;
        GenerateTransform(input, handlers, v.id, v.transform, s, reference ? reference : scene->GetPlacement(), tm);
        return true;
    }
    if (!v.relTo[0]) {
        LoadError(input, "Joint '%s' uses DH parameters but provides no reference joint.\n", v.id);
        return false;
    }
    const Joint *reference = scene->LookupJoint(v.relTo);
    if (!reference) {
        LoadError(input, "Joint '%s' uses DH parameters but refers to not existing joint '%s'.\n", v.id, v.relTo);
        return false;
    }
    double dh[4][4], frame[4][4];
    CreateDHTransform(dh, s * v.dh[0], v.dh[1], s * v.dh[2], v.dh[3]);
    reference->GetTM(1, frame);
    PxMatrix4TMCompound(tm, frame, dh);
    if (!IsRigidTM(tm, 1e-7)) {
        LoadError(input, "Transform (DH) of joint '%s' is not valid.\n", v.id);
        return false;
    }
    return true;
}

// A whole frame (DH, TM) sets both attachment frames; otherwise the
// translation is the joint's position and the axis (default +x) turns
// with the placement.
void Joint::ApplyPlacement(const PxXMLHandler *handlers, const JointElement &v, const double tm[4][4])
{
    if (Given(handlers, "DH") || Given(handlers, "TM")) {
        double whole[4][4];
        PxM4Copy(whole, tm);
        SetTM(whole);
        return;
    }
    SetPosition(tm[3]);
    if (!HasAxis()) return;
    const double x[3] = {1, 0, 0};
    double axis[3];
    ConvertVector(tm, Given(handlers, "AXIS") || Given(handlers, "DIR") ? v.axis : x, axis);
    SetAxis(axis);
}

} // namespace kelmar
