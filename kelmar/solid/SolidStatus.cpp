// Status of a solid: pose and velocities (scene option 0x10), colour and
// options (0x20). Reals are written so that they read back exactly.
#include <kelmar/Solid.h>

#include <cmath>
#include <cstddef>
#include <cstring>

#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "loader/LoadElements.h"

namespace kelmar {

namespace {

struct SolidValues {
    double position[3], quaternion[4], linear[3], angular[3];
    float color[4];
    unsigned int options;
};

void WriteVector(const char *tag, PxStream *stream, const double *v, int n)
{
    char text[4][32];
    if (n == 3)
        PxXMLWrite(tag, stream, "%s, %s, %s", FormatReal(v[0], text[0]), FormatReal(v[1], text[1]),
                   FormatReal(v[2], text[2]));
    else
        PxXMLWrite(tag, stream, "%s, %s, %s, %s", FormatReal(v[0], text[0]), FormatReal(v[1], text[1]),
                   FormatReal(v[2], text[2]), FormatReal(v[3], text[3]));
}

int LoadPart(PxXMLElement *element)
{
    Solid *solid = static_cast<Solid *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    return solid ? solid->loadPartStatus(element) : PX_XML_SKIP_ELEMENT;
}

} // namespace

void Solid::saveStatus(PxStream *stream) const
{
    const unsigned int sceneOptions = scene ? scene->options : Scene::kStatusPose | Scene::kStatusAppearance;
    if (sceneOptions & Scene::kStatusPose) {
        double p[3], q[4], v[3] = {0, 0, 0}, w[3] = {0, 0, 0};
        GetPosition(p);
        StatusQuaternion(q);
        if (body_) {
            RbdBodyGetLinearVelocity(body_, v);
            RbdBodyGetAngularVelocity(body_, w);
        }
        WriteVector("POS", stream, p, 3);
        PxXMLWrite("QUAT", stream, "%.17g, %.17g, %.17g, %.17g", q[0], q[1], q[2], q[3]);
        WriteVector("VLIN", stream, v, 3);
        WriteVector("VROT", stream, w, 3);
    }
    if (sceneOptions & Scene::kStatusAppearance) {
        if (graphics_) {
            float c[4];
            graphics_->GetColor(c);
            PxXMLWrite("COLOR", stream, "%g, %g, %g, %g", c[0], c[1], c[2], c[3]);
        }
        PxXMLWrite("OPT", stream, "%u", options_);
    }
}

// The quaternion is the body's own (a saved unit quaternion), so that the
// restored pose is the saved one bit for bit.
// A body keeps its orientation as a matrix, and a quaternion read back
// from it may differ from the one it was given in the last digit. A saved
// status loaded and saved again must be the same text (and a universe
// restored from it the same state), so the quaternion a status gave is
// written back for as long as the rotation it produced stands.
void Solid::StatusQuaternion(double q[4]) const
{
    bool unchanged = tm_ != nullptr;
    for (int i = 0; unchanged && i < 9; ++i) unchanged = tm_[i / 3][i % 3] == statusRotation_[i];
    if (unchanged)
        std::memcpy(q, statusQuaternion_, sizeof statusQuaternion_);
    else
        GetQuaternion(q);
}

void Solid::RememberStatusQuaternion(const double q[4])
{
    std::memcpy(statusQuaternion_, q, sizeof statusQuaternion_);
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (std::fabs(norm - 1.0) > 1e-12) NormalizeQuaternion(statusQuaternion_);
    if (!tm_) return;
    for (int i = 0; i < 9; ++i) statusRotation_[i] = tm_[i / 3][i % 3];
}

int Solid::loadStatus(PxXMLElement *element)
{
    loadStatusInit(element);
    SolidValues v = {};
    PxXMLHandler handlers[] = {PX_XML_VALUE("POS", PxXMLParseDoubleArray, offsetof(SolidValues, position), 3),
                               PX_XML_VALUE("QUAT", PxXMLParseDoubleArray, offsetof(SolidValues, quaternion), 4),
                               PX_XML_VALUE("VLIN", PxXMLParseDoubleArray, offsetof(SolidValues, linear), 3),
                               PX_XML_VALUE("VROT", PxXMLParseDoubleArray, offsetof(SolidValues, angular), 3),
                               PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(SolidValues, color), 4),
                               PX_XML_VALUE("OPT", PxXMLParseUInt, offsetof(SolidValues, options), 1),
                               PX_XML_ELEMENT("PART", LoadPart),
                               PX_XML_END};
    const int result = ProcessFor(this, element, handlers, &v);
    if (Given(handlers, "QUAT")) {
        if (body_)
            RbdBodySetQuaternion(body_, v.quaternion[0], v.quaternion[1], v.quaternion[2], v.quaternion[3]);
        else
            SetQuaternion(v.quaternion);
        RememberStatusQuaternion(v.quaternion);
    }
    if (Given(handlers, "POS")) SetPosition(v.position);
    if (body_ && Given(handlers, "VLIN")) {
        RbdBodySetLinearVelocity(body_, v.linear[0], v.linear[1], v.linear[2]);
        RbdBodyEnable(body_);
    }
    if (body_ && Given(handlers, "VROT")) {
        RbdBodySetAngularVelocity(body_, v.angular[0], v.angular[1], v.angular[2]);
        RbdBodyEnable(body_);
    }
    if (graphics_ && Given(handlers, "COLOR")) graphics_->SetColor(v.color);
    if (Given(handlers, "OPT")) options_ = v.options;
    loadStatusFinish(element);
    ResyncFrozenModel();
    return result;
}

int Solid::loadPartStatus(PxXMLElement *element)
{
    (void)element;
    return PX_XML_SKIP_ELEMENT;
}

void Solid::loadStatusInit(PxXMLElement *element)
{
    (void)element;
}

void Solid::loadStatusFinish(PxXMLElement *element)
{
    (void)element;
}

} // namespace kelmar
