// Element handlers of the scene-file reader and what they share: messages
// through the input's error handler, the transform tags, default names,
// materials and densities. Lengths read from a file are multiplied by the
// scene scale s (cm), masses and forces by s^3.
#ifndef KELMAR_LOADER_LOADELEMENTS_H
#define KELMAR_LOADER_LOADELEMENTS_H

#include <cstddef>
#include <string>

#include <kelmar/CdxTypes.h>
#include <kelmar/PxXML.h>

namespace kelmar {

class Scene;

// ---- Top-level elements (and their families) ----
int LoadDefaultColor(PxXMLElement *element);
int LoadVariable(PxXMLElement *element);
int LoadDefaultVariable(PxXMLElement *element);
int LoadImport(PxXMLElement *element);
int LoadWorld(PxXMLElement *element);
int LoadGeometries(PxXMLElement *element);
int LoadGraphicPrims(PxXMLElement *element);
int LoadGraphics(PxXMLElement *element);
int LoadSolid(PxXMLElement *element);
int LoadNoCollision(PxXMLElement *element);
int LoadRemove(PxXMLElement *element);
int LoadCamera(PxXMLElement *element);

// ---- Messages (level 2 errors, level 1 notes about ignored or defaulted data) ----
void LoadError(PxXMLInput *input, const char *format, ...) PX_XML_PRINTF(2, 3);
void LoadWarning(PxXMLInput *input, const char *format, ...) PX_XML_PRINTF(2, 3);

// True when the tag was met and its value parsed.
bool Given(const PxXMLHandler *handlers, const char *tag);
// Processes element with handlers into values while owner is the input's
// user data, where the handlers of nested elements find what they fill; the
// user data before is restored after.
int ProcessFor(void *owner, PxXMLElement *element, PxXMLHandler *handlers, void *values);
// The element's text (variables substituted) up to its first child or its
// closing tag; the caller then returns PX_XML_SKIP_ELEMENT.
std::string ReadElementText(PxXMLElement *element);

// True when name, or the file the search list finds for it, is a regular
// file (not a folder, a device or a pipe that would never end).
bool IsRegularFile(const char *name);

// Copies non-empty attribute text as the default ID (size bytes).
void SetDefaultID(char *id, const char *text, size_t size = 256);

// DENSITY <= 0 falls back to defaultDensity; MATERIAL is a name, else an
// index of the table, else defaultMaterial (each with a note).
void CheckDensityAndMaterial(const PxXMLHandler *handlers, PxXMLInput *input, Scene *scene, const char *id,
                             double &density, double defaultDensity, int &material, const char *materialText,
                             int defaultMaterial);

// ---- Transforms ----
// The transform tags of an element: TM, POS, ROT, QUAT, EULER and RELTO.
struct TransformSpec {
    double tm[16];
    double pos[3];
    double rot[9];
    double quat[4];
    double euler[3];
    char relTo[256];
};

// The handler entries of a TransformSpec member of Type.
#define KELMAR_TRANSFORM_TAGS(Type, member)                                                                          \
    PX_XML_VALUE("TM", PxXMLParseDoubleArray, offsetof(Type, member.tm), 16),                                        \
        PX_XML_VALUE("POS", PxXMLParseDoubleArray, offsetof(Type, member.pos), 3),                                   \
        PX_XML_VALUE("ROT", PxXMLParseDoubleArray, offsetof(Type, member.rot), 9),                                   \
        PX_XML_VALUE("QUAT", PxXMLParseDoubleArray, offsetof(Type, member.quat), 4),                                 \
        PX_XML_VALUE("EULER", PxXMLParseDoubleArray, offsetof(Type, member.euler), 3),                               \
        PX_XML_VALUE("RELTO", PxXMLParseString, offsetof(Type, member.relTo), 256)

// Fills out (relative to reference, null: none) from the tags given, in the
// order of precedence TM, then POS with ROT, else QUAT, else EULER; lengths
// times scale. True when any transform tag was given.
bool GenerateTransform(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &desc,
                       double scale, const double (*reference)[4], double out[4][4]);

// The placement of an element in world coordinates: its transform relative
// to its RELTO solid, or else to the scene placement.
bool PlaceElement(Scene *scene, PxXMLInput *input, const PxXMLHandler *handlers, const TransformSpec &desc,
                  const char *referrerKind, const char *id, double out[4][4]);

// ---- Geometry builders ----
// A closed frustum of faces sides about z, centred on its half height (cm).
CdxGeometryID MakePyramid(double radius, double topRadius, double height, int faces);
// A mesh read from an OBJ file, its vertices times scale, turned inside out
// with flip, and vertices closer than eps merged with merge.
CdxGeometryID MakeMeshFromObj(const char *file, double scale, bool flip, bool merge, double eps);

} // namespace kelmar

#endif
