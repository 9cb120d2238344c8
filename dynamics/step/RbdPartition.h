// Islands of a step: partitioning of the enabled bodies, auto-disable of
// resting islands, and the packing of an island into solver rows and the
// unpacking of the results.
#ifndef KELMAR_DYNAMICS_RBDPARTITION_H
#define KELMAR_DYNAMICS_RBDPARTITION_H

#include "world/RbdInternal.h"

// partitionMark of a body appended to an island during the current
// partitioning, and of a sleeping body that gentle touches pressed in it
// (its partitionBodyIndex then its entry in the output's pressed list);
// every other body carries kPartitionUnmarked.
const int32_t kPartitionAdded = 1;
const int32_t kPartitionPressed = 4;
const int32_t kPartitionUnmarked = -1;

// A contact whose bodies do not overlap, that carried no force last step
// and whose bodies do not approach (two balls side by side that do not
// press): under auto-disable it binds neither the sleep of the bodies it
// touches nor wakes a sleeping one.
bool RbdConstraintIsSlack(const RbdBaseConstraint *c);
// A contact without spin friction through which `body` only spins: the body
// is fast by its spin alone (not accelerating, its centre and its material
// point at the contact slower than the rest speed). A point contact passes
// no torque about its normal, so such a spin neither moves nor loads the
// other body: under auto-disable the contact binds neither the other body's
// sleep to the spinning one nor wakes it.
bool RbdContactIsSpunThrough(const RbdBaseConstraint *c, const RbdBody *body);
// What a contact through which `body` meets the sleeping body `sleeper`
// does to it, given `pressed`, the impulses (N s) gentle touches pressed on
// the sleeper since it fell asleep (this step's so far). It is held, so
// gently that the sleeper would stay at rest, when it closes slower than
// the rest speed and either it kept the force it carried when the sleeper
// fell asleep and holds it still (RbdContactHoldsAsBefore), or it kept none
// and the pressed impulses with its own push (the last step's) would have
// moved the sleeper, free, slower than the rest speed. Under auto-disable a
// held sleeper stays asleep, met as immovable; a push that goes on adds up
// and wakes it. A load it did not hold, from a body stepped since it was
// enabled, wakes it as a body just enabled (for its alive window). The
// query changes nothing: the walk that meets the sleeper counts the push
// and wakes it.
struct RbdTouch {
    bool held;      // the sleeper stays asleep
    bool loaded;    // not held, and woken by a load it did not hold
    PxReal pressed; // `pressed` with this contact's push, if it kept no force (N s)
};
RbdTouch RbdContactTouchesGently(const RbdBaseConstraint *c, const RbdBody *body, const RbdBody *sleeper,
                                 PxReal pressed);
// Whether the contact's force on its body `side` (0 or 1) is within a share
// (kHeldShare, a quarter) of the kept one, as a vector: the change since
// the sleeper fell asleep is no more than a quarter of what it held then.
bool RbdContactHoldsAsBefore(const RbdBaseConstraint *c, int side);

// Called after each island is complete; it may remove that island (the
// last one of output) from the output.
typedef void (*RbdAfterPartitionFunction)(RbdPartitionOutput *output, void *arg);

// Islands by breadth-first search from each enabled body that is in no
// island yet: bodies are appended in the order they are reached, each
// enabled constraint reached from an island's bodies is appended once to
// that island, disabled bodies reached through a constraint are enabled,
// frozen bodies are left out (partition index -1), and so are disabled
// bodies that, under auto-disable, every contact reaching them leaves
// asleep (slack, spun through or held: RbdContactTouchesGently); the
// pushes they took are listed in the output (pressed) for RbdKeepPresses.
// Each body's solver record is chained to the next body of its island. The
// output's arrays must hold every enabled body and constraint of the world.
void RbdUpdatePartitions(RbdBody *firstEnabledBody, RbdPartitionOutput *output,
                         RbdAfterPartitionFunction afterPartition, void *arg);
// Counts the pushes the last walk met on the sleepers it left asleep: each
// pressed sleeper's pressedImpulse becomes its summed pushes. Once a step,
// after the walk; the walk itself only reads the counts, so walking again
// before this counts no push twice.
void RbdKeepPresses(RbdPartitionOutput *output);
// Whether the islands in output, walked by RbdUpdatePartitions without
// auto-disable, serve this step unchanged: none of what the walk reads
// (the enabled lists, the bodies' constraint lists, frozen flags, lives)
// changed since, so a walk now would give the same islands in the same
// order. `edits` is the world's islandEdits. Kept islands keep their solver
// chains and each body its island index; the places in the islands, cleared
// at the end of a step, are written again by RbdPackPartition.
bool RbdReuseLastPartitions(const RbdPartitionOutput *output, uint32_t edits);
// One island of every enabled body, in enabled-list order, and every
// enabled constraint of the body's world, in the world's list order.
void RbdMakeSinglePartition(RbdBody *firstEnabledBody, RbdPartitionOutput *output,
                            RbdAfterPartitionFunction afterPartition, void *arg);

// The afterPartition of auto-disable mode 1; arg is the world's
// RbdAutoDisableThresholds. The newest island's bodies are bound together
// by its joints and by its contacts that are not slack; every bound group
// of which no body is moving is disabled, its bodies stopped and their
// forces zeroed. A wholly resting island leaves the output; otherwise it
// keeps its awake bodies and every constraint that touches one, a sleeping
// body then being immovable for them (outside every island).
void RbdAutoDisableLastPartition(RbdPartitionOutput *output, void *arg);
// Moving: |v|^2 or |w|^2 above its threshold unless the body is slow
// (RbdBodyIsSlow), accelerating (RbdBodyIsAccelerating; swept: its island
// is solved by the sweeps), or enabled for fewer than aliveWindow steps.
int RbdBodyIsMovingTest(const RbdBody *body, const RbdAutoDisableThresholds *thresholds, bool swept);
// Whether the body's kinetic energy is less than that of the body moving
// at fraction * |g| * h (m/s), h the world's step.
bool RbdBodyIsSlow(const RbdBody *body, PxReal fraction);
// Whether the body's linear or angular acceleration exceeds its threshold
// both in this step and averaged over the window and, for a body of an
// island the sweeps solve (swept) that is slower than the rest speed
// (RbdBodyIsSlow), is steady there: its squared average makes up at least
// half of its averaged square.
int RbdBodyIsAccelerating(const RbdBody *body, const RbdAutoDisableThresholds *thresholds, bool swept);
// Folds the body's last step into its averaged accelerations, over `window`
// steps (at least 1); a body enabled this step starts from its own.
void RbdBodyAverageMotion(RbdBody *body, int32_t window);

// Prepares the bodies of island p for the island's step (gravity,
// damping, pending impulses) and builds the rows of its constraints with the
// island's step, epsilon and gamma into `rows`, as the one partition of the
// list. Returns the number of rows built (padding excluded).
int32_t RbdPackPartition(RbdPartitionOutput *output, int32_t p, const RbdBclParameters *island,
                         const PxVector3 gravity, RbdLcsConstraints *rows);
// After the solver: each body of island p guarded (RbdGuardBody), then its
// reference frame set from its centre-of-mass frame; each constraint's
// per-row results (row impulse / h, or the row force as it stands for
// integration model 1), at most RBD_CONSTRAINT_LAMBDA_COUNT rows, followed
// by RBD_LAMBDA_END_MARKER; each constraint marked swept when the sweeps
// solved the island, a large one or a heap swept in place of the pivoting
// (sweptHeap).
void RbdUnpackPartition(RbdWorld *world, const RbdLcsConstraints *rows, int32_t p, RbdPartitionOutput *output,
                        const RbdLcsParameters *parameters, int sweptHeap);
// A body whose state is not finite after the solver is put back at its pose
// before the step, at rest, frozen, counted in the world and reported once
// with its name and the step.
void RbdGuardBody(RbdWorld *world, RbdBody *body);
// After the solver, before the guard: at most `passes` Gauss-Seidel passes
// over the joints of island p (the partition just solved in `rows`, step
// h) that pin two points together (ball-and-socket, hinge and universal
// joints with hard point rows), each moving the joint's bodies in the
// island by M^-1 J^T lambda over its point and alignment rows so that its
// anchor gap is again the one the solve meant (the rows' phi + h J v) and
// its alignment errors stay; stops early after a pass that found every
// joint within its slack. Velocities are never touched.
void RbdProjectJointPositions(const RbdLcsConstraints *rows, RbdPartitionOutput *output, int32_t p, PxReal h,
                              int32_t passes);
// Forgets the island membership of every body of the output (index in
// island -1), so that no stale index is read by a later step.
void RbdClearPartitionIndices(RbdPartitionOutput *output);

#endif
