// Requests per pair of request ids, chosen for each new pair by the hello
// callback.
#include "framework/CdxModelRecord.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/CdxuRequestTable.h>
#include <kelmar/PxMemory.h>

#include <algorithm>

namespace {

CdxuRequestTable gTable = {0, nullptr};

bool ValidId(int id)
{
    return id >= 0 && id < gTable.size;
}

// Entry (a, b) of the triangular table: i = min, j = max,
// index = j + i n - i(i+1)/2.
CdxRequest *Entry(CdxuRequestTable *table, int a, int b)
{
    if (!table || !table->requests || a < 0 || b < 0 || a >= table->size || b >= table->size) return nullptr;
    int i = std::min(a, b);
    int j = std::max(a, b);
    return &table->requests[j + i * table->size - i * (i + 1) / 2];
}

} // namespace

extern "C" {

int CdxuRequestTableInit(int n, const CdxRequest *defaultRequest)
{
    if (n < 1) return 0;
    size_t entries = static_cast<size_t>(n) * static_cast<size_t>(n + 1) / 2;
    CdxRequest *requests = static_cast<CdxRequest *>(PxMemoryAPI.create(entries * sizeof(CdxRequest)));
    if (!requests) return 0;
    CdxRequest fill;
    CdxRequestInit(&fill);
    CdxRequestCopy(defaultRequest, &fill);
    std::fill(requests, requests + entries, fill);
    PxMemoryAPI.destroy(gTable.requests);
    gTable.requests = requests;
    gTable.size = n;
    return 1;
}

void CdxuRequestTableTerm(void)
{
    if (CdxGetHelloCallback() == CdxuHelloRequestTableCB && CdxGetHelloCallbackData() == &gTable)
        CdxuRequestTableDisable();
    PxMemoryAPI.destroy(gTable.requests);
    gTable.requests = nullptr;
    gTable.size = 0;
}

int CdxuRequestTableGetSize(void)
{
    return gTable.size;
}

CdxuRequestTable *CdxuRequestTableGet(void)
{
    return gTable.requests ? &gTable : nullptr;
}

CdxRequest *CdxuRequestTableGetRequestPtr(int a, int b)
{
    return ValidId(a) && ValidId(b) ? Entry(&gTable, a, b) : nullptr;
}

int CdxuRequestTableSetRequest(int a, int b, const CdxRequest *request)
{
    CdxRequest *entry = CdxuRequestTableGetRequestPtr(a, b);
    if (!entry || !request) return 0;
    CdxRequestCopy(request, entry);
    return 1;
}

int CdxuRequestTableGetRequest(const CdxModelPair *pair, CdxRequest *request)
{
    if (!pair || !pair->model1 || !pair->model2 || !request) return 0;
    const CdxRequest *entry = CdxuRequestTableGetRequestPtr(pair->model1->requestId, pair->model2->requestId);
    if (!entry) return 0;
    CdxRequestCopy(entry, request);
    return 1;
}

int CdxuRequestTableEnable(void)
{
    if (!gTable.requests) return 0;
    CdxSetHelloCallback(CdxuHelloRequestTableCB, &gTable);
    return 1;
}

void CdxuRequestTableDisable(void)
{
    CdxSetHelloCallback(nullptr, nullptr);
}

void CdxuHelloRequestTableCB(CdxModelPair *pair, void *table)
{
    if (!pair || !pair->model1 || !pair->model2) return;
    CdxRequest *entry = Entry(static_cast<CdxuRequestTable *>(table), pair->model1->requestId,
                              pair->model2->requestId);
    if (entry) pair->request = entry;
}

} // extern "C"
