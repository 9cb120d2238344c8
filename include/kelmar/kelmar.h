// The robot-simulation layer: universe, scenes, solids, joints' base,
// graphics records and the scene-file reader. Units: cm, kg, s.
#ifndef KELMAR_KELMAR_H
#define KELMAR_KELMAR_H

#include <kelmar/Color.h>
#include <kelmar/Composite.h>
#include <kelmar/ContactList.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Hashtable.h>
#include <kelmar/Joint.h>
#include <kelmar/Object.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneBuilder.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

#endif
