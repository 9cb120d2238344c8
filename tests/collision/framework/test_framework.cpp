// Start and stop, the type registry, the interaction table, the request
// table and how numbered messages are reported.
#include "collision/collision_support.h"

#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"

namespace {

std::vector<int> gTermOrder;

// A geometry type whose inertia comes back lopsided.
int16_t LopsidedMass(CdxGeometryID, PxMatrix4 com, PxMatrix3 inertia, PxReal *volume)
{
    PxM4Identity(com);
    PxReal values[3][3] = {{1, 2, 4}, {0, 1, 6}, {2, 8, 1}};
    std::memcpy(inertia, values, sizeof values);
    *volume = 3.0;
    return 7;
}

CdxInteractions gChosen;
CdxInteractions *Chooser(CdxModelPair *, int *swapped)
{
    *swapped = 0;
    return &gChosen;
}

int DummyIntersect(CdxModelPair *, CdxIntersectResult *)
{
    return 1;
}

} // namespace

TEST(CdxFrame, InitStartsTheLibraryOnceAndTermStopsItForTheNextInit)
{
    EXPECT_FALSE(CdxIsInitialized());
    EXPECT_EQ(0, CdxInit(0, 10)) << "a registry without room is refused";
    EXPECT_EQ(0, CdxInit(4, 0)) << "a pool without room is refused";
    ASSERT_EQ(1, CdxInit(4, 10));
    EXPECT_EQ(0, CdxInit(4, 10)) << "already running";
    CdxModelSetDefaultContactTolerance(0.25);
    gTermOrder.clear();
    EXPECT_EQ(1, CdxRegisterTermAction([] { gTermOrder.push_back(1); }));
    EXPECT_EQ(1, CdxRegisterTermAction([] { gTermOrder.push_back(2); }));
    CdxTerm();
    EXPECT_FALSE(CdxIsInitialized());
    EXPECT_EQ((std::vector<int>{2, 1}), gTermOrder) << "term actions run newest first";
    EXPECT_EQ(nullptr, CdxModelCreate(nullptr));
    EXPECT_EQ(0, CdxRegisterTermAction([] { gTermOrder.push_back(3); }));

    ASSERT_EQ(1, CdxInit(4, 10)) << "the library starts again after term";
    EXPECT_EQ(0.004999999888241291, CdxModelGetDefaultContactTolerance()) << "with its own default again";
    CdxTerm();
    EXPECT_EQ((std::vector<int>{2, 1}), gTermOrder) << "actions of the first run are gone";
}

void CountHello(CdxModelPair *, void *count)
{
    ++*static_cast<int *>(count);
}

TEST_F(CdxTest, TypesAreNumberedInRegistrationOrderAndKnownByName)
{
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), (std::vector<int>{CdxSphereGetTypeId(), CdxBoxGetTypeId(),
                                                                CdxPlaneGetTypeId(), CdxCompositeGetTypeId()}));
    EXPECT_STREQ("CdxComposite", CdxGeometryGetTypeNameFromId(3));
    EXPECT_EQ(3, CdxCompositeRegisterType()) << "registering again keeps the number";
    for (int unknown : {-1, 4}) EXPECT_STREQ("UnknownGeometryType", CdxGeometryGetTypeNameFromId(unknown));
    EXPECT_FALSE(CdxGeometryTypeIdIsValid(4));
    EXPECT_STREQ("UnknownGeometryType", CdxGeometryGetTypeName(nullptr));
    CdxGeometryID ball = CdxSphereCreate(1.0);
    PxMatrix4 tm;
    SetPose(tm, Translation(1, 2, 3));
    PxVector3 min, max;
    ASSERT_TRUE(CdxGeometryGetAABB(ball, tm, min, max));
    const PxReal *bounds = CdxGeometryGetBounds(ball);
    EXPECT_EQ((std::vector<PxReal>{0, 2, 1, 3, 2, 4}), std::vector<PxReal>(bounds, bounds + 6)) << "interleaved";
    PxVector3 lo, hi;
    CdxConvertBounds(bounds, lo, hi);
    EXPECT_TRUE(ToVec(lo) == ToVec(min) && ToVec(hi) == ToVec(max)) << "split back into corners";
    EXPECT_EQ(1, CdxGeometryDestroy(ball));
    CdxGeometryResetTypes();
    EXPECT_EQ(0, CdxGeometryGetRegisteredTypeCount());
}

TEST_F(CdxTest, MassPropertiesComeBackWithSymmetricInertia)
{
    CdxGeometryTypeID type = CdxGeometryRegisterType("Lopsided", nullptr, nullptr, nullptr, nullptr, nullptr,
                                                     LopsidedMass);
    CdxGeometry geometry;
    CdxGeometryInitObject(&geometry, type);
    PxMatrix4 com;
    PxMatrix3 inertia;
    PxReal volume;
    EXPECT_EQ(7, CdxGeometryGetMassProperties(&geometry, com, inertia, &volume)) << "the type's status";
    EXPECT_EQ(std::vector<PxReal>(&inertia[0][0], &inertia[0][0] + 9),
              (std::vector<PxReal>{1, 1, 3, 1, 1, 7, 3, 7, 1}))
        << "the mean of the tensor and its transpose";
    EXPECT_EQ(0, CdxGeometryDestroy(&geometry)) << "no destroy function registered";
}

TEST_F(CdxTest, RegisteringPastTheCapacityIsFatalError21)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            for (int i = 0; i < kTypeCapacity + 1; ++i)
                CdxGeometryRegisterType("Extra", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        },
        "Cdx: Failed to register new geometry type\\. Ensure sufficient number of geometries in "
        "CdxInit\\(\\)\\. in CdxGeometryRegisterType\\.");
}

// Both orders of a registered pair, and the distance functions, are
// checked where pairs are intersected and measured; here the refusal of a
// type that is not registered, and a chooser deciding at run time.
TEST_F(CdxTest, InteractionTableRefusesUnregisteredTypesAndTakesARunTimeChoice)
{
    EXPECT_EQ(nullptr,
              CdxInteractionTableGetElementPtr(CdxPlaneGetTypeId(), CdxPlaneGetTypeId())->interactions.intersectFn);
    EXPECT_EQ(nullptr, CdxInteractionTableGetElementPtr(kTypeCapacity, 0));
    const CdxGeometryTypeID box = CdxBoxGetTypeId();
    CdxInteractions none;
    CdxInteractionsInit(&none);
    none.intersectFn = DummyIntersect;
    EXPECT_EQ(0, CdxInteractionTableSetElement(box, 6, &none, nullptr));
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("Cdx: Attempt to register an interaction involving an unregistered geometry type. "
              "Interaction ignored. Pair combination was (1, 6).\n",
              warnings[0]);
    EXPECT_EQ(nullptr, CdxInteractionTableGetElementPtr(box, 6)->interactions.intersectFn);

    EXPECT_EQ(nullptr, CdxLineSegGetIntersectFnPtr(6));
    EXPECT_EQ(0, CdxLineSegRegisterInteraction(-1, nullptr));

    // A chooser given with an entry decides at run time.
    CdxModelID ball = At(0, 0, 0, CdxSphereCreate(1.0));
    CdxInteractionsInit(&gChosen);
    gChosen.intersectFn = DummyIntersect;
    CdxInteractionsInit(&none);
    ASSERT_EQ(1, CdxInteractionTableSetElement(box, CdxSphereGetTypeId(), &none, Chooser));
    CdxModelPair pair;
    CdxModelPairReset(&pair, ball, At(0, 0, 0));
    int swapped = -1;
    EXPECT_EQ(&gChosen, CdxInteractionTableGetInteractions(&pair, &swapped));
    EXPECT_EQ(0, swapped) << "the chooser may overrule the entry's order";
    CdxHello(&pair);
    EXPECT_EQ(ball, pair.model1);
    EXPECT_EQ(DummyIntersect, pair.intersectFn);
}

// What a new pair starts with belongs to the space of its models: the
// library's default request, or the space's own default and hello
// callback, or the request its table holds for the two models' request ids
// (a symmetric table).
TEST_F(CdxTest, EachSpaceGivesItsNewPairsItsDefaultRequestCallbackOrTableRequest)
{
    const int n = 4;
    CdxRequest fill = {2, 0};
    EXPECT_EQ(nullptr, CdxuRequestTableCreate(0, &fill));
    CdxuRequestTable *table = CdxuRequestTableCreate(n, &fill);
    ASSERT_NE(nullptr, table);
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            EXPECT_EQ(CdxuRequestTableGetRequestPtr(table, b, a), CdxuRequestTableGetRequestPtr(table, a, b));
    EXPECT_EQ(nullptr, CdxuRequestTableGetRequestPtr(table, 0, n));
    EXPECT_EQ(nullptr, CdxuRequestTableGetRequestPtr(table, -1, 0));
    CdxRequest special = {7, 1};
    EXPECT_EQ(1, CdxuRequestTableSetRequest(table, 3, 1, &special));
    EXPECT_EQ(0, CdxuRequestTableSetRequest(table, 3, 9, &special));
    EXPECT_EQ(7, CdxuRequestTableGetRequestPtr(table, 1, 3)->contactMaxCount);

    CdxModelID m1 = At(0, 0, 0), m2 = At(0, 0, 0);
    CdxModelSetRequestID(m1, 1);
    CdxModelSetRequestID(m2, 3);
    CdxModelPair pair;
    CdxModelPairReset(&pair, m1, m2);
    CdxRequest read;
    ASSERT_EQ(1, CdxuRequestTableGetRequest(table, &pair, &read));
    EXPECT_EQ(7, read.contactMaxCount);
    EXPECT_EQ(1, read.requestOption);

    CdxSpaceID space = CdxSpaceAxisSortCreate(CdxAllAxes, 2, 4), other = CdxSpaceAxisSortCreate(CdxAllAxes, 2, 4);
    CdxModelID m3 = At(0, 0, 0);
    ASSERT_TRUE(CdxSpaceInsertModel(space, m1) && CdxSpaceInsertModel(space, m2) && CdxSpaceInsertModel(other, m3));
    EXPECT_EQ(CdxGetDefaultRequestPtr(), Pair(m1, m2)->request) << "no default or table in the space yet";
    CdxRequest mine = {9, 1};
    int hellos = 0;
    CdxSpaceSetDefaultRequestPtr(space, &mine);
    CdxSpaceSetHelloCallback(space, CountHello, &hellos);
    EXPECT_EQ(&mine, Pair(m1, m2)->request);
    EXPECT_EQ(CdxGetDefaultRequestPtr(), Pair(m3, m3)->request);
    EXPECT_EQ(1, hellos) << "only the first space's pair";
    void *data = nullptr;
    EXPECT_EQ(nullptr, CdxSpaceGetHelloCallback(other, &data));
    EXPECT_EQ(nullptr, data);
    CdxSpaceSetDefaultRequestPtr(space, nullptr);
    EXPECT_EQ(CdxGetDefaultRequestPtr(), CdxSpaceGetDefaultRequestPtr(space));
    CdxSpaceSetRequestTable(space, table);
    EXPECT_EQ(CdxuRequestTableGetRequestPtr(table, 3, 1), Pair(m1, m2)->request);
    CdxModelPair withRequest;
    CdxModelPairReset(&withRequest, m1, m2);
    CdxHelloWithRequest(&withRequest, &fill);
    EXPECT_EQ(&fill, withRequest.request) << "an explicit request skips the callback";
    CdxSpaceSetRequestTable(space, nullptr);
    EXPECT_EQ(nullptr, CdxSpaceGetHelloCallback(space, nullptr)) << "the table's callback leaves with the table";
    EXPECT_EQ(CdxGetDefaultRequestPtr(), Pair(m1, m2)->request);
    CdxSpaceSetRequestTable(space, CdxuRequestTableCreate(2, nullptr));
    CdxSpaceDestroy(space); // and its table with it (the sanitizer build checks)
    CdxSpaceDestroy(other);
}

TEST_F(CdxTest, ErrorsAreReportedWithPrefixTextAndNewlineBySeverity)
{
    CdxError(nullptr, CdxErrMeshDegenerateTriangle, "\n[(0, 0, 0)] area 0");
    CdxError(nullptr, CdxErrWarning, "plain warning");
    ASSERT_EQ(2u, warnings.size());
    EXPECT_EQ("Cdx: CdxTriangleMeshAddTriangle(): degenerate triangle ignored! \n[(0, 0, 0)] area 0\n", warnings[0]);
    EXPECT_EQ("Cdx: plain warning\n", warnings[1]);

    const CdxErrorDescription custom[] = {
        {7, CdxSeverityInfo, 1, "Once: "},
        {8, CdxSeverityInfo, 0, "Silent"},
        {9, CdxSeverityWarning, -2, "Silent too"},
        {43, CdxSeverityFatal, 5, "No error"},
    };
    CdxError(custom, 7, "note");
    CdxError(custom, 8, "note");
    CdxError(custom, 9, "note");
    ASSERT_EQ(1u, infos.size());
    EXPECT_EQ("Cdx: Once: note\n[This message will not be repeated again!]\n", infos[0]);
    EXPECT_EQ(2u, warnings.size()) << "repeat settings of 0 or less report nothing";

    std::string longText(600, 'x');
    CdxError(nullptr, CdxErrWarning, longText.c_str());
    ASSERT_EQ(3u, warnings.size());
    EXPECT_EQ(511u, warnings[2].size()) << "cut to the 512-character buffer";
    EXPECT_EQ('\n', warnings[2].back());
}

TEST_F(CdxTest, FatalErrorsAndUnknownCodesEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CdxError(nullptr, CdxErrMeshNotBuilt, nullptr),
                 "Cdx: TriangleMesh is not built - the function CdxTriangleMeshBuild\\(mesh\\), shoud be called\\.");
    // Code 2 has no row: the search stops at the last row, which is fatal
    // and whose message is not used.
    EXPECT_DEATH(CdxError(nullptr, 2, "lost"), "Cdx: lost\n");
}
