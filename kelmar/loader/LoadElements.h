// Element handlers of the scene-file reader.
#ifndef KELMAR_LOADER_LOADELEMENTS_H
#define KELMAR_LOADER_LOADELEMENTS_H

#include <kelmar/PxXML.h>

namespace kelmar {

int LoadGeometries(PxXMLElement *element);
int LoadSolid(PxXMLElement *element);

// Transform tags of an element (lengths times the scene scale): TM, else
// POS with ROT, QUAT or EULER; relative to reference (null: none).
struct TransformSpec {
    double tm[16];
    double pos[3];
    double rot[9];
    double quat[4];
    double euler[3];
};
// Fills out; true when any transform tag was given.
bool GenerateTransform(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &spec,
                       double scale, const double (*reference)[4], double out[4][4]);

} // namespace kelmar

#endif
