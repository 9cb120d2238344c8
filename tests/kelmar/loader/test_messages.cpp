// Every malformed example file gives its exact messages, in order and with
// their severities, and leaves only whole solids behind: as many bodies and
// collision models as there are solids, none of a failed import.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "KelmarTestSupport.h"

namespace {

using kelmartest::Message;

std::string Malformed(const std::string &name)
{
    char path[PATH_MAX];
    const std::string given = kelmartest::ExamplePath("malformed/" + name);
    return realpath(given.c_str(), path) ? std::string(path) : given;
}

struct MessageCase {
    const char *file;
    std::vector<Message> expected;
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
    kelmartest::Probe probe;
    probe.Read(Malformed(c.file));
    ASSERT_EQ(probe.scene.messages.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(probe.scene.messages[i].text, c.expected[i].text) << "message " << i;
        EXPECT_EQ(probe.scene.messages[i].severity, c.expected[i].severity) << c.expected[i].text;
    }
    EXPECT_EQ(probe.scene.ObjectCount(), c.solids);
    EXPECT_EQ(probe.Bodies(), c.solids);
    EXPECT_EQ(probe.Models(), c.solids);
}

const std::string kImportDir = Malformed("import.px").substr(0, Malformed("import.px").rfind('/') + 1);

INSTANTIATE_TEST_SUITE_P(
    Families, MalformedFile,
    ::testing::Values(
        MessageCase{"variables.px",
                    {{2, "variable name not given in <VAR> definition\n"},
                     {1, "variable size already defined, now rewritten\n"}},
                    0},
        MessageCase{"import.px",
                    {{2, "<IMPORT> element must have an <ID> element.\n"},
                     {2, "<IMPORT> element cannot have an <ID> containing a dot\n"},
                     {2, "<IMPORT> element must have an <NAME> element.\n"},
                     {2, "Imported file '" + kImportDir + "no_such_file.px' not found.\n"},
                     {2, "You tried to open '" + kImportDir +
                             "import.px' twice.\nCheck your <IMPORT> hierarchy for infinite recursion.\n"},
                     {2, "Cyclic import of file '" + kImportDir + "import.px'\n"},
                     {2, "Geometry 'no_shape' specified for solid 'third'is not created yet. Solid not created.\n"},
                     {1, "World specific data ignored, because it's not the top level file\n"}},
                    1},
        MessageCase{"geometries.px",
                    {{2, "Duplicate geometry ID 'ball' detected. Geometry not created.\n"},
                     {2, "Can't open triangle mesh from file './no_such_mesh.obj'\n"},
                     {2, "Can't open triangle mesh from file './torn.obj'\n"}},
                    0},
        MessageCase{"solids.px",
                    {{2, "A solid cannot have an <ID> of 'WORLD'.This is a reserved word. Solid not created.\n"},
                     {2, "Duplicate solid ID 'a' detected. Solid not created.\n"},
                     {1, "Invalid density specified for solid 'b'. Using default value.\n"},
                     {1, "Unknown material 'cheese' for solid 'b', using default material\n"},
                     {2, "Neither geometry nor parts specified for solid 'c'. Solid not created.\n"},
                     {2, "Geometry 'sphere' specified for solid 'd'is not created yet. Solid not created.\n"},
                     {1, "You have to supply an inertia tensor in order to use an COM offset for solid 'e'\n"},
                     {1, "GraphicsPrimitive 'star' specified for solid 'f' is not created yet. Using default.\n"},
                     {2, "Parse error in file '" + Malformed("solids.px") +
                             "': Solid 'nobody' referenced from solid 'g' is not created yet, using world "
                             "coordinates instead.\n"}},
                    5},
        MessageCase{"parts.px",
                    {{1, "Defined both geometry and parts for solid 'lump', using parts only!\n"},
                     {2, "No geometry specified for solid part of 'lump', part omitted.\n"},
                     {2, "Geometry 'pebble' specified for solid part of 'lump' is not created yet, part omitted.\n"},
                     {2, "No Transform specified for solid part of 'lump', part omitted.\n"},
                     {1, "GraphicsPrimitive 'star' specified for solid part of 'lump' is not created yet. Using "
                         "default.\n"},
                     {2, "Geometry 'pebble' specified for solid part of 'empty' is not created yet, part omitted.\n"},
                     {2, "No <PART>s specified for composite 'empty', solid not created\n"}},
                    1},
        MessageCase{"graphics.px",
                    {{2, "Duplicate graphics primitive 'pointer' detected. Graphics Primitive not created.\n"},
                     {2, "No graphics primitive specified for graphics 'label', not created.\n"},
                     {2, "GraphicsPrimitive 'star' specified for graphics 'sign' is not created yet, graphics not "
                         "created!\n"},
                     {1, "Neither joint nor solid 'nobody' referenced from graphics 'arrow' is created yet, using "
                         "world coordinates instead.\n"},
                     {2, "Duplicate graphics ID 'arrow' detected. Graphics not created.\n"}},
                    0},
        MessageCase{"transforms.px",
                    {{2, "Transform of object 'sheared' is not valid. POS, ROT, QUAT, EULER will override the "
                         "default (identity) transform.\n"},
                     {2, "Specified rotation matrix of object 'squashed' is not valid.\n"}},
                    2},
        MessageCase{"references.px",
                    {{1, "Solid 'nobody' of no-collision-pair is not defined yet, ignoring\n"},
                     {2, "Solid 'ghost' to be removed is not found\n"},
                     {2, "Object 'ghost' to be removed is not found\n"},
                     {2, "Joint 'hinge' to be removed is not found\n"},
                     {2, "Robot 'nobot' to be removed is not found\n"},
                     {1, "<CAMERA> skipped: no camera library is installed\n"}},
                    1}));

} // namespace
