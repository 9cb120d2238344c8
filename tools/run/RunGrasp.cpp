#include "RunGrasp.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <kelmar/PxMath.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>

namespace krun {

namespace {

const double kQuiet = 1e-3; // rad per step: a joint moving less is at rest
const int kQuietSteps = 20; // the hand has closed after this many steps of rest with a touch

// Of the objects that qualify, the one with the first name.
template <class T, class Qualifies> T *FirstByName(kelmar::Scene &scene, Qualifies qualifies)
{
    T *found = nullptr;
    std::string best;
    scene.ForEachObject([&](const char *name, kelmar::Object *object) {
        T *t = dynamic_cast<T *>(object);
        if (!t || !qualifies(name, t) || (found && best <= name)) return;
        found = t;
        best = name;
    });
    return found;
}

bool HasPalm(const char *, kelmar::Robot *robot)
{
    kelmar::Robot *node = robot;
    while (node && node->numChildren == 1) node = node->children[0];
    return node && node->numChildren > 1;
}

bool IsBall(const char *name, kelmar::Solid *)
{
    const size_t n = std::strlen(name);
    return n >= 4 && std::strcmp(name + n - 4, "ball") == 0;
}

const kelmar::Solid *OtherSolid(RbdConstraintID c, int side)
{
    RbdBodyID other = RbdConstraintGetBody(c, 1 - side);
    return other ? static_cast<const kelmar::Solid *>(RbdBodyGetUserData(other)) : nullptr;
}

} // namespace

GraspRun::GraspRun(kelmar::Scene &scene, const Options &o, std::string &problem) : kind_(o.grasp)
{
    hand_ = o.graspRobot.empty() ? FirstByName<kelmar::Robot>(scene, HasPalm)
                                 : dynamic_cast<kelmar::Robot *>(scene.LookupObject(o.graspRobot.c_str()));
    target_ = o.graspTarget.empty() ? FirstByName<kelmar::Solid>(scene, IsBall)
                                    : scene.LookupSolid(o.graspTarget.c_str());
    palm_ = hand_;
    while (palm_ && palm_->numChildren == 1) palm_ = palm_->children[0];
    if (!hand_ && !o.graspRobot.empty())
        problem = "no robot '" + o.graspRobot + "' in the scene (--robot NAME)";
    else if (!hand_)
        problem = "no hand (a robot with a palm) to grasp with";
    else if (!palm_ || palm_->numChildren < 2)
        problem = "robot '" + o.graspRobot + "' is no hand: it has no palm (a link with two fingers or more)";
    else if (!target_ && !o.graspTarget.empty())
        problem = "no solid '" + o.graspTarget + "' in the scene to grasp (--target NAME)";
    else if (!target_)
        problem = "no target to grasp (--target NAME)";
    if (!problem.empty()) return;
    double centre[3];
    target_->GetPosition(centre);
    startZ_ = centre[2];
    kelmar::GraspSilence(); // the controllers' progress lines would drown the summary
    ballWrap_.init(hand_, target_, o.graspRadius, o.graspThreshold);
    orb_.init(hand_, 0, centre, o.graspRadius);
    contact_.init(hand_, 0.05, 0, 1e9);
    contact0_.init(hand_, target_, 1e6, 2.0);
    som_.init(hand_, 0.02f, 0.05f);
    if (kind_ == "som" && (!som_.loadSOM(o.somFile.c_str(), "map", 0, 24) || !som_.setActiveSOM("map")))
        problem = "cannot use the map '" + o.somFile + "'";
    last_.reset(new double[static_cast<size_t>(hand_->numJoints)]);
    hand_->GetJoints(last_.get());
}

GraspRun::~GraspRun()
{
    kelmar::GraspSetSink(nullptr, nullptr);
}

void GraspRun::before()
{
    if (kind_ == "ballwrap") ballWrap_.grasp();
    if (kind_ == "orb") orb_.grasp();
    if (kind_ == "contact") {
        if (!explored_)
            explored_ = contact_.explore();
        else
            contact_.grasp();
    }
    if (kind_ == "contact0") contact0_.grasp();
    if (kind_ == "som") som_.grasp();
}

void GraspRun::after(int step, double time)
{
    if (closedStep_ >= 0 || !Closed()) return;
    closedStep_ = step;
    closedTime_ = time;
    target_->GetPosition(closedIn_);
    PalmFrame(closedIn_);
}

bool GraspRun::Closed()
{
    std::vector<double> now(static_cast<size_t>(hand_->numJoints));
    hand_->GetJoints(now.data());
    bool resting = true;
    for (int i = 0; i < hand_->numJoints; ++i) resting &= std::fabs(now[static_cast<size_t>(i)] - last_[i]) < kQuiet;
    std::copy(now.begin(), now.end(), last_.get());
    bool touching = false;
    for (int f = 0; f < palm_->numChildren; ++f) touching |= FingerContacts(f, nullptr) > 0;
    quietSteps_ = resting && touching ? quietSteps_ + 1 : 0;
    return kind_ == "contact" ? explored_ : quietSteps_ >= kQuietSteps;
}

// Contacts of finger f's links with the target; tip: its last link touches.
int GraspRun::FingerContacts(int f, bool *tip) const
{
    int n = 0;
    for (kelmar::Robot *node = palm_->children[static_cast<size_t>(f)]; node;
         node = node->numChildren > 0 ? node->children[0] : nullptr) {
        kelmar::ContactList *list = node->solid ? node->solid->GetContacts(target_) : nullptr;
        const int here = list ? list->count : 0;
        delete list;
        n += here;
        if (tip && node->numChildren == 0) *tip = here > 0;
    }
    return n;
}

void GraspRun::PalmFrame(double point[3]) const
{
    if (!palm_->solid) return;
    double inverse[4][4], out[3];
    std::memcpy(inverse, palm_->solid->GetTM(), sizeof inverse);
    PxMatrix4TMInvert(inverse);
    kelmar::ConvertPosition(inverse, point, out);
    for (int i = 0; i < 3; ++i) point[i] = out[i];
}

GraspVerdict GraspRun::verdict() const
{
    const GraspMeasures m = measure();
    GraspVerdict v;
    v.closed = m.closedStep >= 0;
    v.held = m.held;
    v.tips = m.tips;
    v.fingers = static_cast<int>(m.fingerContacts.size());
    v.lift = m.lift;
    v.slip = m.slip;
    const std::string name = target_->GetName();
    v.target = name.substr(name.rfind('.') + 1);
    return v;
}

std::string verdictLine(const GraspVerdict &v)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s %s: %d of %d fingertips in contact, lifted %.1f cm, slip %.1f mm",
                  v.target.c_str(), v.held ? "held" : "not held", v.tips, v.fingers, v.lift, v.slip);
    return text;
}

GraspMeasures GraspRun::measure() const
{
    GraspMeasures m;
    m.closedStep = closedStep_;
    m.closedTime = closedTime_;
    for (int f = 0; f < palm_->numChildren; ++f) {
        bool tip = false;
        m.fingerContacts.push_back(FingerContacts(f, &tip));
        m.tips += tip ? 1 : 0;
    }
    kelmar::ContactList withHand(target_);
    kelmar::ContactList *list = target_->GetContacts(0);
    bool onlyHand = list->count > 0;
    for (const auto &e : list->entries) {
        const kelmar::Solid *other = OtherSolid(e.contact, e.bodyIndex);
        if (other && hand_->IsPart(other))
            withHand.add(e.contact, e.bodyIndex);
        else
            onlyHand = false;
    }
    delete list;
    kelmar::Grasp grasp(target_, &withHand);
    const double *g = grasp.getGraspMap(m.columns);
    std::vector<float> n(g, g + 6 * m.columns);
    m.rank = m.columns - (m.columns > 0 ? kelmar::Grasp::ComputeNullSpace(n, 6, m.columns, 1e-5f) : 0);
    double p[3];
    target_->GetPosition(p);
    m.lift = p[2] - startZ_;
    PalmFrame(p);
    m.slip = closedStep_ < 0 ? 0
                             : 10 * std::sqrt(std::pow(p[0] - closedIn_[0], 2) + std::pow(p[1] - closedIn_[1], 2) +
                                              std::pow(p[2] - closedIn_[2], 2));
    m.held = onlyHand && m.tips >= 2;
    m.joints.resize(static_cast<size_t>(hand_->numJoints));
    hand_->GetJoints(m.joints.data());
    return m;
}

void GraspRun::printSummary(FILE *out) const
{
    const GraspMeasures m = measure();
    std::fprintf(out, "  grasp      %s with %s on %s: ", kind_.c_str(), hand_->GetName(), target_->GetName());
    if (m.closedStep < 0)
        std::fprintf(out, "the hand did not close\n");
    else
        std::fprintf(out, "closed after %d steps (%.3f s)\n", m.closedStep + 1, m.closedTime);
    const int fingers = static_cast<int>(m.fingerContacts.size());
    std::fprintf(out, "  fingers   ");
    for (int f = 0; f < fingers; ++f) std::fprintf(out, " %d:%d", f, m.fingerContacts[static_cast<size_t>(f)]);
    std::fprintf(out, " contacts with the target; fingertips in contact: %d of %d\n", m.tips, fingers);
    std::fprintf(out, "  grasp map  rank %d of 6 (%d columns), %d internal-force directions\n", m.rank, m.columns,
                 m.columns - m.rank);
    std::fprintf(out, "  held       %s: %d of %d fingertips in contact, lifted %.1f cm, slip %.1f mm\n",
                 m.held ? "yes" : "no", m.tips, fingers, m.lift, m.slip);
}

} // namespace krun
