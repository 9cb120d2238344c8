// The robot-simulation layer: universe, scenes, solids, joints, limits
// and controllers, robots, graphics records and the scene-file reader.
// Units: cm, kg, s.
#ifndef KELMAR_KELMAR_H
#define KELMAR_KELMAR_H

#include <kelmar/BSJoint.h>
#include <kelmar/Color.h>
#include <kelmar/Composite.h>
#include <kelmar/ContactList.h>
#include <kelmar/Controller.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Hashtable.h>
#include <kelmar/Hinge.h>
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/LimitedJoint.h>
#include <kelmar/Linear1.h>
#include <kelmar/Linear2.h>
#include <kelmar/LinearController.h>
#include <kelmar/Object.h>
#include <kelmar/PID.h>
#include <kelmar/Prismatic.h>
#include <kelmar/RPROJoint.h>
#include <kelmar/Robot.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneBuilder.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>
#include <kelmar/Spring.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

#endif
