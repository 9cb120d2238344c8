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
// The readers of the CAMERA and CAMHEAD elements, which belong to the
// graphics library (kelmar::InstallGraphics hands them in); null: the
// elements are skipped with a note.
void SetCameraElementHandlers(PxXMLElementFunction camera, PxXMLElementFunction head);

// A message handler that counts messages by severity on their way to
// another handler (its data is a MessageCount).
struct MessageCount {
    PxXMLErrorHandler handler;
    void *data;
    int errors;
    int warnings;
};
int CountingErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...) PX_XML_PRINTF(4, 5);
// The message collection an input's messages end in, through any counters
// in between; null when they go elsewhere.
PxXMLErrorCollection *MessageCollectionOf(const PxXMLInput *input);

} // namespace kelmar

#endif
