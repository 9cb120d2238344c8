// kelmar-run as a user runs it: exit statuses, the loader's messages on a
// load error, the summary, and outputs that appear only when complete.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"

namespace {

using namespace programtest;

const Program runner(KELMAR_RUN_PROGRAM);

std::string example(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}

TEST(RunProgram, BadCommandLinesExitWithStatusTwoAndTheUsage)
{
    const std::string scene = example("malformed/good_part.px");
    for (const std::string &arguments :
         {std::string(""), scene + " " + scene, scene + " --steps", scene + " --steps -1", scene + " --dt 0",
          scene + " --dt nan", scene + " --set shoulder", scene + " --set =1", scene + " --set a=b",
          scene + " --var novalue", scene + " --every 0", scene + " --frobnicate",
          scene + " --status same.xml --csv same.xml", scene + " --camera head", scene + " --images"}) {
        const Outcome o = runner.Run(arguments);
        EXPECT_EQ(o.status, 2) << arguments;
        EXPECT_EQ(o.err.rfind("kelmar-run: ", 0), 0u) << arguments << ": " << o.err;
        EXPECT_NE(o.err.find("usage: kelmar-run [options] scene.px"), std::string::npos) << arguments;
        EXPECT_EQ(o.out, "") << arguments;
    }
    EXPECT_FALSE(Exists("same.xml"));
}

// An output naming an input or another output is refused before anything
// runs; so is an option where a value should be (not a file "--quiet").
TEST(RunProgram, NoOutputMayReplaceAnInputOrAnotherOutput)
{
    const std::string scene = runner.Scratch("clash.px"), phases = runner.Scratch("clash.phases");
    const std::string sceneText = ReadFile(example("malformed/good_part.px")), phasesText = "rest 0.01 open\n";
    std::ofstream(scene) << sceneText;
    std::ofstream(phases) << phasesText;
    const std::string dotted = scene.substr(0, scene.rfind('/')) + "/./" + scene.substr(scene.rfind('/') + 1);
    const std::string out = runner.Scratch("clash.out"),
                      outDotted = out.substr(0, out.rfind('/')) + "/." + out.substr(out.rfind('/'));
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"--csv " + scene, "--csv would overwrite the scene file '" + scene + "'"},
        {"--plot " + dotted, "--plot would overwrite the scene file '" + dotted + "'"},
        {"--phases " + phases + " --status " + phases, "--status would overwrite the phases file '" + phases + "'"},
        {"--grasp som --som " + phases + " --csv " + phases, "--csv would overwrite the map '" + phases + "'"},
        {"--status " + out + " --plot " + outDotted, "--status and --plot name the same file '" + out + "'"},
        {"--csv --quiet", "--csv needs a value"},
        {"--dt 2", "--dt needs a time step from 1e-06 to 1 (s)"},
    };
    for (const auto &c : cases) {
        const Outcome o = runner.Run(scene + " " + c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments;
        EXPECT_EQ(o.err.substr(0, o.err.find('\n')), "kelmar-run: " + c.message) << c.arguments;
    }
    EXPECT_EQ(ReadFile(scene), sceneText);
    EXPECT_EQ(ReadFile(phases), phasesText);
    EXPECT_FALSE(Exists(out));
    for (const std::string &path : {scene, phases}) unlink(path.c_str());
}

// The two runners' files share extension and root element: each runner,
// given the other's file, says which runner reads it (status 1).
TEST(RunProgram, EachRunnerGivenTheOthersSceneFileNamesTheOther)
{
    const std::string robot = example("hand3.px"), toolkit = example("scenes/pendulum_and_boxes.px");
    const struct {
        std::string program, arguments, message;
    } cases[] = {
        {KELMAR_RUN_PROGRAM, toolkit,
         "kelmar-run: '" + toolkit + "' is a toolkit scene file (CORE): kelmar-sim --file runs those\n"},
        {KELMAR_SIM_PROGRAM, "--file " + robot,
         "kelmar-sim: '" + robot + "' is a robot-layer scene file (SOLID, GEOMETRIES): kelmar-run runs those\n"}};
    for (const auto &c : cases) {
        const Outcome o = Program(c.program).Run(c.arguments + " --quiet");
        EXPECT_EQ(o.status, 1) << c.arguments;
        EXPECT_EQ(o.err.substr(o.err.rfind('\n', o.err.size() - 2) + 1), c.message) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

// A scene with errors: status 1, the loader's messages with file, line and
// column on standard error, and no output file left behind.
TEST(RunProgram, ALoadErrorExitsWithStatusOneAndTheLoadersMessages)
{
    const std::string status = runner.Scratch("status.xml");
    const Outcome o = runner.Run(example("malformed/solids.px") + " --status " + status);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Error in line 7, pos 50: Duplicate solid ID 'a' detected. Solid not created.\n"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("Warning in line 8, pos 98: Invalid density specified for solid 'b'"), std::string::npos);
    EXPECT_NE(o.err.find("kelmar-run: '" + example("malformed/solids.px") + "' did not load"), std::string::npos);
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(Exists(status));
    const std::string empty = runner.Scratch("empty.px");
    std::ofstream(empty).close();
    for (const std::string &nothing : {empty, std::string(KELMAR_EXAMPLES_DIR)})
        EXPECT_EQ(runner.Run(nothing + " --steps 1").status, 1) << nothing;
    unlink(empty.c_str());
}

// Notes alone do not stop a run; they are shown unless --quiet. A value the
// toolkit refuses is shown with the toolkit's own reason and at the element
// that gave it; the run goes on. --quiet leaves the notes out, not the
// toolkit's reasons.
TEST(RunProgram, WarningsAndValuesTheToolkitRefusesAreShownButDoNotStopTheRun)
{
    const std::string scene = runner.Scratch("note.px");
    std::ofstream(scene) << "<PX>\n<GADGET/>\n<GEOMETRIES><SPHERE s><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>\n"
                            "<SOLID ball><GEOMETRY_ID>s</GEOMETRY_ID><DENSITY>1e12</DENSITY></SOLID>\n</PX>\n";
    const Outcome shown = runner.Run(scene + " --steps 3"), quiet = runner.Run(scene + " --steps 3 --quiet");
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.err.find("Warning in line 2, pos 10: unknown tag 'GADGET'"), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("RbdBodySetMass: mass 4.18879e+12 is outside 1e-06 .. 1e+06 kg; ignored.\n"),
              std::string::npos)
        << shown.err;
    EXPECT_NE(
        shown.err.find("Warning in line 4, pos 72: <SOLID ball>: the toolkit refused or adjusted 2 of its values"),
        std::string::npos)
        << shown.err;
    EXPECT_NE(shown.out.find("simulated  0.150 s in 3 steps of 0.05 s"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("bodies     1 (1 awake)"), std::string::npos) << shown.out;
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err.find("GADGET"), std::string::npos) << quiet.err;
    EXPECT_NE(quiet.err.find("RbdBodySetMass: mass"), std::string::npos) << quiet.err;
    unlink(scene.c_str());
}

// The status file holds UNIVERSE then SCENE; the CSV one row per step and
// one at the end; --var reaches the file (without it the radius is no
// number); --dt sets the step.
TEST(RunProgram, WritesItsOutputsWhenTheRunEnds)
{
    const std::string scene = runner.Scratch("var.px"), status = runner.Scratch("status.xml"),
                      csv = runner.Scratch("joints.csv");
    std::ofstream(scene) << "<PX><GEOMETRIES><SPHERE s><RADIUS>r</RADIUS></SPHERE></GEOMETRIES>"
                            "<SOLID ball><GEOMETRY_ID>s</GEOMETRY_ID></SOLID></PX>\n";
    EXPECT_EQ(runner.Run(scene + " --steps 4").status, 1);
    const Outcome o = runner.Run(scene + " --steps 4 --dt 0.01 --var r=2 --status " + status + " --csv " + csv);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("simulated  0.040 s in 4 steps of 0.01 s"), std::string::npos) << o.out;
    const std::string text = ReadFile(status);
    EXPECT_EQ(text.rfind("<UNIVERSE>\n", 0), 0u) << text;
    EXPECT_NE(text.find("</UNIVERSE>\n<SCENE>\n"), std::string::npos);
    EXPECT_NE(text.find("<TIMESTEP>0.01</TIMESTEP>"), std::string::npos);
    EXPECT_NE(text.find("<OBJECT ball>"), std::string::npos);
    EXPECT_EQ(ReadFile(csv), "time\n0.000000\n0.010000\n0.020000\n0.030000\n0.040000\n");
    EXPECT_EQ(o.err.find("--var r"), std::string::npos) << o.err;
    const Outcome unused = runner.Run(scene + " --steps 1 --var r=2 --var radius=2");
    EXPECT_EQ(unused.status, 0);
    EXPECT_NE(unused.err.find("kelmar-run: --var radius: '" + scene + "' never uses it"), std::string::npos)
        << unused.err;
    for (const std::string &path : {scene, status, csv}) unlink(path.c_str());
}

// --set drives a joint to its target through the run; the CSV follows it.
// A joint the scene does not have is a load error.
TEST(RunProgram, SetDrivesJointsToTheirTargets)
{
    const std::string csv = runner.Scratch("hand.csv");
    const Outcome o = runner.Run(example("hand3.px") + " --steps 60 --set finger2_mid=0.4 --csv " + csv);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("robots     1: robot (9 joints)"), std::string::npos) << o.out;
    const std::string text = ReadFile(csv);
    const size_t header = text.find('\n'), lastRow = text.rfind('\n', text.size() - 2);
    const std::string names = text.substr(0, header), last = text.substr(lastRow + 1);
    int column = 0;
    for (size_t at = 0; at < names.find("finger2_mid"); ++at) column += names[at] == ',';
    size_t start = 0;
    for (int c = 0; c < column; ++c) start = last.find(',', start) + 1;
    EXPECT_NEAR(std::stod(last.substr(start)), 0.4, 1e-3) << names << "\n" << last;
    EXPECT_EQ(runner.Run(example("hand3.px") + " --set thumb=1").status, 1);
    unlink(csv.c_str());
}

// --images films a camera every --every steps and once at the end, and
// writes a contact sheet; an unknown camera ends the run before it starts.
TEST(RunProgram, ImagesFilmACameraOfTheScene)
{
    const std::string dir = runner.Scratch("frames");
    const Outcome o = runner.Run(example("camhead.px") + " --steps 20 --every 10 --quiet --images " + dir +
                                 " --camera head");
#ifdef KELMAR_RUN_IMAGES
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(
        o.out.find("  images     3 frames of head in " + dir + ", contact sheet " + dir + "/contact_sheet.png\n"),
        std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find(" ms loading, "), std::string::npos) << "the frames' time is apart: " << o.out;
    for (const char *file : {"/head_000000.png", "/head_000010.png", "/head_000020.png", "/contact_sheet.png"}) {
        EXPECT_TRUE(Exists(dir + file)) << file;
        unlink((dir + file).c_str());
    }
    const Outcome nobody = runner.Run(example("camhead.px") + " --steps 2 --images " + dir + " --camera nobody");
    EXPECT_EQ(nobody.status, 1);
    EXPECT_NE(nobody.err.find("kelmar-run: no camera named 'nobody' in the scenes\n"), std::string::npos)
        << nobody.err;
    rmdir(dir.c_str());
#else
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("kelmar-run: --images needs the graphics library"), std::string::npos) << o.err;
#endif
}

} // namespace

// --grasp runs a controller on the hand: the ball wrap closes all three
// fingertips on the ball on its stand (so it is not held yet); bad grasp
// options are refused.
TEST(RunProgram, GraspReportsTheClosedHand)
{
    const Outcome o = runner.Run(example("hand_ball.px") + " --grasp ballwrap --steps 120");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("  grasp      ballwrap with hand.robot on ball: closed after "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("fingertips in contact: 3 of 3\n  grasp map  rank 6 of 6"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("  held       no: 3 of 3 fingertips in contact"), std::string::npos) << o.out;
    EXPECT_EQ(runner.Run(example("hand_ball.px") + " --grasp fist").status, 2);
    EXPECT_EQ(runner.Run(example("hand_ball.px") + " --grasp som").status, 2);
    for (const std::string name : {"target", "robot"}) {
        const Outcome missing = runner.Run(example("hand_ball.px") + " --grasp orb --" + name + " nothing --steps 1");
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err.substr(missing.err.rfind("kelmar-run: ")),
                  name == "robot" ? "kelmar-run: no robot 'nothing' in the scene (--robot NAME)\n"
                                  : "kelmar-run: no solid 'nothing' in the scene to grasp (--target NAME)\n");
    }
}

// --phases sets the run's length and when the controller runs; --plot
// draws the joints that moved with the phases marked; the verdict is the
// last line. A missing file or an unknown joint ends the run before it starts.
TEST(RunProgram, PhasesDriveTheRunAndThePlotShowsThem)
{
    const std::string phases = runner.Scratch("hand.phases"), plot = runner.Scratch("hand.svg");
    std::ofstream(phases) << "# bend one finger, then grasp\nbend 0.1 open hand.finger1=0.3\nwrap 0.2 grasp\n";
    const Outcome o = runner.Run(example("hand_ball.px") + " --grasp ballwrap --phases " + phases + " --plot " +
                                 plot);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("simulated  0.300 s in 60 steps of 0.005 s"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("  phases     bend 0.10 s wrap 0.20 s (grasp)\n"), std::string::npos) << o.out;
    const size_t last = o.out.rfind('\n', o.out.size() - 2);
    EXPECT_EQ(o.out.substr(last + 1).rfind("ball not held: 3 of 3 fingertips in contact, lifted ", 0), 0u) << o.out;
    const std::string svg = ReadFile(plot);
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
    for (const char *text : {">bend</text>", ">wrap</text>", ">hand.finger1</text>", "<polyline", "</svg>\n"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    EXPECT_EQ(svg.find(">hand.mount</text>"), std::string::npos) << "a joint that never moved is drawn";

    const Outcome missing = runner.Run(example("hand_ball.px") + " --phases " + runner.Scratch("none.phases"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("kelmar-run: cannot read the phases '"), std::string::npos) << missing.err;
    std::ofstream(phases) << "bend 0.1 open thumb=1\n";
    const Outcome unknown = runner.Run(example("hand_ball.px") + " --phases " + phases);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("kelmar-run: phase bend: no joint 'thumb' with a position in the scene"),
              std::string::npos)
        << unknown.err;
    for (const std::string &path : {phases, plot}) unlink(path.c_str());
}
