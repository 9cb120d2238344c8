// Element handlers of the scene-file reader for joints and robots.
#ifndef KELMAR_LOADER_LOADJOINTS_H
#define KELMAR_LOADER_LOADJOINTS_H

#include <kelmar/PxXML.h>

namespace kelmar {

// HINGE, PRISMATIC, SPRING, RPROJOINT, BSJOINT, LINEAR1, LINEAR2: a joint
// of that kind, or "<Kind> not created." when its element fails.
int LoadHinge(PxXMLElement *element);
int LoadPrismatic(PxXMLElement *element);
int LoadSpring(PxXMLElement *element);
int LoadRPROJoint(PxXMLElement *element);
int LoadBSJoint(PxXMLElement *element);
int LoadLinear1(PxXMLElement *element);
int LoadLinear2(PxXMLElement *element);

// ROBOT at the top level: builds and registers a robot.
int LoadRobot(PxXMLElement *element);
// ROBOT inside NOCOLLISION: only switches off the collisions between the
// adjacent links of the robot it names or defines; registers nothing.
int LoadRobotNoCollision(PxXMLElement *element);

} // namespace kelmar

#endif
