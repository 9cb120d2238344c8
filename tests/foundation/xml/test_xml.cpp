// The XML reader and writer: tags, attributes, comments, handler tables,
// structure errors with their exact messages, line and column, and the error
// handlers; every value parser on good and bad values (one table of texts with
// the code, the exact messages and what is or is not stored); random documents
// written and read back bit for bit, with their exact lines and indentation,
// and refusal of text the reader could not read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::WrittenText;

namespace {

// A document in memory with an input reading it. Unless told not to, the
// input's messages are recorded, as their texts alone and as
// "severity/code line:column text".
class XmlDoc {
public:
    explicit XmlDoc(const std::string &text, bool record = true)
        : text_(text), stream_(PxStreamOpenMemory("doc.px", text_.data(), text_.size())),
          input_(PxXMLInputCreate(stream_))
    {
        if (input_ != nullptr && record) PxXMLInputSetErrorHandler(input_, Record, this);
    }
    ~XmlDoc()
    {
        PxXMLInputDestroy(input_);
        PxStreamClose(stream_);
    }
    PxXMLInput *input() const { return input_; }
    int process(PxXMLHandler *handlers) { return PxXMLInputProcess(input_, handlers); }
    // Runs table over the document's top level, as an element's handler does.
    int processElements(PxXMLHandler *table, void *out)
    {
        PxXMLElement root{};
        root.input = input_;
        return PxXMLElementProcess(&root, table, out);
    }
    std::string texts, described;

private:
    static int Record(PxXMLInput *input, int severity, int code, const char *format, ...)
    {
        char text[PX_XML_ERROR_STRING_SIZE];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        XmlDoc *doc = static_cast<XmlDoc *>(input->errorHandlerData);
        doc->texts += text;
        doc->described += std::to_string(severity) + "/" + std::to_string(code) + " " + std::to_string(input->line) +
                          ":" + std::to_string(input->column) + " " + text;
        return code;
    }
    std::string text_;
    PxStream *stream_;
    PxXMLInput *input_;
};

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
    PxXMLInputSetVariable(input, "idle", "1");
    EXPECT_STREQ(PxXMLInputGetVariable(input, "idle"), "1") << "a look-up is not a use";

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
    EXPECT_EQ(doc.processElements(table, &out), PX_XML_OK);
    EXPECT_EQ(out.l, 2.5);
    EXPECT_EQ(std::vector<PxReal>(out.p, out.p + 3), (std::vector<PxReal>{2.5, 1.0, 3.0}));
    // The x of 0x10 is part of a number, not the variable x.
    EXPECT_EQ(out.h, 16);
    EXPECT_STREQ(out.s, "x_pos 0 1 0 0 yes !unknown") << "the second <S> was refused";
    for (const char *name : {"len", "x", "zero", "seven", "word", "arm_len"})
        EXPECT_EQ(PxXMLInputIsVariableUsed(input, name), 1) << name;
    for (const char *name : {"idle", "unknown", "x_pos", "arm"})
        EXPECT_EQ(PxXMLInputIsVariableUsed(input, name), 0) << name;
    PxXMLInputSetVariable(input, "len", "3");
    EXPECT_EQ(PxXMLInputIsVariableUsed(input, "len"), 0) << "a new value has not been used yet";
    EXPECT_EQ(gOwnTexts, (std::vector<std::string>{"", "3"})) << "an empty element has no text of its own";
    // A post function runs only after a value that parsed.
    XmlDoc posted("<R>oops</R><R>2</R>");
    PxXMLHandler post[] = {PX_XML_VALUE_POST("R", PxXMLParsePxReal, 0, 1, CountPost), PX_XML_END};
    EXPECT_EQ(posted.processElements(post, &out.l), PX_XML_OK);
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

namespace {

struct Result {
    int code;
    std::string messages;
};

// Reads "<V>text</V>" with one value entry storing at offset 0 of out.
Result Parse(PxXMLValueParser parser, const std::string &text, void *out, int count, int elementSize = 0)
{
    XmlDoc doc("<V>" + text + "</V>");
    PxXMLHandler table[] = {
        {"V", PX_XML_VALUE_HANDLER, reinterpret_cast<PxXMLFunction>(parser), 0, count, elementSize, 0, 0, nullptr},
        PX_XML_END,
    };
    EXPECT_EQ(doc.processElements(table, out), PX_XML_OK) << text;
    EXPECT_EQ(table[0].wasCalled, 1) << text;
    return {table[0].error, doc.texts};
}

int ColorNamed(const char *name, float rgba[4])
{
    if (std::strcmp(name, "red") != 0 && std::strcmp(name, "light blue") != 0) return 0;
    rgba[0] = name[0] == 'r' ? 1.0f : 0.5f;
    rgba[1] = 0.0f;
    rgba[2] = name[0] == 'r' ? 0.0f : 1.0f;
    return 1;
}

// What the parser stores into: ints, unsigned, reals, doubles, floats, one
// string of 8 bytes, strings of 8 bytes each, or a colour of 4 floats.
enum Kind { kInt, kUInt, kReal, kDouble, kFloat, kString, kStrings, kColor };

union Store {
    int ints[5];
    unsigned uints[5];
    PxReal reals[5];
    double doubles[5];
    float floats[5];
    char strings[5][8];
};

// Every slot starts as 9 (or "x"), so an untouched slot shows as such.
void Fill(Kind kind, Store &s)
{
    for (int i = 0; i < 5; ++i) {
        if (kind == kInt || kind == kUInt) s.ints[i] = 9;
        if (kind == kReal || kind == kDouble) s.reals[i] = 9.0;
        if (kind == kFloat || kind == kColor) s.floats[i] = 9.0f;
        if (kind == kString || kind == kStrings) std::strcpy(s.strings[i], "x");
    }
}

std::string Show(Kind kind, const Store &s, int count)
{
    std::string text;
    char one[32];
    const int shown = kind == kString ? 1 : kind == kColor ? 4 : count;
    for (int i = 0; i < shown; ++i) {
        if (kind == kInt) std::snprintf(one, sizeof one, "%d", s.ints[i]);
        if (kind == kUInt) std::snprintf(one, sizeof one, "%u", s.uints[i]);
        if (kind == kReal || kind == kDouble) std::snprintf(one, sizeof one, "%.17g", s.reals[i]);
        if (kind == kFloat || kind == kColor) std::snprintf(one, sizeof one, "%.9g", s.floats[i]);
        if (kind == kString || kind == kStrings) std::snprintf(one, sizeof one, "%.8s", s.strings[i]);
        const bool words = kind == kString || kind == kStrings;
        text += (i ? words ? "|" : " " : "") + std::string(one);
    }
    return text;
}

} // namespace

TEST(XmlValues, EveryParserStoresGoodValuesAndRefusesBadOnesWithItsMessage)
{
    struct Case {
        Kind kind;
        PxXMLValueParser parser;
        int count;
        const char *text;
        int code;
        const char *messages;
        const char *stored; // nullptr: a partial store left unchecked
    };
    const int ok = PX_XML_OK, bad = PX_XML_BAD_VALUE, limit = PX_XML_LIMIT;
    const Case cases[] = {
        // Integers follow C's base rules and refuse garbage and overflow.
        {kInt, PxXMLParseInt, 1, " 42 ", ok, "", "42"},
        {kInt, PxXMLParseInt, 1, "010", ok, "", "8"},
        {kInt, PxXMLParseInt, 1, "2147483647", ok, "", "2147483647"},
        {kInt, PxXMLParseInt, 1, "2147483648", bad, "expected int, found 2147483648\n", "9"},
        {kInt, PxXMLParseInt, 1, "12abc", bad, "found garbage after data\n", "9"},
        {kInt, PxXMLParseInt, 1, "08", bad, "found garbage after data\n", "9"}, // 8 is no octal digit
        {kInt, PxXMLParseInt, 1, " abc ", bad, "expected int, found abc\n", "9"},
        {kUInt, PxXMLParseUInt, 1, "4294967295", ok, "", "4294967295"},
        {kUInt, PxXMLParseUInt, 1, "0XfF", ok, "", "255"},
        {kUInt, PxXMLParseUInt, 1, "-1", bad, "expected unsigned int, found -1\n", "9"},
        {kUInt, PxXMLParseUInt, 1, "4294967296", bad, "expected unsigned int, found 4294967296\n", "9"},
        // Integer arrays take blanks or single commas and report short lists.
        {kInt, PxXMLParseIntArray, 3, " 1 ,2 ,\n3 ", ok, "", "1 2 3"},
        {kInt, PxXMLParseIntArray, 3, "1 2 3 4 5", ok, "", "1 2 3"},
        {kInt, PxXMLParseIntArray, 3, "1,,2,3", bad, "int array data invalid\n", nullptr},
        {kInt, PxXMLParseIntArray, 3, "1 2 3x", bad, "int array data invalid\n", nullptr},
        {kInt, PxXMLParseIntArray, 3, "1 0x2", bad, "expected 3 ints, found 2\n", "1 2 9"},
        {kUInt, PxXMLParseUIntArray, 2, "1 -2", bad, "unsigned int array data invalid\n", nullptr},
        {kUInt, PxXMLParseUIntArray, 2, "7", bad, "expected 2 ints, found 1\n", nullptr},
        {kUInt, PxXMLParseUIntArray, 2, "4294967295,010", ok, "", "4294967295 8"},
        // Reals take blanks and degrees (Latin-1 byte, or UTF-8 after a
        // blank) and refuse units and values that are not finite.
        {kReal, PxXMLParsePxReal, 1, "  2.5\n ", ok, "", "2.5"},
        {kReal, PxXMLParsePxReal, 1, "90\xB0", ok, "", "1.5707963267948966"},
        {kDouble, PxXMLParseDouble, 1, "90 \xC2\xB0", ok, "", "1.5707963267948966"},
        {kFloat, PxXMLParseFloat, 1, "0.1", ok, "", "0.100000001"},
        {kReal, PxXMLParsePxReal, 1, "1.5 m", bad, "found garbage after data\n", "9"},
        {kReal, PxXMLParsePxReal, 1, "one", bad, "Expected PxReal, found one\n", "9"},
        {kDouble, PxXMLParseDouble, 1, "one", bad, "Expected double, found one\n", "9"},
        {kFloat, PxXMLParseFloat, 1, "one", bad, "Expected float, found one\n", "9"},
        {kReal, PxXMLParsePxReal, 1, "1e999", bad, "Expected PxReal, found 1e999\n", "9"},
        {kReal, PxXMLParsePxReal, 1, "nan", bad, "Expected PxReal, found nan\n", "9"},
        {kFloat, PxXMLParseFloat, 1, "1e39", bad, "Expected float, found 1e39\n", "9"},
        // Real arrays honour degrees after each value and name their type.
        {kReal, PxXMLParsePxRealArray, 3, "90\xB0, 0, 180\xB0", ok, "", "1.5707963267948966 0 3.1415926535897931"},
        {kReal, PxXMLParsePxRealArray, 3, "1,,2,3", bad, "PxReal array data invalid\n", nullptr},
        {kDouble, PxXMLParseDoubleArray, 2, "1 x", bad, "double array data invalid\n", nullptr},
        {kDouble, PxXMLParseDoubleArray, 2, "", bad, "expected 2 doubles, found 0\n", nullptr},
        {kFloat, PxXMLParseFloatArray, 4, "0.5 0.25 0.125 1 2", ok, "", "0.5 0.25 0.125 1"},
        {kFloat, PxXMLParseFloatArray, 4, "1 1e40 0 0", bad, "float array data invalid\n", nullptr},
        {kFloat, PxXMLParseFloatArray, 4, "1 2 3", bad, "expected 4 floats, found 3\n", nullptr},
        // The exact parsers of the scene files refuse values beyond their
        // count after storing the first ones.
        {kReal, PxXMLParsePxRealArrayExact, 3, " 1 2 3 ", ok, "", "1 2 3"},
        {kReal, PxXMLParsePxRealArrayExact, 3, "1, 2, 3, 4", bad, "expected 3 PxReals, found more\n", "1 2 3"},
        {kReal, PxXMLParsePxRealArrayExact, 3, "1 2", bad, "expected 3 PxReals, found 2\n", nullptr},
        {kInt, PxXMLParseIntArrayExact, 3, "1,2,3,4", bad, "expected 3 ints, found more\n", nullptr},
        {kStrings, PxXMLParseStringArrayExact, 3, "a, b,c", ok, "", "a|b|c"},
        {kStrings, PxXMLParseStringArrayExact, 3, "a,b,c,d", bad, "expected 3 strings, found more\n", nullptr},
        // Strings are trimmed and must fit their 8-byte buffers.
        {kString, PxXMLParseString, 8, "  a  b  \n", ok, "", "a  b"},
        {kString, PxXMLParseString, 8, "1234567", ok, "", "1234567"},
        {kString, PxXMLParseString, 8, "12345678", limit, "string data greater than max of 7\n", "x"},
        {kStrings, PxXMLParseStringArray, 3, " arm , base,tool ", ok, "", "arm|base|tool"},
        {kStrings, PxXMLParseStringArray, 3, "p, q", bad, "expected 3 strings, found 2\n", "p|q|x"},
        {kStrings, PxXMLParseStringArray, 3, "a, 12345678, c", bad, "string data greater than max of 7\n", nullptr},
        // Colours are names with an optional alpha, or three to four numbers
        // in [0, 1]; alpha is 1 unless given and the count is 4.
        {kColor, PxXMLParseColor, 4, "red", ok, "", "1 0 0 1"},
        {kColor, PxXMLParseColor, 4, " light blue , 0.25", ok, "", "0.5 0 1 0.25"},
        {kColor, PxXMLParseColor, 3, "red, 0.25", ok, "", "1 0 0 1"},
        {kColor, PxXMLParseColor, 4, "0.25 0.5 0.75", ok, "", "0.25 0.5 0.75 1"},
        {kColor, PxXMLParseColor, 3, "0.25 0.5 0.75 0.5", ok, "", "0.25 0.5 0.75 1"},
        {kColor, PxXMLParseColor, 4, "purple", bad, "color name unknown\n", nullptr},
        {kColor, PxXMLParseColor, 4, "red, x", bad, "color data invalid\n", nullptr},
        {kColor, PxXMLParseColor, 4, "0.5 0.5", bad, "only 2 from 3 values specified for RGB color\n", nullptr},
        {kColor, PxXMLParseColor, 4, "1.5 0 -0.5", bad,
         "invalid color value 1.500000 (only [0..1])\ninvalid color value -0.500000 (only [0..1])\n", "-1 0 -1 1"},
    };
    const PxXMLColorLookup old = PxXMLSetColorLookup(ColorNamed);
    for (const Case &c : cases) {
        Store store;
        Fill(c.kind, store);
        const Result r = Parse(c.parser, c.text, &store, c.count, c.kind == kStrings ? 8 : 0);
        EXPECT_EQ(r.code, c.code) << c.text;
        EXPECT_EQ(r.messages, c.messages) << c.text;
        if (c.stored) {
            EXPECT_EQ(Show(c.kind, store, c.count), c.stored) << c.text;
        }
    }
    PxXMLSetColorLookup(nullptr);
    Store store;
    EXPECT_EQ(Parse(PxXMLParseColor, "red", &store, 4).messages, "color name unknown\n");
    PxXMLSetColorLookup(old);
}

TEST(XmlValues, ParsersWithNowhereToStoreReportItAndLeaveTheReaderInStep)
{
    using Parser = PxXMLValueParser;
    // The strings and arrays (the first four) also with room for none.
    const Parser parsers[] = {PxXMLParseString, PxXMLParseStringArray, PxXMLParseIntArray,    PxXMLParsePxRealArray,
                              PxXMLParseInt,    PxXMLParseUInt,        PxXMLParseUIntArray,   PxXMLParsePxReal,
                              PxXMLParseDouble, PxXMLParseFloat,       PxXMLParseDoubleArray, PxXMLParseFloatArray,
                              PxXMLParseColor};
    char room[16];
    for (const Parser &parser : parsers)
        for (int roomless = 0; roomless <= (&parser < parsers + 4); ++roomless) {
            const Result r = Parse(parser, "1", roomless ? room : nullptr, roomless ? 0 : 4, 4);
            EXPECT_EQ(std::to_string(r.code) + " " + r.messages, "4 Nowhere to put parsed data!\n") << roomless;
        }
}

namespace {

struct Body {
    char id[32];
    PxReal pos[3];
    PxReal mass;
    float color[4];
    char names[2][16];
};
static_assert(sizeof(Body) == 32 + 4 * sizeof(PxReal) + 4 * sizeof(float) + 32, "no padding");

int ReadBody(PxXMLElement *element)
{
    Body body{};
    PxXMLHandler table[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(Body, id), sizeof body.id),
        PX_XML_VALUE("POS", PxXMLParsePxRealArray, offsetof(Body, pos), 3),
        PX_XML_VALUE("MASS", PxXMLParsePxReal, offsetof(Body, mass), 1),
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

    XmlDoc doc(text);
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
