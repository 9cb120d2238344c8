/* The collision library's numbered messages. Every report is "Cdx: ", the
 * row's message, the caller's text and a newline, routed by the row's
 * severity: fatal (PxFatalError, then the process ends), warning
 * (PxWarning) or information (PxInfo). */
#ifndef KELMAR_CDXMESSAGE_H
#define KELMAR_CDXMESSAGE_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

enum { CdxSeverityFatal = 0, CdxSeverityWarning = 1, CdxSeverityInfo = 2 };

/* Codes of the core table. */
enum {
    CdxErrFatal = 0,
    CdxErrWarning = 1,
    CdxErrNullPointer = 3,
    CdxErrWrongType = 4,
    CdxErrAllocation = 5,
    CdxErrAssertion = 6,
    CdxErrTransformFromBody = 7,
    CdxErrInvalidModel = 8,
    CdxErrInvalidSpace = 9,
    CdxErrInvalidGeometry = 10,
    CdxErrInvalidSpacePair = 11,
    CdxErrInvalidModelPair = 12,
    CdxErrInvalidIntersectResult = 13,
    CdxErrPairNullModel = 14,
    CdxErrInvalidDtBridge = 15,
    CdxErrInvalidRwWorld = 16,
    CdxErrInvalidRwBSP = 17,
    CdxErrNullTransform = 18,
    CdxErrSpaceUnbuilt = 19,
    CdxErrBridgeUninitialized = 20,
    CdxErrTypeRegistration = 21,
    CdxErrNoContactArray = 22,
    CdxErrInvalidIntersectRequest = 23,
    CdxErrSpacePairsFull = 24,
    CdxErrSpaceModelsFull = 25,
    CdxErrPairDataFull = 26,
    CdxErrContactPoolFull = 27,
    CdxErrMeshTrianglesFull = 28,
    CdxErrMeshDegenerateTriangle = 29,
    CdxErrMeshEmpty = 30,
    CdxErrMeshNotBuilt = 31,
    CdxErrNoIntersectFunction = 32,
    CdxErrInvalidRequest = 33,
    CdxErrRegisterUnregisteredType = 34,
    CdxErrFindUnregisteredType = 35,
    CdxErrSafeTimeUnimplemented = 36,
    CdxErrRegisterInvalidType = 37,
    CdxErrSpaceNotChanging = 38,
    CdxErrSpaceChanging = 39,
    CdxErrModelInSpace = 40,
    CdxErrBoxBoxTransform = 41,
    CdxErrInertiaNotSymmetric = 42,
    CdxErrNoError = 43 /* ends every table */
};

typedef struct CdxErrorDescription {
    uint16_t code;
    int16_t severity; /* CdxSeverity... */
    int16_t repeat;   /* 0 or less: never reported; 1: reported with a note
                          that it will not be repeated */
    const char *message;
} CdxErrorDescription;

/* The core table, ending with the row of code CdxErrNoError. */
extern const CdxErrorDescription gCdxCoreErrorList[];

/* Reports code from table (null: the core table) with text appended (null:
 * none). An unknown code uses the table's last row. The composed report is
 * cut at 511 characters. A fatal report does not return. */
void CdxError(const CdxErrorDescription *table, int code, const char *text);

PX_EXTERN_C_END

#endif
