// The bridge's tables: materials and their pair records and callbacks,
// response ids, templates, registration, transition callbacks and buffers.
#include "test_bridge_support.h"

#include <cstring>
#include <set>

using namespace sbxtest;

namespace {

int dropAll(CdxIntersectResult *, CdxContact *, RbdContactID, void *)
{
    return 0;
}
int keepPair(CdxIntersectResult *, RbdContactID, void *)
{
    return 1;
}
void noteIntersect(CdxIntersectResult *, void *)
{
}
void noteInactive(CdxModelPair *, RbdContactID, void *)
{
}
void customStart(SbxBridgeID, CdxModelPair *, CdxSpaceID, RbdWorldID, SbxResponse *)
{
}

bool sameParams(const RbdContactParams &a, const RbdContactParams &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

using BridgeTables = BridgeTest;

TEST_F(BridgeTables, MaterialZeroExistsAndABridgeForTwoMaterialsHandsOutOneMore)
{
    SbxBridgeID two = SbxBridgeCreate(2);
    EXPECT_EQ(SbxBridgeGetMaterialsUsed(two), 1);
    EXPECT_EQ(SbxBridgeGetNewMaterial(two), 1);
    EXPECT_EQ(SbxBridgeGetNewMaterial(two), 0) << "all used";
    EXPECT_EQ(SbxBridgeGetNewMaterial(two), 0);
    EXPECT_EQ(SbxBridgeGetMaterialsUsed(two), 2);
    SbxBridgeDestroy(two);
}

TEST_F(BridgeTables, EveryUnorderedMaterialPairHasItsOwnDefaultParameterRecord)
{
    RbdContactParams defaults;
    RbdContactParamsReset(&defaults);
    std::set<RbdContactParams *> records;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            RbdContactParams *record = SbxBridgeGetContactParams(bridge, i, j);
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record, SbxBridgeGetContactParams(bridge, j, i)) << i << "," << j;
            EXPECT_TRUE(sameParams(*record, defaults));
            records.insert(record);
        }
    EXPECT_EQ(records.size(), 10u) << "4 x 5 / 2 unordered pairs";

    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 3, 1), 2);
    EXPECT_EQ(RbdContactParamsGetType(SbxBridgeGetContactParams(bridge, 1, 3)), 2) << "edited in place";
    EXPECT_EQ(RbdContactParamsGetType(SbxBridgeGetContactParams(bridge, 1, 1)), 0);

    EXPECT_EQ(SbxBridgeGetContactParams(bridge, 4, 0), nullptr);
    EXPECT_EQ(SbxBridgeGetContactParams(bridge, 0, -1), nullptr);
}

TEST_F(BridgeTables, MaterialCallbacksAreSymmetricAndIdsOutOfRangeAreIgnored)
{
    int data = 0;
    SbxBridgeSetPerContactCB(bridge, 2, 1, dropAll, &data);
    SbxBridgeSetPerPairCB(bridge, 0, 3, keepPair, &data);
    SbxBridgeSetIntersectCB(bridge, 2, 2, noteIntersect, &data);
    void *read = nullptr;
    EXPECT_EQ(SbxBridgeGetPerContactCB(bridge, 1, 2, &read), dropAll);
    EXPECT_EQ(read, &data);
    EXPECT_EQ(SbxBridgeGetPerPairCB(bridge, 3, 0, &read), keepPair);
    EXPECT_EQ(SbxBridgeGetIntersectCB(bridge, 2, 2, nullptr), noteIntersect);
    EXPECT_EQ(SbxBridgeGetPerContactCB(bridge, 1, 1, &read), nullptr);
    EXPECT_EQ(read, nullptr);

    SbxBridgeSetPerContactCB(bridge, 4, 1, dropAll, &data);
    EXPECT_EQ(SbxBridgeGetPerContactCB(bridge, 4, 1, &read), nullptr);
    EXPECT_EQ(read, nullptr);
    SbxBridgeSetPerContactCB(bridge, 2, 1, nullptr, nullptr);
    EXPECT_EQ(SbxBridgeGetPerContactCB(bridge, 1, 2, nullptr), nullptr) << "cleared";
}

TEST_F(BridgeTables, ANewBridgeHasBodySensorAndPSResponses)
{
    EXPECT_EQ(SbxBridgeGetResponseTableSize(bridge), 4);
    EXPECT_EQ(SbxBridgeGetResponseIDsUsed(bridge), 3);
    SbxResponse *bodyBody = SbxBridgeGetResponse(bridge, SbxBodyResponseID, SbxBodyResponseID);
    EXPECT_EQ(SbxResponseGetStartFn(bodyBody), SbxResponseStart_Body_Body);
    EXPECT_EQ(SbxResponseGetResponseFn(bodyBody), SbxResponse_Body_Body);
    EXPECT_EQ(SbxResponseGetEndFn(bodyBody), SbxResponseEnd_Body_Body);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, 0, 1)), SbxResponseStart_Sensor_Body);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, 1, 1)), SbxResponseStart_Sensor_Sensor);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, 2, 1)), SbxResponseStart_Sensor_PS);
    for (int id : {0, 1, 2}) {
        SbxResponse *sensor = SbxBridgeGetResponse(bridge, 1, id);
        EXPECT_EQ(SbxResponseGetResponseFn(sensor), nullptr) << "sensors never make contacts";
        EXPECT_EQ(SbxResponseGetEndFn(sensor), nullptr);
    }
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, 2, 2)), nullptr) << "PS meets PS: nothing";
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(SbxBridgeGetResponse(bridge, i, j), SbxBridgeGetResponse(bridge, j, i));
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 4, 0), nullptr);
    EXPECT_EQ(SbxBridgeGetResponse(bridge, -1, 0), nullptr);

    // Models answer by their response ids.
    CdxModelID a = CdxModelCreate(nullptr), b = CdxModelCreate(nullptr);
    CdxModelSetResponseID(b, SbxSensorResponseID);
    EXPECT_EQ(SbxBridgeGetResponseFromModels(bridge, a, b), SbxBridgeGetResponse(bridge, 1, 0));
    CdxModelSetResponseID(a, 7);
    EXPECT_EQ(SbxBridgeGetResponseFromModels(bridge, a, b), nullptr);
    CdxModelDestroy(a);
    CdxModelDestroy(b);
}

TEST_F(BridgeTables, NewResponseIdsFillTheTableThenGrowItKeepingEveryEntry)
{
    int user = 0;
    const CdxRequest wide = {9, 1};
    ASSERT_EQ(SbxBridgeRegisterResponse(bridge, 2, 1, customStart, nullptr, nullptr, &wide, &user), 1);
    SbxResponse *before = SbxBridgeGetResponse(bridge, 1, 2);

    EXPECT_EQ(SbxBridgeGetNewResponseID(bridge), 3);
    EXPECT_EQ(SbxBridgeGetResponseTableSize(bridge), 4) << "id 3 was room left";
    EXPECT_EQ(SbxBridgeGetNewResponseID(bridge), 4);
    EXPECT_EQ(SbxBridgeGetResponseTableSize(bridge), 5);
    EXPECT_EQ(SbxBridgeGetNewResponseID(bridge), 5);
    EXPECT_EQ(SbxBridgeGetResponseTableSize(bridge), 6);
    EXPECT_EQ(SbxBridgeGetResponseIDsUsed(bridge), 6);

    SbxResponse *after = SbxBridgeGetResponse(bridge, 2, 1);
    EXPECT_EQ(after, before) << "entries keep their addresses";
    EXPECT_EQ(SbxResponseGetStartFn(after), customStart);
    EXPECT_EQ(SbxResponseGetUserData(after), &user);
    EXPECT_EQ(SbxResponseGetRequest(after)->contactMaxCount, 9);
    EXPECT_EQ(SbxResponseGetRequest(after)->requestOption, 1);
    EXPECT_EQ(SbxResponseGetResponseFn(SbxBridgeGetResponse(bridge, 0, 0)), SbxResponse_Body_Body);
    for (int id = 0; id <= 5; ++id) {
        SbxResponse *fresh = SbxBridgeGetResponse(bridge, 5, id);
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(SbxResponseGetStartFn(fresh), nullptr);
        EXPECT_EQ(SbxResponseGetRequest(fresh)->contactMaxCount, 4);
    }

    EXPECT_EQ(SbxBridgeRegisterResponse(bridge, 6, 0, customStart, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(SbxBridgeRegisterResponse(bridge, 0, -1, customStart, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(BridgeTables, AnIdFromATemplateMeetsEveryIdAndItselfAsTheTemplateDoes)
{
    const int sensorCopy = SbxBridgeGetNewResponseIDFromTemplateID(bridge, SbxSensorResponseID);
    EXPECT_EQ(sensorCopy, 3);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, sensorCopy, 0)), SbxResponseStart_Sensor_Body);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, sensorCopy, 1)), SbxResponseStart_Sensor_Sensor);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, sensorCopy, 2)), SbxResponseStart_Sensor_PS);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, sensorCopy, sensorCopy)),
              SbxResponseStart_Sensor_Sensor);

    const int bodyCopy = SbxBridgeGetNewResponseIDFromTemplateID(bridge, SbxBodyResponseID);
    EXPECT_EQ(bodyCopy, 4);
    EXPECT_EQ(SbxResponseGetResponseFn(SbxBridgeGetResponse(bridge, bodyCopy, 0)), SbxResponse_Body_Body);
    EXPECT_EQ(SbxResponseGetResponseFn(SbxBridgeGetResponse(bridge, bodyCopy, bodyCopy)), SbxResponse_Body_Body);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, bodyCopy, 1)), SbxResponseStart_Sensor_Body);
    EXPECT_EQ(SbxResponseGetStartFn(SbxBridgeGetResponse(bridge, bodyCopy, sensorCopy)), SbxResponseStart_Sensor_Body)
        << "the body template met the sensor copy as a sensor";
    EXPECT_NE(SbxBridgeGetResponse(bridge, bodyCopy, 0), SbxBridgeGetResponse(bridge, 0, 0)) << "a copy";

    EXPECT_TRUE(SbxBridgeResponseIDOfSameType(bridge, bodyCopy, 0));
    EXPECT_TRUE(SbxBridgeResponseIDOfSameType(bridge, 0, bodyCopy));
    EXPECT_FALSE(SbxBridgeResponseIDOfSameType(bridge, 0, 1));
    EXPECT_FALSE(SbxBridgeResponseIDOfSameType(bridge, 0, 9));

    EXPECT_EQ(SbxBridgeGetNewResponseIDFromTemplateID(bridge, 5), -1) << "not handed out";
    EXPECT_EQ(SbxBridgeGetResponseIDsUsed(bridge), 5);
}

TEST_F(BridgeTables, EntriesWithAnInactiveCallbackAreCounted)
{
    int data = 0;
    void *read = nullptr;
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 0);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, noteInactive, &data);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, noteInactive, nullptr);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 1) << "replacing is not adding";
    SbxBridgeSetIntersectInactiveCB(bridge, 2, 1, noteInactive, nullptr);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 2);
    SbxBridgeSetIntersectInactiveCB(bridge, 9, 1, noteInactive, nullptr);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 2) << "out of range: ignored";
    EXPECT_EQ(SbxBridgeGetIntersectInactiveCB(bridge, 9, 1, &read), nullptr);

    // A copy of the body template meets id 0 and itself with the callback.
    SbxBridgeGetNewResponseIDFromTemplateID(bridge, 0);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 4);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, nullptr, nullptr);
    SbxBridgeSetIntersectInactiveCB(bridge, 1, 1, nullptr, nullptr);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 3) << "clearing an empty entry changes nothing";
}

TEST_F(BridgeTables, BuffersStartAt100PairsAnd500ContactsAndTakeUsableSizes)
{
    EXPECT_EQ(SbxBridgeGetModelPairBufferSize(bridge), 100);
    EXPECT_EQ(SbxBridgeGetContactBufferSize(bridge), 500);
    EXPECT_EQ(SbxBridgeGetModelPairContainer(bridge)->size, 100);
    EXPECT_EQ(SbxBridgeSetModelPairBufferSize(bridge, 7), 1);
    EXPECT_EQ(SbxBridgeGetModelPairContainer(bridge)->size, 7);
    EXPECT_EQ(SbxBridgeSetContactBufferSize(bridge, 3), 1);
    EXPECT_EQ(SbxBridgeGetContactBufferSize(bridge), 3);
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
