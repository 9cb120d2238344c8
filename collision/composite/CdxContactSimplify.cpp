// Contact reduction. The candidates share one normal n; their positions,
// seen along n, span a contact area. Starting from the deepest candidate,
// the reduction grows a convex hull (counter-clockwise about n) through the
// others, dropping the hull point whose triangle with its two neighbours is
// smallest whenever the hull holds more points than the budget. Should the
// deepest contact not survive, it takes the place of the hull point whose
// loss costs the least area.
#include <kelmar/CdxContactSimplify.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <cfloat>

namespace {

// Single-precision thresholds widened to double.
const PxReal kSamePositionSquared = static_cast<PxReal>(0.0001f); // length^2
const PxReal kSameNormalDot = static_cast<PxReal>(0.9999f);
const PxReal kCollinear = static_cast<PxReal>(0.0001f); // length^2 (twice an area)
const int kLocalLinks = 64;

struct CdxContactLink {
    CdxContact *contact;
    PxReal weight; // twice the signed area of the triangle with both neighbours, along n
    CdxContactLink *next;
    CdxContactLink *previous;
};

// The hull: a circular doubly linked list over links taken from a fixed
// array through a free list.
struct CdxContactList {
    CdxContactLink *freeList;
    CdxContactLink *head;
    int count;
};

bool OnFace(const CdxContact &contact, int byte)
{
    return ((contact.dims >> (8 * byte)) & 0xff) == 2;
}

bool OnAnyFace(const CdxContact &contact)
{
    return OnFace(contact, 0) || OnFace(contact, 1);
}

bool Degenerate(const CdxContact &a, const CdxContact &b)
{
    PxVector3 d;
    PxV3Sub(d, a.position, b.position);
    return PxV3LengthSquared(d) < kSamePositionSquared && PxV3Dot(a.normal, b.normal) > kSameNormalDot;
}

// ((q - r) x (s - r)) . n: positive when r, q, s turn counter-clockwise about n.
PxReal Turn(const PxVector3 r, const PxVector3 q, const PxVector3 s, const PxVector3 n)
{
    PxVector3 rq, rs, c;
    PxV3Sub(rq, q, r);
    PxV3Sub(rs, s, r);
    PxV3Cross(c, rq, rs);
    return PxV3Dot(c, n);
}

void InitList(CdxContactList &list, CdxContactLink *links, int linkCount)
{
    list.freeList = nullptr;
    for (int i = linkCount - 1; i >= 0; --i) {
        links[i].next = list.freeList;
        list.freeList = &links[i];
    }
    list.head = nullptr;
    list.count = 0;
}

// Links contact into the hull after where (as the head when the hull is empty).
CdxContactLink *Insert(CdxContactList &list, CdxContactLink *where, CdxContact *contact)
{
    CdxContactLink *link = list.freeList;
    list.freeList = link->next;
    link->contact = contact;
    link->weight = 0.0;
    if (!where) {
        link->next = link->previous = link;
        list.head = link;
    } else {
        link->previous = where;
        link->next = where->next;
        where->next->previous = link;
        where->next = link;
    }
    ++list.count;
    return link;
}

void Remove(CdxContactList &list, CdxContactLink *link)
{
    if (link == list.head) list.head = link->next;
    link->previous->next = link->next;
    link->next->previous = link->previous;
    link->next = list.freeList;
    list.freeList = link;
    --list.count;
}

void UpdateWeight(CdxContactLink *q, const PxVector3 n)
{
    q->weight = Turn(q->previous->contact->position, q->contact->position, q->next->contact->position, n);
}

// Edge q -> q.next sees p when p lies to its right, outside the hull.
bool Sees(const CdxContactLink *q, const CdxContact &p, const PxVector3 n)
{
    return Turn(q->contact->position, q->next->contact->position, p.position, n) < 0.0;
}

// State of one reduction.
struct Reduction {
    CdxContactList hull;
    const PxReal *normal;
    bool deepestAside; // the deepest contact is written apart from the hull
};

// Offers p to the hull: when some edges see it, the points between the
// first and the last such edge go and p takes their place. Returns whether
// p joined the hull.
bool UpdateHull(Reduction &r, CdxContact *p)
{
    CdxContactLink *start = nullptr;
    CdxContactLink *q = r.hull.head;
    for (int i = 0; i < r.hull.count; ++i, q = q->next)
        if (Sees(q, *p, r.normal) && !Sees(q->previous, *p, r.normal)) {
            start = q;
            break;
        }
    if (!start) return false; // inside, or seen by every edge of a degenerate hull
    CdxContactLink *end = start->next;
    while (Sees(end, *p, r.normal)) end = end->next;
    while (start->next != end) Remove(r.hull, start->next);
    CdxContactLink *added = Insert(r.hull, start, p);
    UpdateWeight(added, r.normal);
    UpdateWeight(start, r.normal);
    UpdateWeight(end, r.normal);
    return true;
}

void RemoveAndReweigh(Reduction &r, CdxContactLink *q)
{
    CdxContactLink *before = q->previous;
    CdxContactLink *after = q->next;
    Remove(r.hull, q);
    UpdateWeight(before, r.normal);
    UpdateWeight(after, r.normal);
}

// Drops the smallest-weight hull point (the first found from the head when
// equal).
void DropSmallest(Reduction &r)
{
    CdxContactLink *smallest = r.hull.head;
    CdxContactLink *q = r.hull.head->next;
    for (int i = 1; i < r.hull.count; ++i, q = q->next)
        if (q->weight < smallest->weight) smallest = q;
    RemoveAndReweigh(r, smallest);
}

// Twice the area d adds to the hull when q is left out: the triangles d
// forms with the edges that see it.
PxReal AreaAddedWithout(const Reduction &r, const CdxContactLink *q, const CdxContact &d)
{
    PxReal added = 0.0;
    const CdxContactLink *a = q->next;
    for (int edge = 0; edge < r.hull.count - 1; ++edge) {
        const CdxContactLink *b = a->next == q ? q->next : a->next;
        PxReal turn = Turn(a->contact->position, b->contact->position, d.position, r.normal);
        if (turn < 0.0) added -= turn;
        a = b;
    }
    return added;
}

bool HullReaches(const Reduction &r, PxReal separation)
{
    const CdxContactLink *q = r.hull.head;
    for (int i = 0; i < r.hull.count; ++i, q = q->next)
        if (q->contact->separation <= separation) return true;
    return false;
}

// Sets the deepest contact aside for the output when the hull lost it (and
// no other contact as deep is on it), making room by leaving out the hull
// point whose removal, with the deepest added, keeps the most area.
void KeepDeepest(Reduction &r, const CdxContact &deepest, int maxOut)
{
    if (HullReaches(r, deepest.separation)) return;
    r.deepestAside = true;
    if (r.hull.count < maxOut) return;
    CdxContactLink *leave = nullptr;
    PxReal bestGain = -DBL_MAX;
    CdxContactLink *q = r.hull.head;
    for (int i = 0; i < r.hull.count; ++i, q = q->next) {
        PxReal gain = AreaAddedWithout(r, q, deepest) - q->weight;
        if (gain > bestGain) {
            bestGain = gain;
            leave = q;
        }
    }
    RemoveAndReweigh(r, leave);
}

// Index of the candidate with the smallest separation (the first of equal
// ones) among those that pass the filter, or -1.
template <typename Filter> int FindDeepest(const CdxContact *candidates, int count, Filter passes)
{
    int best = -1;
    PxReal bestSeparation = DBL_MAX;
    for (int i = 0; i < count; ++i)
        if (passes(candidates[i]) && candidates[i].separation < bestSeparation) {
            best = i;
            bestSeparation = candidates[i].separation;
        }
    return best;
}

// Moves the deepest candidate to the front.
void DeepestFirst(CdxContact *candidates, int count, int option)
{
    int deepest = -1;
    if (option) deepest = FindDeepest(candidates, count, [](const CdxContact &c) { return OnFace(c, 0); });
    if (deepest < 0) deepest = FindDeepest(candidates, count, [](const CdxContact &) { return true; });
    if (deepest > 0) {
        CdxContact swap = candidates[0];
        candidates[0] = candidates[deepest];
        candidates[deepest] = swap;
    }
}

// The third hull point: the first candidate from index from on that lies
// off the line a-b. Returns its index or -1.
int AddThirdPoint(Reduction &r, CdxContact *candidates, int from, int count)
{
    CdxContactLink *a = r.hull.head;
    CdxContactLink *b = a->next;
    PxVector3 ab, across;
    PxV3Sub(ab, b->contact->position, a->contact->position);
    PxV3Cross(across, r.normal, ab);
    for (int i = from; i < count; ++i) {
        PxVector3 ap;
        PxV3Sub(ap, candidates[i].position, a->contact->position);
        PxReal t = PxV3Dot(ap, across);
        if (t > kCollinear)
            Insert(r.hull, b, &candidates[i]);
        else if (t < -kCollinear)
            Insert(r.hull, a, &candidates[i]);
        else
            continue;
        CdxContactLink *q = r.hull.head;
        for (int k = 0; k < 3; ++k, q = q->next) q->weight = t < 0.0 ? -t : t;
        return i;
    }
    return -1;
}

int WriteOutput(const Reduction &r, const CdxContact *deepest, CdxContact *out, int option)
{
    int written = 0;
    if (r.deepestAside) out[written++] = *deepest;
    for (int pass = 0; pass < (option ? 2 : 1); ++pass) {
        const CdxContactLink *q = r.hull.head;
        for (int i = 0; i < r.hull.count; ++i, q = q->next) {
            // With the option, face contacts first (pass 0), then the rest.
            bool wanted = !option || OnAnyFace(*q->contact) == (pass == 0);
            if (wanted) out[written++] = *q->contact;
        }
    }
    return written;
}

int Reduce(const PxReal *normal, CdxContact *candidates, int n, CdxContact *out, int m, int option,
           CdxContactLink *links)
{
    DeepestFirst(candidates, n, option);
    const CdxContact deepest = candidates[0];
    Reduction r;
    r.normal = normal;
    r.deepestAside = false;
    InitList(r.hull, links, m + 1);
    Insert(r.hull, nullptr, &candidates[0]);
    if (m == 1) {
        if (option && !OnAnyFace(candidates[0]))
            for (int i = 1; i < n; ++i)
                if (OnAnyFace(candidates[i])) {
                    r.hull.head->contact = &candidates[i];
                    break;
                }
        return WriteOutput(r, &deepest, out, option);
    }
    int second = 1;
    while (second < n && Degenerate(candidates[0], candidates[second])) ++second;
    if (second == n) return WriteOutput(r, &deepest, out, option);
    Insert(r.hull, r.hull.head, &candidates[second]);
    if (m == 2) return WriteOutput(r, &deepest, out, option);
    int third = AddThirdPoint(r, candidates, second + 1, n);
    if (third < 0) return WriteOutput(r, &deepest, out, option);
    // Every candidate not yet on the hull is offered, the collinear ones
    // passed over for the third point included: they may lie beyond a or b.
    for (int i = second + 1; i < n; ++i) {
        if (i == third) continue;
        UpdateHull(r, &candidates[i]);
        if (r.hull.count > m) DropSmallest(r);
    }
    KeepDeepest(r, deepest, m);
    return WriteOutput(r, &deepest, out, option);
}

} // namespace

extern "C" {

int CdxContactSimplify(const PxVector3 normal, CdxContact *candidates, int candidateCount, CdxContact *out,
                       int maxOut, int option)
{
    if (!normal || !candidates || !out || candidateCount <= 0 || maxOut <= 0) return 0;
    if (candidateCount == 1) {
        out[0] = candidates[0];
        return 1;
    }
    int m = maxOut < candidateCount ? maxOut : candidateCount;
    CdxContactLink localLinks[kLocalLinks];
    CdxContactLink *links = localLinks;
    if (m + 1 > kLocalLinks) {
        links = static_cast<CdxContactLink *>(
            PxMemoryAPI.create(sizeof(CdxContactLink) * static_cast<size_t>(m + 1)));
        if (!links) {
            links = localLinks; // short of memory: the largest budget the local links allow
            m = kLocalLinks - 1;
        }
    }
    int written = Reduce(normal, candidates, candidateCount, out, m, option, links);
    if (links != localLinks) PxMemoryAPI.destroy(links);
    return written;
}

int CdxContactSimplifyBufferToResult(const PxVector3 normal, CdxContact *candidates, int count,
                                     CdxIntersectResult *result, const CdxRequest *defaultRequest)
{
    if (!result || !normal) return 0;
    const CdxRequest *request = result->pair && result->pair->request ? result->pair->request : defaultRequest;
    int budget = result->contacts ? result->contactCapacity : 0;
    if (request && request->contactMaxCount < budget) budget = request->contactMaxCount;
    int option = request ? request->requestOption : 0;
    result->contactCount = CdxContactSimplify(normal, candidates, count, result->contacts, budget, option);
    PxV3Copy(result->normal, normal);
    return result->contactCount;
}

} // extern "C"
