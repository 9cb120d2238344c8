// The material table, contact parameters of material pairs, and the
// messages of the MATERIAL and MATERIALPAIR status elements.

#include <kelmar/CdxFrame.h>
#include <kelmar/RbdContact.h>

#include "KelmarTestSupport.h"

namespace {

using kelmar::Universe;

// Loads <UNIVERSE>body</UNIVERSE> through a file pointer and returns the messages.
std::vector<std::string> LoadUniverse(Universe &u, const std::string &body)
{
    std::vector<std::string> messages;
    FILE *file = std::tmpfile();
    std::fprintf(file, "<UNIVERSE>%s</UNIVERSE>\n", body.c_str());
    std::rewind(file);
    PxStream *stream = PxStreamCreate(file);
    PxXMLElement *root = CreateParser(stream, "UNIVERSE");
    PxXMLInputSetErrorHandler(PxXMLElementGetInput(root), kelmartest::CollectMessage, &messages);
    u.loadStatus(root);
    DestroyParser(root);
    PxStreamDestroy(stream);
    std::fclose(file);
    return messages;
}

TEST(Materials, EveryMessageOfMaterialAndMaterialPairIsExact)
{
    struct Row {
        const char *element;
        const char *message;
    };
    const Row rows[] = {
        {"<MATERIAL><NUM>9</NUM></MATERIAL>", "E:Material number 9 ignored because it is out of range (0..6)\n"},
        {"<MATERIAL><DENSITY>1</DENSITY></MATERIAL>", "E:Material properties ignored because no <ID> specified\n."},
        {"<MATERIAL><ID>steel</ID></MATERIAL>", "E:Material name 'steel' unknown, material stuff ignored\n"},
        {"<MATERIAL wood><DENSITY>-2</DENSITY></MATERIAL>",
         "E:Density -2.000 of material 'wood' invalid and ignored.\n"},
        {"<MATERIALPAIR><MU>1, 1</MU></MATERIALPAIR>", "E:Material properties ignored because no <IDS> specified\n."},
        {"<MATERIALPAIR><IDS>wood, cheese</IDS></MATERIALPAIR>",
         "E:Unknown material 'cheese', material properties ignored.\n"},
        {"<MATERIALPAIR><IDS>wood, 7</IDS></MATERIALPAIR>", "E:Unknown material '7', material properties ignored.\n"},
        {"<MATERIALPAIR><IDS>wood, 3</IDS><RESTITUTION>2</RESTITUTION></MATERIALPAIR>",
         "W:Invalid restitution ignored for material pair wood, 3\n"},
        {"<MATERIALPAIR wood, metal><SOFTNESS>-1</SOFTNESS></MATERIALPAIR>",
         "W:Invalid softness ignored for material pair wood, metal\n"},
        {"<MATERIALPAIR><IDS>0, 1</IDS><MINSPEED>-1</MINSPEED></MATERIALPAIR>",
         "W:Invalid velocity threshold ignored for material pair 0, 1\n"},
        {"<MATERIALPAIR><IDS>0, 1</IDS><FORCE>-3</FORCE></MATERIALPAIR>",
         "W:Invalid friction force ignored for material pair 0, 1\n"},
        {"<MATERIALPAIR><IDS>0, 1</IDS><STATIC_MU>-1</STATIC_MU></MATERIALPAIR>",
         "W:Invalid static friction coefficient for material pair 0, 1\n"},
        {"<MATERIALPAIR><IDS>0, 1</IDS><DYNAMIC_MU>-1</DYNAMIC_MU></MATERIALPAIR>",
         "W:Invalid dynamic friction coefficient for material pair 0, 1\n"},
    };
    for (const Row &row : rows) {
        Universe u;
        const std::vector<std::string> messages = LoadUniverse(u, row.element);
        ASSERT_FALSE(messages.empty()) << row.element;
        EXPECT_EQ(messages.back(), row.message) << row.element;
    }
}

// The built-in pairs combine their materials: restitution multiplies,
// softness averages, and the dynamic coefficient is 0.3 of the static one.
// Pair elements set their parameters with the friction model they imply,
// and the contact type follows the friction switches.
TEST(Materials, ContactParametersOfBuiltInAndLoadedPairs)
{
    Universe u;
    EXPECT_TRUE(LoadUniverse(u, "<MATERIALPAIR><IDS>wood, metal</IDS><FORCES>2, 3</FORCES></MATERIALPAIR>"
                                "<MATERIALPAIR><IDS>0, 0</IDS><FORCE>2</FORCE></MATERIALPAIR>"
                                "<MATERIALPAIR><IDS>1, 1</IDS><MU>0.5, 0.25</MU></MATERIALPAIR>")
                    .empty());
    const struct {
        int a, b;
        kelmar::tContactParameter parameter;
        double value;
    } rows[] = {{0, 4, kelmar::kStaticFriction, 1.0},       {0, 4, kelmar::kDynamicFriction, 0.3},
                {4, 0, kelmar::kSoftness, 0.0050005},       {3, 3, kelmar::kRestitution, 0.0001},
                {3, 3, kelmar::kDynamicFriction, 0.12},     {3, 0, kelmar::kPrimaryFrictionForce, 2},
                {3, 0, kelmar::kSecondaryFrictionForce, 3}, {0, 0, kelmar::kSecondaryFrictionForce, 2},
                {1, 1, kelmar::kDynamicFriction, 0.25}};
    for (const auto &row : rows)
        EXPECT_DOUBLE_EQ(u.GetContactParameter(row.a, row.b, row.parameter), row.value)
            << row.a << ", " << row.b << ": " << row.parameter;
    EXPECT_EQ(RbdContactParamsGetFrictionModel(u.GetContactParameters(0, 3)), 0);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(u.GetContactParameters(1, 1)), 1);
    u.SetContactParameter(2, 3, kelmar::kFrictionForces, 0);
    EXPECT_EQ(RbdContactParamsGetType(u.GetContactParameters(2, 3)), 0);
    u.SetContactParameter(2, 3, kelmar::kStaticFriction, 0.5);
    EXPECT_EQ(RbdContactParamsGetType(u.GetContactParameters(2, 3)), 2);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionModel(u.GetContactParameters(2, 3)), 1);
}

// Every accessor refuses an index outside the table with the index, and
// changes nothing.
TEST(Materials, BadIndexThrowsAndChangesNothing)
{
    Universe u(0, 0, 0, 0, 9);
    EXPECT_STREQ(u.GetMaterialName(8), "8");
    double softness[9];
    for (int i = 0; i < 9; ++i) softness[i] = u.GetContactParameter(i, 0, kelmar::kSoftness);
    const float red[4] = {1, 0, 0, 1};
    float rgba[4];
    for (int bad : {-1, 9}) {
        auto expectBad = [bad](auto call) {
            try {
                call();
                ADD_FAILURE() << "no exception for " << bad;
            } catch (const kelmar::BadMaterial &e) {
                EXPECT_EQ(e.index, bad);
            }
        };
        expectBad([&] { u.GetMaterialName(bad); });
        expectBad([&] { u.SetMaterialName(bad, "x"); });
        expectBad([&] { u.GetMaterialDensity(bad); });
        expectBad([&] { u.SetMaterialDensity(bad, 1); });
        expectBad([&] { u.GetMaterialColor(bad, rgba); });
        expectBad([&] { u.SetMaterialColor(bad, red); });
        expectBad([&] { u.GetContactParameters(0, bad); });
        expectBad([&] { u.GetContactParameter(bad, 0, kelmar::kSoftness); });
        expectBad([&] { u.SetContactParameter(bad, 0, kelmar::kSoftness, 0.5); });
    }
    for (int i = 0; i < 9; ++i) EXPECT_EQ(u.GetContactParameter(i, 0, kelmar::kSoftness), softness[i]);
    EXPECT_EQ(softness[8], 0.0001); // beyond the built-in materials
}

// A ball falling in a universe of its own with room for models.
struct Falling {
    explicit Falling(int models) : universe(0, 0, models)
    {
        universe.AddScene(&scene);
        RbdWorldSetGravity(universe.GetWorld(), 0, 0, -kelmartest::kGravity);
        ball = kelmar::AddSphere(&scene, 1, kelmar::SolidSpec());
    }
    ~Falling() { universe.DelScene(&scene); }
    double Height() const
    {
        double p[3];
        ball->GetPosition(p);
        return p[2];
    }
    Universe universe;
    kelmar::Scene scene;
    kelmar::Solid *ball;
};

TEST(Universe, PauseStopsTheClockAndASecondUniverseGrowsTheCollisionLibrary)
{
    Falling first(50);
    first.universe.AddOptions(Universe::kPause);
    first.universe.step();
    EXPECT_EQ(first.universe.time, 0.0);
    first.universe.ClearOptions(Universe::kPause);
    const int before = CdxGetModelCapacity();
    {
        Falling second(5000);
        EXPECT_GE(CdxGetModelCapacity(), 2 * (50 + 5000));
        EXPECT_GE(CdxGetModelCapacity(), before);
        second.universe.step();
        first.universe.step();
    }
    first.universe.step();
    // The first universe's ball fell exactly as in a universe on its own.
    Falling alone(50);
    alone.universe.step();
    alone.universe.step();
    EXPECT_LT(first.Height(), 0.0);
    EXPECT_EQ(first.Height(), alone.Height());
    EXPECT_EQ(CdxSphereGetRadius(CdxModelGetGeometry(first.ball->GetModel())), 1.0);
}

} // namespace
