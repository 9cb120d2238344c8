// The grasps' two costs per step, on the example scene hand_ball.px (the
// three-fingered hand over a rubber ball of 4 cm radius): one ball-wrap
// call on the open hand and on the hand half closed, and the grasp map of
// 10 contacts with friction (6 x 30) followed by its null space. Targets:
// under 5 us for the call, under 20 us for map and null space.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

namespace {

const std::string kScene = std::string(KELMAR_EXAMPLES) + "/hand_ball.px";
const double kWrapRadius = 4.0 + 0.8 - 0.1; // cm: the ball plus half a link, less 1 mm
const int kContacts = 10;

// Messages are counted by the scene; a bench run only needs them off the screen.
class QuietScene : public kelmar::Scene {
public:
    using kelmar::Scene::Scene;
    void Error(int, const char *, ...) const override {}
};

struct HandOverBall {
    kelmar::Universe universe{1000, 1000, 1000, 20000};
    QuietScene scene{kScene.c_str()};
    kelmar::Robot *hand = nullptr;
    kelmar::Solid *ball = nullptr;
    HandOverBall()
    {
        universe.AddScene(&scene);
        hand = dynamic_cast<kelmar::Robot *>(scene.LookupObject("hand.robot"));
        ball = scene.LookupSolid("ball", false);
    }
    ~HandOverBall() { universe.DelScene(&scene); }
    bool ok() const { return hand && ball && scene.GetLoadErrorCount() == 0; }
};

// closingSteps: simulation steps of ball wrapping before the timed calls.
void BallWrapCall(benchmark::State &state)
{
    HandOverBall w;
    if (!w.ok()) return state.SkipWithError(("cannot read the hand and ball of " + kScene).c_str());
    kelmar::GraspBallWrap wrap;
    wrap.init(w.hand, w.ball, kWrapRadius, 0.05);
    for (int i = 0; i < state.range(0); ++i) {
        wrap.grasp();
        w.universe.step();
    }
    for (auto _ : state) wrap.grasp();
}

// Ten contacts spread over the ball (golden-angle spiral), normals pointing in.
std::vector<RbdContactID> ContactsOnBall(RbdWorldID world, kelmar::Solid *ball, kelmar::ContactList &list)
{
    std::vector<RbdContactID> made;
    double c[3];
    RbdBodyGetCenterOfMassPosition(ball->GetBody(), c);
    for (int i = 0; i < kContacts; ++i) {
        const double z = 1 - (2.0 * i + 1) / kContacts, s = std::sqrt(1 - z * z), phi = 2.399963 * i;
        const double n[3] = {s * std::cos(phi), s * std::sin(phi), z};
        RbdContactID contact = RbdContactCreate(world);
        RbdConstraintSetBodies(contact, ball->GetBody(), nullptr);
        RbdContactSetPosition(contact, c[0] - 4 * n[0], c[1] - 4 * n[1], c[2] - 4 * n[2]);
        RbdContactSetNormal(contact, n[0], n[1], n[2]);
        RbdContactParamsSetType(RbdContactGetParams(contact), 2);
        RbdContactParamsSetFrictionCoefficient(RbdContactGetParams(contact), 1.0);
        list.add(contact, 0);
        made.push_back(contact);
    }
    return made;
}

void GraspMapAndNullSpace(benchmark::State &state)
{
    HandOverBall w;
    if (!w.ok()) return state.SkipWithError(("cannot read the hand and ball of " + kScene).c_str());
    kelmar::ContactList list(w.ball);
    const std::vector<RbdContactID> made = ContactsOnBall(w.universe.GetWorld(), w.ball, list);
    kelmar::Grasp grasp(w.ball, &list);
    std::vector<float> n;
    int columns = 0, nullity = 0;
    for (auto _ : state) {
        grasp.SetContacts(&list); // discards the stored map
        const double *g = grasp.getGraspMap(columns);
        n.assign(g, g + 6 * columns);
        nullity = kelmar::Grasp::ComputeNullSpace(n, 6, columns, 1e-5f);
        benchmark::DoNotOptimize(n.data());
    }
    state.counters["columns"] = columns;
    state.counters["nullity"] = nullity;
    for (RbdContactID contact : made) RbdConstraintDestroy(contact);
}

} // namespace

BENCHMARK(BallWrapCall)->Arg(0)->Arg(60)->ArgName("closingSteps")->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(GraspMapAndNullSpace)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK_MAIN();
