// The collision library as the robot layer uses it: started by the first
// universe with room for twice its models, then grown, never restarted,
// while universes live (their models must stay valid).
#include <kelmar/Universe.h>

#include <cstdlib>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxInteractionTable.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxTriangleMesh.h>

namespace kelmar {

int CDX::nModels = 0;
int CDX::nUsedModels = 0;

namespace {

CdxIntersectFn gMeshCylinderIntersect = nullptr;

// Mesh-cylinder contacts report a depth of exactly -1 where the test found
// no depth; such a contact is taken as touching.
int CdxTriMeshCylinderIntersectFix(CdxModelPair *pair, CdxIntersectResult *result)
{
    const int touch = gMeshCylinderIntersect(pair, result);
    for (int i = 0; i < result->contactCount; ++i)
        if (result->contacts[i].separation == -1.0) result->contacts[i].separation = 0.0;
    return touch;
}

void ReplaceMeshCylinderTest()
{
    const CdxGeometryTypeID mesh = CdxTriangleMeshGetTypeId(), cylinder = CdxCylinderGetTypeId();
    if (mesh < 0 || cylinder < 0) return;
    for (int order = 0; order < 2; ++order) {
        CdxInteractionTableElement *entry = order == 0 ? CdxInteractionTableGetElementPtr(mesh, cylinder)
                                                       : CdxInteractionTableGetElementPtr(cylinder, mesh);
        if (!entry || !entry->interactions.intersectFn) continue;
        if (entry->interactions.intersectFn == CdxTriMeshCylinderIntersectFix) continue;
        gMeshCylinderIntersect = entry->interactions.intersectFn;
        entry->interactions.intersectFn = CdxTriMeshCylinderIntersectFix;
    }
}

// Types first (meshes before composites), then the pair functions, so that
// the composite functions cover every type.
bool Start(int models)
{
    if (!CdxInit(CdxPrimitivesGetTypeCount() + 2, models)) return false;
    CdxPrimitivesRegisterTypes();
    CdxTriangleMeshRegisterType();
    CdxCompositeRegisterType();
    CdxPrimitivesRegisterInteractions();
    CdxTriangleMeshRegisterInteractions();
    CdxCompositeGenericRegisterInteractions();
    CdxCompositeLineSegRegisterInteraction();
    ReplaceMeshCylinderTest();
    return true;
}

} // namespace

void CDX::Init(int maxModels)
{
    nUsedModels += 2 * std::abs(maxModels);
    if (nUsedModels <= nModels && CdxIsInitialized()) return;
    // A running library (ours, or one a toolkit universe started) grows in
    // place: stopping it would free the models of the universes alive.
    const bool ok = CdxIsInitialized() ? CdxReserveModels(nUsedModels) != 0 : Start(nUsedModels);
    if (ok) nModels = nUsedModels;
}

void CDX::Free(int maxModels)
{
    nUsedModels -= 2 * std::abs(maxModels);
}

void CDX::Term()
{
    CdxTerm();
    nModels = 0;
}

} // namespace kelmar
