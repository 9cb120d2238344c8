// Exploration by touch. Each finger keeps the index of the most distal link
// that has touched something (its segment); the joint just beyond that link
// is sent to an exploration angle that grows by angleStep whenever the
// joint has reached it. A joint that reaches its upper stop hands over to
// the next one; once the segment is the tip link, the tip joint closes
// until the tip touches within the accepted stretch.
#include <kelmar/GraspContactBased.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <kelmar/GraspOutput.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

#include "hand/Contacts.h"
#include "hand/Hand.h"

namespace kelmar {

namespace {

const double kReached = 0.01; // rad: a joint this close to its exploration angle has reached it
const double kResting = 1e-4; // rad per step: a joint moving less than this counts as resting
const int kDebugFinger = 4;   // the finger whose exploration is traced

bool Differs(double a, double b)
{
    return std::fabs(a - b) > kResting;
}

} // namespace

void GraspContactBased::init(Robot *r, double step, double low, double high)
{
    robot = r;
    angleStep = step;
    validLow = low;
    validHigh = high;
    reset();
}

void GraspContactBased::reset()
{
    fingers_.clear();
}

// The segment starts just before the first movable joint, which is sent to
// the angle it stands at.
bool GraspContactBased::Start()
{
    hand::Hand h;
    if (!robot || !hand::FindHand(robot, h)) return false;
    fingers_.resize(static_cast<size_t>(h.count));
    for (int f = 0; f < h.count; ++f) {
        FingerState &s = fingers_[static_cast<size_t>(f)];
        s.links.assign(h.finger[f].link, h.finger[f].link + h.finger[f].count);
        s.previous.assign(s.links.size(), -FLT_MAX);
        s.target.resize(s.links.size());
        for (size_t k = 0; k < s.links.size(); ++k) s.target[k] = s.links[k]->_GetJoint();
        int first = 0;
        while (first < h.finger[f].count && !hand::Movable(s.links[static_cast<size_t>(first)])) ++first;
        s.segment = first - 1;
        s.exploration = first < h.finger[f].count ? s.target[static_cast<size_t>(first)] : 0;
    }
    return true;
}

bool GraspContactBased::explore()
{
    if (fingers_.empty() && !Start()) return true;
    bool changed = false;
    for (size_t f = 0; f < fingers_.size(); ++f) changed |= ExploreFinger(static_cast<int>(f), fingers_[f]);
    for (FingerState &s : fingers_)
        for (size_t k = 0; k < s.links.size(); ++k)
            s.links[k]->_SetJoint(hand::WithinStops(s.links[k], s.target[k]), 1.0, false);
    if (changed) return false;
    GraspPrint(GraspChannel::kProgress, "fertig!\n");
    return true;
}

bool GraspContactBased::ExploreFinger(int f, FingerState &s)
{
    if (s.links.empty()) return false;
    bool changed = AdvanceSegment(f, s);
    for (size_t k = 0; k < s.links.size(); ++k) {
        const double angle = s.links[k]->_GetJoint();
        if (Differs(angle, s.previous[k])) changed = true;
        s.previous[k] = angle;
    }
    const int last = static_cast<int>(s.links.size()) - 1;
    return (s.segment < last ? ExploreJoint(f, s) : ExploreTip(f, s)) || changed;
}

// A contact beyond the segment moves it out to the touching link (past a
// joint that cannot move); exploration goes on from the next joint's angle.
bool GraspContactBased::AdvanceSegment(int f, FingerState &s)
{
    int c = getContactSegment(f);
    if (c <= s.segment) return false;
    const int last = static_cast<int>(s.links.size()) - 1;
    const Solid *link = s.links[static_cast<size_t>(c)]->solid;
    GraspPrint(GraspChannel::kProgress, "new contact segment: %s\n", link && link->GetName() ? link->GetName() : "");
    if (c < last && !hand::Movable(s.links[static_cast<size_t>(c)])) ++c;
    s.segment = c;
    s.exploration = s.links[static_cast<size_t>(std::min(c + 1, last))]->_GetJoint();
    return true;
}

bool GraspContactBased::ExploreJoint(int f, FingerState &s)
{
    const int last = static_cast<int>(s.links.size()) - 1;
    const size_t j = static_cast<size_t>(s.segment + 1);
    Robot *node = s.links[j];
    const double current = node->_GetJoint();
    double lower, upper;
    hand::StopsOf(node, lower, upper);
    if (std::fabs(current - s.exploration) < kReached || s.exploration + angleStep > upper)
        s.exploration += angleStep;
    if (f == kDebugFinger)
        GraspPrint(GraspChannel::kProgress, "f:%i, cseg:%i, currang:%.3f, delta=%.3f, limit:%.3f\n", f, s.segment,
                   current, s.exploration - current, upper);
    if (s.exploration < upper) {
        const bool changed = Differs(s.target[j], s.exploration);
        s.target[j] = s.exploration;
        return changed;
    }
    s.target[j] = upper;
    ++s.segment;
    s.exploration = s.links[static_cast<size_t>(std::min(s.segment + 1, last))]->_GetJoint();
    if (s.segment < last)
        GraspPrint(GraspChannel::kProgress, "reset targetangle %i.%i to %.3f\n", f, s.segment + 1, s.exploration);
    return true;
}

// The tip link's turn: done when it touches within the accepted stretch
// (its last two joints stay where they stand), else it closes further.
bool GraspContactBased::ExploreTip(int f, FingerState &s)
{
    const size_t last = s.links.size() - 1;
    Robot *tip = s.links[last];
    if (isValidContact(tip, validLow, validHigh)) {
        if (s.tipReached) return false;
        s.tipReached = true;
        GraspPrint(GraspChannel::kProgress, "Finger %i fertig.\n", f);
        for (size_t k = last > 0 ? last - 1 : 0; k <= last; ++k) s.target[k] = s.links[k]->_GetJoint();
        return true;
    }
    s.tipReached = false;
    double lower, upper;
    hand::StopsOf(tip, lower, upper);
    s.exploration = std::min(s.exploration + angleStep, upper);
    const bool changed = Differs(s.target[last], s.exploration);
    s.target[last] = s.exploration;
    return changed;
}

int GraspContactBased::getContactSegment(int finger)
{
    if (finger < 0 || finger >= static_cast<int>(fingers_.size())) return -1;
    const FingerState &s = fingers_[static_cast<size_t>(finger)];
    for (int k = static_cast<int>(s.links.size()) - 1; k >= 0; --k)
        if (hand::HasContact(s.links[static_cast<size_t>(k)]->solid)) return k;
    return -1;
}

} // namespace kelmar
