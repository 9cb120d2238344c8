// The XML writer: random documents written and read back bit for bit, with
// their exact lines and indentation, and refusal of text the reader could
// not read back.
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

using pxtest::WrittenText;

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
static_assert(sizeof(Body) == 32 + 4 * sizeof(PxReal) + 2 * sizeof(int) + 4 * sizeof(float) + 32, "no padding");

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
    static_cast<std::vector<Body> *>(PxXMLInputGetUserData(element->input))->push_back(body);
    return code;
}

// <PX> holds <BODIES>, which holds the <BODY> elements.
int ReadNested(PxXMLElement *element)
{
    PxXMLHandler px[] = {PX_XML_ELEMENT("BODIES", ReadNested), PX_XML_END};
    PxXMLHandler bodies[] = {PX_XML_ELEMENT("BODY", ReadBody), PX_XML_END};
    return PxXMLElementProcess(element, std::strcmp(element->name, "PX") == 0 ? px : bodies, nullptr);
}

} // namespace

TEST(XmlWriter, RandomBodiesWrittenAndReadBackAreBitForBitTheSame)
{
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
    FILE *file = std::tmpfile();
    PxStream *s = PxStreamCreate(file);
    PxXMLSetTopLevelIndent(0);
    PxXMLSetIndent(0);
    PxXMLWriteStartTagAttrib("PX", s, "file_format_version=\"%s\"", PxXMLGetVersion());
    PxXMLIndent();
    PxXMLWriteStartTag("BODIES", s);
    PxXMLIndent();
    for (const Body &b : written) {
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
    PxXMLDeIndent();
    PxXMLWriteEndTag("BODIES", s);
    PxXMLDeIndent();
    PxXMLDeIndent();
    EXPECT_EQ(PxXMLGetIndent(), 0) << "the indent stops at zero";
    PxXMLWriteEndTag("PX", s);
    // One element per line; a value one tab deeper than the current indent.
    const std::string text = WrittenText(file);
    PxStreamDestroy(s);
    std::fclose(file);
    const std::string head = "<PX file_format_version=\"1.4\">\n\t<BODIES>\n\t\t<BODY>\n"
                             "\t\t\t\t<ID frame=\"b1\">body_0</ID>\n\t\t\t\t<POS>";
    const std::string tail = "</NAMES>\n\t\t</BODY>\n\t</BODIES>\n</PX>\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    pxtest::XmlDoc doc(text);
    std::vector<Body> loaded;
    PxXMLInputSetUserData(doc.input(), &loaded);
    PxXMLHandler root[] = {PX_XML_ELEMENT("PX", ReadNested), PX_XML_END};
    EXPECT_EQ(doc.process(root), PX_XML_OK);
    EXPECT_EQ(doc.texts, "");
    ASSERT_EQ(loaded.size(), written.size());
    // Both sides start zeroed and Body has no padding, so bytes compare.
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(0, std::memcmp(&written[i], &loaded[i], sizeof(Body))) << written[i].id;
}

// However long, a value is one whole line; without a stream lines go to the
// info channel; text the reader could not read back is refused with a warning.
TEST(XmlWriter, LinesGoWholeToTheStreamOrTheInfoChannelAndUnreadableTextIsRefused)
{
    pxtest::MessageCapture capture;
    PxXMLSetTopLevelIndent(0);
    PxXMLSetIndent(0);
    FILE *file = std::tmpfile();
    PxStream *s = PxStreamCreate(file), closed = {nullptr, nullptr};
    const std::string value(5000, 'v');
    EXPECT_EQ(PxXMLWrite("LONG", s, "%s", value.c_str()), 1);
    EXPECT_EQ(PxXMLWriteAttrib("E", s, "", "%d", 3), 1);
    EXPECT_EQ(PxXMLWrite("A", nullptr, "%d", 1), 1);
    EXPECT_EQ(PxXMLWriteStartTag("B", nullptr), 1);
    const std::pair<int, const char *> refused[] = {
        {PxXMLWrite("V", s, "%s", "a<b"), "PxXMLWrite: value of <V> contains '<' or '>'.\n"},
        {PxXMLWriteAttrib("V", s, "x=\">\"", "%d", 1), "PxXMLWriteAttrib: attributes of <V> contain '<' or '>'.\n"},
        {PxXMLWriteStartTagAttrib("V", s, "%s", "a>"),
         "PxXMLWriteStartTagAttrib: attributes of <V> contain '<' or '>'.\n"},
        {PxXMLWriteStartTag("TWO WORDS", s), "PxXMLWriteStartTag: invalid tag name 'TWO WORDS'.\n"},
        {PxXMLWriteEndTag(nullptr, s), "PxXMLWriteEndTag: invalid tag name '(null)'.\n"},
        {PxXMLWriteEndTag("", s), "PxXMLWriteEndTag: invalid tag name ''.\n"},
        {PxXMLWriteStartTag("A", &closed), "PxXMLWriteStartTag: invalid stream.\n"},
    };
    for (const auto &r : refused) {
        EXPECT_EQ(r.first, 0) << r.second;
        EXPECT_NE(capture.joined("warning").find(r.second), std::string::npos) << r.second;
    }
    EXPECT_EQ(WrittenText(file), "\t<LONG>" + value + "</LONG>\n\t<E>3</E>\n") << "no blank for an empty attribute";
    const std::string info = capture.joined("info");
    EXPECT_TRUE(info.find("\t<A>1</A>\n") != std::string::npos && info.find("<B>\n") != std::string::npos) << info;
    // The indent is the top-level indent plus the current one, neither below zero.
    PxXMLSetTopLevelIndent(2);
    PxXMLSetIndent(1);
    EXPECT_EQ(PxXMLGetIndent(), 3);
    PxXMLSetIndent(-5);
    PxXMLSetTopLevelIndent(-1);
    EXPECT_EQ(PxXMLGetIndent() + PxXMLGetTopLevelIndent(), 0);
    PxStreamDestroy(s);
    std::fclose(file);
}
