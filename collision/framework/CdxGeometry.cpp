// The geometry type registry and the dispatchers through its per-type
// function arrays.
#include "framework/CdxGeometryRecord.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/PxMemory.h>

#include <algorithm>
#include <atomic>

CdxGeometryRegistry gCdxGeometryRegistry = {0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

namespace {

const char kUnknownTypeName[] = "UnknownGeometryType";

// Never reset: a count read before a CdxTerm must not come round again.
// Universes stepped on several threads read it while another may edit its
// own shapes; relaxed, since a reader only compares it with what it read
// before (no other memory is published through it), and on the usual
// targets a relaxed load is a plain load.
std::atomic<unsigned long long> gEditCount{0};

template <typename T> T *AllocateTable(int count)
{
    return static_cast<T *>(PxMemoryAPI.createZeroed(sizeof(T) * static_cast<size_t>(count)));
}

template <typename T> void FreeTable(T *&table)
{
    PxMemoryAPI.destroy(table);
    table = nullptr;
}

void FreeTables(CdxGeometryRegistry &r)
{
    FreeTable(r.destroy);
    FreeTable(r.getAABB);
    FreeTable(r.getXYAABB);
    FreeTable(r.getBSphere);
    FreeTable(r.maximumPoint);
    FreeTable(r.getMassProperties);
    FreeTable(r.name);
}

// The registered type of a geometry, or -1 when the geometry is null or its
// type is not registered.
int ValidType(const CdxGeometry *geometry)
{
    if (!geometry || !CdxGeometryTypeIdIsValid(geometry->typeId)) return -1;
    return geometry->typeId;
}

} // namespace

int CdxGeometryInit(int capacity)
{
    return CdxGeometryInitRegistry(gCdxGeometryRegistry, capacity);
}

int CdxGeometryInitRegistry(CdxGeometryRegistry &r, int capacity)
{
    r.destroy = AllocateTable<CdxGeometryDestroyFn>(capacity);
    r.getAABB = AllocateTable<CdxGeometryGetAABBFn>(capacity);
    r.getXYAABB = AllocateTable<CdxGeometryGetXYAABBFn>(capacity);
    r.getBSphere = AllocateTable<CdxGeometryGetBSphereFn>(capacity);
    r.maximumPoint = AllocateTable<CdxGeometryMaximumPointFn>(capacity);
    r.getMassProperties = AllocateTable<CdxGeometryGetMassPropertiesFn>(capacity);
    r.name = AllocateTable<const char *>(capacity);
    if (!r.destroy || !r.getAABB || !r.getXYAABB || !r.getBSphere || !r.maximumPoint || !r.getMassProperties ||
        !r.name) {
        FreeTables(r);
        return 0;
    }
    r.capacity = static_cast<CdxGeometryTypeID>(capacity);
    r.count = 0;
    return 1;
}

int CdxGeometryGrow(int capacity)
{
    CdxGeometryRegistry &r = gCdxGeometryRegistry;
    if (capacity <= r.capacity) return 1;
    CdxGeometryRegistry grown = r;
    if (!CdxGeometryInitRegistry(grown, capacity)) return 0;
    const size_t count = static_cast<size_t>(r.count);
    std::copy(r.destroy, r.destroy + count, grown.destroy);
    std::copy(r.getAABB, r.getAABB + count, grown.getAABB);
    std::copy(r.getXYAABB, r.getXYAABB + count, grown.getXYAABB);
    std::copy(r.getBSphere, r.getBSphere + count, grown.getBSphere);
    std::copy(r.maximumPoint, r.maximumPoint + count, grown.maximumPoint);
    std::copy(r.getMassProperties, r.getMassProperties + count, grown.getMassProperties);
    std::copy(r.name, r.name + count, grown.name);
    grown.count = r.count;
    FreeTables(r);
    r = grown;
    return 1;
}

void CdxGeometryTerm(void)
{
    FreeTables(gCdxGeometryRegistry);
    gCdxGeometryRegistry.capacity = 0;
    gCdxGeometryRegistry.count = 0;
}

void CdxSymmetrizeInertia(PxMatrix3 inertia)
{
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j) {
            PxReal mean = 0.5 * (inertia[i][j] + inertia[j][i]);
            inertia[i][j] = inertia[j][i] = mean;
        }
}

void CdxGeometryNoteEdit(void)
{
    gEditCount.fetch_add(1, std::memory_order_relaxed);
}

extern "C" {

CdxGeometryTypeID CdxGeometryRegisterType(const char *name, CdxGeometryDestroyFn destroy,
                                          CdxGeometryGetAABBFn getAABB, CdxGeometryGetXYAABBFn getXYAABB,
                                          CdxGeometryGetBSphereFn getBSphere, CdxGeometryMaximumPointFn maximumPoint,
                                          CdxGeometryGetMassPropertiesFn getMassProperties)
{
    CdxGeometryRegistry &r = gCdxGeometryRegistry;
    if (r.count >= r.capacity) {
        CdxError(nullptr, CdxErrTypeRegistration, " in CdxGeometryRegisterType.");
        return -1;
    }
    CdxGeometryTypeID id = r.count;
    r.destroy[id] = destroy;
    r.getAABB[id] = getAABB;
    r.getXYAABB[id] = getXYAABB;
    r.getBSphere[id] = getBSphere;
    r.maximumPoint[id] = maximumPoint;
    r.getMassProperties[id] = getMassProperties;
    r.name[id] = name;
    r.count = static_cast<CdxGeometryTypeID>(id + 1);
    return id;
}

CdxGeometryTypeID CdxGeometryGetRegisteredTypeCount(void)
{
    return gCdxGeometryRegistry.count;
}

void CdxGeometryResetTypes(void)
{
    gCdxGeometryRegistry.count = 0;
}

int CdxGeometryTypeIsRegistered(CdxGeometryTypeID id)
{
    return id != -1;
}

int CdxGeometryTypeIdIsValid(CdxGeometryTypeID id)
{
    return id >= 0 && id < gCdxGeometryRegistry.count;
}

int CdxGeometryIsValid(CdxGeometryID geometry)
{
    return ValidType(geometry) >= 0;
}

const char *CdxGeometryGetTypeName(CdxGeometryID geometry)
{
    int type = ValidType(geometry);
    return type < 0 ? kUnknownTypeName : CdxGeometryGetTypeNameFromId(static_cast<CdxGeometryTypeID>(type));
}

const char *CdxGeometryGetTypeNameFromId(CdxGeometryTypeID id)
{
    if (!CdxGeometryTypeIdIsValid(id) || !gCdxGeometryRegistry.name[id]) return kUnknownTypeName;
    return gCdxGeometryRegistry.name[id];
}

void CdxGeometryInitObject(CdxGeometryID geometry, CdxGeometryTypeID typeId)
{
    if (!geometry) return;
    geometry->typeId = typeId;
    CdxGeometryResetMBounds(geometry);
}

CdxGeometryTypeID CdxGeometryGetTypeId(CdxGeometryID geometry)
{
    return geometry ? geometry->typeId : static_cast<CdxGeometryTypeID>(-1);
}

void CdxGeometryResetMBounds(CdxGeometryID geometry)
{
    if (!geometry) return;
    for (PxReal &bound : geometry->bounds) bound = 0.0;
}

PxReal *CdxGeometryGetBounds(CdxGeometryID geometry)
{
    return geometry ? geometry->bounds : nullptr;
}

unsigned long long CdxGeometryGetEditCount(void)
{
    return gEditCount.load(std::memory_order_relaxed);
}

int CdxGeometryDestroy(CdxGeometryID geometry)
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.destroy[type]) return 0;
    gCdxGeometryRegistry.destroy[type](geometry);
    return 1;
}

int CdxGeometryGetAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.getAABB[type] || !min || !max) return 0;
    gCdxGeometryRegistry.getAABB[type](geometry, transform, min, max);
    return 1;
}

int CdxGeometryGetXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.getXYAABB[type] || !out) return 0;
    gCdxGeometryRegistry.getXYAABB[type](geometry, transform, out);
    return 1;
}

int CdxGeometryGetBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.getBSphere[type] || !centre || !radius) return 0;
    gCdxGeometryRegistry.getBSphere[type](geometry, centre, radius);
    return 1;
}

int CdxGeometryMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction,
                            PxVector3 point)
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.maximumPoint[type] || !direction || !point) return 0;
    gCdxGeometryRegistry.maximumPoint[type](geometry, transform, direction, point);
    return 1;
}

int16_t CdxGeometryGetMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                                     PxReal *volume)
{
    int type = ValidType(geometry);
    if (type < 0 || !gCdxGeometryRegistry.getMassProperties[type] || !relTransform || !inertia || !volume) return 0;
    int16_t status = gCdxGeometryRegistry.getMassProperties[type](geometry, relTransform, inertia, volume);
    CdxSymmetrizeInertia(inertia);
    return status;
}

} // extern "C"
