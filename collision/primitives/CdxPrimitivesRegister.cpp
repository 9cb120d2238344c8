// Registration of the primitive pair functions in the interaction table
// and of the primitive line-segment functions.
#include <kelmar/CdxInteractionTable.h>
#include <kelmar/CdxPrimitives.h>

namespace {

// Registers (a, b) (and so (b, a), swapped) with an intersect and an
// optional safe-time function.
void registerPair(CdxGeometryTypeID a, CdxGeometryTypeID b, CdxIntersectFn intersect, CdxSafeTimeFn safeTime)
{
    CdxInteractions interactions;
    CdxInteractionsInit(&interactions);
    interactions.intersectFn = intersect;
    interactions.safeTimeFn = safeTime;
    CdxInteractionTableSetElement(a, b, &interactions, nullptr);
}

} // namespace

void CdxSphereSphereRegisterInteraction(void)
{
    registerPair(CdxSphereGetTypeId(), CdxSphereGetTypeId(), CdxSphereSphereIntersect, CdxSphereSphereSafeTime);
}

void CdxBoxBoxRegisterInteraction(void)
{
    registerPair(CdxBoxGetTypeId(), CdxBoxGetTypeId(), CdxBoxBoxIntersect, CdxBoxBoxSafeTime);
}

void CdxBoxPlaneRegisterInteraction(void)
{
    registerPair(CdxBoxGetTypeId(), CdxPlaneGetTypeId(), CdxBoxPlaneIntersect, CdxBoxPlaneSafeTime);
}

void CdxBoxSphereRegisterInteraction(void)
{
    registerPair(CdxBoxGetTypeId(), CdxSphereGetTypeId(), CdxBoxSphereIntersect, CdxBoxSphereSafeTime);
}

void CdxSpherePlaneRegisterInteraction(void)
{
    registerPair(CdxSphereGetTypeId(), CdxPlaneGetTypeId(), CdxSpherePlaneIntersect, CdxSpherePlaneSafeTime);
}

void CdxConePlaneRegisterInteraction(void)
{
    registerPair(CdxConeGetTypeId(), CdxPlaneGetTypeId(), CdxConePlaneIntersect, nullptr);
}

void CdxConeSphereRegisterInteraction(void)
{
    registerPair(CdxConeGetTypeId(), CdxSphereGetTypeId(), CdxConeSphereIntersect, nullptr);
}

void CdxConeBoxRegisterInteraction(void)
{
    registerPair(CdxConeGetTypeId(), CdxBoxGetTypeId(), CdxConeConvexIntersect, nullptr);
}

void CdxConeConeRegisterInteraction(void)
{
    registerPair(CdxConeGetTypeId(), CdxConeGetTypeId(), CdxConeConvexIntersect, nullptr);
}

void CdxBoxCylinderRegisterInteraction(void)
{
    registerPair(CdxBoxGetTypeId(), CdxCylinderGetTypeId(), CdxBoxCylinderIntersect, CdxBoxCylinderSafeTime);
}

void CdxCylinderPlaneRegisterInteraction(void)
{
    registerPair(CdxCylinderGetTypeId(), CdxPlaneGetTypeId(), CdxCylinderPlaneIntersect, nullptr);
}

void CdxCylinderSphereRegisterInteraction(void)
{
    registerPair(CdxCylinderGetTypeId(), CdxSphereGetTypeId(), CdxCylinderSphereIntersect, CdxCylinderSphereSafeTime);
}

void CdxCylinderCylinderRegisterInteraction(void)
{
    registerPair(CdxCylinderGetTypeId(), CdxCylinderGetTypeId(), CdxCylinderCylinderIntersect,
                 CdxCylinderCylinderSafeTime);
}

void CdxConeCylinderRegisterInteraction(void)
{
    registerPair(CdxConeGetTypeId(), CdxCylinderGetTypeId(), CdxConeConvexIntersect, nullptr);
}

void CdxSphereTriangleListRegisterInteraction(void)
{
    registerPair(CdxSphereGetTypeId(), CdxTriangleListGetTypeId(), CdxSphereTriangleListIntersect, nullptr);
}

void CdxBoxTriangleListRegisterInteraction(void)
{
    registerPair(CdxBoxGetTypeId(), CdxTriangleListGetTypeId(), CdxBoxTriangleListIntersect, nullptr);
}

void CdxCylinderTriangleListRegisterInteraction(void)
{
    registerPair(CdxCylinderGetTypeId(), CdxTriangleListGetTypeId(), CdxCylinderTriangleListIntersect, nullptr);
}

void CdxSphereBoxPlaneRegisterInteractions(void)
{
    CdxSphereSphereRegisterInteraction();
    CdxBoxBoxRegisterInteraction();
    CdxBoxPlaneRegisterInteraction();
    CdxBoxSphereRegisterInteraction();
    CdxSpherePlaneRegisterInteraction();
    CdxLineSegRegisterInteraction(CdxBoxGetTypeId(), CdxBoxLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxSphereGetTypeId(), CdxSphereLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxPlaneGetTypeId(), CdxPlaneLineSegIntersect);
}

void CdxPrimitivesRegisterInteractions(void)
{
    CdxSphereBoxPlaneRegisterInteractions();
    CdxConePlaneRegisterInteraction();
    CdxConeSphereRegisterInteraction();
    CdxConeBoxRegisterInteraction();
    CdxConeConeRegisterInteraction();
    CdxBoxCylinderRegisterInteraction();
    CdxCylinderPlaneRegisterInteraction();
    CdxCylinderSphereRegisterInteraction();
    CdxCylinderCylinderRegisterInteraction();
    CdxConeCylinderRegisterInteraction();
    CdxSphereTriangleListRegisterInteraction();
    CdxBoxTriangleListRegisterInteraction();
    CdxCylinderTriangleListRegisterInteraction();
    CdxLineSegRegisterInteraction(CdxConeGetTypeId(), CdxConeLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxCylinderGetTypeId(), CdxCylinderLineSegIntersect);
}
