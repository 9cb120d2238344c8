// What the writer puts in a file and what the reader makes of files:
// exact texts of saved elements, imports with prefixes, transforms and
// scales, and bad files refused with their messages and positions.
#include <math.h>

#include <string>

#include <gtest/gtest.h>

#include <kelmar/PxMath.h>

#include "SceneTestSupport.h"

using namespace scenetest;

namespace {

// A world with a hinged body and a free one, saved with RbdSave.
struct SmallWorld : testing::Test {
    std::string dir = makeTempDir();
    RbdWorldID world = RbdWorldCreate(8, 8);
    RbdBodyID arm = RbdBodyCreate(world), free = RbdBodyCreate(world);
    RbdConstraintID hinge = RbdHingeCreate(world);
    PxSaveContext *context = PxSaveContextCreate();

    void SetUp() override
    {
        RbdBodySetPosition(arm, 0.5, 0, 0);
        RbdConstraintSetBodies(hinge, arm, nullptr);
        RbdConstraintSetPosition(hinge, 0, 0, 0);
        RbdConstraintSetAxis(hinge, 0, 0, 1);
        RbdConstraintEnable(hinge);
        RbdBodyEnable(arm);
    }
    void TearDown() override
    {
        PxSaveContextDestroy(context);
        RbdWorldDestroy(world);
    }
    std::string save(const char *name) { return saveText(context, dir + name, RbdSave); }
};

TEST_F(SmallWorld, FileStartsWithTheHeaderAndABodyKeepsItsFirstNameWhileUnnamedOnesGetGeneratedNames)
{
    EXPECT_STREQ(RbdBodyHashInsert(context, arm, "first"), "first");
    EXPECT_STREQ(RbdBodyHashInsert(context, arm, "second"), "first");
    RbdWorldHashInsertAll(context, world);
    const std::string text = save("world.px");
    EXPECT_EQ(
        text.rfind("<?xml version=\"1.0\"?>\n<!DOCTYPE PX SYSTEM \"px.dtd\">\n<PX file_format_version=\"1.4\">\n"
                   "\t<CORE>\n\t\t<RBD>\n",
                   0),
        0u);
    EXPECT_NE(text.find("\t\t\t\t\t<BODY_IDS>first,WORLD</BODY_IDS>\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t\t\t\t<POS>0.5,0,0</POS>\n"), std::string::npos);
    // A limit that is neither active nor powered is not written.
    EXPECT_EQ(text.find("<LIMIT>"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 15), "\t</CORE>\n</PX>\n");
    EXPECT_NE(text.find("<ID>first</ID>"), std::string::npos);
    EXPECT_EQ(text.find("<ID>second</ID>"), std::string::npos);
    EXPECT_NE(text.find("<ID>AUTO_BODY0</ID>"), std::string::npos); // the free body, newest first
    EXPECT_NE(text.find("<ID>AUTO_CONSTRAINT0</ID>"), std::string::npos);
    EXPECT_EQ(PxSave(context, nullptr), 0) << "a null stream is refused";
}

TEST_F(SmallWorld, ContactsAreSavedOnlyWithTheContactOption)
{
    RbdContactID contact = RbdContactCreate(world);
    RbdConstraintSetBodies(contact, free, nullptr);
    RbdContactSetNormal(contact, 0, 0, 1);
    RbdConstraintEnable(contact);
    RbdWorldHashInsertAll(context, world);
    EXPECT_EQ(save("plain.px").find("<CONTACT>"), std::string::npos);
    PxSaveContextSetOptions(context, PX_SAVE_CONTACTS);
    const std::string text = save("contacts.px");
    EXPECT_NE(text.find("<CONTACT>"), std::string::npos);
    EXPECT_NE(text.find("<NORMAL>0,0,1</NORMAL>"), std::string::npos);
    EXPECT_NE(text.find("<FRICTION_TYPE>ZERO</FRICTION_TYPE>"), std::string::npos);
}

TEST_F(SmallWorld, ValuesKeepSevenSignificantDigitsAndHardStopsStayHard)
{
    RbdBodySetPosition(free, 1.0 / 3.0, 123456789.0, -2.5e-9);
    RbdLimit *limit = RbdConstraintGetLimit(hinge);
    const RbdSingleLimit lo = {-0.25, RBD_REAL_MAX, 0, 1};
    RbdLimitSetLowerLimit(limit, &lo);
    RbdLimitActivateLimits(limit, 1);
    RbdBodyHashInsert(context, free, "free");
    RbdWorldHashInsertAll(context, world);
    const std::string text = save("digits.px");
    EXPECT_NE(text.find("<POS>0.3333333,1.234568e+08,-2.5e-09</POS>"), std::string::npos);
    RbdWorldID copy = RbdWorldCreate(8, 8);
    PxLoadContext *load = PxLoadContextCreate();
    PxStream *stream = PxStreamOpen((dir + "digits.px").c_str(), PX_MODE_READ);
    EXPECT_EQ(RbdWorldLoad(copy, stream, load), 1);
    PxStreamClose(stream);
    RbdSingleLimit loaded;
    RbdLimitGetLowerLimit(RbdConstraintGetLimit(RbdConstraintLookup(load, "AUTO_CONSTRAINT0")), &loaded);
    EXPECT_EQ(loaded.stiffness, RBD_REAL_MAX);
    EXPECT_EQ(loaded.stop, -0.25);
    EXPECT_EQ(RbdWorldGetTotalBodies(copy), 2);
    PxLoadContextDestroy(load);
    RbdWorldDestroy(copy);
}

// Files written by hand into a temporary folder and loaded into a universe.
struct Files : testing::Test, SceneFiles {
    int bodies() { return RbdWorldGetTotalBodies(SbxUniverseGetWorld(universe)); }
};

const char *const kPart = "<PX>\n<CORE>\n<RBD>\n<BODIES>\n"
                          "<BODY><ID>b1</ID><POS>1,0,0</POS><MASS>2</MASS></BODY>\n"
                          "</BODIES>\n</RBD>\n<CDX>\n<GEOMETRIES>\n"
                          "<BOX><ID>g</ID><DIMS>0.5,0.25,1</DIMS></BOX>\n"
                          "<SPHERE><ID>s</ID><RADIUS>0.3</RADIUS></SPHERE>\n"
                          "</GEOMETRIES>\n<MODELS>\n"
                          "<MODEL><ID>m</ID><GEOMETRY_ID>g</GEOMETRY_ID><BODY_ID>b1</BODY_ID></MODEL>\n"
                          "</MODELS>\n</CDX>\n</CORE>\n</PX>\n";

TEST_F(Files, AFileImportedTwiceGivesTwoPlacedScaledCopiesWithPrefixedNames)
{
    writeFile(dir + "part.px", kPart);
    const std::string scene = "<PX>\n<IMPORT>\n"
                              "<PX_FILE><ID>left</ID><NAME>part.px</NAME>"
                              "<TM>0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,5,1</TM></PX_FILE>\n"
                              "<PX_FILE><ID>right</ID><NAME>part.px</NAME><POS>10,0,0</POS><ROT>0,0,0</ROT>"
                              "<SCALE>2</SCALE></PX_FILE>\n"
                              "</IMPORT>\n</PX>\n";
    ASSERT_EQ(load("scene.px", scene), 1) << messages.all();
    RbdBodyID left = RbdBodyLookup(context, "left.b1"), right = RbdBodyLookup(context, "right.b1");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(RbdBodyLookup(context, "b1"), nullptr);
    PxVector3 p;
    RbdBodyGetPosition(left, p); // (1, 0, 0) turned 90 degrees about z, then raised 5
    EXPECT_NEAR(p[0], 0.0, 1e-12);
    EXPECT_NEAR(p[1], 1.0, 1e-12);
    EXPECT_NEAR(p[2], 5.0, 1e-12);
    RbdBodyGetPosition(right, p); // (1, 0, 0) doubled, then moved 10 along x
    EXPECT_NEAR(p[0], 12.0, 1e-12);
    EXPECT_DOUBLE_EQ(RbdBodyGetMass(left), 2.0);
    EXPECT_DOUBLE_EQ(RbdBodyGetMass(right), 16.0);
    PxVector3 dims;
    CdxBoxGetDimensions(CdxGeometryLookup(context, "right.g"), dims);
    EXPECT_DOUBLE_EQ(dims[0], 1.0);
    EXPECT_DOUBLE_EQ(dims[2], 2.0);
    EXPECT_DOUBLE_EQ(CdxSphereGetRadius(CdxGeometryLookup(context, "right.s")), 0.6);
    EXPECT_DOUBLE_EQ(CdxSphereGetRadius(CdxGeometryLookup(context, "left.s")), 0.3);
    CdxModelID model = CdxModelLookup(context, "right.m");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(CdxModelGetBody(model), right);
    EXPECT_EQ(CdxModelGetSpace(model), SbxUniverseGetSpace(universe));
}

TEST_F(Files, BadImportsAreRefusedWithTheirMessages)
{
    const std::string scene = "<PX>\n<IMPORT>\n"
                              "<PX_FILE><ID>a.b</ID><NAME>part.px</NAME></PX_FILE>\n"
                              "<PX_FILE><ID>c</ID><NAME>part</NAME></PX_FILE>\n"
                              "<PX_FILE><ID>d</ID><NAME>part.xml</NAME></PX_FILE>\n"
                              "<PX_FILE><NAME>part.px</NAME></PX_FILE>\n"
                              "<PX_FILE><ID>e</ID><NAME>missing.px</NAME></PX_FILE>\n"
                              "</IMPORT>\n<IMPORT></IMPORT>\n</PX>\n";
    EXPECT_EQ(load("imports.px", scene), 0);
    for (
        const char *message :
        {"<PX_FILE> element cannot have an <ID> containing a full stop. File 'part.px' not imported.\n",
         "<NAME> element 'part' must include extension. Currently only .px files are supported. File not imported.\n",
         "Currently only .px are supported. File not imported.\n",
         "<PX_FILE> element must have an <ID> element. File 'part.px' not imported.\n",
         "File missing.px not found.\n", "<IMPORT> section doesn't contain a <PX_FILE> element. Nothing imported.\n"})
        EXPECT_TRUE(messages.positionedHas(message)) << message << messages.all();
    EXPECT_EQ(bodies(), 0);
}

TEST_F(Files, GeometriesWithALengthThatIsNotPositiveAreRefused)
{
    for (const char *geometry :
         {"<SPHERE><ID>g</ID><RADIUS>0</RADIUS></SPHERE>", "<BOX><ID>g</ID><DIMS>1,0,1</DIMS></BOX>",
          "<CYLINDER><ID>g</ID><RADIUS>1</RADIUS><HEIGHT>-1</HEIGHT></CYLINDER>",
          "<CONE><ID>g</ID><LENGTH>0</LENGTH><L_RADIUS>1</L_RADIUS><U_RADIUS>0</U_RADIUS></CONE>"}) {
        std::string scene = std::string("<PX>\n<CORE>\n<CDX>\n<GEOMETRIES>\n") + geometry +
                            "\n</GEOMETRIES>\n</CDX>\n</CORE>\n</PX>\n";
        EXPECT_EQ(load("lengths.px", scene), 0) << geometry;
        EXPECT_TRUE(messages.positionedHas("Geometry 'g' has a length that is not positive. Geometry not created.\n"))
            << geometry << messages.all();
        messages.info.clear();
    }
}

TEST_F(Files, MissingReferencesAreReportedWithTheirPositionAndNothingHalfBuiltRemains)
{
    const std::string scene = "<PX>\n<CORE>\n<RBD>\n<BODIES>\n"
                              "<BODY><ID>b1</ID></BODY>\n"
                              "<BODY><ID>b1</ID></BODY>\n"
                              "<BODY><ID>WORLD</ID></BODY>\n"
                              "</BODIES>\n<CONSTRAINTS>\n"
                              "<HINGE><ID>h</ID><BODY_IDS>b1,nobody</BODY_IDS></HINGE>\n"
                              "<BSJOINT><ID>j</ID></BSJOINT>\n"
                              "</CONSTRAINTS>\n</RBD>\n<CDX>\n<MODELS>\n"
                              "<MODEL><ID>m</ID><GEOMETRY_ID>none</GEOMETRY_ID><BODY_ID>b1</BODY_ID></MODEL>\n"
                              "</MODELS>\n</CDX>\n</CORE>\n</PX>\n";
    EXPECT_EQ(load("refs.px", scene), 0);
    for (const char *message :
         {"Duplicate body ID 'b1' detected. Body not created.\n", "A body cannot have an <ID> of 'WORLD'.",
          "Constraint 'h' refers to non-existent body 'nobody'. Constraint not created.\n",
          "Constraint 'j' must have a <BODY_IDS> element. Constraint not created.\n",
          "Model 'm' refers to non-existent geometry 'none'. Model not created.\n"})
        EXPECT_TRUE(messages.positionedHas(message)) << message << messages.all();
    EXPECT_EQ(messages.positioned.size(), 5u) << messages.all();
    EXPECT_TRUE(messages.info.empty()) << "each said once, at its position: " << messages.all();
    for (const char *message :
         {"Error line 6, pos 7: Duplicate body ID 'b1'", "Error line 10, pos 8: Constraint 'h' refers"})
        EXPECT_TRUE(messages.positionedHas(message)) << message << messages.all();
    EXPECT_EQ(bodies(), 1);
    EXPECT_EQ(RbdWorldGetTotalConstraints(SbxUniverseGetWorld(universe)), 0);
    EXPECT_EQ(CdxSpaceGetModelCount(SbxUniverseGetSpace(universe)), 0);
}

TEST_F(Files, WrongCountsOfNumbersAndUnknownElementsAreReportedAndRefused)
{
    const std::string scene = "<PX>\n<CORE>\n<RBD>\n<BODIES>\n"
                              "<BODY><ID>b2</ID>\n<POS>1, 2</POS></BODY>\n"
                              "<BODY><ID>b3</ID><SPEED>4</SPEED><MASS>heavy</MASS></BODY>\n"
                              "<BODY><ID>b4</ID><MASS>nan</MASS></BODY>\n"
                              "</BODIES>\n</RBD>\n</CORE>\n</PX>\n";
    const long warned = PxMessageGetCount(PX_CHANNEL_WARNING);
    EXPECT_EQ(load("counts.px", scene), 0);
    EXPECT_EQ(PxMessageGetCount(PX_CHANNEL_WARNING), warned) << "the reader's errors are said once, at their place";
    EXPECT_TRUE(messages.info.empty()) << messages.all();
    EXPECT_TRUE(messages.positionedHas("Error line 6, pos 10: expected 3 PxReals, found 2")) << messages.all();
    EXPECT_TRUE(messages.positionedHas("Body 'b2' contains an invalid <POS> element. Body not created.\n"));
    EXPECT_TRUE(messages.positionedHas("Warning line 7, pos 25: unknown tag 'SPEED'")) << messages.all();
    EXPECT_TRUE(messages.positionedHas("Expected PxReal, found heavy"));
    EXPECT_TRUE(messages.positionedHas("Body 'b3' contains an invalid <MASS> element. Body not created.\n"));
    EXPECT_TRUE(messages.positionedHas("Body 'b4' contains an invalid <MASS> element. Body not created.\n"));
    EXPECT_EQ(bodies(), 0);
    EXPECT_GE(PxLoadContextGetWarningCount(context), 1);
}

TEST_F(Files, AWholeFileLoadsIntoAUniverseOrNothingDoes)
{
    writeFile(dir + "good.px", kPart);
    const std::string bad = std::string(kPart).replace(std::string(kPart).find("</MODELS>"), 0,
                                                       "<MODEL><ID>x</ID><GEOMETRY_ID>g</GEOMETRY_ID></MODEL>\n");
    writeFile(dir + "bad.px", bad);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SbxUniverseLoadFile(universe, (dir + "bad.px").c_str(), 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error in line 15, pos 8: Model 'x' invalid. Must specify either a <BODY_ID> or a <TM> tag. Model not "
              "created.\n");
    EXPECT_EQ(bodies(), 0);
    EXPECT_EQ(CdxSpaceGetModelCount(SbxUniverseGetSpace(universe)), 0);
    PxLoadContext *whole = SbxUniverseLoadFile(universe, (dir + "good.px").c_str(), 0);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(bodies(), 1);
    EXPECT_EQ(CdxSpaceGetModelCount(SbxUniverseGetSpace(universe)), 1);
    PxLoadContextDestroyObjects(whole);
    PxLoadContextDestroy(whole);
    EXPECT_EQ(bodies(), 0);
}

} // namespace
