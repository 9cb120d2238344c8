// MATERIAL and MATERIALPAIR elements of the universe status.
#ifndef KELMAR_UNIVERSE_STATUSELEMENTS_H
#define KELMAR_UNIVERSE_STATUSELEMENTS_H

#include <kelmar/PxXML.h>

namespace kelmar {

class Universe;

void SaveMaterialStatus(const Universe &universe, int index, PxStream *stream);
void SaveMaterialPairStatus(const Universe &universe, int a, int b, PxStream *stream);
// Element handlers; the input's user data is the universe.
int LoadMaterialStatus(PxXMLElement *element);
int LoadMaterialPairStatus(PxXMLElement *element);

} // namespace kelmar

#endif
