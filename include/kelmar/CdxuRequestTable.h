/* A table of requests per pair of request ids, installed as the hello
 * callback so that every new pair answers the request of its two models'
 * request ids. */
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

/* Makes the one table for n (>= 1) ids, every entry a copy of
 * defaultRequest (null: {4, 0}); replaces an existing table. 1, or 0 when
 * n is not positive or memory is short. */
int CdxuRequestTableInit(int n, const CdxRequest *defaultRequest);
/* Frees the table (and disables it when it is the hello callback). */
void CdxuRequestTableTerm(void);
int CdxuRequestTableGetSize(void); /* 0 without table */
CdxuRequestTable *CdxuRequestTableGet(void);
/* The entry of ids (a, b); null without table or for an id outside 0..n-1. */
CdxRequest *CdxuRequestTableGetRequestPtr(int a, int b);
/* Copies both words into entry (a, b); 0 when there is no such entry. */
int CdxuRequestTableSetRequest(int a, int b, const CdxRequest *request);
/* Copies the entry of the pair's two models' request ids; 0 when none. */
int CdxuRequestTableGetRequest(const CdxModelPair *pair, CdxRequest *request);
/* Installs CdxuHelloRequestTableCB as the hello callback; 0 without table. */
int CdxuRequestTableEnable(void);
/* Clears the hello callback. */
void CdxuRequestTableDisable(void);
/* Points the pair's request at the entry of its models' request ids (left
 * as it is when there is none). table is a CdxuRequestTable. */
void CdxuHelloRequestTableCB(CdxModelPair *pair, void *table);

PX_EXTERN_C_END

#endif
