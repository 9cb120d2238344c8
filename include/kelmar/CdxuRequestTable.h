/* A table of requests per pair of request ids. Given to a space, it
 * becomes the space's hello callback, so that every new pair of the space
 * answers the request of its two models' request ids. */
#ifndef KELMAR_CDXUREQUESTTABLE_H
#define KELMAR_CDXUREQUESTTABLE_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Triangular: the entry of ids (a, b), i = min, j = max, is at
 * j + i x n - i(i+1)/2 of n(n+1)/2 entries. */
typedef struct CdxuRequestTable {
    int size; /* n, the number of request ids */
    CdxRequest *requests;
} CdxuRequestTable;

/* A table for n (>= 1) ids, every entry a copy of fill (null: {4, 0});
 * null when n is not positive or memory is short. */
CdxuRequestTable *CdxuRequestTableCreate(int n, const CdxRequest *fill);
/* Frees a table no space owns (a space frees its own). Null is ignored. */
void CdxuRequestTableDestroy(CdxuRequestTable *table);
int CdxuRequestTableGetSize(const CdxuRequestTable *table); /* 0 for null */
/* The entry of ids (a, b); null for an id outside 0..n-1. */
CdxRequest *CdxuRequestTableGetRequestPtr(CdxuRequestTable *table, int a, int b);
/* Copies both words into entry (a, b); 0 when there is no such entry. */
int CdxuRequestTableSetRequest(CdxuRequestTable *table, int a, int b, const CdxRequest *request);
/* Copies the entry of the pair's two models' request ids; 0 when none. */
int CdxuRequestTableGetRequest(CdxuRequestTable *table, const CdxModelPair *pair, CdxRequest *request);
/* Points the pair's request at the entry of its models' request ids (left
 * as it is when there is none). table is a CdxuRequestTable. */
void CdxuHelloRequestTableCB(CdxModelPair *pair, void *table);

PX_EXTERN_C_END

#endif
