// The four-section pair container.
#include <kelmar/CdxModelPairContainer.h>
#include <kelmar/PxMemory.h>

namespace {

// Start of the section [first, end) and its length.
CdxModelPair **Section(CdxModelPairContainer *container, int first, int end, int *count)
{
    if (count) *count = end - first;
    return container->array + first;
}

CdxModelPair **NoSection(int *count)
{
    if (count) *count = 0;
    return nullptr;
}

} // namespace

extern "C" {

CdxModelPairContainer *CdxModelPairContainerCreate(int size)
{
    if (size < 0) return nullptr;
    // One block: the record, then the array of size pointers.
    size_t bytes = sizeof(CdxModelPairContainer) + static_cast<size_t>(size) * sizeof(CdxModelPair *);
    CdxModelPairContainer *container = static_cast<CdxModelPairContainer *>(PxMemoryAPI.createZeroed(bytes));
    if (!container) return nullptr;
    CdxModelPairContainerInit(container, reinterpret_cast<CdxModelPair **>(container + 1), size);
    return container;
}

void CdxModelPairContainerDestroy(CdxModelPairContainer *container)
{
    PxMemoryAPI.destroy(container);
}

void CdxModelPairContainerInit(CdxModelPairContainer *container, CdxModelPair **array, int size)
{
    if (!container) return;
    container->array = array;
    container->size = array && size > 0 ? size : 0;
    CdxModelPairContainerReset(container);
}

void CdxModelPairContainerReset(CdxModelPairContainer *container)
{
    if (!container) return;
    int half = container->size / 2;
    container->goodbyeFirst = 0;
    container->goodbyeEnd = 0;
    container->helloFirst = half;
    container->helloEnd = half;
    container->stayingEnd = half;
    container->frozenFirst = container->size;
    container->frozenEnd = container->size;
}

int CdxModelPairContainerGetGoodbyeCount(const CdxModelPairContainer *c)
{
    return c ? c->goodbyeEnd - c->goodbyeFirst : 0;
}

int CdxModelPairContainerGetHelloCount(const CdxModelPairContainer *c)
{
    return c ? c->helloEnd - c->helloFirst : 0;
}

int CdxModelPairContainerGetStayingCount(const CdxModelPairContainer *c)
{
    return c ? c->stayingEnd - c->helloEnd : 0;
}

int CdxModelPairContainerGetFrozenCount(const CdxModelPairContainer *c)
{
    return c ? c->frozenEnd - c->frozenFirst : 0;
}

CdxModelPair **CdxModelPairContainerGetGoodbyeArray(CdxModelPairContainer *c, int *count)
{
    return c ? Section(c, c->goodbyeFirst, c->goodbyeEnd, count) : NoSection(count);
}

CdxModelPair **CdxModelPairContainerGetHelloArray(CdxModelPairContainer *c, int *count)
{
    return c ? Section(c, c->helloFirst, c->helloEnd, count) : NoSection(count);
}

CdxModelPair **CdxModelPairContainerGetStayingArray(CdxModelPairContainer *c, int *count)
{
    return c ? Section(c, c->helloEnd, c->stayingEnd, count) : NoSection(count);
}

CdxModelPair **CdxModelPairContainerGetFrozenArray(CdxModelPairContainer *c, int *count)
{
    return c ? Section(c, c->frozenFirst, c->frozenEnd, count) : NoSection(count);
}

int CdxModelPairContainerAddGoodbye(CdxModelPairContainer *c, CdxModelPair *pair)
{
    if (!c || c->goodbyeEnd >= c->helloFirst) return 0;
    c->array[c->goodbyeEnd++] = pair;
    return 1;
}

int CdxModelPairContainerAddHello(CdxModelPairContainer *c, CdxModelPair *pair)
{
    if (!c || c->helloFirst <= c->goodbyeEnd) return 0;
    c->array[--c->helloFirst] = pair;
    return 1;
}

int CdxModelPairContainerAddStaying(CdxModelPairContainer *c, CdxModelPair *pair)
{
    if (!c || c->stayingEnd >= c->frozenFirst) return 0;
    c->array[c->stayingEnd++] = pair;
    return 1;
}

int CdxModelPairContainerAddFrozen(CdxModelPairContainer *c, CdxModelPair *pair)
{
    if (!c || c->frozenFirst <= c->stayingEnd) return 0;
    c->array[--c->frozenFirst] = pair;
    return 1;
}

void CdxModelPairContainerIteratorInit(CdxModelPairContainerIterator *iterator, CdxModelPairContainer *container)
{
    if (!iterator) return;
    iterator->container = container;
    iterator->next = container ? container->stayingEnd : 0;
}

} // extern "C"
