// Requests per pair of request ids, chosen for each new pair of a space by
// the hello callback the table installs in it.
#include "framework/CdxModelRecord.h"
#include "space/CxSpace.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/CdxuRequestTable.h>
#include <kelmar/PxMemory.h>

#include <algorithm>

namespace {

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

CdxuRequestTable *CdxuRequestTableCreate(int n, const CdxRequest *fill)
{
    if (n < 1) return nullptr;
    size_t entries = static_cast<size_t>(n) * static_cast<size_t>(n + 1) / 2;
    CdxuRequestTable *table = static_cast<CdxuRequestTable *>(PxMemoryAPI.create(sizeof(CdxuRequestTable)));
    CdxRequest *requests = static_cast<CdxRequest *>(PxMemoryAPI.create(entries * sizeof(CdxRequest)));
    if (!table || !requests) {
        PxMemoryAPI.destroy(table);
        PxMemoryAPI.destroy(requests);
        return nullptr;
    }
    CdxRequest value;
    CdxRequestInit(&value);
    CdxRequestCopy(fill, &value);
    std::fill(requests, requests + entries, value);
    table->requests = requests;
    table->size = n;
    return table;
}

void CdxuRequestTableDestroy(CdxuRequestTable *table)
{
    if (!table) return;
    PxMemoryAPI.destroy(table->requests);
    PxMemoryAPI.destroy(table);
}

int CdxuRequestTableGetSize(const CdxuRequestTable *table)
{
    return table ? table->size : 0;
}

CdxRequest *CdxuRequestTableGetRequestPtr(CdxuRequestTable *table, int a, int b)
{
    return Entry(table, a, b);
}

int CdxuRequestTableSetRequest(CdxuRequestTable *table, int a, int b, const CdxRequest *request)
{
    CdxRequest *entry = Entry(table, a, b);
    if (!entry || !request) return 0;
    CdxRequestCopy(request, entry);
    return 1;
}

int CdxuRequestTableGetRequest(CdxuRequestTable *table, const CdxModelPair *pair, CdxRequest *request)
{
    if (!pair || !pair->model1 || !pair->model2 || !request) return 0;
    const CdxRequest *entry = Entry(table, pair->model1->requestId, pair->model2->requestId);
    if (!entry) return 0;
    CdxRequestCopy(entry, request);
    return 1;
}

void CdxuHelloRequestTableCB(CdxModelPair *pair, void *table)
{
    if (!pair || !pair->model1 || !pair->model2) return;
    CdxRequest *entry = Entry(static_cast<CdxuRequestTable *>(table), pair->model1->requestId,
                              pair->model2->requestId);
    if (entry) pair->request = entry;
}

void CdxSpaceSetRequestTable(CdxSpaceID space, CdxuRequestTable *table)
{
    if (!space || table == space->requestTable) return;
    CdxuRequestTableDestroy(space->requestTable);
    space->requestTable = table;
    CdxSpaceSetHelloCallback(space, table ? CdxuHelloRequestTableCB : nullptr, table);
}

CdxuRequestTable *CdxSpaceGetRequestTable(CdxSpaceID space)
{
    return space ? space->requestTable : nullptr;
}

} // extern "C"
