// Composite geometries and models: placement, bounds, mass, the merged pair
// test, distance and line segments.
#include "collision/collision_support.h"

#include "composite/CdxCompositeRecord.h"
#include "framework/CdxModelRecord.h"

#include <kelmar/CdxClearance.h>

namespace {

const PxReal kTight = 1e-12;

// Box-box approximate distance: gap between the x faces.
int BoxGapX(CdxModelPair *pair, const CdxDistanceRequest *, CdxDistanceResult *result)
{
    PxReal x1 = (*CdxModelGetTransformPtr(pair->model1))[3][0];
    PxReal x2 = (*CdxModelGetTransformPtr(pair->model2))[3][0];
    PxReal gap = std::fabs(x1 - x2) - 2.0; // unit half-extents
    result->lowerBound = gap - 0.5;
    result->upperBound = gap + 0.5;
    result->element2 = 7;
    return 1;
}

} // namespace

class CdxCompositeTest : public CdxTest {
protected:
    CdxCompositeTest() : CdxTest(kAllSolids) {}
    // Element i: a box of half-extents 0.5 whose world placement lands in
    // elementTm_[i].
    CdxModelID Element(int i, PxReal hx = 0.5) { return Model(CdxBoxCreate(2 * hx, 1, 1), &elementTm_[i]); }
    // Adds element in slot i of relative_, offset by (x, y, z); returns it.
    CdxModelID Add(CdxModelID composite, int i, CdxModelID element, PxReal x, PxReal y, PxReal z)
    {
        SetPose(relative_[i], Translation(x, y, z));
        EXPECT_EQ(1, CdxCompositeModelAddElement(composite, element, &relative_[i]));
        return element;
    }
    CdxIntersectResult Intersect(CdxModelID a, CdxModelID b, int capacity)
    {
        CdxModelPairReset(&pair_, a, b);
        CdxHello(&pair_);
        CdxIntersectResult result = ResultOn(contacts_, capacity);
        CdxIntersect(&pair_, &result);
        return result;
    }
    PxMatrix4 elementTm_[6];
    PxMatrix4 moved_;
    PxMatrix4 relative_[6];
    CdxModelPair pair_;
    CdxContact contacts_[32];
};

// Whole composite: an outer composite offset from its body holds a box and
// an inner composite of two boxes, all at random poses. Each leaf lands
// where the chain of transforms puts it, and the composite's box, xy box,
// support point and bounding sphere agree with the leaves' corners.
TEST_F(CdxCompositeTest, RandomNestedCompositesPlaceLeavesAndBoundThemByTheirCorners)
{
    Random random(77);
    for (int trial = 0; trial < 20; ++trial) {
        PxMatrix4 body, offset, world, innerTm;
        SetPose(body, random.RandomPose(random.InBox(3.0)));
        SetPose(offset, random.RandomPose(random.InBox(3.0)));
        CdxModelID outer = CdxCompositeModelCreate(2), inner = CdxCompositeModelCreate(2);
        CdxModelSetTransformPtr(inner, &innerTm);
        CdxModelSetRelativeTransformPtrs(outer, &offset, &body, &world);
        PxReal half[3][3];
        CdxModelID leaves[3];
        for (int i = 0; i < 4; ++i) SetPose(relative_[i], random.RandomPose(random.InBox(3.0)));
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < 3; ++k) half[i][k] = random.Uniform(0.1, 1.0);
            leaves[i] = Model(CdxBoxCreate(2 * half[i][0], 2 * half[i][1], 2 * half[i][2]), &elementTm_[i]);
        }
        ASSERT_EQ(1, CdxCompositeModelAddElement(inner, leaves[1], &relative_[1]));
        ASSERT_EQ(1, CdxCompositeModelAddElement(inner, leaves[2], &relative_[2]));
        ASSERT_EQ(1, CdxCompositeModelAddElement(outer, leaves[0], &relative_[0]));
        ASSERT_EQ(1, CdxCompositeModelAddElement(outer, inner, &relative_[3]));
        EXPECT_EQ(0, CdxCompositeModelAddElement(inner, outer, &relative_[4])) << "no cycles";
        CdxCompositeModelBuild(inner);
        CdxCompositeModelBuild(outer);
        Vec d = random.InBox(1.0);
        PxVector3 min, max, centre, direction = {d[0], d[1], d[2]}, support;
        PxReal radius, xy[4];
        ASSERT_EQ(1, CdxModelGetAABB(outer, min, max));
        ASSERT_EQ(1, CdxModelGetBSphere(outer, centre, &radius));
        ASSERT_EQ(1, CdxGeometryGetXYAABB(CdxModelGetGeometry(outer), world, xy));
        ASSERT_EQ(1, CdxGeometryMaximumPoint(CdxModelGetGeometry(outer), world, direction, support));
        PxVector3 lo = {1e9, 1e9, 1e9}, hi = {-1e9, -1e9, -1e9};
        PxReal farthest = -1e9;
        for (int i = 0; i < 3; ++i)
            for (int corner = 0; corner < 8; ++corner) { // eight corners fix the leaf's whole placement
                PxVector3 local, p, q, placed;
                for (int k = 0; k < 3; ++k) local[k] = (corner >> k & 1 ? 1 : -1) * half[i][k];
                PxV3MulTM(q, local, relative_[i]);
                for (const PxMatrix4 *tm : {&relative_[3], &offset, &body}) {
                    if (tm == &relative_[3] && i == 0) continue;
                    PxV3Copy(p, q);
                    PxV3MulTM(q, p, *tm);
                }
                PxV3MulTM(placed, local, elementTm_[i]);
                for (int k = 0; k < 3; ++k) {
                    EXPECT_NEAR(q[k], placed[k], 1e-12) << trial << " leaf " << i;
                    lo[k] = std::min(lo[k], q[k]);
                    hi[k] = std::max(hi[k], q[k]);
                }
                farthest = std::max(farthest, PxV3Dot(q, direction));
                PxVector3 d;
                PxV3Sub(d, q, centre);
                EXPECT_LE(PxV3Length(d), radius + 1e-12) << "the sphere covers every corner";
            }
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(lo[k], min[k], 1e-12) << trial;
            EXPECT_NEAR(hi[k], max[k], 1e-12) << trial;
        }
        const PxReal expectXY[4] = {lo[0], hi[0], lo[1], hi[1]};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(expectXY[k], xy[k], 1e-12);
        EXPECT_NEAR(farthest, PxV3Dot(support, direction), 1e-12);
        EXPECT_EQ(max[0], CdxGeometryGetBounds(CdxModelGetGeometry(outer))[1]) << "cached bounds";
        for (CdxModelID composite : {outer, inner}) {
            CdxCompositeModelDecompose(composite);
            CdxModelDestroy(composite);
        }
    }
}

// Keeping elements (an empty composite first): the records each side
// sees, the refusals, removal keeping the order, a new transform pointer,
// and decomposing.
TEST_F(CdxCompositeTest, ElementsAreKeptInOrderAndRefusedWhenHomelessRepeatedSelfOrTooMany)
{
    CdxModelID composite = Composite(3, 0, 0, 1);
    PxVector3 min, max;
    ASSERT_EQ(1, CdxModelGetAABB(composite, min, max));
    EXPECT_TRUE(min[2] == 1.0 && max[2] == 1.0 && max[0] == 0.0) << "an empty composite is a point at its origin";
    // and weighs as a solid ball of its bounding radius.
    CdxCompositeFromGeometry(CdxModelGetGeometry(composite))->bSphereRadius = 2.0;
    PxMatrix4 com;
    PxMatrix3 inertia;
    PxReal volume, mass;
    ASSERT_EQ(1, CdxModelGetMassProperties(composite, com, inertia, &volume, &mass));
    EXPECT_NEAR(4.1887902047863905 * 8, volume, 1e-12);
    EXPECT_EQ(volume, mass);
    EXPECT_NEAR(1.6, inertia[0][0], 1e-12);
    EXPECT_NEAR(1.6, inertia[2][2], 1e-12);
    EXPECT_EQ(0.0, com[3][0]);
    CdxModelID a = Add(composite, 0, Element(0), 1, 0, 0), b = Add(composite, 1, Element(1), 0, 2, 0);
    EXPECT_EQ(2, CdxCompositeModelGetElementCount(composite));
    EXPECT_EQ(composite, CdxModelGetParent(a));
    EXPECT_EQ(CdxModelGetTransformPtr(composite), CdxModelGetReferenceTransformPtr(a));
    EXPECT_EQ(0, CdxCompositeModelAddElement(composite, Model(CdxBoxCreate(2, 2, 2), nullptr), &relative_[2]));
    EXPECT_EQ(0, CdxCompositeModelAddElement(composite, a, &relative_[2]));
    EXPECT_EQ(0, CdxCompositeModelAddElement(composite, composite, &relative_[2]));
    CdxModelID c = Add(composite, 2, Element(2), 0, 0, 0);
    EXPECT_EQ(0, CdxCompositeModelAddElement(composite, Element(3), &relative_[3])) << "full";

    ASSERT_EQ(1, CdxCompositeModelRemoveElement(composite, 0));
    EXPECT_EQ(nullptr, CdxModelGetParent(a));
    PxMatrix4 *relative = &moved_;
    CdxModelGetRelativeTransformPtrs(a, &relative, nullptr);
    EXPECT_EQ(nullptr, relative);
    EXPECT_EQ(b, CdxCompositeModelGetElement(composite, 0)) << "the others keep their order";
    EXPECT_EQ(c, CdxCompositeModelGetElement(composite, 1));
    EXPECT_EQ(0, CdxCompositeModelRemoveElement(composite, 2));

    SetPose(moved_, Translation(0, 0, 10));
    CdxModelSetTransformPtr(composite, &moved_);
    EXPECT_EQ(&moved_, CdxModelGetReferenceTransformPtr(b));
    CdxModelUpdate(composite);
    EXPECT_NEAR(10.0, elementTm_[2][3][2], kTight);
    CdxCompositeModelDecompose(composite);
    EXPECT_EQ(0, CdxCompositeModelGetElementCount(composite));
    EXPECT_EQ(nullptr, CdxModelGetParent(b));
}

TEST_F(CdxCompositeTest, MassOfRandomlyTurnedBoxesMatchesABruteForceSum)
{
    // Each element is cut into a grid of point masses; summing those about
    // their common centre gives the tensor independently.
    std::mt19937 random(20240605);
    std::uniform_real_distribution<PxReal> unit(0.0, 1.0);
    CdxModelID composite = Composite(3, 0, 0, 0);
    PxReal half[3][3];
    for (int e = 0; e < 3; ++e) {
        for (int k = 0; k < 3; ++k) half[e][k] = 0.2 + unit(random);
        CdxModelID element = Model(CdxBoxCreate(2 * half[e][0], 2 * half[e][1], 2 * half[e][2]), &elementTm_[e]);
        CdxModelSetDensity(element, 0.5 + 2 * unit(random));
        SetPose(relative_[e],
                AxisAngle({0, 0, 1}, 2 * M_PI * unit(random), {3 * unit(random), 3 * unit(random), unit(random)}));
        ASSERT_EQ(1, CdxCompositeModelAddElement(composite, element, &relative_[e]));
    }
    const int cells = 24;
    PxReal totalMass = 0.0;
    PxVector3 weighted = {0, 0, 0};
    std::vector<std::pair<PxReal, std::array<PxReal, 3>>> points;
    for (int e = 0; e < 3; ++e) {
        CdxModelID element = CdxCompositeModelGetElement(composite, e);
        PxReal cellMass = CdxModelGetDensity(element) * 8 * half[e][0] * half[e][1] * half[e][2] /
                          (cells * cells * cells);
        for (int i = 0; i < cells; ++i)
            for (int j = 0; j < cells; ++j)
                for (int k = 0; k < cells; ++k) {
                    PxVector3 local = {(2 * (i + 0.5) / cells - 1) * half[e][0],
                                       (2 * (j + 0.5) / cells - 1) * half[e][1],
                                       (2 * (k + 0.5) / cells - 1) * half[e][2]};
                    PxVector3 p;
                    PxV3MulTM(p, local, relative_[e]);
                    points.push_back({cellMass, {p[0], p[1], p[2]}});
                    totalMass += cellMass;
                    PxV3AddScaled(weighted, weighted, p, cellMass);
                }
    }
    PxVector3 centre;
    PxV3Scale(centre, weighted, 1.0 / totalMass);
    PxMatrix3 expected = {};
    for (const auto &[m, p] : points) {
        PxVector3 d = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) expected[r][c] += m * ((r == c ? PxV3Dot(d, d) : 0.0) - d[r] * d[c]);
    }
    PxMatrix4 com;
    PxMatrix3 inertia;
    PxReal volume, mass;
    ASSERT_EQ(1, CdxModelGetMassProperties(composite, com, inertia, &volume, &mass));
    EXPECT_NEAR(totalMass, mass, 1e-9);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(centre[k], com[3][k], 1e-9);
    // The grid misses each cell's own spread: (cell size)^2 / 12 per axis.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(expected[r][c] / totalMass, inertia[r][c], 2e-3) << r << c;
    // The per-type function gives the same tensor per unit mass.
    PxMatrix3 perUnitMass;
    ASSERT_EQ(1, CdxGeometryGetMassProperties(CdxModelGetGeometry(composite), com, perUnitMass, &volume));
    EXPECT_NEAR(inertia[1][1], perUnitMass[1][1], kTight);
}

// Contacts of a composite resting on a floor box or on another composite,
// one scene per row. Every contact points from the lower model up into the
// composite whichever comes first, is as deep as the elements sink, and
// names the element it came from (and the lower composite's element).
struct Resting {
    const char *scene;
    bool balls;          // elements: unit balls 3 apart, else boxes 2 apart
    bool onComposite;    // below: a composite holding one box, else a floor box
    bool floorFirst;     // the lower model is handed in as model 1
    PxReal height;       // of the composite's origin over the floor's top
    int touch, contacts; // with the default request
    PxReal separation;
};

const Resting kResting[] = {
    {"two boxes on a floor", false, false, true, 0.45, 1, 4, -0.05},
    {"two boxes lifted clear", false, false, false, 1.0, 0, 0, 0.0},
    {"two balls, each pair turned round", true, false, false, 0.9, 1, 2, -0.1},
    {"a box on a composite box", false, true, false, 0.9, 1, 4, -0.1},
};

TEST_F(CdxCompositeTest, RestingCompositesGiveContactsPointingUpAndNamingTheirElements)
{
    for (const Resting &row : kResting) {
        SCOPED_TRACE(row.scene);
        CdxModelID low = row.onComposite ? Composite(1, 0, 0, 0) : At(0, 0, -1, CdxBoxCreate(20, 20, 2));
        CdxModelID lowBox = row.onComposite ? Add(low, 2, Model(CdxBoxCreate(1, 1, 1), &elementTm_[2]), 0, 0, 0)
                                            : nullptr;
        CdxModelID composite = Composite(2, 0, 0, row.height), elements[2];
        const int count = row.onComposite ? 1 : 2;
        for (int i = 0; i < count; ++i) {
            CdxModelID element = row.balls ? Model(CdxSphereCreate(1.0), &elementTm_[i]) : Element(i);
            elements[i] = Add(composite, i, element, row.onComposite ? 0.0 : (row.balls ? 3.0 * i : 2.0 * i - 1), 0,
                              0);
        }
        CdxIntersectResult result = row.floorFirst ? Intersect(low, composite, 32) : Intersect(composite, low, 32);
        EXPECT_EQ(composite, pair_.model1) << "hello turns the pair round so the composite is model 1";
        ASSERT_EQ(row.touch, result.touch);
        ASSERT_EQ(row.contacts, result.contactCount);
        if (row.touch) {
            EXPECT_NEAR(1.0, result.normal[2], kTight);
        }
        std::set<intptr_t> seen;
        for (int i = 0; i < result.contactCount; ++i) {
            const CdxContact &contact = contacts_[i];
            EXPECT_NEAR(1.0, contact.normal[2], kTight);
            EXPECT_NEAR(row.separation, contact.separation, kTight);
            const int from = count == 1 ? 0 : contact.position[0] > (row.balls ? 1.5 : 0.0);
            EXPECT_EQ(reinterpret_cast<intptr_t>(elements[from]), contact.element1);
            EXPECT_EQ(reinterpret_cast<intptr_t>(lowBox), contact.element2);
            if (!row.balls && !row.onComposite) {
                EXPECT_EQ(from ? 1.5 : -1.5, contact.position[0]) << "outer corners";
            }
            seen.insert(contact.element1);
        }
        if (row.touch) {
            EXPECT_EQ(static_cast<size_t>(count), seen.size()) << "every element rests";
        }
    }
    CdxModelID full = Composite(1, 0, 0, 0);
    Add(full, 0, Element(0), 0, 0, 0);
    EXPECT_EQ(0, Intersect(full, Composite(1, 0, 0, 0), 32).touch) << "an empty composite touches nothing";
}

TEST_F(CdxCompositeTest, RequestBudgetAndIntersectAtApplyToComposites)
{
    CdxModelID floor = At(0, 0, -1, CdxBoxCreate(20, 20, 2)), composite = Composite(2, 0, 0, 1.45);
    Drive(composite, 0, 0, -1);
    PxMatrix4 *floorTm = CdxModelGetTransformPtr(floor);
    Add(composite, 0, Element(0), -1, 0, 0);
    Add(composite, 1, Element(1), 1, 0, 0);
    CdxModelPairReset(&pair_, composite, floor);
    CdxRequest two = {2, 0};
    CdxHelloWithRequest(&pair_, &two);
    CdxIntersectResult result = ResultOn(contacts_, 32);
    CdxIntersect(&pair_, &result);
    EXPECT_EQ(0, result.touch) << "one unit above the floor now";
    ASSERT_EQ(1, CdxIntersectAt(&pair_, &result, 1.0));
    EXPECT_EQ(1, result.touch) << "one second later it has landed";
    EXPECT_EQ(2, result.contactCount);
    EXPECT_NEAR(1.45, elementTm_[0][3][2], kTight) << "the elements are back at the present pose";
    EXPECT_EQ(floorTm, CdxModelGetTransformPtr(floor)) << "and the floor at its own";
}

TEST_F(CdxCompositeTest, ApproximateDistanceKeepsTheSmallestBoundsOverTheElements)
{
    ASSERT_EQ(1, CdxInteractionTableRegisterApproximateDistanceFn(CdxBoxGetTypeId(), CdxBoxGetTypeId(), BoxGapX));
    CdxCompositeGenericRegisterDistance();
    CdxModelID other = At(10, 0, 0), composite = Composite(2, 0, 0, 0);
    Add(composite, 1, Model(CdxBoxCreate(2, 2, 2), &elementTm_[1]), -4, 0, 0);
    CdxModelID near = Add(composite, 0, Model(CdxBoxCreate(2, 2, 2), &elementTm_[0]), 4, 0, 0);
    CdxModelPair pair;
    CdxModelPairReset(&pair, other, composite);
    CdxDistanceResult result;
    ASSERT_EQ(1, CdxDistance(&pair, &result));
    EXPECT_EQ(&pair, result.pair);
    EXPECT_NEAR(3.5, result.lowerBound, kTight) << "gap 4 to the near element, less 0.5";
    EXPECT_NEAR(4.5, result.upperBound, kTight);
    EXPECT_EQ(reinterpret_cast<intptr_t>(near), result.element2) << "in the caller's order";
    EXPECT_EQ(7, result.element1);
}

TEST_F(CdxCompositeTest, DestroyingACompositeReleasesItsElements)
{
    CdxGeometryID geometry = CdxCompositeGeometryCreate(2);
    CdxModelID element = Element(0);
    SetPose(relative_[0], Translation(0, 1, 0));
    ASSERT_EQ(1, CdxCompositeGeometryAddElement(geometry, element, &relative_[0]));
    EXPECT_EQ(1, CdxCompositeGeometryGetElementCount(geometry));
    CdxModelID model = CdxCompositeModelCreateFromCompositeGeometry(geometry);
    ASSERT_NE(nullptr, model);
    EXPECT_EQ(model, CdxModelGetParent(element)) << "the model adopts the geometry's elements";
    CdxModelDestroy(model);
    EXPECT_EQ(nullptr, CdxModelGetParent(element));
    EXPECT_EQ(nullptr, CdxCompositeGeometryCreate(-1));
    EXPECT_EQ(nullptr, CdxCompositeModelCreateFromCompositeGeometry(CdxModelGetGeometry(element)));
}

// The pair test places the elements again only when something changed since
// their last placement: the composite's pose, a placement rebuilt after an
// edit in place, and an element's storage must each reach the contacts.
TEST_F(CdxCompositeTest, PairTestsFollowEveryChangeSinceTheLastPlacement)
{
    CdxModelID floor = At(0, 0, -1, CdxBoxCreate(20, 20, 2)), composite = Composite(1, 0, 0, 0.4);
    CdxModelID element = Add(composite, 0, Element(0), 0, 0, 0);
    CdxGeometryID geometry = CdxModelGetGeometry(composite);
    EXPECT_EQ(1, Intersect(composite, floor, 32).touch) << "0.1 into the floor";
    MoveTo(composite, 0, 0, 2);
    EXPECT_EQ(0, Intersect(composite, floor, 32).touch) << "the composite lifted";
    MoveTo(composite, 0, 0, 0.4);
    EXPECT_EQ(1, Intersect(composite, floor, 32).touch) << "and put back";
    relative_[0][3][2] = 2.0;
    CdxCompositeGeometryRebuild(geometry);
    EXPECT_EQ(0, Intersect(composite, floor, 32).touch) << "its element lifted in place and rebuilt";
    relative_[0][3][2] = 0.0;
    CdxCompositeGeometryRebuild(geometry);
    EXPECT_EQ(1, Intersect(composite, floor, 32).touch) << "and lowered again";
    CdxModelSetTransformPtr(element, &moved_);
    PxM4Identity(moved_);
    ASSERT_EQ(1, Intersect(composite, floor, 32).touch);
    EXPECT_EQ(0.4, moved_[3][2]) << "the element's new storage holds its placement";
}

// A composite model's box is its elements' boxes united in its own frame
// and turned with it: at random poses it holds each element's own box, when
// not turned it is their union, and it follows an element placed anew (and
// rebuilt) or added.
TEST_F(CdxCompositeTest, ModelBoxHoldsItsElementsAtRandomPosesAndFollowsRebuilds)
{
    CdxModelID composite = Composite(3, 0, 0, 0);
    CdxModelID elements[3] = {Add(composite, 0, Element(0), 1, 0, 0),
                              Add(composite, 1, Model(CdxSphereCreate(0.5), &elementTm_[1]), -1, 2, 0)};
    PxVector3 min, max, elementMin, elementMax;
    auto expectHolds = [&](int count, const char *when) {
        ASSERT_EQ(1, CdxModelGetAABB(composite, min, max));
        for (int e = 0; e < count; ++e) {
            CdxGeometryGetAABB(CdxModelGetGeometry(elements[e]), elementTm_[e], elementMin, elementMax);
            for (int k = 0; k < 3; ++k) {
                EXPECT_LE(min[k], elementMin[k] + kTight) << when << ", element " << e;
                EXPECT_GE(max[k], elementMax[k] - kTight) << when << ", element " << e;
            }
        }
    };
    Random random(31);
    for (int trial = 0; trial < 20; ++trial) {
        Move(composite, random.RandomPose(random.InBox(3.0)));
        expectHolds(2, "turned");
    }
    Move(composite, Translation(1, 2, 3));
    ASSERT_EQ(1, CdxModelGetAABB(composite, min, max));
    const PxReal unionMin[3] = {-0.5, 1.5, 2.5}, unionMax[3] = {2.5, 4.5, 3.5};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(unionMin[k], min[k], kTight) << "not turned: the union itself";
        EXPECT_NEAR(unionMax[k], max[k], kTight);
    }
    relative_[0][3][2] = 5.0;
    CdxCompositeGeometryRebuild(CdxModelGetGeometry(composite));
    expectHolds(2, "an element placed anew");
    elements[2] = Add(composite, 2, Element(2, 2.0), 0, 0, -6);
    expectHolds(3, "an element added");
}

// The space's box update turns a composite's box from its own frame and
// leaves the elements to the pair tests and the model's update. At random
// poses of the body the composite is offset from, the box holds each element
// where body, offset and placement put it, and after a pair test (or the
// update) every element stands there bit for bit.
TEST_F(CdxCompositeTest, SpaceBoxLeavesElementsToPairTestsWhichPlaceThemExactly)
{
    PxMatrix4 body, offset, world, expected[2];
    CdxModelID composite = CdxCompositeModelCreate(2), ball = Ball(0.2, 0, 0, 0);
    CdxModelSetRelativeTransformPtrs(composite, &offset, &body, &world);
    Random random(12);
    SetPose(offset, random.RandomPose(random.InBox(1.0)));
    CdxModelID elements[2] = {Model(CdxBoxCreate(1.0, 0.6, 0.4), &elementTm_[0]),
                              Model(CdxSphereCreate(0.3), &elementTm_[1])};
    for (int i = 0; i < 2; ++i) {
        SetPose(relative_[i], random.RandomPose(random.InBox(1.5)));
        ASSERT_EQ(1, CdxCompositeModelAddElement(composite, elements[i], &relative_[i]));
    }
    std::vector<CdxContact> found;
    for (int trial = 0; trial < 40; ++trial) {
        SetPose(body, random.RandomPose(random.InBox(3.0)));
        PxMatrix4 carried;
        PxMatrix4TMCompound(carried, body, offset);
        for (int i = 0; i < 2; ++i) PxMatrix4TMCompound(expected[i], carried, relative_[i]);
        PxVector3 min, max, elementMin, elementMax;
        ASSERT_EQ(1, CdxModelGetAABB_PathCompatible(composite, min, max, 0.0));
        for (int i = 0; i < 2; ++i) {
            CdxGeometryGetAABB(CdxModelGetGeometry(elements[i]), expected[i], elementMin, elementMax);
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(min[k] <= elementMin[k] + kTight && max[k] >= elementMax[k] - kTight) << trial;
        }
        if (trial % 2)
            CdxModelUpdate(composite);
        else
            CdxTest::Intersect(composite, ball, &found);
        for (int i = 0; i < 2; ++i) EXPECT_EQ(0, std::memcmp(elementTm_[i], expected[i], sizeof(PxMatrix4))) << trial;
    }
    CdxModelDestroy(composite); // its elements stay the fixture's
}

// Two capsules (a cylinder and two end balls) at random poses: their hull
// clearance is the least distance between their axis segments, found by
// sampling both, less the radii and tolerances, never more; the pair test
// touches exactly when it is negative. A plane has no hull.
TEST_F(CdxCompositeTest, HullClearanceOfCapsulesIsTheirSampledGapBeyondTheTolerances)
{
    const PxReal radius[2] = {0.1, 0.05}, half[2] = {0.3, 0.2}, tolerance = 0.01;
    CdxModelID capsules[2];
    for (int side = 0; side < 2; ++side) {
        capsules[side] = Composite(3, 0, 0, 0);
        for (int k = 0; k < 3; ++k) {
            CdxGeometryID g = k ? CdxSphereCreate(radius[side]) : CdxCylinderCreate(radius[side], 2 * half[side]);
            CdxModelID part = Add(capsules[side], 3 * side + k, Model(g, &elementTm_[3 * side + k]), 0, 0,
                                  k == 0   ? 0.0
                                  : k == 1 ? -half[side]
                                           : half[side]);
            CdxModelSetContactTolerance(part, tolerance);
        }
    }
    std::vector<CdxContact> found;
    Random random(41);
    const int samples = 400;
    int touching = 0;
    for (int trial = 0; trial < 60; ++trial) {
        Vec ends[2][2];
        for (int side = 0; side < 2; ++side) {
            Move(capsules[side], random.RandomPose(random.InBox(0.4)));
            for (int e = 0; e < 2; ++e)
                ends[side][e] = PoseOf(capsules[side]).ToWorld({0, 0, (2 * e - 1) * half[side]});
        }
        PxReal nearest = DBL_MAX;
        for (int i = 0; i <= samples; ++i)
            for (int j = 0; j <= samples; ++j) {
                const PxReal u = static_cast<PxReal>(i) / samples, v = static_cast<PxReal>(j) / samples;
                Vec d;
                for (int k = 0; k < 3; ++k)
                    d[k] = (1 - u) * ends[0][0][k] + u * ends[0][1][k] - (1 - v) * ends[1][0][k] - v * ends[1][1][k];
                nearest = std::min(nearest, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            }
        const PxReal sampled = std::sqrt(nearest) - radius[0] - radius[1] - 2 * tolerance;
        const PxReal clearance = CdxHullClearance(capsules[0], capsules[1]);
        EXPECT_TRUE(clearance <= sampled + kTight && clearance >= sampled - 2 * half[0] / samples) << trial;
        if (std::fabs(clearance) < 1e-6) continue;
        const int touch = CdxTest::Intersect(capsules[0], capsules[1], &found);
        EXPECT_EQ(clearance < 0.0 ? 1 : 0, touch) << "trial " << trial << ", clearance " << clearance;
        touching += touch;
    }
    EXPECT_TRUE(touching > 5 && touching < 55) << touching << " of 60 touch";
    EXPECT_EQ(-DBL_MAX, CdxHullClearance(capsules[0], At(0, 0, -2, CdxPlaneCreate())));
}

// Elements found apart from a ball skip their tests: at random places and
// just inside and outside the summed tolerances of each element's nearest
// feature, the composite touches through exactly the elements that touch on
// their own, with their separations. A space's hello callback still sees
// every element pair.
TEST_F(CdxCompositeTest, ElementsSkippedAsApartNeverTouchOnTheirOwn)
{
    CdxModelID composite = Composite(3, 0, 0, 0), ball = Ball(0.4, 0, 0, 0);
    CdxModelID elements[3] = {Add(composite, 0, Model(CdxCylinderCreate(0.3, 1.0), &elementTm_[0]), 0, 0, 0),
                              Add(composite, 1, Model(CdxSphereCreate(0.3), &elementTm_[1]), 0, 0, 0.5),
                              Add(composite, 2, Model(CdxBoxCreate(0.6, 0.6, 0.6), &elementTm_[2]), 1.2, 0, 0)};
    for (CdxModelID model : {composite, ball, elements[0], elements[1], elements[2]})
        CdxModelSetContactTolerance(model, 0.05);
    std::vector<Vec> places;                        // the ball's centre: side, cap, ball end, box face
    for (PxReal reach : {0.5 - 1e-10, 0.5 + 1e-10}) // ball radius and tolerances
        places.insert(places.end(), {{0, -0.3 - reach, 0},
                                     {0, 0, -0.5 - reach},
                                     {-0.6 * (0.3 + reach), 0, 0.5 + 0.8 * (0.3 + reach)},
                                     {1.5 + reach, 0, 0}});
    Random random(5);
    for (int k = 0; k < 300; ++k) places.push_back(random.InBox(1.8));
    const CdxRequest request = {8, 0};
    std::vector<CdxContact> found, own;
    int touching = 0;
    for (const Vec &place : places) {
        MoveTo(ball, place[0], place[1], place[2]);
        const int touch = CdxTest::Intersect(composite, ball, &found, nullptr, &request);
        EXPECT_EQ(found.empty() ? 0 : 1, touch);
        touching += touch;
        for (CdxModelID element : elements) {
            auto mine = std::find_if(found.begin(), found.end(), [&](const CdxContact &contact) {
                return contact.element1 == reinterpret_cast<intptr_t>(element);
            });
            const bool alone = CdxTest::Intersect(element, ball, &own, nullptr, &request) != 0;
            ASSERT_EQ(alone, mine != found.end()) << "ball at " << place[0] << " " << place[1] << " " << place[2];
            EXPECT_TRUE(!alone || own[0].separation == mine->separation);
        }
    }
    EXPECT_TRUE(touching > 20 && touching < static_cast<int>(places.size()) - 20) << touching << " places touch";
    int hellos = 0;
    ASSERT_EQ(1, CdxSpaceInsertModel(Space(7, 4, 4), ball));
    CdxSpaceSetHelloCallback(
        CdxModelGetSpace(ball), [](CdxModelPair *, void *count) { ++*static_cast<int *>(count); }, &hellos);
    MoveTo(ball, 9, 0, 0);
    EXPECT_EQ(0, CdxTest::Intersect(composite, ball, &found, nullptr, &request));
    EXPECT_EQ(4, hellos) << "the pair and each of its three elements";
}
