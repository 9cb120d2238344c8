// The XML reader: tags, attributes, comments, handler tables, structure
// errors with their exact messages, line and column, and the error handlers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/foundation_test_support.h"
#include "kelmar/Px.h"
#include "test_xml_support.h"

using pxtest::XmlDoc;

namespace {

// <PX> with <V> real values, <C> containers of more of them (their
// attributes and depth recorded), <SKIP> elements skipped by their handler
// and <N> elements nested in one another (the deepest depth recorded).
struct Values {
    PxReal v;
    int count;
    std::string seen;
    int deepest;
};

int ParseCountedReal(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    ++static_cast<Values *>(userData)->count;
    return PxXMLParsePxReal(input, entry, userData);
}

int HandleNested(PxXMLElement *element)
{
    static PxXMLHandler nested[] = {PX_XML_ELEMENT("N", HandleNested), PX_XML_END};
    Values *values = static_cast<Values *>(PxXMLInputGetUserData(element->input));
    values->deepest = std::max(values->deepest, element->depth);
    return PxXMLElementProcess(element, nested, nullptr);
}

int HandleContainer(PxXMLElement *element);
int HandleSkip(PxXMLElement *element)
{
    static_cast<Values *>(PxXMLInputGetUserData(element->input))->seen += "S ";
    return PX_XML_SKIP_ELEMENT;
}

PxXMLHandler valuesTable[] = {PX_XML_VALUE("V", ParseCountedReal, offsetof(Values, v), 1),
                              PX_XML_ELEMENT("C", HandleContainer), PX_XML_ELEMENT("SKIP", HandleSkip),
                              PX_XML_ELEMENT("N", HandleNested), PX_XML_END};

int HandleContainer(PxXMLElement *element)
{
    Values *values = static_cast<Values *>(PxXMLInputGetUserData(element->input));
    values->seen += "C[" + std::string(element->attributes ? element->attributes : "-") + "]" +
                    std::to_string(element->depth) + " ";
    return PxXMLElementProcess(element, valuesTable, values);
}

int HandleValues(PxXMLElement *element)
{
    return PxXMLElementProcess(element, valuesTable, PxXMLInputGetUserData(element->input));
}

PxXMLHandler valuesRoot[] = {PX_XML_ELEMENT("PX", HandleValues), PX_XML_END};

void ResetTable(PxXMLHandler *table)
{
    for (PxXMLHandler *h = table; h->type != PX_XML_END_OF_TABLE; ++h) h->wasCalled = h->error = 0;
}

int ProcessValues(XmlDoc &doc, Values *values)
{
    PxXMLInputSetUserData(doc.input(), values);
    ResetTable(valuesRoot);
    ResetTable(valuesTable);
    return doc.process(valuesRoot);
}

} // namespace

TEST(XmlReader, DocumentsGiveTheirValuesAndExactMessagesWithLineAndColumn)
{
    std::string refills = "<PX>\n", deep;
    for (int i = 0; i < 300; ++i) deep = "<N>" + deep + "</N>";
    for (int i = 0; i < 700; ++i) refills += "<V>" + std::to_string(i) + "</V>\n"; // well past 4096 bytes
    // outcome: the code returned / the code recorded for <PX>, how many <V> were parsed, the last value
    // stored, and the containers and skipped elements met.
    struct Case {
        std::string text, outcome, messages; // messages as severity/code line:column text
    };
    const Case cases[] = {
        // Self-closing elements have no content and need no closing tag;
        // attributes are trimmed; a skipped element's children are not read;
        // an empty value is reported like any missing number.
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE PX SYSTEM \"px.dtd\">\n<PX>\n<C  first body  /><C/>\n"
         "<C><C><V/></C><SKIP><V>9</V></SKIP></C></PX>",
         "0/0 1 0 C[first body]2 C[-]2 C[-]2 C[-]3 S ", "2/2 5:11 Expected PxReal, found \n"},
        // Comments (nested ones too) and processing instructions are
        // skipped everywhere, even inside a value.
        {"<!-- header <!-- nested --> still in the header -->\n<?xml version=\"1.0\"?>\n<PX>\n"
         "<?app some instruction?>\n<!-- <V>99</V> -->\n<V>4<!-- a comment inside the value -->2</V>\n</PX>\n",
         "0/0 1 42 ", ""},
        // An unknown tag is skipped whole, with nested namesakes; siblings are read.
        {"<PX>\n  <EXTRA><EXTRA><V>1</V></EXTRA><EXTRA/><V>2</V></EXTRA>\n  <V>3</V>\n</PX>\n", "0/0 1 3 ",
         "1/5 2:10 unknown tag 'EXTRA'\n"},
        // A '>' in element text; the read value is dropped, the rest goes on.
        {"<PX>\n  <V>1>2</V>\n  <V>5</V>\n</PX>", "0/0 2 5 ", "2/1 2:8 unexpected '>'\n"},
        // A closing tag that closes something else ends the element.
        {"<PX>\n<C>\n</B>\n</PX>", "0/0 0 0 C[-]2 ", "2/1 3:5 closing tag B doesn't match opening tag C\n"},
        {"<PX></PX>\n</PX>", "1/0 0 0 ", "2/1 2:6 unexpected closing tag, found PX\n"},
        // The tag after a value is not its closing tag: skip to the parent's end.
        {"<PX>\n<V>1<C></C></V>\n<V>2</V>\n</PX>\n<PX><V>7</V></PX>", "0/0 2 7 ",
         "2/1 2:8 closing tag C does not match opening tag V\n"},
        // The value's element is opened again: the second one is read too.
        {"<PX><V>1<V>2</V></PX>", "0/0 2 2 ", "2/1 1:12 closing tag V does not match opening tag V\n"},
        {"<PX><V>1</PX><PX><V>3</V></PX>", "0/0 2 3 ", "2/1 1:14 closing tag /PX does not match opening tag V\n"},
        // End of file inside a tag, a comment and an element.
        {"<PX><V>1</V", "3/1 1 1 ", "2/1 1:12 found EOF inside tag\n"},
        {"<PX>\n<!-- never closed\n", "3/1 0 0 ", "2/1 3:1 found EOF in comment\n"},
        {"<PX>\n<V>1</V>\n", "3/3 1 1 ", "2/3 3:1 found EOF, missing closing tag </PX>\n"},
        // A '<' inside a tag (the '>' was forgotten), and a tag without a name.
        {"<PX>\n<V 1\n<V>2</V></PX>", "1/1 0 0 ",
         "2/1 3:1 unexpected '<' inside tag\n1/5 3:4 unknown tag 'V'\n2/1 3:14 unexpected closing tag, found PX\n"},
        {"<PX>< V>2</V></PX>", "1/1 0 0 ",
         "2/1 1:9 missing tag name in < V>\n2/1 1:14 closing tag V doesn't match opening tag PX\n"
         "2/1 1:19 unexpected closing tag, found PX\n"},
        // Null bytes in a tag and in text are reported, not taken as ends.
        {std::string("<PX><V\0>1</V></PX>", 19), "1/1 0 0 ",
         "2/1 1:8 unexpected null character\n2/1 1:14 unexpected closing tag, found V\n"},
        {std::string("<PX><V>1\0 2</V><V>3</V></PX>", 29), "0/0 2 3 ", "2/1 1:10 unexpected null character\n"},
        // Overlong text and tags are refused; after text the next value is read.
        {"<PX><V>" + std::string(2000, '1') + "</V><V>5</V></PX>", "0/0 2 5 ",
         "2/4 1:1032 internal error: buffer overflow (data too long)\n"},
        {"<PX><" + std::string(300, 'A') + ">1</A></PX>", "1/4 0 0 ",
         "2/4 1:262 internal error: buffer overflow (tag too long)\n2/1 1:312 unexpected closing tag, found A\n"},
        // Nesting deeper than the limit is skipped whole.
        {"<PX>" + deep + "<N></N></PX>", "0/0 0 0 N200", "2/4 1:605 elements nested deeper than 200 levels\n"},
        // Lines and columns stay right across buffer refills.
        {refills + "  <V>7>8</V>\n</PX>\n", "0/0 701 699 ", "2/1 702:8 unexpected '>'\n"},
    };
    for (const Case &c : cases) {
        XmlDoc doc(c.text);
        Values values{};
        const int code = ProcessValues(doc, &values);
        std::ostringstream outcome;
        outcome << code << "/" << PxXMLHandlerGetError(valuesRoot, "PX") << " " << values.count << " " << values.v
                << " " << values.seen << (values.deepest ? "N" + std::to_string(values.deepest) : "");
        EXPECT_EQ(outcome.str(), c.outcome) << c.text;
        EXPECT_EQ(doc.described, c.messages) << c.text;
    }
}

TEST(XmlReader, BadArgumentsTablesAndFailedAllocationsAreRefused)
{
    pxtest::MessageCapture capture;
    EXPECT_EQ(PxXMLInputCreate(nullptr), nullptr);
    EXPECT_EQ(PxXMLElementProcess(nullptr, nullptr, nullptr), PX_XML_LIMIT);
    EXPECT_EQ(PxXMLInputProcess(nullptr, nullptr), PX_XML_LIMIT);
    EXPECT_EQ(PxXMLHandlerWasCalled(nullptr, "A"), 0);
    // A table entry without a function is reported and its element skipped;
    // with no table every element is unknown.
    XmlDoc doc("<A>1</A>"), other("<A>1</A>");
    PxXMLHandler noFunction[] = {{"A", PX_XML_VALUE_HANDLER, nullptr, 0, 1, 0, 0, 0, nullptr}, PX_XML_END};
    EXPECT_EQ(doc.process(noFunction), PX_XML_OK);
    EXPECT_EQ(doc.texts, "no handler function for tag 'A'\n");
    EXPECT_EQ(other.process(nullptr), PX_XML_OK);
    EXPECT_EQ(other.texts, "unknown tag 'A'\n");
    // A handler entry owns a copy of its name.
    pxtest::CountingAllocator allocator;
    PxXMLHandler entry;
    char name[] = "SOLID";
    ASSERT_EQ(PxXMLElementHandlerCreate(&entry, name, HandleValues), 1);
    name[0] = 'X';
    EXPECT_STREQ(entry.name, "SOLID");
    PxXMLElementHandlerDestroy(&entry);
    EXPECT_EQ(allocator.state().destroys, 1);
    allocator.failFromNowOn();
    EXPECT_EQ(PxXMLElementHandlerCreate(&entry, "SOLID", HandleValues), 0);
    FILE *file = std::tmpfile();
    PxStream *stream = PxStreamCreate(file);
    if (stream) {
        EXPECT_EQ(PxXMLInputCreate(stream), nullptr);
    }
    PxStreamDestroy(stream);
    std::fclose(file);
}

namespace {

std::vector<std::string> gOwnTexts;
int gPosts = 0;

int CountPost(void *, PxXMLElement *, void *)
{
    ++gPosts;
    return PX_XML_OK;
}

// Reads its own text, as a handler of <VAR name>value</VAR> does.
int ReadOwnText(PxXMLElement *element)
{
    char text[PX_XML_TEXT_SIZE];
    const int code = readToNextTag(element->input, text, sizeof text);
    gOwnTexts.push_back(text);
    return code != PX_XML_OK ? code : PxXMLElementProcess(element, nullptr, nullptr);
}

} // namespace

TEST(XmlReader, VariablesAreSubstitutedIntoElementText)
{
    XmlDoc doc("<L>len</L><P>len, arm_len, 3</P><H>0x10</H><S>x_pos !x !zero zero !seven !word !unknown</S>"
               "<S>big big</S><E/> text <E>3</E>");
    PxXMLInput *input = doc.input();
    const char *names[][2] = {{"len", "2.5"},  {"x", "5"},        {"zero", "0"},    {"seven", " 0x1A "},
                              {"word", "yes"}, {"arm_len", "4"},  {"arm_len", "1"}, // replaces
                              {"2bad", "1"},   {"bad-name", "1"}, {"", "1"},        {"ok", nullptr}};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(PxXMLInputSetVariable(input, names[i][0], names[i][1]), i < 7 ? 1 : 0) << i;
    EXPECT_EQ(PxXMLInputGetVariableCount(input), 6);
    PxXMLInputSetVariable(input, "big", std::string(600, 'b').c_str()); // outgrows the text buffer twice
    EXPECT_STREQ(PxXMLInputGetVariable(input, "arm_len"), "1");
    EXPECT_EQ(PxXMLInputGetVariable(input, "arm"), nullptr);

    struct Out {
        PxReal l;
        PxReal p[3];
        int h;
        char s[128];
    } out{};
    PxXMLHandler table[] = {
        PX_XML_VALUE("L", PxXMLParsePxReal, offsetof(Out, l), 1),
        PX_XML_VALUE("P", PxXMLParsePxRealArray, offsetof(Out, p), 3),
        PX_XML_VALUE("H", PxXMLParseInt, offsetof(Out, h), 1),
        PX_XML_VALUE("S", PxXMLParseString, offsetof(Out, s), sizeof out.s),
        PX_XML_ELEMENT("E", ReadOwnText),
        PX_XML_END,
    };
    PxXMLElement root{};
    root.input = input;
    EXPECT_EQ(PxXMLElementProcess(&root, table, &out), PX_XML_OK);
    EXPECT_EQ(out.l, 2.5);
    EXPECT_EQ(std::vector<PxReal>(out.p, out.p + 3), (std::vector<PxReal>{2.5, 1.0, 3.0}));
    // The x of 0x10 is part of a number, not the variable x.
    EXPECT_EQ(out.h, 16);
    EXPECT_STREQ(out.s, "x_pos 0 1 0 0 yes !unknown") << "the second <S> was refused";
    EXPECT_EQ(gOwnTexts, (std::vector<std::string>{"", "3"})) << "an empty element has no text of its own";
    // A post function runs only after a value that parsed.
    XmlDoc posted("<R>oops</R><R>2</R>");
    PxXMLHandler post[] = {PX_XML_VALUE_POST("R", PxXMLParsePxReal, 0, 1, CountPost), PX_XML_END};
    root.input = posted.input();
    EXPECT_EQ(PxXMLElementProcess(&root, post, &out.l), PX_XML_OK);
    EXPECT_EQ(gPosts, 1);
    EXPECT_EQ(out.l, 2.0);
    EXPECT_EQ(PxXMLHandlerGetError(table, "S"), PX_XML_LIMIT);
    EXPECT_EQ(doc.described, "1/0 1:88 variable value word = yes cannot be inverted\n"
                             "2/4 1:102 internal error: buffer overflow (data too long)\n");
}

// The default handler prints severity, line and column to its file and
// keeps the last message; the cumulating one collects every file's
// messages under its name, growing in whole steps.
TEST(XmlReader, TheGivenErrorHandlersPrintOrCollectSeverityLineAndColumn)
{
    FILE *out = std::tmpfile();
    XmlDoc doc("<PX>\n<V>1>2</V><W>3</W></PX>", false);
    PxXMLInputSetErrorHandler(doc.input(), PxXMLDefaultErrorHandler, out);
    Values values{};
    ProcessValues(doc, &values);
    PxXMLDefaultErrorHandler(doc.input(), PX_XML_PLAIN, 0, "plain %d\n", 7);
    EXPECT_EQ(pxtest::WrittenText(out),
              "Error in line 2, pos 6: unexpected '>'\nWarning in line 2, pos 14: unknown tag 'W'\nplain 7\n");
    std::fclose(out);
    PxXMLInputSetErrorHandler(doc.input(), nullptr, nullptr);
    EXPECT_EQ(doc.input()->errorHandlerData, static_cast<void *>(stderr));
    XmlDoc stray("<PX></PX></PX>", false);
    PxXMLInputSetErrorHandler(stray.input(), PxXMLDefaultErrorHandler, nullptr);
    EXPECT_EQ(ProcessValues(stray, &values), PX_XML_STRUCTURE_ERROR);
    EXPECT_STREQ(PxXMLInputGetErrorString(stray.input()), "unexpected closing tag, found PX\n");

    PxXMLErrorCollection collection;
    PxXMLErrorCollectionInit(&collection, 16);
    const char *files[] = {"a.px", "a.px", "b.px"}, *texts[] = {"<X/>", "<PX><V>1>2</V></PX>", "<PX>\n</Q></PX>"};
    for (int i = 0; i < 3; ++i) {
        XmlDoc one(texts[i], false);
        PxXMLInputSetErrorHandler(one.input(), PxXMLCummulatingErrorHandler, &collection);
        collection.fileName = files[i];
        ProcessValues(one, &values);
        EXPECT_TRUE(collection.capacity % 16 == 0 && collection.capacity > collection.length);
    }
    EXPECT_STREQ(collection.text, "in file \"a.px\":\n"
                                  "   Warning in line 1, pos 5: unknown tag 'X'\n"
                                  "   Error in line 1, pos 10: unexpected '>'\n"
                                  "in file \"b.px\":\n"
                                  "   Error in line 2, pos 5: closing tag Q doesn't match opening tag PX\n"
                                  "   Error in line 2, pos 10: unexpected closing tag, found PX\n");
    EXPECT_EQ(collection.length, static_cast<int>(std::strlen(collection.text)));
    PxXMLErrorCollectionTerm(&collection);
    EXPECT_EQ(collection.text, nullptr);
}

TEST(XmlReader, AnEmbeddedElementOfTheGivenNameIsReadAndAnyOtherRefusedUntouched)
{
    const char text[] = "  \n<ROBOT  arm >\n<V>1.5</V>\n</ROBOT>\nTAIL\n";
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::rewind(file);
    PxStream *stream = PxStreamCreate(file);

    // Another root name: nothing is consumed.
    EXPECT_EQ(CreateParser(stream, "CAMERA"), nullptr);
    EXPECT_EQ(std::ftell(file), 0L);

    PxXMLElement *robot = CreateParser(stream, "ROBOT");
    ASSERT_NE(robot, nullptr);
    EXPECT_STREQ(robot->name, "ROBOT");
    EXPECT_STREQ(robot->attributes, "arm");
    EXPECT_EQ(robot->depth, 1);
    Values values{};
    EXPECT_EQ(PxXMLElementProcess(robot, valuesTable, &values), PX_XML_OK);
    EXPECT_EQ(values.v, 1.5);
    DestroyParser(robot);
    PxStreamDestroy(stream);

    // An overlong tag is reported on stderr and nothing is consumed.
    std::rewind(file);
    std::fputs(("<ROBOT " + std::string(400, 'a') + ">").c_str(), file);
    std::rewind(file);
    stream = PxStreamCreate(file);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateParser(stream, "ROBOT"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error in line 1, pos 258: buffer overflow (tag too long)\n");
    EXPECT_EQ(std::ftell(file), 0L);
    PxStreamDestroy(stream);
    std::fclose(file);
}
