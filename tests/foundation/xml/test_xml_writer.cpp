// The XML writer: exact lines and indentation, where lines go without a
// stream, refusal of text the reader could not read back, and round trips
// through the reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/foundation_test_support.h"
#include "kelmar/Px.h"
#include "test_xml_support.h"

namespace {

// A stream on a temporary file whose text can be read back.
class Output {
public:
    Output() : file_(std::tmpfile()), stream_(PxStreamCreate(file_)) {}
    ~Output()
    {
        PxStreamDestroy(stream_);
        if (file_ != nullptr) std::fclose(file_);
    }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    PxStream *stream() const { return stream_; }
    std::string text() const
    {
        std::fflush(file_);
        std::string all;
        long end = std::ftell(file_);
        std::rewind(file_);
        all.resize(static_cast<size_t>(end));
        size_t n = std::fread(&all[0], 1, all.size(), file_);
        all.resize(n);
        std::fseek(file_, 0, SEEK_END);
        return all;
    }

private:
    FILE *file_;
    PxStream *stream_;
};

// The writer's indentation is process-wide; each test starts from zero.
class IndentGuard {
public:
    IndentGuard() : indent_(PxXMLGetIndent()), top_(PxXMLGetTopLevelIndent())
    {
        PxXMLSetTopLevelIndent(0);
        PxXMLSetIndent(0);
    }
    ~IndentGuard()
    {
        PxXMLSetTopLevelIndent(0);
        PxXMLSetIndent(indent_);
        PxXMLSetTopLevelIndent(top_);
    }

private:
    int indent_;
    int top_;
};

} // namespace

TEST(XmlWriter, IndentsClampAtZeroAndLinesWithoutAStreamGoToTheInfoChannel)
{
    IndentGuard guard;
    PxXMLDeIndent();
    EXPECT_EQ(PxXMLGetIndent(), 0);
    PxXMLSetTopLevelIndent(2);
    PxXMLSetIndent(1);
    EXPECT_EQ(PxXMLGetIndent(), 3);
    PxXMLSetIndent(-5);
    EXPECT_EQ(PxXMLGetIndent(), 0);
    PxXMLSetTopLevelIndent(-1);
    EXPECT_EQ(PxXMLGetTopLevelIndent(), 0);

    // However long, a value is one whole line.
    Output out;
    const std::string value(5000, 'v');
    EXPECT_EQ(PxXMLWrite("LONG", out.stream(), "%s", value.c_str()), 1);
    EXPECT_EQ(PxXMLWriteAttrib("E", out.stream(), "", "%d", 3), 1);
    EXPECT_EQ(out.text(), "\t<LONG>" + value + "</LONG>\n\t<E>3</E>\n") << "no blank for an empty attribute";
    pxtest::MessageCapture capture;
    EXPECT_EQ(PxXMLWrite("A", nullptr, "%d", 1), 1);
    EXPECT_EQ(PxXMLWriteStartTag("B", nullptr), 1);
    std::vector<std::string> lines;
    for (const pxtest::ShownPiece &piece : capture.pieces())
        if (piece.channel == "info" && piece.text.rfind("PxInfo", 0) != 0) lines.push_back(piece.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"\t<A>1</A>\n", "<B>\n"}));
}

TEST(XmlWriter, TextTheReaderCouldNotReadBackIsRefusedWithAWarning)
{
    IndentGuard guard;
    pxtest::LevelGuard level(PxWarningLevel, 3);
    pxtest::MessageCapture capture;
    Output out;
    EXPECT_EQ(PxXMLWrite("V", out.stream(), "%s", "a<b"), 0);
    EXPECT_EQ(PxXMLWriteAttrib("V", out.stream(), "x=\">\"", "%d", 1), 0);
    EXPECT_EQ(PxXMLWriteStartTagAttrib("V", out.stream(), "%s", "a>"), 0);
    EXPECT_EQ(PxXMLWriteStartTag("TWO WORDS", out.stream()), 0);
    EXPECT_EQ(PxXMLWriteEndTag("", out.stream()), 0);
    EXPECT_EQ(PxXMLWriteEndTag(nullptr, out.stream()), 0);
    EXPECT_EQ(out.text(), "");
    std::string warnings = capture.joined("warning");
    EXPECT_NE(warnings.find("PxXMLWrite: value of <V> contains '<' or '>'.\n"), std::string::npos);
    EXPECT_NE(warnings.find("PxXMLWriteStartTag: invalid tag name 'TWO WORDS'.\n"), std::string::npos);
    EXPECT_NE(warnings.find("PxXMLWriteEndTag: invalid tag name '(null)'.\n"), std::string::npos);

    PxStream closed = {nullptr, nullptr};
    EXPECT_EQ(PxXMLWriteStartTag("A", &closed), 0);
    EXPECT_NE(capture.joined("warning").find("PxXMLWriteStartTag: invalid stream.\n"), std::string::npos);
}

namespace {

struct Body {
    char id[32];
    PxReal pos[3];
    PxReal mass;
    int enabled;
    unsigned int flags;
    float color[4];
    char names[2][16];
};

static_assert(sizeof(Body) == 32 + 3 * sizeof(PxReal) + sizeof(PxReal) + 2 * sizeof(int) + 4 * sizeof(float) + 32,
              "Body has no padding");

struct Loaded {
    std::vector<Body> bodies;
    char version[8];
};

Loaded *LoadedOf(PxXMLElement *element)
{
    return static_cast<Loaded *>(PxXMLInputGetUserData(element->input));
}

int ReadBody(PxXMLElement *element)
{
    Body body{};
    PxXMLHandler table[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(Body, id), sizeof body.id),
        PX_XML_VALUE("POS", PxXMLParsePxRealArray, offsetof(Body, pos), 3),
        PX_XML_VALUE("MASS", PxXMLParsePxReal, offsetof(Body, mass), 1),
        PX_XML_VALUE("ENABLED", PxXMLParseInt, offsetof(Body, enabled), 1),
        PX_XML_VALUE("FLAGS", PxXMLParseUInt, offsetof(Body, flags), 1),
        PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(Body, color), 4),
        PX_XML_STRINGS("NAMES", offsetof(Body, names), 2, 16),
        PX_XML_END,
    };
    int code = PxXMLElementProcess(element, table, &body);
    LoadedOf(element)->bodies.push_back(body);
    return code;
}

int ReadBodies(PxXMLElement *element)
{
    PxXMLHandler table[] = {PX_XML_ELEMENT("BODY", ReadBody), PX_XML_END};
    return PxXMLElementProcess(element, table, nullptr);
}

int ReadPx(PxXMLElement *element)
{
    Loaded *loaded = LoadedOf(element);
    if (element->attributes) std::sscanf(element->attributes, "file_format_version=\"%7[^\"]\"", loaded->version);
    PxXMLHandler table[] = {PX_XML_ELEMENT("BODIES", ReadBodies), PX_XML_END};
    return PxXMLElementProcess(element, table, nullptr);
}

void WriteBody(const Body &b, PxStream *s)
{
    PxXMLWriteStartTag("BODY", s);
    PxXMLIndent();
    PxXMLWriteAttrib("ID", s, "frame=\"b1\"", "%s", b.id);
    PxXMLWrite("POS", s, "%.17g, %.17g, %.17g", b.pos[0], b.pos[1], b.pos[2]);
    PxXMLWrite("MASS", s, "%.17g", b.mass);
    PxXMLWrite("ENABLED", s, "%d", b.enabled);
    PxXMLWrite("FLAGS", s, "0x%x", b.flags);
    PxXMLWrite("COLOR", s, "%.9g %.9g %.9g %.9g", b.color[0], b.color[1], b.color[2], b.color[3]);
    PxXMLWrite("NAMES", s, "%s, %s", b.names[0], b.names[1]);
    PxXMLDeIndent();
    PxXMLWriteEndTag("BODY", s);
}

} // namespace

TEST(XmlWriter, RandomBodiesWrittenAndReadBackAreBitForBitTheSame)
{
    IndentGuard guard;
    std::mt19937 rng(20261205);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Body> written(60);
    for (size_t i = 0; i < written.size(); ++i) {
        Body &b = written[i];
        std::snprintf(b.id, sizeof b.id, "body_%zu", i);
        for (PxReal &p : b.pos) p = real(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20);
        b.mass = std::fabs(real(rng));
        b.enabled = static_cast<int>(rng() % 2);
        b.flags = static_cast<unsigned int>(rng());
        for (float &c : b.color) c = unit(rng);
        std::snprintf(b.names[0], sizeof b.names[0], "link%u", static_cast<unsigned>(rng() % 1000));
        std::snprintf(b.names[1], sizeof b.names[1], "joint %02d", static_cast<int>(i % 100));
    }

    Output out;
    PxXMLWriteStartTagAttrib("PX", out.stream(), "file_format_version=\"%s\"", PxXMLGetVersion());
    PxXMLIndent();
    PxXMLWriteStartTag("BODIES", out.stream());
    PxXMLIndent();
    for (const Body &b : written) WriteBody(b, out.stream());
    PxXMLDeIndent();
    PxXMLWriteEndTag("BODIES", out.stream());
    PxXMLDeIndent();
    PxXMLWriteEndTag("PX", out.stream());
    EXPECT_EQ(PxXMLGetIndent(), 0);

    // One element per line; a value one tab deeper than the current indent.
    const std::string text = out.text();
    const std::string head = "<PX file_format_version=\"1.4\">\n\t<BODIES>\n\t\t<BODY>\n"
                             "\t\t\t\t<ID frame=\"b1\">body_0</ID>\n\t\t\t\t<POS>";
    const std::string tail = "</NAMES>\n\t\t</BODY>\n\t</BODIES>\n</PX>\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    pxtest::XmlDoc doc(text);
    Loaded loaded{};
    PxXMLInputSetUserData(doc.input(), &loaded);
    PxXMLHandler root[] = {PX_XML_ELEMENT("PX", ReadPx), PX_XML_END};
    EXPECT_EQ(doc.process(root), PX_XML_OK);
    EXPECT_EQ(doc.allText(), "");
    EXPECT_STREQ(loaded.version, "1.4");
    ASSERT_EQ(loaded.bodies.size(), written.size());
    // Both sides start zeroed and Body has no padding, so bytes compare.
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(0, std::memcmp(&written[i], &loaded.bodies[i], sizeof(Body))) << written[i].id;
}
