// The numbered message table and its reporting function.
#include <kelmar/CdxMessage.h>
#include <kelmar/PxMessage.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Every row is reported each time: a repeat setting of 1 would add a
// "not repeated" note, 0 or less would silence the row.
const int16_t kRepeat = 5;
const int kReportLength = 512; // composed report, terminator included
const int kMessageLevel = 0;   // shown by the default channel levels

bool CodeHasText(int code)
{
    return code >= CdxErrWarning && code < CdxErrNoError;
}

const CdxErrorDescription *FindRow(const CdxErrorDescription *table, int code)
{
    const CdxErrorDescription *row = table;
    while (row->code != code && row->code != CdxErrNoError) ++row;
    return row;
}

} // namespace

extern "C" const CdxErrorDescription gCdxCoreErrorList[] = {
    {0, CdxSeverityFatal, kRepeat, ""},
    {1, CdxSeverityWarning, kRepeat, ""},
    {3, CdxSeverityFatal, kRepeat, "Function called with null pointer as argument "},
    {4, CdxSeverityFatal, kRepeat, "object not of correct derived type: expecting object of type "},
    {5, CdxSeverityFatal, kRepeat, "Allocation failed for object of type: "},
    {6, CdxSeverityFatal, kRepeat, "Assertion failed: "},
    {7, CdxSeverityWarning, kRepeat,
     "Invalid use of CdxModelSetTransform(),: This CdxModel's transform is automatically updated "
     "from a RbdBody transform "},
    {8, CdxSeverityFatal, kRepeat, "Invalid CdxModelID."},
    {9, CdxSeverityFatal, kRepeat, "Invalid CdxSpaceID."},
    {10, CdxSeverityFatal, kRepeat, "Invalid CdxGeometryID."},
    {11, CdxSeverityFatal, kRepeat, "Invalid CdxSpacePairID."},
    {12, CdxSeverityFatal, kRepeat, "Invalid CdxModelPair pointer."},
    {13, CdxSeverityFatal, kRepeat, "Invalid CdxIntersectResult pointer."},
    {14, CdxSeverityFatal, kRepeat, "CdxModelPair contains null model pointer(s),."},
    {15, CdxSeverityFatal, kRepeat, "Invalid CdxDtBridgeID."},
    {16, CdxSeverityFatal, kRepeat, "Invalid CdxRwWorldID."},
    {17, CdxSeverityFatal, kRepeat, "Invalid CdxRwBSPID."},
    {18, CdxSeverityFatal, kRepeat, "Expected non null transform pointer."},
    {19, CdxSeverityFatal, kRepeat, "SpaceUpdate called on unbuilt space.  Invoke SpaceBuild(),"},
    {20, CdxSeverityFatal, kRepeat, "Attempt to SetBody(), without Initializing dynamics bridge (BridgeInit(),),"},
    {21, CdxSeverityFatal, kRepeat,
     "Failed to register new geometry type. Ensure sufficient number of geometries in CdxInit()."},
    {22, CdxSeverityFatal, kRepeat, "Invalid Intersect Result. Output contact array pointer must exist."},
    {23, CdxSeverityFatal, kRepeat, "Invalid Intersect Request (%s),."},
    // A full space refuses the model or the pair (its callers see the
    // failure): more models than room is a scene's size, not a fault.
    {24, CdxSeverityWarning, kRepeat,
     "Out of memory for CdxModelPairs in CdxSpace. Resizing not implemented. Please use a larger "
     "number of pairs in CdxAxisSortCreate."},
    {25, CdxSeverityWarning, kRepeat,
     "Out of memory for CdxModels in CdxSpace. Resizing not implemented. Please use a larger "
     "number of models in CdxAxisSortCreate."},
    {26, CdxSeverityWarning, kRepeat, "Ran out of memory for PairData objects."},
    {27, CdxSeverityWarning, kRepeat,
     "Ran out of contact in pool, a larger buffer can be set using the function "
     "CdxIntersectSetContactBufferSize(size), "},
    {28, CdxSeverityWarning, kRepeat, "No memory for adding more triangles - CdxTriangleMeshAddTriangle(),"},
    {29, CdxSeverityWarning, kRepeat, "CdxTriangleMeshAddTriangle(): degenerate triangle ignored! "},
    {30, CdxSeverityWarning, kRepeat, "TriangleMesh has no triangles, cannot build triangle mesh."},
    {31, CdxSeverityFatal, kRepeat,
     "TriangleMesh is not built - the function CdxTriangleMeshBuild(mesh), shoud be called."},
    {32, CdxSeverityWarning, kRepeat,
     "No intersection function available for this pair combination. Pair will be ignored. This "
     "could also be due to an invalid Request for the given pair: "},
    {33, CdxSeverityWarning, kRepeat, "Invalid Request "},
    {34, CdxSeverityWarning, kRepeat,
     "Attempt to register an interaction involving an unregistered geometry type. Interaction "
     "ignored. Pair combination was "},
    {35, CdxSeverityWarning, kRepeat,
     "Attempt to find an interaction involving an unregistered geometry type. Empty interaction "
     "will be used for debug version, but release version will produce undefined behaviour."},
    {36, CdxSeverityWarning, kRepeat, "Unimplemented case in CdxSafeTime in "},
    {37, CdxSeverityWarning, kRepeat,
     "Attempt to register an interaction involving an invalid geometry type. Failure to register "
     "geometry type before registering interactions?"},
    {38, CdxSeverityWarning, kRepeat,
     "Attempt to use a state-modification function while CdxSpaceIsChanging() is false. Call "
     "CdxSpaceBeginChanges() first. Function name: "},
    {39, CdxSeverityWarning, kRepeat,
     "Attempt to use a state-query function while CdxSpaceIsChanging() is true. Call "
     "CdxSpaceEndChanges() first. Function name: "},
    {40, CdxSeverityWarning, kRepeat, "CdxModelDestroy: model being destroyed while still in an CdxSpace."},
    {41, CdxSeverityWarning, kRepeat, "CdxBoxBox: internal error due to invalid transform."},
    {42, CdxSeverityWarning, kRepeat, "CdxGeometryGetMassProperties: Inertia tensor matrix is non-symmetric."},
    {43, CdxSeverityFatal, kRepeat, "No error"},
};

extern "C" void CdxError(const CdxErrorDescription *table, int code, const char *text)
{
    const CdxErrorDescription *row = FindRow(table ? table : gCdxCoreErrorList, code);
    if (row->repeat <= 0) return;
    const char *message = CodeHasText(row->code) ? row->message : "";
    const char *note = row->repeat == 1 ? "\n[This message will not be repeated again!]" : "";
    char report[kReportLength];
    int length = std::snprintf(report, sizeof report, "Cdx: %s%s%s\n", message, text ? text : "", note);
    if (length >= kReportLength) report[kReportLength - 2] = '\n'; // a cut report still ends its line
    switch (row->severity) {
    case CdxSeverityWarning: PxWarning(kMessageLevel, "%s", report); break;
    case CdxSeverityInfo: PxInfo(kMessageLevel, "%s", report); break;
    default:
        // A fatal report ends the process even when an installed fatal
        // handler returns.
        PxFatalError(kMessageLevel, "%s", report);
        std::abort();
    }
}
