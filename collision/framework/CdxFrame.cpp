// Start and stop of the library, its settings and the default request.
#include "framework/CdxFrameworkRecord.h"
#include "framework/CdxGeometryRecord.h"
#include "framework/CdxInteractionTableRecord.h"
#include "framework/CdxModelRecord.h"

#include <kelmar/CdxInteractions.h>
#include <kelmar/PxMisc.h>

CdxFramework *gCdxFramework = nullptr;

namespace {

// The single-precision 0.005, widened: the tolerance models have always had.
const PxReal kDefaultContactTolerance = static_cast<PxReal>(0.005f);
const int kMaxTypeCapacity = 32767; // type numbers are signed 16-bit

// The library's default request, a constant {4, 0} that pairs point at.
CdxRequest gDefaultRequest = {4, 0};

void FreeFramework()
{
    PxMemoryAPI.destroy(gCdxFramework);
    gCdxFramework = nullptr;
}

void RunTermActions(CdxTermActionNode *node)
{
    while (node) {
        CdxTermActionNode *next = node->next;
        node->action();
        PxMemoryAPI.destroy(node);
        node = next;
    }
}

} // namespace

extern "C" {

int CdxInit(int geometryTypeCapacity, int modelCapacity)
{
    if (gCdxFramework) return 0;
    if (geometryTypeCapacity < 1 || geometryTypeCapacity > kMaxTypeCapacity || modelCapacity < 1) return 0;
    gCdxFramework = static_cast<CdxFramework *>(PxMemoryAPI.createZeroed(sizeof(CdxFramework)));
    if (!gCdxFramework) return 0;
    gCdxFramework->termActions = nullptr;
    gCdxFramework->defaultContactTolerance = kDefaultContactTolerance;
    gCdxFramework->versionString = PxToolkitVersionString();
    if (!CdxGeometryInit(geometryTypeCapacity)) {
        FreeFramework();
        return 0;
    }
    if (!CdxModelInit(modelCapacity)) {
        CdxGeometryTerm();
        FreeFramework();
        return 0;
    }
    CdxRequestDefaultInit();
    if (!CdxInteractionTableInit(geometryTypeCapacity)) {
        CdxModelTerm();
        CdxGeometryTerm();
        FreeFramework();
        return 0;
    }
    return 1;
}

void CdxTerm(void)
{
    if (!gCdxFramework) return;
    CdxGeometryTerm();
    CdxModelTerm();
    CdxInteractionTableTerm();
    RunTermActions(gCdxFramework->termActions);
    FreeFramework();
}

int CdxReserveModels(int modelCapacity)
{
    if (!gCdxFramework || modelCapacity < 1) return 0;
    return PxPoolReserve(&gCdxFramework->modelPool, modelCapacity);
}

int CdxReserveGeometryTypes(int geometryTypeCapacity)
{
    if (!gCdxFramework || geometryTypeCapacity < 1 || geometryTypeCapacity > kMaxTypeCapacity) return 0;
    // The table first: a registry that grew alone would accept types whose
    // pairs have no entry.
    return CdxInteractionTableGrow(geometryTypeCapacity) && CdxGeometryGrow(geometryTypeCapacity);
}

int CdxGetGeometryTypeCapacity(void)
{
    return gCdxFramework ? gCdxGeometryRegistry.capacity : 0;
}

int CdxGetModelCount(void)
{
    return gCdxFramework ? PxPoolGetUsed(&gCdxFramework->modelPool) : 0;
}

int CdxGetModelCapacity(void)
{
    return gCdxFramework ? PxPoolGetCapacity(&gCdxFramework->modelPool) : 0;
}

int CdxIsInitialized(void)
{
    return gCdxFramework != nullptr;
}

int CdxRegisterTermAction(CdxTermAction action)
{
    if (!gCdxFramework || !action) return 0;
    CdxTermActionNode *node = static_cast<CdxTermActionNode *>(PxMemoryAPI.create(sizeof(CdxTermActionNode)));
    if (!node) return 0;
    node->action = action;
    node->next = gCdxFramework->termActions;
    gCdxFramework->termActions = node;
    return 1;
}

PxReal CdxModelGetDefaultContactTolerance(void)
{
    return gCdxFramework ? gCdxFramework->defaultContactTolerance : kDefaultContactTolerance;
}

void CdxModelSetDefaultContactTolerance(PxReal tolerance)
{
    if (gCdxFramework) gCdxFramework->defaultContactTolerance = tolerance;
}

const char *CdxGetVersionString(void)
{
    return gCdxFramework ? gCdxFramework->versionString : nullptr;
}

void CdxConvertBounds(const PxReal bounds[6], PxVector3 min, PxVector3 max)
{
    if (!bounds || !min || !max) return;
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = bounds[2 * axis];
        max[axis] = bounds[2 * axis + 1];
    }
}

void CdxRequestInit(CdxRequest *request)
{
    if (!request) return;
    request->contactMaxCount = 4;
    request->requestOption = 0;
}

void CdxRequestCopy(const CdxRequest *from, CdxRequest *to)
{
    if (from && to) *to = *from;
}

void CdxRequestDefaultInit(void)
{
    CdxRequestInit(&gDefaultRequest);
}

CdxRequest *CdxGetDefaultRequestPtr(void)
{
    return &gDefaultRequest;
}

} // extern "C"
