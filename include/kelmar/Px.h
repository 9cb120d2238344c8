/* The foundation library: messages, memory, containers, streams and files,
 * version and timing, and the shared math. */
#ifndef KELMAR_PX_H
#define KELMAR_PX_H

#include "PxTypes.h"
#include "PxMessage.h"
#include "PxMemory.h"
#include "PxHash.h"
#include "PxStream.h"
#include "PxMisc.h"
#include "PxMath.h"
#include "PxVector.h"
#include "PxXML.h"

#endif
