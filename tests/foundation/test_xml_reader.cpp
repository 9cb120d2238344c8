// The XML reader: tags, attributes, comments, handler tables, structure
// errors with their exact messages, line and column, and the error handlers.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"
#include "test_xml_support.h"

using pxtest::XmlDoc;
using pxtest::XmlMessage;

namespace {

struct Body {
    char id[32];
    char attributes[64];
    int hadAttributes;
    PxReal pos[3];
    PxReal mass;
    int enabled;
};

struct Scene {
    Body bodies[4];
    int count;
    int skipped;
    std::vector<int> depths;
};

Scene *SceneOf(PxXMLElement *element) { return static_cast<Scene *>(PxXMLInputGetUserData(element->input)); }

int HandleBody(PxXMLElement *element)
{
    Scene *scene = SceneOf(element);
    if (scene->count == 4) return PX_XML_SKIP_ELEMENT;
    Body *body = &scene->bodies[scene->count++];
    std::memset(body, 0, sizeof *body);
    body->hadAttributes = element->attributes != nullptr;
    if (element->attributes) std::snprintf(body->attributes, sizeof body->attributes, "%s", element->attributes);
    scene->depths.push_back(element->depth);
    PxXMLHandler table[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(Body, id), sizeof body->id),
        PX_XML_VALUE("POS", PxXMLParsePxRealArray, offsetof(Body, pos), 3),
        PX_XML_VALUE("MASS", PxXMLParsePxReal, offsetof(Body, mass), 1),
        PX_XML_VALUE("ENABLED", PxXMLParseInt, offsetof(Body, enabled), 1),
        PX_XML_END,
    };
    return PxXMLElementProcess(element, table, body);
}

int HandleSkipped(PxXMLElement *element)
{
    ++SceneOf(element)->skipped;
    return PX_XML_SKIP_ELEMENT;
}

PxXMLHandler bodiesTable[] = {PX_XML_ELEMENT("BODY", HandleBody), PX_XML_ELEMENT("LATER", HandleSkipped),
                              PX_XML_END};

int HandleBodies(PxXMLElement *element) { return PxXMLElementProcess(element, bodiesTable, nullptr); }

PxXMLHandler pxTable[] = {PX_XML_ELEMENT("BODIES", HandleBodies), PX_XML_ELEMENT("JOINTS", HandleBodies),
                          PX_XML_END};

int HandlePx(PxXMLElement *element) { return PxXMLElementProcess(element, pxTable, nullptr); }

PxXMLHandler rootTable[] = {PX_XML_ELEMENT("PX", HandlePx), PX_XML_END};

void ResetTable(PxXMLHandler *table)
{
    for (PxXMLHandler *h = table; h->type != PX_XML_END_OF_TABLE; ++h) h->wasCalled = h->error = 0;
}

int ProcessScene(XmlDoc &doc, Scene *scene)
{
    PxXMLInputSetUserData(doc.input(), scene);
    ResetTable(rootTable);
    ResetTable(pxTable);
    ResetTable(bodiesTable);
    return doc.process(rootTable);
}

// <PX> with <V> real values, and <C> containers whose children are unknown.
struct Values {
    PxReal v;
    int count;
};

int ParseCountedReal(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    ++static_cast<Values *>(userData)->count;
    return PxXMLParsePxReal(input, entry, userData);
}

int HandleOpaque(PxXMLElement *element)
{
    PxXMLHandler none[] = {PX_XML_END};
    return PxXMLElementProcess(element, none, nullptr);
}

PxXMLHandler valuesTable[] = {PX_XML_VALUE("V", ParseCountedReal, offsetof(Values, v), 1),
                              PX_XML_ELEMENT("C", HandleOpaque), PX_XML_END};

int HandleValues(PxXMLElement *element)
{
    return PxXMLElementProcess(element, valuesTable, PxXMLInputGetUserData(element->input));
}

PxXMLHandler valuesRoot[] = {PX_XML_ELEMENT("PX", HandleValues), PX_XML_END};

int ProcessValues(XmlDoc &doc, Values *values)
{
    PxXMLInputSetUserData(doc.input(), values);
    ResetTable(valuesRoot);
    ResetTable(valuesTable);
    return doc.process(valuesRoot);
}

std::string Describe(const XmlMessage &m)
{
    return std::to_string(m.severity) + "/" + std::to_string(m.code) + " " + std::to_string(m.line) + ":" +
           std::to_string(m.column) + " " + m.text;
}

std::vector<std::string> DescribeAll(const XmlDoc &doc)
{
    std::vector<std::string> all;
    for (const XmlMessage &m : doc.messages()) all.push_back(Describe(m));
    return all;
}

}  // namespace

TEST(XmlReader, HandlerTablesFillStructureFieldsAndCallElementFunctions)
{
    XmlDoc doc("<?xml version=\"1.0\"?>\n"
               "<!DOCTYPE PX SYSTEM \"px.dtd\">\n"
               "<PX>\n"
               "  <BODIES>\n"
               "    <BODY  first body  >\n"
               "      <ID> arm </ID>\n"
               "      <POS>1, 2.5, -3</POS>\n"
               "      <MASS>2</MASS>\n"
               "    </BODY>\n"
               "    <BODY>\n"
               "      <ENABLED>1</ENABLED>\n"
               "      <MASS>0.5</MASS>\n"
               "    </BODY>\n"
               "    <LATER><BODY><MASS>9</MASS></BODY></LATER>\n"
               "  </BODIES>\n"
               "</PX>\n");
    Scene scene{};
    EXPECT_EQ(ProcessScene(doc, &scene), PX_XML_OK);
    EXPECT_TRUE(doc.messages().empty()) << doc.allText();
    ASSERT_EQ(scene.count, 2);
    EXPECT_STREQ(scene.bodies[0].id, "arm");
    EXPECT_STREQ(scene.bodies[0].attributes, "first body");
    EXPECT_EQ(scene.bodies[0].pos[0], 1.0);
    EXPECT_EQ(scene.bodies[0].pos[1], 2.5);
    EXPECT_EQ(scene.bodies[0].pos[2], -3.0);
    EXPECT_EQ(scene.bodies[0].mass, 2.0);
    EXPECT_EQ(scene.bodies[1].hadAttributes, 0);
    EXPECT_EQ(scene.bodies[1].enabled, 1);
    EXPECT_EQ(scene.bodies[1].mass, 0.5);
    // The skipped element's BODY was never handed to HandleBody.
    EXPECT_EQ(scene.skipped, 1);
    EXPECT_EQ(scene.depths, (std::vector<int>{3, 3}));
    EXPECT_EQ(PxXMLHandlerWasCalled(rootTable, "PX"), 1);
    EXPECT_EQ(PxXMLHandlerWasCalled(pxTable, "BODIES"), 1);
    EXPECT_EQ(PxXMLHandlerWasCalled(pxTable, "JOINTS"), 0);
    EXPECT_EQ(PxXMLHandlerWasCalled(pxTable, "NOT_THERE"), 0);
    EXPECT_EQ(PxXMLHandlerGetError(bodiesTable, "LATER"), PX_XML_OK);
}

TEST(XmlReader, SelfClosingElementsHaveNoContentAndNeedNoClosingTag)
{
    XmlDoc doc("<PX><BODIES><BODY box/><BODY/><BODY><MASS/></BODY></BODIES></PX>");
    Scene scene{};
    EXPECT_EQ(ProcessScene(doc, &scene), PX_XML_OK);
    ASSERT_EQ(scene.count, 3);
    EXPECT_STREQ(scene.bodies[0].attributes, "box");
    EXPECT_EQ(scene.bodies[1].hadAttributes, 0);
    // An empty value is reported like any missing number.
    EXPECT_EQ(DescribeAll(doc), (std::vector<std::string>{"2/2 1:44 Expected PxReal, found \n"}));
}

TEST(XmlReader, CommentsAndProcessingInstructionsAreSkippedEverywhere)
{
    XmlDoc doc("<!-- header <!-- nested --> still in the header -->\n"
               "<?xml version=\"1.0\"?>\n"
               "<PX>\n"
               "<?app some instruction?>\n"
               "<!-- <V>99</V> -->\n"
               "<V>4<!-- a comment inside the value -->2</V>\n"
               "</PX>\n");
    Values values{};
    EXPECT_EQ(ProcessValues(doc, &values), PX_XML_OK);
    EXPECT_TRUE(doc.messages().empty()) << doc.allText();
    EXPECT_EQ(values.count, 1);
    EXPECT_EQ(values.v, 42.0);
}

TEST(XmlReader, UnknownTagIsSkippedWholeWithNestedNamesakesAndSiblingsStillRead)
{
    XmlDoc doc("<PX>\n"
               "  <EXTRA><EXTRA><V>1</V></EXTRA><EXTRA/><V>2</V></EXTRA>\n"
               "  <V>3</V>\n"
               "</PX>\n");
    Values values{};
    EXPECT_EQ(ProcessValues(doc, &values), PX_XML_OK);
    EXPECT_EQ(DescribeAll(doc), (std::vector<std::string>{"1/5 2:10 unknown tag 'EXTRA'\n"}));
    EXPECT_EQ(values.count, 1);
    EXPECT_EQ(values.v, 3.0);
}

TEST(XmlReader, StructureErrorsReportExactMessagesWithLineAndColumn)
{
    struct Case {
        const char *text;
        int result;
        std::vector<std::string> messages;
        int values;  // <V> values parsed
    };
    const Case cases[] = {
        // A '>' in element text; the read value is dropped, the rest goes on.
        {"<PX>\n  <V>1>2</V>\n  <V>5</V>\n</PX>", PX_XML_OK, {"2/1 2:8 unexpected '>'\n"}, 2},
        // A closing tag that closes something else ends the element.
        {"<PX>\n<C>\n</B>\n</PX>", PX_XML_OK, {"2/1 3:5 closing tag B doesn't match opening tag C\n"}, 0},
        // A stray closing tag at the top level.
        {"<PX></PX>\n</PX>", PX_XML_STRUCTURE_ERROR, {"2/1 2:6 unexpected closing tag, found PX\n"}, 0},
        // The tag after a value is not its closing tag: skip to the parent's end.
        {"<PX>\n<V>1<C></C></V>\n<V>2</V>\n</PX>\n<PX><V>7</V></PX>",
         PX_XML_OK,
         {"2/1 2:8 closing tag C does not match opening tag V\n"},
         2},
        // The value's element is opened again: the second one is read too.
        {"<PX><V>1<V>2</V></PX>", PX_XML_OK, {"2/1 1:12 closing tag V does not match opening tag V\n"}, 2},
        // The parent closes right after the value.
        {"<PX><V>1</PX><PX><V>3</V></PX>", PX_XML_OK,
         {"2/1 1:14 closing tag /PX does not match opening tag V\n"}, 2},
        // End of file inside a tag, a comment and an element.
        {"<PX><V>1</V", PX_XML_END_OF_FILE,
         {"2/1 1:12 found EOF inside tag\n"},
         1},
        {"<PX>\n<!-- never closed\n", PX_XML_END_OF_FILE,
         {"2/1 3:1 found EOF in comment\n"}, 0},
        {"<PX>\n<V>1</V>\n", PX_XML_END_OF_FILE, {"2/3 3:1 found EOF, missing closing tag </PX>\n"}, 1},
        // A '<' inside a tag: the '>' was forgotten.
        {"<PX>\n<V 1\n<V>2</V></PX>", PX_XML_STRUCTURE_ERROR,
         {"2/1 3:1 unexpected '<' inside tag\n", "1/5 3:4 unknown tag 'V'\n",
          "2/1 3:14 unexpected closing tag, found PX\n"},
         0},
        // A tag without a name.
        {"<PX>< V>2</V></PX>", PX_XML_STRUCTURE_ERROR,
         {"2/1 1:9 missing tag name in < V>\n", "2/1 1:14 closing tag V doesn't match opening tag PX\n",
          "2/1 1:19 unexpected closing tag, found PX\n"},
         0},
    };
    for (const Case &c : cases) {
        XmlDoc doc(c.text);
        Values values{};
        EXPECT_EQ(ProcessValues(doc, &values), c.result) << c.text;
        EXPECT_EQ(DescribeAll(doc), c.messages) << c.text;
        EXPECT_EQ(values.count, c.values) << c.text;
    }
}

TEST(XmlReader, NullBytesInTagsAndTextAreReportedNotTruncated)
{
    const std::string inTag("<PX><V\0>1</V></PX>", 19);
    const std::string inText("<PX><V>1\0 2</V><V>3</V></PX>", 29);
    {
        XmlDoc doc(inTag);
        Values values{};
        ProcessValues(doc, &values);
        ASSERT_FALSE(doc.messages().empty());
        EXPECT_EQ(Describe(doc.messages()[0]), "2/1 1:8 unexpected null character\n");
        EXPECT_EQ(values.count, 0);
    }
    {
        XmlDoc doc(inText);
        Values values{};
        EXPECT_EQ(ProcessValues(doc, &values), PX_XML_OK);
        EXPECT_EQ(DescribeAll(doc), (std::vector<std::string>{"2/1 1:10 unexpected null character\n"}));
        // The damaged value is not stored; the next one is.
        EXPECT_EQ(values.count, 2);
        EXPECT_EQ(values.v, 3.0);
    }
}
