// The SOM grasp's contact memory: per finger segment a reservoir that a
// touching step fills by 5 (to 20 and 25 under steady touch) and every step
// drains by 1, emptying from 1; a segment touches while its reservoir is
// above 0, so one touch lasts 5 steps.
#include <kelmar/GraspShadowSOMGrasp.h>

#include <kelmar/Robot.h>

#include "hand/Contacts.h"
#include "som/SomLayout.h"

namespace kelmar {

namespace {

const int kFill = 5, kFull = 20;

int Drained(int level)
{
    return level < 2 ? 0 : level - 1;
}

} // namespace

void GraspShadowSOMGrasp::ReadTouches()
{
    for (int j = 0; j < kJoints; ++j) {
        Robot *node = j < 2 || !robot ? nullptr : robot->GetNodeOfJoint(j);
        touch[j] = node && hand::HasContact(node->solid);
    }
}

void GraspShadowSOMGrasp::updateContactReservoir()
{
    if (touchFromRobot) ReadTouches();
    for (int f = 0; f < kFingers; ++f)
        for (int s = 0; s < kSegments; ++s) {
            bool touching = false;
            for (int j = som::kReservoirStart[f][s]; j <= som::LastJoint(f); ++j) touching |= j >= 2 && touch[j];
            int &level = contactReservoir[f][s];
            level = Drained(level);
            if (touching) level = level <= kFull ? level + kFill : kFull;
        }
}

void GraspShadowSOMGrasp::getContactReservoirSegments(bool segments[kFingers][kSegments]) const
{
    for (int f = 0; f < kFingers; ++f)
        for (int s = 0; s < kSegments; ++s) segments[f][s] = contactReservoir[f][s] > 0;
}

void GraspShadowSOMGrasp::getContactProjectionMask(bool *mask, const bool segments[kFingers][kSegments]) const
{
    bool any = false;
    for (int j = 0; j < kJoints; ++j) mask[j] = false;
    for (int f = 0; f < kFingers; ++f)
        for (int s = 0; s < kSegments; ++s) {
            if (!segments[f][s]) continue;
            any = true;
            for (int j = som::kProjectionBound[f][s]; j <= som::kProjectionBound[f][s + 1]; ++j) mask[j] = true;
        }
    if (!any)
        for (int j = 0; j < kJoints; ++j) mask[j] = true;
}

} // namespace kelmar
