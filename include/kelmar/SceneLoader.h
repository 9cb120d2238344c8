// The scene-file reader: the top-level element dispatch of a scene file.
#ifndef KELMAR_SCENELOADER_H
#define KELMAR_SCENELOADER_H

#include <kelmar/PxXML.h>

namespace kelmar {

class Scene;

// Reads the elements of a scene file into scene; true without reader error.
bool PxLoad(Scene *scene, PxXMLInput *input);
// The scene an input reads into (set by Scene::CreateXMLInput; the input
// carries it), or null.
Scene *GetScene(const PxXMLInput *input);
Scene *GetScene(const PxXMLElement *element);
void SetInputScene(PxXMLInput *input, Scene *scene);

} // namespace kelmar

#endif
