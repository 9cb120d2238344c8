// Collision models: pool records, accessors, transforms, boxes, spheres,
// motion and mass properties.
#include "composite/CdxCompositeRecord.h"
#include "framework/CdxFrameworkRecord.h"
#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"
#include "space/CxSpace.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxMessage.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

#include <algorithm>

namespace {

// Models hold reals: keep pool records 8-byte aligned on every platform.
const int kModelAlignment = 8;
// Below this speed or time the velocity prediction keeps the rotation.
const PxReal kPredictionThreshold = 0.0001;
// Shorter steps than this write no velocities in CdxModelMoveTo.
const PxReal kMinimumMoveTime = 1e-7;

void InitRecord(CdxModel *model, CdxGeometry *geometry)
{
    model->geometry = geometry;
    model->transform = nullptr;
    model->linearVelocity = nullptr;
    model->angularVelocity = nullptr;
    model->parent = nullptr;
    model->contactTolerance = CdxModelGetDefaultContactTolerance();
    model->userData = nullptr;
    model->reserved = nullptr;
    model->space = nullptr;
    model->spaceId = -1;
    model->updateFn = nullptr;
    model->relativeTransform = nullptr;
    model->referenceTransform = nullptr;
    model->bodyData = nullptr;
    model->density = 1.0;
    model->materialId = 0;
    model->requestId = 0;
    model->responseId = 0;
    model->name = nullptr;
}

// A composite's pairs read its elements' geometries, tolerances and
// materials, which no pair names: a change counts as a shape edit. A
// model's own are read through its pairs.
void NoteElementEdit(const CdxModel *model)
{
    if (model->parent) CdxGeometryNoteEdit();
}

const PxReal (*TransformOf(const CdxModel *model))[4]
{
    return model->transform ? *model->transform : nullptr;
}

void UnionBox(PxVector3 min, PxVector3 max, const PxVector3 otherMin, const PxVector3 otherMax)
{
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = std::min(min[axis], otherMin[axis]);
        max[axis] = std::max(max[axis], otherMax[axis]);
    }
}

// inertia <- R^T inertia R: a tensor given in a frame whose axes are the
// rows of R, expressed in the parent's axes.
void RotateInertia(PxMatrix3 inertia, const PxReal rotation[4][4])
{
    PxMatrix3 r, rt, tmp;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = rotation[i][j];
    PxM3Transpose(rt, r);
    PxM3Mul(tmp, rt, inertia);
    PxM3Mul(inertia, tmp, r);
}

// Angular velocity that turns oldTm's axes into newTm's in timeStep: the
// world rotation D with newAxes = oldAxes D is old^-1 new; its quaternion's
// vector part is sin(angle/2) axis.
void AngularVelocityOfMove(PxVector3 w, const PxReal oldTm[4][4], const PxReal newTm[4][4], PxReal timeStep)
{
    PxMatrix3 oldRotationT, newRotation, delta;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            oldRotationT[i][j] = oldTm[j][i];
            newRotation[i][j] = newTm[i][j];
        }
    PxM3Mul(delta, oldRotationT, newRotation);
    PxMatrix4 deltaTm;
    PxM4Identity(deltaTm);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) deltaTm[i][j] = delta[i][j];
    PxQuaternion q;
    PxQuaternionFromTM(q, deltaTm);
    PxReal sign = q[0] < 0.0 ? -1.0 : 1.0; // the shorter of the two ways round
    PxReal scale = sign * 2.0 / timeStep;
    PxV3Set(w, q[1] * scale, q[2] * scale, q[3] * scale);
}

} // namespace

int CdxModelInit(int capacity)
{
    if (!PxPoolInit(&gCdxFramework->modelPool, capacity, static_cast<int>(sizeof(CdxModel)), kModelAlignment))
        return 0;
    PxPoolSetPoolName(&gCdxFramework->modelPool, "CdxModel");
    return 1;
}

void CdxModelTerm(void)
{
    PxPoolTerm(&gCdxFramework->modelPool);
}

void CdxModelPutRecord(CdxModel *model)
{
    if (gCdxFramework && model) PxPoolPutStruct(&gCdxFramework->modelPool, model);
}

extern "C" {

CdxModelID CdxModelCreate(CdxGeometryID geometry)
{
    if (!gCdxFramework) return nullptr;
    CdxModel *model = static_cast<CdxModel *>(PxPoolGetStruct(&gCdxFramework->modelPool));
    if (!model) return nullptr;
    InitRecord(model, geometry);
    return model;
}

void CdxModelDestroy(CdxModelID model)
{
    if (!model) return;
    if (model->space) {
        CdxError(nullptr, CdxErrModelInSpace, nullptr);
        // The space would otherwise keep sorting, pairing and listing a
        // record that the pool hands out again.
        CxSpaceRemoveDestroyedModel(model);
    }
    if (CdxModelIsComposite(model)) {
        CdxCompositeModelDestroy(model);
        return;
    }
    CdxModelPutRecord(model);
}

void CdxModelSetGeometry(CdxModelID model, CdxGeometryID geometry)
{
    if (!model) return;
    model->geometry = geometry;
    NoteElementEdit(model);
}

CdxGeometryID CdxModelGetGeometry(CdxModelID model)
{
    return model ? model->geometry : nullptr;
}

void CdxModelSetTransformPtr(CdxModelID model, PxMatrix4 *transform)
{
    if (!model) return;
    model->transform = transform;
    if (CdxModelIsComposite(model)) CdxCompositeModelSetElementReferences(model);
}

PxMatrix4 *CdxModelGetTransformPtr(CdxModelID model)
{
    return model ? model->transform : nullptr;
}

void CdxModelSetLinearVelocityPtr(CdxModelID model, PxReal *velocity)
{
    if (model) model->linearVelocity = velocity;
}

PxReal *CdxModelGetLinearVelocityPtr(CdxModelID model)
{
    return model ? model->linearVelocity : nullptr;
}

void CdxModelSetAngularVelocityPtr(CdxModelID model, PxReal *velocity)
{
    if (model) model->angularVelocity = velocity;
}

PxReal *CdxModelGetAngularVelocityPtr(CdxModelID model)
{
    return model ? model->angularVelocity : nullptr;
}

void CdxModelSetUserData(CdxModelID model, void *data)
{
    if (model) model->userData = data;
}

void *CdxModelGetUserData(CdxModelID model)
{
    return model ? model->userData : nullptr;
}

void CdxModelSetName(CdxModelID model, const char *name)
{
    if (model) model->name = name;
}

const char *CdxModelGetName(CdxModelID model)
{
    return model ? model->name : nullptr;
}

void CdxModelSetBodyData(CdxModelID model, void *body)
{
    if (model) model->bodyData = body;
}

void *CdxModelGetBodyData(CdxModelID model)
{
    return model ? model->bodyData : nullptr;
}

void CdxModelSetMaterialID(CdxModelID model, int id)
{
    if (!model) return;
    model->materialId = id;
    NoteElementEdit(model);
}

int CdxModelGetMaterialID(CdxModelID model)
{
    return model ? model->materialId : 0;
}

void CdxModelSetRequestID(CdxModelID model, int id)
{
    if (model) model->requestId = id;
}

int CdxModelGetRequestID(CdxModelID model)
{
    return model ? model->requestId : 0;
}

void CdxModelSetResponseID(CdxModelID model, int id)
{
    if (model) model->responseId = id;
}

int CdxModelGetResponseID(CdxModelID model)
{
    return model ? model->responseId : 0;
}

void CdxModelSetUpdateCallback(CdxModelID model, CdxModelUpdateFn fn)
{
    if (model) model->updateFn = fn;
}

CdxModelUpdateFn CdxModelGetUpdateCallback(CdxModelID model)
{
    return model ? model->updateFn : nullptr;
}

void CdxModelSetDensity(CdxModelID model, PxReal density)
{
    if (model) model->density = density;
}

PxReal CdxModelGetDensity(CdxModelID model)
{
    return model ? model->density : 0.0;
}

void CdxModelSetContactTolerance(CdxModelID model, PxReal tolerance)
{
    if (!model) return;
    model->contactTolerance = tolerance;
    NoteElementEdit(model);
}

PxReal CdxModelGetContactTolerance(CdxModelID model)
{
    return model ? model->contactTolerance : 0.0;
}

CdxModelID CdxModelGetParent(CdxModelID model)
{
    return model ? model->parent : nullptr;
}

CdxSpaceID CdxModelGetSpace(CdxModelID model)
{
    return model ? model->space : nullptr;
}

int CdxModelGetSpaceId(CdxModelID model)
{
    return model ? model->spaceId : -1;
}

void CdxModelSetRelativeTransformPtrs(CdxModelID model, PxMatrix4 *relative, PxMatrix4 *reference,
                                      PxMatrix4 *transform)
{
    if (!model) return;
    model->relativeTransform = relative;
    model->referenceTransform = reference;
    model->transform = transform;
    if (CdxModelIsComposite(model)) {
        CdxCompositeModelSetElementReferences(model);
        return;
    }
    model->updateFn = relative ? CdxModelCompoundTransforms : nullptr;
}

void CdxModelGetRelativeTransformPtrs(CdxModelID model, PxMatrix4 **relative, PxMatrix4 **reference)
{
    if (relative) *relative = model ? model->relativeTransform : nullptr;
    if (reference) *reference = model ? model->referenceTransform : nullptr;
}

void CdxModelCompoundTransforms(CdxModelID model)
{
    if (!model || !model->transform || !model->relativeTransform || !model->referenceTransform) return;
    PxMatrix4TMCompound(*model->transform, *model->referenceTransform, *model->relativeTransform);
}

void CdxModelSetReferenceTransformPtr(CdxModelID model, PxMatrix4 *reference)
{
    if (!model) return;
    if (model->relativeTransform)
        model->referenceTransform = reference;
    else
        CdxModelSetTransformPtr(model, reference);
}

PxMatrix4 *CdxModelGetReferenceTransformPtr(CdxModelID model)
{
    if (!model) return nullptr;
    return model->relativeTransform ? model->referenceTransform : model->transform;
}

void CdxModelUpdate(CdxModelID model)
{
    if (model && model->updateFn) model->updateFn(model);
}

int CdxModelGetAABB(CdxModelID model, PxVector3 min, PxVector3 max)
{
    if (!model || !model->geometry || !min || !max) return 0;
    CdxModelUpdate(model);
    // A composite's update has just placed its elements at its transform.
    if (CdxModelIsComposite(model))
        return CdxCompositeGeometryPlacedAABB(model->geometry, TransformOf(model), min, max);
    return CdxGeometryGetAABB(model->geometry, TransformOf(model), min, max);
}

// The space asks every moving model's box on every step, but only the pairs
// it then tests read a composite's elements: a composite whose box turns
// with its frame leaves them where they stand, and the pair functions place
// those they test (CdxCompositeGeometryEnsurePlaced), at the same transform.
int CdxModelGetAABB_PathCompatible(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time)
{
    (void)time;
    if (model && model->geometry && min && max && CdxModelIsComposite(model)) {
        CdxModelCompoundTransforms(model);
        if (CdxCompositeGeometryTurnedAABB(model->geometry, TransformOf(model), min, max)) return 1;
    }
    return CdxModelGetAABB(model, min, max);
}

int CdxModelGetPathAABB(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time)
{
    if (!model || !model->geometry || !min || !max) return 0;
    CdxModelUpdate(model);
    bool moving = model->transform && model->linearVelocity && model->angularVelocity;
    PxVector3 futureMin, futureMax;
    if (moving) {
        // The future box first, so that composite elements end up placed at
        // the present pose.
        PxMatrix4 future;
        PxMatrix4TMUpdateFromVelocities(future, kPredictionThreshold, time, model->linearVelocity,
                                        model->angularVelocity, *model->transform);
        moving = CdxGeometryGetAABB(model->geometry, future, futureMin, futureMax) != 0;
    }
    if (!CdxGeometryGetAABB(model->geometry, TransformOf(model), min, max)) return 0;
    if (moving) UnionBox(min, max, futureMin, futureMax);
    return 1;
}

int CdxModelGetBSphere(CdxModelID model, PxVector3 centre, PxReal *radius)
{
    if (!model || !model->geometry || !centre || !radius) return 0;
    CdxModelUpdate(model);
    if (!CdxGeometryGetBSphere(model->geometry, centre, radius)) return 0;
    if (model->transform) {
        const PxReal(*tm)[4] = *model->transform;
        centre[0] += tm[3][0];
        centre[1] += tm[3][1];
        centre[2] += tm[3][2];
    }
    return 1;
}

int CdxModelMoveTo(CdxModelID model, const PxMatrix4 newTransform, PxReal timeStep)
{
    PxMatrix4 *reference = CdxModelGetReferenceTransformPtr(model);
    if (!reference || !newTransform) return 0;
    if (model->linearVelocity && model->angularVelocity && timeStep > kMinimumMoveTime) {
        for (int axis = 0; axis < 3; ++axis)
            model->linearVelocity[axis] = (newTransform[3][axis] - (*reference)[3][axis]) / timeStep;
        AngularVelocityOfMove(model->angularVelocity, *reference, newTransform, timeStep);
    }
    PxM4Copy(*reference, newTransform);
    CdxModelUpdate(model);
    return 1;
}

int16_t CdxModelGetMassProperties(CdxModelID model, PxMatrix4 comTransform, PxMatrix3 inertia, PxReal *volume,
                                  PxReal *mass)
{
    if (!model || !model->geometry || !comTransform || !inertia || !volume || !mass) return 0;
    int16_t status;
    if (CdxModelIsComposite(model)) {
        status = CdxCompositeGetMassPropertiesAndMass(model->geometry, comTransform, inertia, volume, mass);
    } else {
        status = CdxGeometryGetMassProperties(model->geometry, comTransform, inertia, volume);
        if (!status) return 0;
        *mass = *volume * model->density;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) inertia[i][j] *= *mass;
    }
    if (!status) return 0;
    if (model->relativeTransform) {
        const PxReal(*relative)[4] = *model->relativeTransform;
        RotateInertia(inertia, relative);
        CdxSymmetrizeInertia(inertia);
        PxVector3 centre;
        PxV3MulTM(centre, comTransform[3], relative);
        PxV3Copy(comTransform[3], centre);
    }
    return status;
}

} // extern "C"
