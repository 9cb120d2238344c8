// Partitioning of the enabled bodies into islands (breadth-first over
// constraints) and single-island mode.
#include "step/RbdPartition.h"

namespace {

const int32_t ADDED = kPartitionAdded;
const int32_t UNMARKED = kPartitionUnmarked;

bool isAdded(const RbdBody *body)
{
    return body->partitionMark == ADDED;
}

void clearOutput(RbdPartitionOutput *out)
{
    out->partitionCount = 0;
    out->totalBodies = 0;
    out->totalConstraints = 0;
    out->pressedCount = 0;
}

void startPartition(RbdPartitionOutput *out, int32_t p)
{
    out->bodyStart[p] = out->totalBodies;
    out->bodyCount[p] = 0;
    out->constraintStart[p] = out->totalConstraints;
    out->constraintCount[p] = 0;
}

// Appends a body to island p and chains the previous body's solver record to it.
void appendBody(RbdPartitionOutput *out, int32_t p, RbdBody *body)
{
    int32_t index = out->bodyCount[p];
    if (index > 0) out->bodies[out->bodyStart[p] + index - 1]->lcs.next = &body->lcs;
    body->lcs.next = nullptr;
    out->bodies[out->totalBodies++] = body;
    out->bodyCount[p]++;
    body->partitionIndex = p;
    body->partitionBodyIndex = index;
    body->partitionMark = ADDED;
}

void appendConstraint(RbdPartitionOutput *out, int32_t p, RbdBaseConstraint *c)
{
    out->constraints[out->totalConstraints++] = c;
    out->constraintCount[p]++;
}

// A constraint whose body was destroyed before it cannot be stepped: its
// solver references point into a returned pool record. Met from a body of
// the island (alive), only the other body can be the destroyed one.
bool refersToDestroyedBody(const RbdBaseConstraint *c, const RbdBody *other)
{
    if (!other || other->typeTag == RBD_BODY_TAG) return false;
    PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldStep: a %s refers to a destroyed body; it is not stepped.\n",
              RbdBclJointNames[c->typeId]);
    return true;
}

// The same for a constraint met in the world's list, either body.
bool refersToDestroyedBody(const RbdBaseConstraint *c)
{
    return refersToDestroyedBody(c, c->body[0]) || refersToDestroyedBody(c, c->body[1]);
}

// Every constraint is met once from each of its island bodies. It was
// appended when it was met from whichever of them was walked first, and
// bodies are walked in the order of their index in the island. A body
// already in an earlier island met it there: a slack contact that did not
// wake this (then sleeping) body, which a later island has woken since.
bool metBefore(const RbdBody *other, const RbdBody *walked)
{
    if (!other || !isAdded(other)) return false;
    return other->partitionIndex != walked->partitionIndex || other->partitionBodyIndex < walked->partitionBodyIndex;
}

bool sleepsOn(const RbdBody *body)
{
    return body->world->autoDisable == 1; // on, islands by islands
}

// The impulses gentle touches pressed on a sleeper since it fell asleep:
// its count from the steps before, or the sum this walk keeps for it.
PxReal pressedSoFar(const RbdPartitionOutput *out, const RbdBody *sleeper)
{
    if (sleeper->partitionMark != kPartitionPressed) return sleeper->pressedImpulse;
    return out->pressed[sleeper->partitionBodyIndex].pressed;
}

void notePressed(RbdPartitionOutput *out, RbdBody *sleeper, PxReal pressed)
{
    if (sleeper->partitionMark != kPartitionPressed) {
        sleeper->partitionMark = kPartitionPressed;
        sleeper->partitionBodyIndex = out->pressedCount++;
        out->pressed[sleeper->partitionBodyIndex].sleeper = sleeper;
    }
    out->pressed[sleeper->partitionBodyIndex].pressed = pressed;
}

// A sleeping body that the island's body reaches through c stays asleep if
// a slack contact merely touches it, the island's body only spins through
// the contact, or it touches the sleeper too gently to move it (whose push
// the walk counts). Otherwise it joins the island: woken here if by a load
// it did not hold (as a body just enabled), else with the island. Kept out
// of line: only a walk under sleeping that meets a sleeping body comes
// here, and inlined it grew the walk of every step past the length the link
// inlines into its caller.
__attribute__((noinline)) void meetSleeper(RbdPartitionOutput *out, int32_t p, const RbdBaseConstraint *c,
                                           const RbdBody *body, RbdBody *sleeper)
{
    if (RbdConstraintIsSlack(c) || RbdContactIsSpunThrough(c, body)) return;
    const PxReal pressed = pressedSoFar(out, sleeper);
    const RbdTouch touch = RbdContactTouchesGently(c, body, sleeper, pressed);
    if (touch.held) {
        if (touch.pressed != pressed) notePressed(out, sleeper, touch.pressed);
        return;
    }
    if (touch.loaded) RbdBodyEnable(sleeper);
    appendBody(out, p, sleeper);
}

void appendOtherBody(RbdPartitionOutput *out, int32_t p, const RbdBaseConstraint *c, const RbdBody *body,
                     RbdBody *other)
{
    if (!other || isAdded(other)) return;
    // A frozen body is immovable for its constraints and joins no island;
    // so is a sleeping one that stays asleep.
    if (other->frozen)
        other->partitionIndex = -1;
    else if (other->enabledTime >= 0 || !sleepsOn(other))
        appendBody(out, p, other);
    else
        meetSleeper(out, p, c, body, other);
}

// A sleeping body that an island reaches wakes with it. Under auto-disable
// it fell asleep at rest and has not moved since, so it wakes past its
// alive window and with the averaged accelerations it slept with: the
// island sleeps again as soon as nothing in it moves, rather than keeping
// every body it reached awake for the alive window.
void wakeWithIsland(RbdBody *body)
{
    RbdBodyEnable(body);
    if (sleepsOn(body) && body->enabledTime == 0) body->enabledTime = body->world->thresholds.aliveWindow;
}

// The node names the constraint's other body: the walk reads a
// constraint's record only to append it (and for a sleeping body's slack
// contact), not to find where it leads.
void walkBody(RbdPartitionOutput *out, int32_t p, RbdBody *body)
{
    for (RbdConstraintNode *node = body->constraints; node; node = node->next) {
        RbdBaseConstraint *c = node->constraint;
        if (metBefore(node->other, body) || refersToDestroyedBody(c, node->other)) continue;
        appendConstraint(out, p, c);
        appendOtherBody(out, p, c, body, node->other);
    }
    // A sleeping body jointed or touching an island body wakes with it.
    if (body->enabledTime < 0) wakeWithIsland(body);
}

void buildPartition(RbdPartitionOutput *out, int32_t p, RbdBody *seed)
{
    startPartition(out, p);
    appendBody(out, p, seed);
    for (int32_t k = 0; k < out->bodyCount[p]; ++k) walkBody(out, p, out->bodies[out->bodyStart[p] + k]);
}

RbdBody *nextSeed(RbdBody *body)
{
    while (body && (isAdded(body) || body->frozen)) body = body->nextEnabled;
    return body;
}

void forgetBodies(RbdBody **bodies, int32_t count)
{
    for (int32_t k = 0; k < count; ++k) {
        bodies[k]->partitionMark = UNMARKED;
        bodies[k]->partitionBodyIndex = -1;
    }
}

// Runs the callback of island p; an island it removed leaves the output,
// and its bodies, still stored past the output's end, are unmarked.
void finishPartition(RbdPartitionOutput *out, int32_t p, RbdAfterPartitionFunction afterPartition, void *arg)
{
    out->partitionCount++;
    if (!afterPartition) return;
    int32_t start = out->bodyStart[p], count = out->bodyCount[p];
    afterPartition(out, arg);
    if (out->partitionCount == p) forgetBodies(out->bodies + start, count);
}

void unmarkOutput(RbdPartitionOutput *out)
{
    for (int32_t k = 0; k < out->totalBodies; ++k) out->bodies[k]->partitionMark = UNMARKED;
}

// The pressed list keeps the sleepers still asleep and marked as pressed
// since: one the walk appended to an island later (then maybe put back to
// sleep, its count restarted, and pressed again under a new entry) drops
// its earlier entry.
void unmarkPressed(RbdPartitionOutput *out)
{
    int32_t kept = 0;
    for (int32_t k = 0; k < out->pressedCount; ++k) {
        RbdBody *sleeper = out->pressed[k].sleeper;
        if (sleeper->partitionMark != kPartitionPressed || sleeper->partitionBodyIndex != k) continue;
        sleeper->partitionMark = UNMARKED;
        sleeper->partitionBodyIndex = -1;
        out->pressed[kept++] = out->pressed[k];
    }
    out->pressedCount = kept;
}

} // namespace

void RbdUpdatePartitions(RbdBody *firstEnabledBody, RbdPartitionOutput *out, RbdAfterPartitionFunction afterPartition,
                         void *arg)
{
    if (!out) return;
    clearOutput(out);
    RbdBody *seed = nextSeed(firstEnabledBody);
    while (seed) {
        int32_t p = out->partitionCount;
        buildPartition(out, p, seed);
        // The next seed is found before the callback, which may disable
        // (and unlink) the bodies of this island, the seed among them.
        RbdBody *next = nextSeed(seed->nextEnabled);
        finishPartition(out, p, afterPartition, arg);
        seed = next;
    }
    unmarkOutput(out);
    if (out->pressedCount > 0) unmarkPressed(out);
}

void RbdKeepPresses(RbdPartitionOutput *out)
{
    for (int32_t k = 0; k < out->pressedCount; ++k) out->pressed[k].sleeper->pressedImpulse = out->pressed[k].pressed;
    out->pressedCount = 0;
}

bool RbdReuseLastPartitions(const RbdPartitionOutput *out, uint32_t edits)
{
    return out->reusable && out->editsWalked == edits;
}

void RbdMakeSinglePartition(RbdBody *firstEnabledBody, RbdPartitionOutput *out,
                            RbdAfterPartitionFunction afterPartition, void *arg)
{
    if (!out) return;
    clearOutput(out);
    if (!firstEnabledBody) return;
    startPartition(out, 0);
    for (RbdBody *body = firstEnabledBody; body; body = body->nextEnabled) appendBody(out, 0, body);
    for (RbdBaseConstraint *c = firstEnabledBody->world->firstEnabledConstraint; c; c = c->next)
        if (!refersToDestroyedBody(c)) appendConstraint(out, 0, c);
    finishPartition(out, 0, afterPartition, arg);
    unmarkOutput(out);
}

int RbdBodyIsMovingTest(const RbdBody *body, const RbdAutoDisableThresholds *thresholds, bool swept)
{
    const RbdLcsBody *lcs = &body->lcs;
    const bool fast = PxV3LengthSquared(lcs->linearVelocity) > thresholds->velocity ||
                      PxV3LengthSquared(lcs->angularVelocity) > thresholds->angularVelocity;
    if (fast && !RbdBodyIsSlow(body, thresholds->restSpeed)) return 1;
    if (RbdBodyIsAccelerating(body, thresholds, swept)) return 1;
    // A body is never put to sleep in its first aliveWindow steps after being enabled.
    return body->enabledTime < thresholds->aliveWindow;
}

void RbdClearPartitionIndices(RbdPartitionOutput *out)
{
    if (out) forgetBodies(out->bodies, out->totalBodies);
}
