// Whole world steps (partitioning, packing, solving, unpacking): a 50-link
// hinge chain swinging under gravity, and a resting pile of 100 boxes in
// ten stacks whose contacts the benchmark makes and updates before every
// step, as a collision bridge would.
#include <benchmark/benchmark.h>

#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>

namespace {

const PxReal kG = 9.81;
const PxReal kStep = 0.01;

RbdBodyID makeBox(RbdWorldID world, PxReal size, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(1.0, size, size, size, inertia);
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodySetPosition(body, x, y, z);
    RbdBodyEnable(body);
    return body;
}

// A chain of links (0.4 m x 0.1 m x 0.1 m, 1 kg) along x, hinged about z to
// each other and the first to the world at the origin.
void BM_HingeChainStep(benchmark::State &state)
{
    const int links = static_cast<int>(state.range(0));
    RbdWorldID world = RbdWorldCreate(links, links);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodyID previous = nullptr;
    for (int k = 0; k < links; ++k) {
        RbdBodyID link = RbdBodyCreate(world);
        PxMatrix3 inertia;
        RbdMakeInertiaTensorBox(1.0, 0.4, 0.1, 0.1, inertia);
        RbdBodySetInertiaTensor(link, inertia);
        RbdBodySetPosition(link, 0.4 * k + 0.2, 0.0, 0.0);
        RbdBodyEnable(link);
        RbdConstraintID hinge = RbdHingeCreate(world);
        RbdConstraintSetBodies(hinge, link, previous);
        RbdConstraintSetPosition(hinge, 0.4 * k, 0.0, 0.0);
        RbdConstraintSetAxis(hinge, 0.0, 0.0, 1.0);
        RbdConstraintEnable(hinge);
        previous = link;
    }
    for (auto _ : state) RbdWorldStep(world, kStep);
    state.counters["bodies"] = links;
    RbdWorldDestroy(world);
}
BENCHMARK(BM_HingeChainStep)->Arg(50)->Unit(benchmark::kMicrosecond);

// One contact per bottom corner of a box, against the box below it or the
// ground (normal +y, two friction directions proportional to the load).
struct CornerContacts {
    RbdBodyID upper, lower;
    RbdContactID contacts[4];
};

class RestingPile {
public:
    static constexpr PxReal kSize = 0.5;

    RestingPile(int stacks, int height)
    {
        const int boxes = stacks * height;
        world_ = RbdWorldCreate(boxes, 4 * boxes);
        RbdWorldSetGravity(world_, 0.0, -kG, 0.0);
        RbdContactParamsReset(&params_);
        RbdContactParamsSetType(&params_, 2);
        RbdContactParamsSetFrictionModel(&params_, 1);
        RbdContactParamsSetFrictionCoefficient(&params_, 0.6);
        RbdContactParamsSetSoftness(&params_, 1e-4);
        for (int s = 0; s < stacks; ++s) {
            RbdBodyID below = nullptr;
            for (int k = 0; k < height; ++k) {
                RbdBodyID box = makeBox(world_, kSize, 2.0 * kSize * s, kSize * (k + 0.5), 0.0);
                addContacts(box, below);
                below = box;
            }
        }
        update();
    }
    ~RestingPile() { RbdWorldDestroy(world_); }
    RbdWorldID world() const { return world_; }

    // Corners of each upper box against the top face of the box below (or y = 0).
    void update()
    {
        const PxReal half = 0.5 * kSize;
        const PxReal signs[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
        for (CornerContacts &pair : pairs_) {
            PxMatrix4 tm;
            RbdBodyGetTransform(pair.upper, tm);
            PxReal top = 0.0;
            if (pair.lower) {
                PxVector3 below;
                RbdBodyGetPosition(pair.lower, below);
                top = below[1] + half;
            }
            for (int k = 0; k < 4; ++k) {
                const PxVector3 corner = {half * signs[k][0], -half, half * signs[k][1]};
                PxVector3 p;
                PxV3MulTM(p, corner, tm);
                RbdContactSetPosition(pair.contacts[k], p[0], top, p[2]);
                RbdContactSetPenetration(pair.contacts[k], top - p[1]);
            }
        }
    }

private:
    void addContacts(RbdBodyID upper, RbdBodyID lower)
    {
        CornerContacts pair = {upper, lower, {}};
        for (RbdContactID &c : pair.contacts) {
            c = RbdContactCreate(world_);
            RbdConstraintSetBodies(c, upper, lower);
            RbdContactSetNormal(c, 0.0, 1.0, 0.0);
            RbdContactSetParams(c, &params_);
            RbdConstraintEnable(c);
        }
        pairs_.push_back(pair);
    }

    RbdWorldID world_;
    RbdContactParams params_;
    std::vector<CornerContacts> pairs_;
};

// argument: auto-disable mode (0 every stack is solved, 1 resting stacks sleep).
void BM_RestingPileStep(benchmark::State &state)
{
    RestingPile pile(10, 10);
    RbdWorldSetAutoDisable(pile.world(), static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        pile.update();
        RbdWorldStep(pile.world(), kStep);
    }
    state.counters["bodies"] = 100;
    state.counters["awake"] = RbdWorldGetEnabledBodies(pile.world());
}
BENCHMARK(BM_RestingPileStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
