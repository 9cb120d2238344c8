/* The simulation bridge library: materials, collision response and the
 * toolkit's simulation universe, coupling a collision space with a
 * dynamics world. */
#ifndef KELMAR_SBX_H
#define KELMAR_SBX_H

#include "SbxResponse.h"
#include "SbxBridge.h"

/* The universe and the model-body functions. */
#include "SbxUniverse.h"

#endif
