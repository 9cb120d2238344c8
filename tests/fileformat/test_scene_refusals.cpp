// Bad scene files, one table: each is refused or loads with a warning,
// with its message at its element, and never ends the process.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <kelmar/CdxPrimitives.h>

#include "SceneTestSupport.h"

using namespace scenetest;

namespace {

// A world, a body b on a box g over a plane, and what a row adds to them.
struct Parts {
    std::string world, body, dims = "1,1,1", constraints, cdx;
};

Parts P(const std::string &world, const std::string &body = "", const std::string &dims = "1,1,1",
        const std::string &constraints = "", const std::string &cdx = "")
{
    return Parts{world, body, dims, constraints, cdx};
}

std::string sceneText(const Parts &p)
{
    return "<PX file_format_version=\"1.4\">\n<CORE>\n<RBD>\n<WORLD><ID>w</ID>" + p.world +
           "</WORLD>\n<BODIES>\n<BODY><ID>b</ID><POS>0,0,1</POS>" + p.body +
           "</BODY>\n<BODY><ID>c</ID><POS>2,0,1</POS></BODY>\n</BODIES>\n<CONSTRAINTS>\n" + p.constraints +
           "</CONSTRAINTS>\n</RBD>\n<CDX>\n<GEOMETRIES>\n<BOX><ID>g</ID><DIMS>" + p.dims +
           "</DIMS></BOX>\n</GEOMETRIES>\n<MODELS>\n<MODEL><ID>m</ID><GEOMETRY_ID>g</GEOMETRY_ID><BODY_ID>b</"
           "BODY_ID>" +
           p.cdx + "</MODEL>\n</MODELS>\n</CDX>\n</CORE>\n</PX>\n";
}

std::string hinge(const std::string &bodies, const std::string &inside)
{
    return "<HINGE><ID>h</ID><BODY_IDS>" + bodies + "</BODY_IDS><POS>1,0,1</POS><AXIS>0,1,0</AXIS>" + inside +
           "</HINGE>\n";
}

struct Case {
    const char *name;
    Parts parts;
    int result;          // PX_LOAD_FAILED or PX_LOAD_DONE_WITH_WARNINGS
    const char *message; // at its position, and nowhere else
    const char *where;   // the start of a positioned message
};

const Case kCases[] = {
    {"MoiNotPositiveDefinite", P("", "<MOI>-2,0,0,2,0,2</MOI>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<MOI> -2,0,0,2,0,2 is refused: a principal moment is below 1e-12 kg m^2 (not positive definite). The previous "
     "value is kept.\n",
     "Warning line 6, pos 50"},
    {"MoiAgainstTheTriangleInequality", P("", "<MOI>1,0,0,1,0,100</MOI>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<MOI> 1,0,0,1,0,100 is refused: a principal moment exceeds the sum of the other two (no rigid body has such "
     "moments). The previous value is kept.\n",
     "Warning line 6, pos 51"},
    {"TinyMass", P("", "<MASS>1e-300</MASS>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<MASS> 1e-300 is refused: a mass must be from 1e-06 to 1e+06 kg. The previous value is kept.\n", "Warning"},
    {"HugeMass", P("", "<MASS>1e308</MASS>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<MASS> 1e+308 is refused: a mass must be from 1e-06 to 1e+06 kg. The previous value is kept.\n", "Warning"},
    {"HeavyMass", P("", "<MASS>1e30</MASS>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<MASS> 1e+30 is refused: a mass must be from 1e-06 to 1e+06 kg. The previous value is kept.\n", "Warning"},
    {"HugeBox", P("", "", "1e308,1,1"), PX_LOAD_FAILED,
     "<DIMS> 1e+308,1,1 is refused: a length must be from 1e-06 to 1e+06. The previous value is kept.\n",
     "Warning line 14"},
    {"HugeGravity", P("<GRAVITY>0,0,1e308</GRAVITY>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<GRAVITY> 0,0,1e+308 is refused: its components must be within +-1e+09. The previous value is kept.\n",
     "Warning line 4"},
    {"NegativeTimeStep", P("<TIME_STEP>-0.01</TIME_STEP>"), PX_LOAD_DONE_WITH_WARNINGS,
     "<TIME_STEP> -0.01 is refused: it must be finite and > 0. The previous value is kept.\n", "Warning"},
    {"FourNumbersForAPosition", P("", "<POS>1,2,3,4</POS>"), PX_LOAD_FAILED,
     "Body 'b' contains an invalid <POS> element. Body not created.\n",
     "Error line 6, pos 45: expected 3 PxReals, found more"},
    {"HingeOfABodyToItself", P("", "", "1,1,1", hinge("b,b", "")), PX_LOAD_FAILED,
     "Constraint 'h' joins body 'b' to itself. Constraint not created.\n", "Error line 10"},
    {"ThreeBodiesForTwo", P("", "", "1,1,1", hinge("b,c,WORLD", "")), PX_LOAD_FAILED,
     "Constraint 'h' contains an invalid <BODY_IDS> element. Constraint not created.\n", "Error"},
    {"ZeroHingeAxis", P("", "", "1,1,1", "<HINGE><ID>h</ID><BODY_IDS>b,WORLD</BODY_IDS><AXIS>0,0,0</AXIS></HINGE>\n"),
     PX_LOAD_DONE_WITH_WARNINGS, "<AXIS> 0,0,0 is refused: an axis must not be zero. The previous value is kept.\n",
     "Warning line 10"},
    {"NegativeMaximumForce",
     P("", "", "1,1,1", hinge("b,WORLD", "<LIMIT><POWERED>1</POWERED><MAX_FORCE>-5</MAX_FORCE></LIMIT>")),
     PX_LOAD_DONE_WITH_WARNINGS, "<MAX_FORCE> -5 is refused: it must be >= 0. The previous value is kept.\n",
     "Warning"},
    {"ReversedStops",
     P("", "", "1,1,1",
       hinge("b,WORLD", "<LIMIT><ACTIVE>1</ACTIVE><LO_STOP>1</LO_STOP><UP_STOP>0.5</UP_STOP></LIMIT>")),
     PX_LOAD_DONE_WITH_WARNINGS,
     "Constraint 'h' has a <LO_STOP> of 1 above its <UP_STOP> of 0.5. The stops are refused; the previous ones are "
     "kept.\n",
     "Warning line 10"},
    {"MaterialBeyondTheTable", P("", "", "1,1,1", "", "<MATERIAL_ID>99</MATERIAL_ID>"), PX_LOAD_FAILED,
     "Model 'm' refers to material 99, which does not exist. Model not created.\n", "Error"},
    {"AnIntegrationModelTheSolverLacks", P("<INTEGRATION_MODEL>7</INTEGRATION_MODEL>"), PX_LOAD_DONE_WITH_WARNINGS,
     "World 'w': the toolkit refused or adjusted 1 of its values (its warnings say which).\n", "Warning line 4"},
    {"ALinearSolverPastTheAutomaticChoice", P("<LINEAR_SOLVER>3</LINEAR_SOLVER>"), PX_LOAD_DONE_WITH_WARNINGS,
     "World 'w': the toolkit refused or adjusted 1 of its values (its warnings say which).\n", "Warning line 4"},
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

struct Refusals : testing::TestWithParam<Case>, SceneFiles {};

TEST_P(Refusals, AreReportedAtTheirElementAndTheLoadSaysHowItEnded)
{
    const Case &c = GetParam();
    EXPECT_EQ(load("bad.px", sceneText(c.parts)), c.result) << messages.all();
    EXPECT_TRUE(messages.positionedHas(c.message)) << messages.all();
    EXPECT_TRUE(messages.positionedHas(std::string(c.where))) << messages.all();
    EXPECT_TRUE(messages.info.empty()) << messages.all();
    EXPECT_TRUE(messages.fatal.empty());
    EXPECT_EQ(PxLoadContextGetWarningCount(context) > 0,
              c.result == PX_LOAD_DONE_WITH_WARNINGS || c.message[0] == '<');
}

INSTANTIATE_TEST_SUITE_P(BadFiles, Refusals, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

struct Imports : Refusals {};

// A cycle and a chain one file too deep are told apart; neither ends the
// process (the fatal channel is not used), both fail the load.
TEST_F(Imports, ACycleAndAChainTooDeepFailTheLoadWithTheirOwnMessages)
{
    const std::string self =
        "<PX>\n<IMPORT>\n<PX_FILE><ID>again</ID><NAME>self.px</NAME></PX_FILE>\n</IMPORT>\n</PX>\n";
    EXPECT_EQ(load("self.px", self), PX_LOAD_FAILED);
    EXPECT_TRUE(messages.positionedHas("self.px' twice. Check your <IMPORT> hierarchy for infinite recursion.\n"))
        << messages.all();
    EXPECT_TRUE(messages.positionedHas("Error line 3")) << messages.all();
    for (int k = 1; k <= 32; ++k) {
        const std::string next = "c" + std::to_string(k + 1) + ".px";
        const std::string body = k == 32 ? ""
                                         : "<IMPORT><PX_FILE><ID>n</ID><NAME>" + next + "</NAME></PX_FILE></IMPORT>";
        writeFile(dir + "c" + std::to_string(k) + ".px", "<PX>" + body + "</PX>\n");
    }
    EXPECT_EQ(load("c0.px", "<PX><IMPORT><PX_FILE><ID>n</ID><NAME>c1.px</NAME></PX_FILE></IMPORT></PX>\n"),
              PX_LOAD_FAILED);
    EXPECT_TRUE(messages.positionedHas("/c32.px'. File not imported.\n")) << messages.all();
    EXPECT_TRUE(messages.positionedHas("/c31.px': Imports nest more than 32 files deep at")) << messages.all();
    EXPECT_FALSE(messages.positionedHas("c32.px' twice"));
    EXPECT_TRUE(messages.fatal.empty());
}

// A composite model must name a composite geometry of its own: one that
// names a plain geometry, or a composite geometry another composite took,
// is refused and leaves that geometry as it was (the fuzzer found the
// plain one's entry left holding the composite's geometry, which was then
// destroyed twice).
TEST_F(Imports, ACompositeOnAGeometryNotItsOwnIsRefusedAndTheGeometryKept)
{
    const std::string composite =
        "<COMPOSITE><ID>%s</ID><GEOMETRY_ID>%s</GEOMETRY_ID><TM>1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1"
        "</TM><ELEMENT_MAX_COUNT>2</ELEMENT_MAX_COUNT></COMPOSITE>";
    auto model = [&](const std::string &id, const std::string &geometry) {
        std::string text = composite;
        text.replace(text.find("%s"), 2, id);
        text.replace(text.find("%s"), 2, geometry);
        return text;
    };
    EXPECT_EQ(load("composite.px", "<PX><CORE><CDX><GEOMETRIES><PLANE><ID>floor</ID></PLANE><COMPOSITE_GEOMETRY>"
                                   "<ID>shape</ID></COMPOSITE_GEOMETRY></GEOMETRIES><MODELS>" +
                                       model("a", "floor") + model("b", "shape") + model("c", "shape") +
                                       "</MODELS></CDX></CORE></PX>\n"),
              PX_LOAD_FAILED);
    for (const char *refused : {"a", "c"})
        EXPECT_TRUE(messages.positionedHas(std::string("Model '") + refused +
                                           "' invalid. You must supply a valid geometry ID. Model not created.\n"))
            << messages.all();
    EXPECT_EQ(CdxModelLookup(context, "a"), nullptr);
    EXPECT_EQ(CdxModelLookup(context, "c"), nullptr);
    CdxModelID b = CdxModelLookup(context, "b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(CdxGeometryLookup(context, "shape"), CdxModelGetGeometry(b));
    CdxGeometryID floor = CdxGeometryLookup(context, "floor");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(CdxGeometryGetTypeId(floor), CdxPlaneGetTypeId());
}

// An element listed twice is added once; the second listing is reported and
// leaves the element in its composite (the fuzzer found it discarded while
// the composite still held it).
TEST_F(Imports, AnElementListedTwiceIsAddedOnce)
{
    const std::string element = "<ELEMENT><MODEL_ID>e</MODEL_ID><REL_TM>1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1</REL_TM>"
                                "</ELEMENT>";
    EXPECT_EQ(load("twice.px",
                   "<PX><CORE><CDX><GEOMETRIES><BOX><ID>g</ID><DIMS>1,1,1</DIMS></BOX>"
                   "<COMPOSITE_GEOMETRY><ID>shape</ID></COMPOSITE_GEOMETRY></GEOMETRIES><MODELS>"
                   "<COMPOSITE><ID>c</ID><GEOMETRY_ID>shape</GEOMETRY_ID><TM>1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1</TM>"
                   "<ELEMENT_MAX_COUNT>2"
                   "</ELEMENT_MAX_COUNT><ELEMENTS>" +
                       element + element +
                       "</ELEMENTS></COMPOSITE><MODEL><ID>e</ID><GEOMETRY_ID>g</GEOMETRY_ID>"
                       "<IN_COMPOSITE>c</IN_COMPOSITE></MODEL></MODELS></CDX></CORE></PX>\n"),
              PX_LOAD_FAILED);
    EXPECT_TRUE(messages.positionedHas("Model 'e' is already an element of a composite. Element not added.\n"))
        << messages.all();
    CdxModelID c = CdxModelLookup(context, "c"), e = CdxModelLookup(context, "e");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(CdxModelGetParent(e), c);
    EXPECT_EQ(CdxCompositeModelGetElementCount(c), 1);
}

// Files refused whole, each with its message: a mesh count raised after
// its vertex list lets no more vertices in (the list is made for the count
// read before it; the fuzzer found vertices written past its end), a file
// of an unknown format version, a material table larger than the bridge's.
TEST_F(Imports, FilesRefusedWholeSayWhyAndLeaveTheUniverseAsItWas)
{
    const struct {
        std::string text;
        const char *message;
    } cases[] = {
        {"<PX><CORE><CDX><GEOMETRIES><TRIANGLE_MESH><ID>t</ID><VERTEX_COUNT>1</VERTEX_COUNT><VERTICES><V>0,0,0</V>"
         "</VERTICES><VERTEX_COUNT>3</VERTEX_COUNT><VERTICES><V>1,0,0</V><V>0,1,0</V></VERTICES><TRIANGLE_COUNT>1"
         "</TRIANGLE_COUNT><TRIANGLES><T>0,1,2</T></TRIANGLES></TRIANGLE_MESH></GEOMETRIES></CDX></CORE></PX>\n",
         "more <V> than <VERTEX_COUNT> 3"},
        {"<PX file_format_version=\"2.0\">\n<CORE><RBD><BODIES><BODY><ID>b</ID></BODY></BODIES></RBD></CORE></PX>\n",
         "File format version '2.0' is not one this reader knows (1.0 to 1.4). Nothing loaded from this file.\n"},
        {"<PX><CORE><SBX><MATERIAL_TABLE size=\"1000000000\"></MATERIAL_TABLE></SBX></CORE></PX>\n",
         "<MATERIAL_TABLE> size 1000000000 is more than the bridge's 4 materials. Table not loaded.\n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(load("refused.px", c.text), PX_LOAD_FAILED) << c.message;
        EXPECT_TRUE(messages.positionedHas(c.message)) << messages.all();
    }
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(universe)), 0);
    EXPECT_EQ(SbxBridgeGetMaterialsUsed(SbxUniverseGetBridge(universe)), 1);
}

// Refused values leave the defaults: the body keeps mass 1 and the world
// its time step; a file without problems says it is clean.
TEST_F(Imports, RefusedValuesKeepThePreviousOnesAndACleanFileLoadsWithoutWarnings)
{
    RbdWorldSetTimeStep(SbxUniverseGetWorld(universe), 0.01);
    EXPECT_EQ(load("a.px", sceneText(P("<TIME_STEP>-1</TIME_STEP>", "<MASS>1e30</MASS>"))),
              PX_LOAD_DONE_WITH_WARNINGS);
    EXPECT_EQ(RbdBodyGetMass(RbdBodyLookup(context, "b")), 1.0);
    EXPECT_EQ(RbdWorldGetTimeStep(SbxUniverseGetWorld(universe)), 0.01);
    PxLoadContext *clean = PxLoadContextCreate();
    SbxUniverseID other = makeUniverse();
    writeFile(dir + "clean.px", sceneText(P("<TIME_STEP>0.02</TIME_STEP>", "<MASS>2</MASS>")));
    PxStream *stream = PxStreamOpen((dir + "clean.px").c_str(), PX_MODE_READ);
    EXPECT_EQ(SbxUniverseLoad(other, stream, clean), PX_LOAD_DONE);
    PxStreamClose(stream);
    EXPECT_EQ(PxLoadContextGetWarningCount(clean), 0);
    PxLoadContextDestroyObjects(clean);
    PxLoadContextDestroy(clean);
    SbxUniverseDestroy(other);
}

} // namespace
