// Every malformed example file gives its exact messages, in order and with
// their severities, and leaves only whole solids behind: as many bodies and
// collision models as there are solids, none of a failed import.

#include <climits>
#include <cstdlib>

#include "KelmarTestSupport.h"

namespace {

std::string Malformed(const std::string &name)
{
    char path[PATH_MAX];
    const std::string given = kelmartest::ExamplePath("malformed/" + name);
    return realpath(given.c_str(), path) ? std::string(path) : given;
}

struct MessageCase {
    const char *file;
    std::vector<std::string> expected;
    int solids; // registered afterwards, each with one body and one model
};

std::ostream &operator<<(std::ostream &out, const MessageCase &c)
{
    return out << c.file;
}

class MalformedFile : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MalformedFile, GivesItsExactMessagesAndLeavesOnlyWholeSolids)
{
    const MessageCase &c = GetParam();
    kelmartest::Rig probe;
    probe.Read(Malformed(c.file));
    EXPECT_EQ(probe.messages, c.expected);
    EXPECT_EQ(probe.scene.ObjectCount(), c.solids);
    EXPECT_EQ(probe.Bodies(), c.solids);
    EXPECT_EQ(probe.Models(), c.solids);
}

const std::string kImportDir = Malformed("import.px").substr(0, Malformed("import.px").rfind('/') + 1);

INSTANTIATE_TEST_SUITE_P(
    Families, MalformedFile,
    ::testing::Values(
        MessageCase{
            "variables.px",
            {"E:variable name not given in <VAR> definition\n", "W:variable size already defined, now rewritten\n"},
            0},
        MessageCase{"import.px",
                    {"E:<IMPORT> element must have an <ID> element.\n",
                     "E:<IMPORT> element cannot have an <ID> containing a dot\n",
                     "E:<IMPORT> element must have an <NAME> element.\n",
                     "E:Imported file '" + kImportDir + "no_such_file.px' not found.\n",
                     "E:You tried to open '" + kImportDir +
                         "import.px' twice.\nCheck your <IMPORT> hierarchy for infinite recursion.\n",
                     "E:Cyclic import of file '" + kImportDir + "import.px'\n",
                     "E:Geometry 'no_shape' specified for solid 'third'is not created yet. Solid not created.\n",
                     "W:World specific data ignored, because it's not the top level file\n"},
                    1},
        MessageCase{"geometries.px",
                    {"E:Duplicate geometry ID 'ball' detected. Geometry not created.\n",
                     "E:Can't open triangle mesh from file './no_such_mesh.obj'\n",
                     "E:Can't open triangle mesh from file './torn.obj'\n"},
                    0},
        MessageCase{"solids.px",
                    {"E:A solid cannot have an <ID> of 'WORLD'.This is a reserved word. Solid not created.\n",
                     "E:Duplicate solid ID 'a' detected. Solid not created.\n",
                     "W:Invalid density specified for solid 'b'. Using default value.\n",
                     "W:Unknown material 'cheese' for solid 'b', using default material\n",
                     "E:Neither geometry nor parts specified for solid 'c'. Solid not created.\n",
                     "E:Geometry 'sphere' specified for solid 'd'is not created yet. Solid not created.\n",
                     "W:You have to supply an inertia tensor in order to use an COM offset for solid 'e'\n",
                     "W:GraphicsPrimitive 'star' specified for solid 'f' is not created yet. Using default.\n",
                     "E:Parse error in file '" + Malformed("solids.px") +
                         "': Solid 'nobody' referenced from solid 'g' is not created yet, using world "
                         "coordinates instead.\n"},
                    5},
        MessageCase{"parts.px",
                    {"W:Defined both geometry and parts for solid 'lump', using parts only!\n",
                     "E:No geometry specified for solid part of 'lump', part omitted.\n",
                     "E:Geometry 'pebble' specified for solid part of 'lump' is not created yet, part omitted.\n",
                     "E:No Transform specified for solid part of 'lump', part omitted.\n",
                     "W:GraphicsPrimitive 'star' specified for solid part of 'lump' is not created yet. Using "
                     "default.\n",
                     "E:Geometry 'pebble' specified for solid part of 'empty' is not created yet, part omitted.\n",
                     "E:No <PART>s specified for composite 'empty', solid not created\n"},
                    1},
        MessageCase{"graphics.px",
                    {"E:Duplicate graphics primitive 'pointer' detected. Graphics Primitive not created.\n",
                     "E:No graphics primitive specified for graphics 'label', not created.\n",
                     "E:GraphicsPrimitive 'star' specified for graphics 'sign' is not created yet, graphics not "
                     "created!\n",
                     "W:Neither joint nor solid 'nobody' referenced from graphics 'arrow' is created yet, using "
                     "world coordinates instead.\n",
                     "E:Duplicate graphics ID 'arrow' detected. Graphics not created.\n"},
                    0},
        MessageCase{"transforms.px",
                    {"E:Transform of object 'sheared' is not valid. POS, ROT, QUAT, EULER will override the "
                     "default (identity) transform.\n",
                     "E:Specified rotation matrix of object 'squashed' is not valid.\n"},
                    2},
        MessageCase{"values.px",
                    {"W:Time step -1 is not positive, ignored.\n",
                     "W:Quaternion of object 'b' is zero, using no rotation.\n",
                     "E:Position of object 'far' is beyond 1e9, using the origin instead.\n",
                     "E:Axis of joint 'still' is zero.\n", "E:Hinge not created.\n",
                     "E:Axis of joint 'slide' is zero.\n", "E:Prismatic not created.\n",
                     "W:Stops reversed (lower 1 above upper -1), ignored.\n", "W:Negative <MAXFORCE> -5, ignored.\n",
                     "W:Negative <MAXSPEED> -1, ignored.\n", "W:Negative <LOCKFORCE> -2, ignored.\n"},
                    3},
        MessageCase{
            "noroot.px", {"E:No <PX> element found in '" + Malformed("noroot.px") + "'. Nothing loaded.\n"}, 0},
        MessageCase{"references.px",
                    {"W:Solid 'nobody' of no-collision-pair is not defined yet, ignoring\n",
                     "E:Solid 'ghost' to be removed is not found\n", "E:Object 'ghost' to be removed is not found\n",
                     "E:Joint 'hinge' to be removed is not found\n", "E:Robot 'nobot' to be removed is not found\n",
                     "W:<CAMERA> skipped: no camera library is installed\n"},
                    1}));

} // namespace
