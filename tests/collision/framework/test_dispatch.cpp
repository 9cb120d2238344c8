// Pairs and their dispatch: hello and goodbye, intersection now and
// ahead in time, safe time, proximity and distance; the pair container and
// the batch functions over it.
// And models: records from the pool, fields, transforms, boxes, spheres, moves
// and mass properties.
#include "collision/collision_support.h"

namespace {

int gDistanceCalls;
CdxModelID gDistanceModel1;
int RecordingDistance(CdxModelPair *pair, CdxDistanceResult *result)
{
    ++gDistanceCalls;
    gDistanceModel1 = pair->model1;
    result->lowerBound = 1.0;
    result->upperBound = 2.0;
    result->element1 = 11;
    result->element2 = 22;
    return 1;
}

int ApproximateDistance(CdxModelPair *, const CdxDistanceRequest *request, CdxDistanceResult *result)
{
    result->lowerBound = request->lowerThreshold;
    result->upperBound = request->upperThreshold;
    return 1;
}

const PxReal kTight = 1e-12;

void ExpectPoint(const PxReal *p, PxReal x, PxReal y, PxReal z, PxReal tolerance = kTight)
{
    EXPECT_NEAR(x, p[0], tolerance);
    EXPECT_NEAR(y, p[1], tolerance);
    EXPECT_NEAR(z, p[2], tolerance);
}

} // namespace

// Which order hello puts two types in, and the normals that follow, the
// random pair test states for every primitive pair; here the hello and
// goodbye of a pair of one type, which is never exchanged.
TEST_F(CdxTest, APairOfOneTypeKeepsItsOrderAndSaysHelloAndGoodbyeOnce)
{
    CdxModelID lower = At(0, 0, 0), upper = At(0, 0, 1.9);
    CdxModelPair *same = Pair(upper, lower);
    EXPECT_EQ(upper, same->model1);
    EXPECT_EQ(1, gBoxBoxCounts.hello);
    CdxContact contacts[4];
    CdxIntersectResult result = ResultOn(contacts, 4);
    ASSERT_EQ(1, CdxIntersect(same, &result));
    EXPECT_EQ(same, result.pair);
    ASSERT_EQ(4, result.contactCount);
    EXPECT_EQ(1.0, result.normal[2]) << "from the lower box up to the upper one";
    CdxGoodbye(same);
    EXPECT_EQ(1, gBoxBoxCounts.goodbye);
    // A null contact array asks for touch only.
    result = ResultOn(nullptr, 4);
    CdxIntersect(Pair(upper, lower), &result);
    EXPECT_EQ(1, result.touch);
    EXPECT_EQ(0, result.contactCapacity);
    EXPECT_EQ(0, result.contactCount);
}

TEST_F(CdxTest, PairsOfUnregisteredTypesNeverTouchAndReportNothing)
{
    CdxModelID a = At(0, 0, 0, CdxPlaneCreate()), b = At(0, 0, 0, CdxPlaneCreate());
    Drive(a, 1, 0, 0);
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    EXPECT_EQ(0, CdxHello(&pair));
    CdxContact contact;
    CdxIntersectResult result = ResultOn(&contact, 1);
    result.touch = 5;
    result.contactCount = 5;
    EXPECT_EQ(0, CdxIntersect(&pair, &result));
    EXPECT_EQ(0, result.touch);
    EXPECT_EQ(0, result.contactCount);
    CdxSafeTimeResult safe;
    EXPECT_EQ(0, CdxSafeTime(&pair, 0.25, &safe));
    EXPECT_EQ(0.25, safe.safeTime);
    CdxDistanceResult distance;
    EXPECT_EQ(0, CdxDistance(&pair, &distance));
    EXPECT_EQ(DBL_MAX, distance.lowerBound);
    EXPECT_EQ(DBL_MAX, distance.upperBound);
    EXPECT_EQ(1, CdxNearby(&pair)) << "their boxes still overlap";
    CdxGoodbye(&pair);
    EXPECT_EQ(0, gBoxBoxCounts.goodbye);
}

TEST_F(CdxTest, SafeTimeNeedsBothModelsVelocities)
{
    CdxModelID a = At(0, 0, 0), b = At(5, 0, 0);
    CdxModelPair *pair = Pair(a, b);
    CdxSafeTimeResult safe;
    EXPECT_EQ(1, CdxSafeTime(pair, 2.0, &safe)) << "a function exists";
    EXPECT_EQ(2.0, safe.safeTime) << "but without velocities it is not asked";
    Drive(a, 3, 0, 0);
    PxVector3 v = {-1, 0, 0};
    CdxModelSetLinearVelocityPtr(b, v);
    EXPECT_EQ(1, CdxSafeTime(pair, 2.0, &safe));
    EXPECT_EQ(2.0, safe.safeTime) << "nor with one of them";
    Drive(b, -1, 0, 0);
    EXPECT_EQ(1, CdxSafeTime(pair, 2.0, &safe));
    EXPECT_EQ(pair, safe.pair);
    EXPECT_NEAR(0.75, safe.safeTime, 1e-12) << "a gap of 3 closing at 4 per second";
}

TEST_F(CdxTest, NearbyMeansOverlappingBoxesOnAllAxesTouchingIncluded)
{
    CdxModelID a = At(0, 0, 0), b = At(2, 2, 2, CdxSphereCreate(1.0));
    PxMatrix4 &tm = *CdxModelGetTransformPtr(b);
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    EXPECT_EQ(1, CdxNearby(&pair)) << "corner on corner";
    SetPose(tm, Translation(2, 2, 2.001));
    EXPECT_EQ(0, CdxNearby(&pair));
    SetPose(tm, Translation(0, -1.5, 0));
    EXPECT_EQ(1, CdxNearby(&pair));
    CdxModelPairReset(&pair, a, Model(nullptr, &tm));
    EXPECT_EQ(0, CdxNearby(&pair)) << "a model without geometry is nowhere";
}

TEST_F(CdxTest, DistanceSeesTheRegisteredOrderAndReportsInTheCallersOrder)
{
    CdxModelID box = At(0, 0, 0), ball = At(0, 0, 0, CdxSphereCreate(1.0));
    ASSERT_EQ(1, CdxInteractionTableRegisterDistanceFn(CdxBoxGetTypeId(), CdxSphereGetTypeId(), RecordingDistance));
    CdxModelPair pair;
    CdxModelPairReset(&pair, ball, box);
    CdxDistanceResult result;
    gDistanceCalls = 0;
    ASSERT_EQ(1, CdxDistance(&pair, &result));
    EXPECT_EQ(1, gDistanceCalls);
    EXPECT_EQ(box, gDistanceModel1) << "the function sees the box first";
    EXPECT_EQ(ball, pair.model1) << "the caller's pair is left as it was";
    EXPECT_EQ(&pair, result.pair);
    EXPECT_EQ(22, result.element1) << "elements come back in the caller's order";
    EXPECT_EQ(11, result.element2);
    EXPECT_EQ(1.0, result.lowerBound);

    // With only an approximate function, the default distance request is used.
    CdxInteractionTableRegisterDistanceFn(CdxBoxGetTypeId(), CdxSphereGetTypeId(), nullptr);
    CdxInteractionTableRegisterApproximateDistanceFn(CdxBoxGetTypeId(), CdxSphereGetTypeId(), ApproximateDistance);
    ASSERT_EQ(1, CdxDistance(&pair, &result));
    EXPECT_EQ(0.0, result.lowerBound);
    EXPECT_EQ(DBL_MAX, result.upperBound);
    CdxDistanceRequest request = {0.5, 3.0, 0.0};
    ASSERT_EQ(1, CdxApproximateDistance(&pair, &request, &result));
    EXPECT_EQ(0.5, result.lowerBound);
    EXPECT_EQ(3.0, result.upperBound);
}

// Random adds into containers of random sizes against a plain model: the
// lower half (rounded down) holds goodbyes and hellos, the upper half
// staying and frozen pairs; hellos and frozen pairs read back last added
// first, goodbyes and staying ones in order; a full half refuses.
TEST(CdxModelPairContainer, RandomAddsFillEachHalfLikeAPlainModel)
{
    using Add = int (*)(CdxModelPairContainer *, CdxModelPair *);
    using Get = CdxModelPair **(*)(CdxModelPairContainer *, int *);
    using Count = int (*)(const CdxModelPairContainer *);
    const Add adds[4] = {CdxModelPairContainerAddGoodbye, CdxModelPairContainerAddHello,
                         CdxModelPairContainerAddStaying, CdxModelPairContainerAddFrozen};
    const Get gets[4] = {CdxModelPairContainerGetGoodbyeArray, CdxModelPairContainerGetHelloArray,
                         CdxModelPairContainerGetStayingArray, CdxModelPairContainerGetFrozenArray};
    const Count counts[4] = {CdxModelPairContainerGetGoodbyeCount, CdxModelPairContainerGetHelloCount,
                             CdxModelPairContainerGetStayingCount, CdxModelPairContainerGetFrozenCount};
    std::mt19937 random(4);
    CdxModelPair pairs[40];
    for (int trial = 0; trial < 60; ++trial) {
        const int size = std::uniform_int_distribution<int>(1, 13)(random);
        CdxModelPairContainer *container = CdxModelPairContainerCreate(size);
        ASSERT_NE(nullptr, container);
        for (int round = 0; round < 2; ++round) { // the second after a reset
            std::vector<CdxModelPair *> model[4];
            for (int k = 0; k < 20; ++k) {
                const int section = std::uniform_int_distribution<int>(0, 3)(random);
                const size_t room = static_cast<size_t>(section < 2 ? size / 2 : size - size / 2);
                const bool fits = model[section & 2].size() + model[(section & 2) + 1].size() < room;
                ASSERT_EQ(fits, adds[section](container, &pairs[k]) == 1) << size << " " << section;
                if (fits) model[section].push_back(&pairs[k]);
            }
            for (int section = 0; section < 4; ++section) {
                if (section % 2) std::reverse(model[section].begin(), model[section].end());
                int count = -1;
                CdxModelPair **array = gets[section](container, &count);
                EXPECT_EQ(model[section], std::vector<CdxModelPair *>(array, array + count)) << size << section;
                EXPECT_EQ(count, counts[section](container));
            }
            CdxModelPairContainerReset(container);
        }
        CdxModelPairContainerDestroy(container);
    }
    EXPECT_EQ(nullptr, CdxModelPairContainerCreate(-1));
}

// Six boxes in a column, each pair of neighbours 0.1 deep in each other:
// five touching pairs, each answering four contacts. Pairs 0 and 1 are new,
// 2, 3 and 4 stay.
TEST_F(CdxTest, BatchFunctionsVisitTheirSectionsAndIntersectEachResumesWhereItStopped)
{
    CdxModelID models[6];
    CdxModelPair pairs[5];
    CdxModelPair *array[16];
    CdxModelPairContainer container;
    for (int i = 0; i < 6; ++i) models[i] = At(0, 0, 1.9 * i);
    for (int i = 0; i < 5; ++i) CdxModelPairReset(&pairs[i], models[i + 1], models[i]);
    CdxModelPairContainerInit(&container, array, 16);
    for (int i = 0; i < 2; ++i) CdxModelPairContainerAddHello(&container, &pairs[i]);
    for (int i = 2; i < 5; ++i) CdxModelPairContainerAddStaying(&container, &pairs[i]);
    CdxHelloEach(&container);
    EXPECT_EQ(2, gBoxBoxCounts.hello) << "the hello section only";
    for (int i = 2; i < 5; ++i) CdxHello(&pairs[i]);

    CdxModelPairContainerIterator iterator;
    CdxModelPairContainerIteratorInit(&iterator, &container);
    EXPECT_EQ(container.stayingEnd, iterator.next);
    CdxIntersectResult results[8];
    CdxContact buffer[10];
    int resultCount = -1, used = -1;
    // Three contacts hold no pair's four: nothing runs and the walk stays.
    EXPECT_EQ(1, CdxIntersectEach(&container, &iterator, results, 8, &resultCount, buffer, 3, &used));
    EXPECT_EQ(0, resultCount);
    EXPECT_EQ(0, used);
    EXPECT_EQ(container.stayingEnd, iterator.next);
    EXPECT_EQ(0, gBoxBoxCounts.intersectCalls);
    // Ten contacts hold two pairs of four; the third needs four but finds two.
    EXPECT_EQ(1, CdxIntersectEach(&container, &iterator, results, 8, &resultCount, buffer, 10, &used));
    EXPECT_EQ(2, resultCount);
    EXPECT_EQ(8, used);
    EXPECT_EQ(&pairs[4], results[0].pair) << "the top staying pair first";
    EXPECT_EQ(&pairs[3], results[1].pair);
    EXPECT_EQ(buffer, results[0].contacts);
    EXPECT_EQ(buffer + 4, results[1].contacts);
    EXPECT_EQ(6, results[1].contactCapacity) << "the room left when the pair ran";
    // A result array of two stops after two pairs.
    EXPECT_EQ(1, CdxIntersectEach(&container, &iterator, results, 2, &resultCount, buffer, 10, &used));
    EXPECT_EQ(2, resultCount);
    EXPECT_EQ(&pairs[2], results[0].pair);
    EXPECT_EQ(&pairs[0], results[1].pair) << "then the hello pairs, the first added on top";
    EXPECT_EQ(0, CdxIntersectEach(&container, &iterator, results, 8, &resultCount, buffer, 10, &used));
    EXPECT_EQ(1, resultCount);
    EXPECT_EQ(&pairs[1], results[0].pair);
    EXPECT_EQ(1, results[0].touch);
    EXPECT_EQ(4, used);
    EXPECT_EQ(0, CdxIntersectEach(&container, &iterator, results, 8, &resultCount, buffer, 10, &used));
    EXPECT_EQ(0, resultCount) << "done stays done";
    EXPECT_EQ(0, used);

    // Pairs asking for no contacts pass through a buffer of none.
    CdxRequest touchOnly = {0, 0};
    for (CdxModelPair &pair : pairs) pair.request = &touchOnly;
    CdxModelPairContainerIteratorInit(&iterator, &container);
    EXPECT_EQ(0, CdxIntersectEach(&container, &iterator, results, 8, &resultCount, nullptr, 0, &used));
    EXPECT_EQ(5, resultCount);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(results[i].touch == 1 && results[i].contactCount == 0) << i;

    CdxModelPairContainerAddGoodbye(&container, &pairs[4]);
    CdxModelPairContainerAddGoodbye(&container, &pairs[3]);
    CdxGoodbyeEach(&container);
    EXPECT_EQ(2, gBoxBoxCounts.goodbye);
}

TEST_F(CdxTest, RelativeTransformPlacesTheModelInItsReferenceFrame)
{
    // Body turned 90 degrees about z at (1, 2, 3); the model sits one unit
    // along the body's y axis, which now points along world -x.
    PxMatrix4 body, offset, world;
    SetPose(body, AxisAngle({0, 0, 1}, M_PI / 2, {1, 2, 3}));
    SetPose(offset, Translation(0, 1, 0));
    CdxModelID model = Model(CdxBoxCreate(1, 1, 1), nullptr);
    CdxModelSetRelativeTransformPtrs(model, &offset, &body, &world);
    EXPECT_EQ(CdxModelCompoundTransforms, CdxModelGetUpdateCallback(model));
    CdxModelUpdate(model);
    ExpectPoint(world[3], 0, 2, 3);
    ExpectPoint(world[0], 0, 1, 0); // the model's x axis is the body's

    PxVector3 min, max;
    SetPose(body, Translation(10, 0, 0));
    ASSERT_EQ(1, CdxModelGetAABB(model, min, max)) << "the box query updates first";
    ExpectPoint(min, 9.5, 0.5, -0.5);

    PxMatrix4 otherBody;
    SetPose(otherBody, Translation(0, 0, 5));
    CdxModelSetReferenceTransformPtr(model, &otherBody);
    EXPECT_EQ(&world, CdxModelGetTransformPtr(model));

    CdxModelSetRelativeTransformPtrs(model, nullptr, nullptr, &world);
    EXPECT_EQ(nullptr, CdxModelGetUpdateCallback(model));
    CdxModelSetReferenceTransformPtr(model, &otherBody);
    EXPECT_EQ(&otherBody, CdxModelGetTransformPtr(model)) << "without an offset the model follows directly";
}

TEST_F(CdxTest, PathBoxSweepsOverTheMotionAhead)
{
    CdxModelID model = At(0, 0, 0, CdxSphereCreate(0.5));
    PxVector3 min, max;
    ASSERT_EQ(1, CdxModelGetPathAABB(model, min, max, 3.0));
    ExpectPoint(max, 0.5, 0.5, 0.5); // without velocities only the present box
    Drive(model, 2, 0, -1);
    ASSERT_EQ(1, CdxModelGetPathAABB(model, min, max, 3.0));
    ExpectPoint(min, -0.5, -0.5, -3.5);
    ExpectPoint(max, 6.5, 0.5, 0.5);
}

TEST_F(CdxTest, MoveToWritesTheVelocitiesOfTheMove)
{
    PxMatrix4 tm, target;
    SetPose(tm, Translation(1, 1, 1));
    CdxModelID model = Model(CdxSphereCreate(1.0), &tm);
    PxVector3 v = {9, 9, 9}, w = {9, 9, 9};
    const PxReal dt = 0.05, angle = 0.1;
    SetPose(target, AxisAngle({0, 0, 1}, angle, {1.5, 1, 0.9}));
    EXPECT_EQ(1, CdxModelMoveTo(model, target, dt)) << "without velocities only the pose moves";
    ExpectPoint(w, 9, 9, 9);
    ExpectPoint(tm[3], 1.5, 1, 0.9);

    CdxModelSetLinearVelocityPtr(model, v);
    CdxModelSetAngularVelocityPtr(model, w);
    SetPose(target, AxisAngle({0, 0, 1}, 2 * angle, {2.0, 1, 0.8}));
    ASSERT_EQ(1, CdxModelMoveTo(model, target, dt));
    ExpectPoint(v, 10, 0, -2);
    // (2 / dt) sin(angle / 2) about +z: close to angle / dt for small turns.
    ExpectPoint(w, 0, 0, 2 / dt * std::sin(angle / 2));
    ExpectPoint(tm[0], std::cos(2 * angle), std::sin(2 * angle), 0);

    // Turning back the long way round is reported as the short turn.
    SetPose(target, AxisAngle({0, 0, 1}, 2 * angle - 1.9 * M_PI, {2.0, 1, 0.8}));
    ASSERT_EQ(1, CdxModelMoveTo(model, target, dt));
    ExpectPoint(w, 0, 0, 2 / dt * std::sin(0.1 * M_PI / 2), 1e-9);

    PxVector3 before = {w[0], w[1], w[2]};
    ASSERT_EQ(1, CdxModelMoveTo(model, target, 1e-8));
    ExpectPoint(w, before[0], before[1], before[2]);

    CdxModelID loose = Model(nullptr, nullptr);
    EXPECT_EQ(0, CdxModelMoveTo(loose, target, dt)) << "a model without a frame cannot move";
}
