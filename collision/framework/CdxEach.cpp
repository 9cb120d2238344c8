// Dispatch over a pair container: hello and goodbye for the transitions,
// resumable batch intersection for the staying and hello pairs.
#include <kelmar/CdxEach.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxInteractions.h>

namespace {

int ContactsWanted(const CdxModelPair *pair)
{
    const CdxRequest *request = pair->request ? pair->request : CdxGetDefaultRequestPtr();
    return request->contactMaxCount;
}

} // namespace

extern "C" {

void CdxHelloEach(CdxModelPairContainer *container)
{
    if (!container) return;
    for (int i = container->helloFirst; i < container->helloEnd; ++i) CdxHello(container->array[i]);
}

void CdxGoodbyeEach(CdxModelPairContainer *container)
{
    if (!container) return;
    for (int i = container->goodbyeFirst; i < container->goodbyeEnd; ++i) CdxGoodbye(container->array[i]);
}

int CdxIntersectEach(CdxModelPairContainer *container, CdxModelPairContainerIterator *iterator,
                     CdxIntersectResult *results, int resultCapacity, int *resultCount, CdxContact *contactBuffer,
                     int contactCapacity, int *contactsUsed)
{
    int written = 0;
    int used = 0;
    int more = 0;
    if (container && iterator && results && (contactBuffer || contactCapacity == 0)) {
        // Staying pairs lie just above the hello pairs: walking down from the
        // top of the staying section visits both.
        int index = iterator->next - 1;
        while (index >= container->helloFirst) {
            CdxModelPair *pair = container->array[index];
            if (written >= resultCapacity || contactCapacity - used < ContactsWanted(pair)) break;
            CdxIntersectResult *result = &results[written];
            result->contacts = contactBuffer ? contactBuffer + used : nullptr;
            result->contactCapacity = contactCapacity - used;
            CdxIntersect(pair, result);
            used += result->contactCount;
            ++written;
            --index;
        }
        iterator->next = index + 1;
        more = index >= container->helloFirst;
    }
    if (resultCount) *resultCount = written;
    if (contactsUsed) *contactsUsed = used;
    return more;
}

} // extern "C"
