/* The simulation bridge library: materials, collision response and the
 * toolkit's simulation universe, coupling a collision space with a
 * dynamics world. */
#ifndef KELMAR_SBX_H
#define KELMAR_SBX_H

#include "SbxResponse.h"
#include "SbxBridge.h"

/* The universe and the model-body functions join the umbrella as soon as
 * their headers exist. */
#if defined(__has_include)
#if __has_include("SbxUniverse.h")
#include "SbxUniverse.h"
#endif
#if __has_include("SbxModelDynamics.h")
#include "SbxModelDynamics.h"
#endif
#endif

#endif
