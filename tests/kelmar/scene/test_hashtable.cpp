// Registries against std::map (removals among colliding keys included), and scoped name lookup.
#include "KelmarTestSupport.h"

#include <map>

#include <kelmar/Hashtable.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

namespace {

using kelmar::Hashtable;

// A small page size makes most keys collide and spill onto later pages.
TEST(Hashtable, AgreesWithMapOverRandomInsertsLookupsAndRemovals)
{
    Hashtable<int> table(7);
    std::map<std::string, int *> truth;
    std::vector<int> values(2000);
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> keyOf(0, 1999), op(0, 9);
    for (int i = 0; i < 100000; ++i) {
        const int k = keyOf(rng);
        const std::string key = "k" + std::to_string(k);
        const int o = op(rng);
        auto it = truth.find(key);
        if (o < 4) { // insert
            ASSERT_EQ(table.Insert(key.c_str(), &values[static_cast<size_t>(k)]),
                      it == truth.end() ? nullptr : it->second)
                << key;
            truth.emplace(key, &values[static_cast<size_t>(k)]);
        } else if (o < 6) { // remove
            ASSERT_EQ(table.Remove(key.c_str()), truth.erase(key) == 1) << key;
        } else {
            ASSERT_EQ(table.Lookup(key.c_str()), it == truth.end() ? nullptr : it->second) << key;
        }
    }
    ASSERT_EQ(table.Count(), static_cast<int>(truth.size()));
    for (const auto &entry : truth) EXPECT_EQ(table.Lookup(entry.first.c_str()), entry.second);
    int visited = 0;
    table.ForEach([&](const char *key, int *value) {
        ++visited;
        EXPECT_EQ(truth.at(key), value);
    });
    EXPECT_EQ(visited, static_cast<int>(truth.size()));
    const int pages = table.PageCount(); // a removed key's slot is taken again
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(table.Insert("again", &values[0]) == nullptr && table.Remove("again"));
    EXPECT_EQ(table.PageCount(), pages);
}

struct Named : kelmar::Object {
    void draw(unsigned int) const override {}
    void Update() override { ++updates; }
    int updates = 0;
};

// The scene's step reaches each registered object once per name it holds,
// through inserts, a second name, and removals by name and by pointer.
TEST(SceneNames, UpdateReachesWhatTheTableHolds)
{
    kelmar::Scene scene;
    Named items[12];
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, 11), op(0, 3);
    for (int round = 0; round < 400; ++round) {
        Named &item = items[pick(rng)];
        const std::string name = "n" + std::to_string(pick(rng));
        switch (op(rng)) {
        case 0: scene.InsertObject(name.c_str(), &item); break;
        case 1: scene.InsertObject(("again." + name).c_str(), &item); break;
        case 2: scene.RemoveObject(name.c_str()); break;
        default: scene.RemoveObject(&item); break;
        }
        std::map<const kelmar::Object *, int> keys;
        scene.ForEachObject([&](const char *, kelmar::Object *object) { ++keys[object]; });
        for (Named &n : items) n.updates = 0;
        scene.Update();
        for (Named &n : items) ASSERT_EQ(n.updates, keys[&n]) << "round " << round;
    }
    for (Named &n : items)
        while (scene.RemoveObject(&n)) {}
}

// A name resolves from the innermost scope outwards; a leading dot is absolute.
TEST(SceneNames, ScopesResolveInsideOutAndGenerateNames)
{
    kelmar::Scene scene;
    Named base, robotBase, handBase, generated[3];
    ASSERT_EQ(scene.InsertObject("base", &base), nullptr);
    scene.PushId("robot");
    ASSERT_EQ(scene.InsertObject("base", &robotBase), nullptr);
    scene.PushId("hand");
    EXPECT_EQ(scene.LookupObject("base"), &robotBase);
    ASSERT_EQ(scene.InsertObject("base", &handBase), nullptr);
    EXPECT_EQ(scene.LookupObject("base"), &handBase);
    EXPECT_EQ(scene.LookupObject(".base"), &base);
    for (Named &n : generated) ASSERT_EQ(scene.InsertObject("", &n), nullptr);
    EXPECT_STREQ(generated[0].GetName(), "robot.hand.OBJ_0");
    EXPECT_STREQ(generated[2].GetName(), "robot.hand.OBJ_2");
    scene.PopId();
    EXPECT_EQ(scene.LookupObject("base"), &robotBase);
    EXPECT_EQ(scene.InsertObject("base", &generated[0]), &robotBase); // taken: the first stays
    EXPECT_STREQ(generated[0].GetName(), "robot.hand.OBJ_0");
    scene.PopId();
    EXPECT_TRUE(scene.RemoveObject("base"));
    EXPECT_EQ(base.GetName(), nullptr);
    EXPECT_EQ(scene.LookupObject("base"), nullptr);
    EXPECT_EQ(scene.LookupObject("robot.hand.base"), &handBase);
    scene.RemoveObject(&robotBase);
    scene.RemoveObject(&handBase);
    for (Named &n : generated) scene.RemoveObject(&n);
}

} // namespace
