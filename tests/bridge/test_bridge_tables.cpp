// The bridge's tables: materials and their pair records, response ids and
// their templates, the inactive-callback count; and the refusals.
#include "test_bridge_support.h"

#include <cstring>
#include <set>

using namespace sbxtest;

namespace {

int dropAll(CdxIntersectResult *, CdxContact *, RbdContactID, void *)
{
    return 0;
}
void noteInactive(CdxModelPair *, RbdContactID, void *)
{
}
void customStart(SbxBridgeID, CdxModelPair *, CdxSpaceID, RbdWorldID, SbxResponse *)
{
}

using BridgeTables = BridgeTest;

// For bridges of 1 to 5 materials: ids are handed out up to the count,
// each unordered pair has one record of its own (seen from both orders,
// edited in place, starting at the defaults) and one set of callbacks, and
// ids outside the table read as nothing.
TEST_F(BridgeTables, EveryUnorderedMaterialPairHasItsOwnRecordAndCallbacks)
{
    RbdContactParams defaults;
    RbdContactParamsReset(&defaults);
    for (int n = 1; n <= 5; ++n) {
        SbxBridgeID b = SbxBridgeCreate(n);
        for (int k = 1; k < n; ++k) EXPECT_EQ(SbxBridgeGetNewMaterial(b), k);
        EXPECT_EQ(SbxBridgeGetNewMaterial(b), 0) << "all used";
        EXPECT_EQ(SbxBridgeGetMaterialsUsed(b), n);
        std::set<RbdContactParams *> records;
        int tag[5][5];
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) {
                RbdContactParams *record = SbxBridgeGetContactParams(b, j, i);
                ASSERT_NE(record, nullptr);
                EXPECT_EQ(memcmp(record, &defaults, sizeof defaults), 0);
                RbdContactParamsSetFriction(record, 10 * i + j);
                SbxBridgeSetPerContactCB(b, j, i, dropAll, &tag[i][j]);
                records.insert(record);
            }
        EXPECT_EQ(records.size(), static_cast<size_t>(n * (n + 1) / 2));
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                EXPECT_EQ(RbdContactParamsGetFriction(SbxBridgeGetContactParams(b, i, j)),
                          10 * std::min(i, j) + std::max(i, j));
                void *data = nullptr;
                EXPECT_EQ(SbxBridgeGetPerContactCB(b, i, j, &data), dropAll);
                EXPECT_EQ(data, &tag[std::min(i, j)][std::max(i, j)]);
            }
        void *data = &tag;
        EXPECT_EQ(SbxBridgeGetContactParams(b, n, 0), nullptr);
        EXPECT_EQ(SbxBridgeGetContactParams(b, 0, -1), nullptr);
        SbxBridgeSetPerPairCB(b, n, 0, nullptr, nullptr); // ignored
        EXPECT_EQ(SbxBridgeGetPerContactCB(b, 0, n, &data), nullptr);
        EXPECT_EQ(data, nullptr);
        SbxBridgeDestroy(b);
    }
}

// The responses of a new bridge (body, sensor, PS; one id to spare), the
// same from both orders; ids made from a template meet every id as the
// template does; the table grows keeping its entries where they were.
TEST_F(BridgeTables, ResponseIdsFromTemplatesMeetEveryIdAsTheirTemplatesAndTheTableGrowsInPlace)
{
    struct Entry {
        int id1, id2;
        SbxResponseStartFn start;
        SbxResponseFn response;
    };
    const Entry entries[] = {
        {0, 0, SbxResponseStart_Body_Body, SbxResponse_Body_Body},
        {1, 0, SbxResponseStart_Sensor_Body, nullptr},
        {1, 1, SbxResponseStart_Sensor_Sensor, nullptr},
        {2, 1, SbxResponseStart_Sensor_PS, nullptr},
        {2, 2, nullptr, nullptr},
    };
    EXPECT_EQ(SbxBridgeGetResponseTableSize(bridge), 4);
    EXPECT_EQ(SbxBridgeGetResponseIDsUsed(bridge), 3);
    for (const Entry &e : entries)
        for (SbxResponse *r :
             {SbxBridgeGetResponse(bridge, e.id1, e.id2), SbxBridgeGetResponse(bridge, e.id2, e.id1)}) {
            EXPECT_EQ(SbxResponseGetStartFn(r), e.start) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetResponseFn(r), e.response) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetEndFn(r) != nullptr, e.response != nullptr) << e.id1 << e.id2;
        }
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 4, 0), nullptr);
    EXPECT_EQ(SbxBridgeGetResponse(bridge, -1, 0), nullptr);

    int user = 0;
    const CdxRequest wide = {9, 1};
    ASSERT_EQ(SbxBridgeRegisterResponse(bridge, 2, 1, customStart, nullptr, nullptr, &wide, &user), 1);
    EXPECT_EQ(SbxBridgeRegisterResponse(bridge, 6, 0, customStart, nullptr, nullptr, nullptr, nullptr), 0);
    SbxResponse *registered = SbxBridgeGetResponse(bridge, 1, 2);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, noteInactive, nullptr);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, noteInactive, &user);
    SbxBridgeSetIntersectInactiveCB(bridge, 9, 1, noteInactive, nullptr);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 1) << "replacing is not adding; out of range is ignored";

    // Templates: body, sensor, the body copy, a fresh id, and body again.
    const int templates[] = {SbxBodyResponseID, SbxSensorResponseID, 3, -1, SbxBodyResponseID};
    for (int t : templates) {
        const int id = t < 0 ? SbxBridgeGetNewResponseID(bridge) : SbxBridgeGetNewResponseIDFromTemplateID(bridge, t);
        ASSERT_EQ(id, SbxBridgeGetResponseIDsUsed(bridge) - 1);
        ASSERT_GE(SbxBridgeGetResponseTableSize(bridge), id + 1);
        for (int other = 0; other <= id; ++other) {
            SbxResponse *made = SbxBridgeGetResponse(bridge, id, other);
            const int as = other == id ? t : other;
            EXPECT_EQ(SbxResponseGetStartFn(made),
                      t < 0 ? nullptr : SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, t, as)))
                << id << " meets " << other;
            EXPECT_EQ(SbxResponseGetRequest(made)->contactMaxCount,
                      t < 0 ? 4 : SbxResponseGetRequest(SbxBridgeGetResponse(bridge, t, as))->contactMaxCount);
            if (t >= 0) {
                EXPECT_NE(made, SbxBridgeGetResponse(bridge, t, as)) << "a copy";
            }
        }
        if (t >= 0) {
            EXPECT_TRUE(SbxBridgeResponseIDOfSameType(bridge, id, t));
        }
    }
    EXPECT_EQ(SbxBridgeGetResponseIDsUsed(bridge), 8);
    EXPECT_FALSE(SbxBridgeResponseIDOfSameType(bridge, 0, 1));
    EXPECT_EQ(SbxBridgeGetNewResponseIDFromTemplateID(bridge, 9), -1) << "not handed out";
    int inactive = 0;
    for (int i = 0; i < 8; ++i)
        for (int j = i; j < 8; ++j) inactive += SbxBridgeGetIntersectInactiveCB(bridge, i, j, nullptr) != nullptr;
    EXPECT_EQ(inactive, 10) << "body and its three copies meet each other and themselves with it";
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), inactive);
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 2, 1), registered) << "entries keep their addresses";
    EXPECT_EQ(SbxResponseGetStartFn(registered), customStart);
    EXPECT_EQ(SbxResponseGetUserData(registered), &user);
    EXPECT_EQ(SbxResponseGetRequest(registered)->contactMaxCount, 9);

    // Models answer by their response ids.
    CdxModelID a = CdxModelCreate(nullptr), b = CdxModelCreate(nullptr);
    CdxModelSetResponseID(b, SbxSensorResponseID);
    EXPECT_EQ(SbxBridgeGetResponseFromModels(bridge, a, b), SbxBridgeGetResponse(bridge, 1, 0));
    CdxModelSetResponseID(a, 17);
    EXPECT_EQ(SbxBridgeGetResponseFromModels(bridge, a, b), nullptr);
    CdxModelDestroy(a);
    CdxModelDestroy(b);
}

// Each refused call gives its empty answer, changes nothing and says why in
// one warning.
TEST_F(BridgeTables, RefusedCallsGiveTheEmptyAnswerAndOneWarningWithTheirMessage)
{
    struct Case {
        bool (*refused)(SbxBridgeID bridge, RbdWorldID world); // the call, and whether it answered empty
        const char *message;
    };
    const Case cases[] = {
        {[](SbxBridgeID, RbdWorldID) { return SbxBridgeCreate(0) == nullptr; },
         "SbxBridgeCreate: the material count must be at least 1 (0).\n"},
        {[](SbxBridgeID b, RbdWorldID) { return SbxBridgeSetModelPairBufferSize(b, 1) == 0; },
         "SbxBridgeSetModelPairBufferSize: the size must be at least 2 (1).\n"},
        {[](SbxBridgeID b, RbdWorldID) { return SbxBridgeSetContactBufferSize(b, 0) == 0; },
         "SbxBridgeSetContactBufferSize: the size must be at least 1 (0).\n"},
        {[](SbxBridgeID, RbdWorldID) { return SbxBridgeGetNewMaterial(nullptr) == 0; },
         "SbxBridgeGetNewMaterial: null bridge.\n"},
        {[](SbxBridgeID, RbdWorldID) { return SbxBridgeGetContactParams(nullptr, 0, 0) == nullptr; },
         "SbxBridgeGetContactParams: null bridge.\n"},
        {[](SbxBridgeID, RbdWorldID) { return SbxBridgeGetNewResponseID(nullptr) == -1; },
         "SbxBridgeGetNewResponseID: null bridge.\n"},
        {[](SbxBridgeID, RbdWorldID) { return SbxBridgeGetResponse(nullptr, 0, 0) == nullptr; },
         "SbxBridgeGetResponse: null bridge.\n"},
        {[](SbxBridgeID, RbdWorldID w) { return SbxBridgeUpdateContacts(nullptr, nullptr, w), true; },
         "SbxBridgeUpdateContacts: null bridge.\n"},
        {[](SbxBridgeID b, RbdWorldID w) { return SbxBridgeUpdateContacts(b, nullptr, w), true; },
         "SbxBridgeUpdateContacts: null space.\n"},
    };
    for (const Case &k : cases) {
        Warnings warnings;
        EXPECT_TRUE(k.refused(bridge, world)) << k.message;
        ASSERT_EQ(warnings.texts.size(), 1u) << k.message;
        EXPECT_EQ(warnings.texts[0], k.message);
    }
    EXPECT_EQ(SbxBridgeGetModelPairBufferSize(bridge), 100) << "refused sizes are not taken";
    EXPECT_EQ(SbxBridgeGetContactBufferSize(bridge), 500);
    Warnings warnings;
    SbxBridgeDestroy(nullptr);
    EXPECT_TRUE(warnings.texts.empty()) << "destroying nothing is no fault";
}

} // namespace
