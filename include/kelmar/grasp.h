// Grasping with robot hands: grasp analysis (grasp map, grasp wrench
// space, internal forces) and the grasp controllers that close a hand
// robot on an object, each called once per simulation step. Units: cm,
// kg, s, rad.
#ifndef KELMAR_GRASP_H
#define KELMAR_GRASP_H

#include <kelmar/GraspBallWrap.h>
#include <kelmar/GraspBallWrap2_Orb.h>
#include <kelmar/GraspContactBased.h>
#include <kelmar/GraspContactBased0.h>
#include <kelmar/GraspManifold.h>
#include <kelmar/GraspMap.h>
#include <kelmar/GraspOutput.h>
#include <kelmar/GraspShadowSOMGrasp.h>

#endif
