/* The collision-detection library. */
#ifndef KELMAR_CDX_H
#define KELMAR_CDX_H

#include "CdxTypes.h"
#include "CdxMessage.h"
#include "CdxFrame.h"
#include "CdxGeometry.h"
#include "CdxInteractionTable.h"
#include "CdxModel.h"
#include "CdxModelPair.h"
#include "CdxModelPairContainer.h"
#include "CdxInteractions.h"
#include "CdxEach.h"
#include "CdxComposite.h"
#include "CdxContactSimplify.h"
#include "CdxuRequestTable.h"
#include "CdxPrimitives.h"
#include "CdxSpace.h"
#include "CdxTriangleMesh.h"

#endif
