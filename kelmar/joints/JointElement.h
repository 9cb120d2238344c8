// The tags of joint elements: those every joint shares and those of the
// kinds, parsed into one record so that one handler table serves a kind.
#ifndef KELMAR_JOINTS_JOINTELEMENT_H
#define KELMAR_JOINTS_JOINTELEMENT_H

#include <cstddef>
#include <vector>

#include <kelmar/PxXML.h>

#include "loader/LoadElements.h"

namespace kelmar {

const int kJointNameSize = 256;

struct JointElement {
    // Common tags.
    char id[kJointNameSize];
    char solids[2][kJointNameSize]; // "" or "WORLD": the world
    char relTo[kJointNameSize];     // a solid, or with DH a joint
    TransformSpec transform;
    double dh[4]; // d (cm), theta (rad), a (cm), alpha (rad)
    unsigned int enabled, graphics;
    // Tags of the kinds (file units: lengths times the scene scale).
    double axis[3];
    double pos1[3], pos2[3];
    double stiffness, damping, length;
    double maxForce[3], maxTorque[3];
    double relPos[3], relQuat[4];
    // Not a tag: the world frame Initialize placed the joint on.
    double frame[4][4];
};

// A warning of the input; unlike the scene reader's LoadWarning it carries the
// code PX_XML_BAD_VALUE, which an error handler sees. Errors are LoadError's.
void ReportWarning(PxXMLInput *input, const char *format, ...) PX_XML_PRINTF(2, 3);
// The entries of the common tags.
void AppendCommonTags(std::vector<PxXMLHandler> &handlers);

} // namespace kelmar

#endif
