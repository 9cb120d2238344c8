// Every value parser of the XML reader on good and bad values, with the
// exact messages and what is (or is not) stored.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "kelmar/Px.h"
#include "test_xml_support.h"

using pxtest::XmlDoc;

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
    PxXMLElement root{};
    root.input = doc.input();
    EXPECT_EQ(PxXMLElementProcess(&root, table, out), PX_XML_OK) << text;
    EXPECT_EQ(table[0].wasCalled, 1) << text;
    return {table[0].error, doc.allText()};
}

template <typename T>
T ParseOne(PxXMLValueParser parser, const std::string &text, T initial, Result *result = nullptr)
{
    T value = initial;
    Result r = Parse(parser, text, &value, 1);
    if (result) *result = r;
    return value;
}

// One value refused with exactly this message and nothing stored.
template <typename T>
::testing::AssertionResult Refused(PxXMLValueParser parser, const std::string &text, T initial,
                                   const std::string &message)
{
    Result r;
    const T value = ParseOne<T>(parser, text, initial, &r);
    if (value == initial && r.code == PX_XML_BAD_VALUE && r.messages == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "'" << text << "': stored " << value << ", code " << r.code << ", messages '" << r.messages << "'";
}

int ColorNamed(const char *name, float rgba[4])
{
    if (std::strcmp(name, "red") != 0 && std::strcmp(name, "light blue") != 0) return 0;
    rgba[0] = name[0] == 'r' ? 1.0f : 0.5f;
    rgba[1] = 0.0f;
    rgba[2] = name[0] == 'r' ? 0.0f : 1.0f;
    return 1;
}

// Installs the colour lookup for one scope.
class ColorLookupGuard {
public:
    explicit ColorLookupGuard(PxXMLColorLookup lookup) : old_(PxXMLSetColorLookup(lookup)) {}
    ~ColorLookupGuard() { PxXMLSetColorLookup(old_); }

private:
    PxXMLColorLookup old_;
};

const double kQuarterTurn = 1.5707963267948966;

} // namespace

TEST(XmlValues, IntegersFollowCBaseRulesAndRefuseGarbageAndOverflow)
{
    Result r;
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, " 42 ", 0, &r), 42);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, "-7", 0), -7);
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, "010", 0), 8);
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, "0x10", 0), 16);
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, "2147483647", 0), 2147483647);
    EXPECT_EQ(ParseOne<int>(PxXMLParseInt, "-2147483648", 0), -2147483647 - 1);
    EXPECT_TRUE(Refused<int>(PxXMLParseInt, "2147483648", 5, "expected int, found 2147483648\n"));
    EXPECT_TRUE(Refused<int>(PxXMLParseInt, "12abc", 5, "found garbage after data\n"));
    EXPECT_TRUE(Refused<int>(PxXMLParseInt, "08", 5, "found garbage after data\n")); // 8 is no octal digit
    EXPECT_TRUE(Refused<int>(PxXMLParseInt, " abc ", 5, "expected int, found abc\n"));
    EXPECT_TRUE(Refused<int>(PxXMLParseInt, "", 5, "expected int, found \n"));

    EXPECT_EQ(ParseOne<unsigned>(PxXMLParseUInt, "4294967295", 0u), 4294967295u);
    EXPECT_EQ(ParseOne<unsigned>(PxXMLParseUInt, "0XfF", 0u), 255u);
    EXPECT_TRUE(Refused<unsigned>(PxXMLParseUInt, "-1", 3u, "expected unsigned int, found -1\n"));
    EXPECT_TRUE(Refused<unsigned>(PxXMLParseUInt, "4294967296", 3u, "expected unsigned int, found 4294967296\n"));
}

TEST(XmlValues, IntegerArraysTakeBlanksOrSingleCommasAndReportShortLists)
{
    for (const char *text : {"1, 2, 3", "1 2 3", "1,2,3", " 1 ,2 ,\n3 ", "1 2 3 4 5"}) {
        int v[3] = {0, 0, 0};
        Result r = Parse(PxXMLParseIntArray, text, v, 3);
        EXPECT_EQ(r.code, PX_XML_OK) << text;
        EXPECT_EQ(v[0], 1);
        EXPECT_EQ(v[1], 2);
        EXPECT_EQ(v[2], 3) << text;
    }
    for (const char *text : {"1,,2,3", ",1,2,3", "1 2 x", "1 2 3x", "1, 2,"}) {
        int v[3] = {0, 0, 0};
        Result r = Parse(PxXMLParseIntArray, text, v, 3);
        EXPECT_EQ(r.code, PX_XML_BAD_VALUE) << text;
        EXPECT_EQ(r.messages, "int array data invalid\n") << text;
    }
    int v[3] = {0, 0, 99};
    Result r = Parse(PxXMLParseIntArray, "1 0x2", v, 3);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages, "expected 3 ints, found 2\n");
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 99);

    unsigned u[2] = {0, 0};
    EXPECT_EQ(Parse(PxXMLParseUIntArray, "1 -2", u, 2).messages, "unsigned int array data invalid\n");
    EXPECT_EQ(Parse(PxXMLParseUIntArray, "7", u, 2).messages, "expected 2 ints, found 1\n");
    r = Parse(PxXMLParseUIntArray, "4294967295,010", u, 2);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_EQ(u[0], 4294967295u);
    EXPECT_EQ(u[1], 8u);
}

TEST(XmlValues, RealsTakeBlanksDegreesAndRefuseUnitsAndNonFiniteValues)
{
    Result r;
    EXPECT_EQ(ParseOne<PxReal>(PxXMLParsePxReal, "  2.5\n ", 0.0, &r), 2.5);
    EXPECT_EQ(r.code, PX_XML_OK);
    // Latin-1 degree byte, and the UTF-8 degree sign after a blank.
    EXPECT_EQ(ParseOne<PxReal>(PxXMLParsePxReal, "90\xB0", 0.0), kQuarterTurn);
    EXPECT_EQ(ParseOne<double>(PxXMLParseDouble, "90 \xC2\xB0", 0.0), kQuarterTurn);
    EXPECT_EQ(ParseOne<PxReal>(PxXMLParsePxReal, "-1e-3", 0.0), -1e-3);
    EXPECT_EQ(ParseOne<float>(PxXMLParseFloat, "0.1", 0.0f), 0.1f);

    EXPECT_TRUE(Refused<PxReal>(PxXMLParsePxReal, "1.5 m", 7.0, "found garbage after data\n"));
    EXPECT_TRUE(Refused<PxReal>(PxXMLParsePxReal, "one", 7.0, "Expected PxReal, found one\n"));
    EXPECT_TRUE(Refused<double>(PxXMLParseDouble, "one", 7.0, "Expected double, found one\n"));
    EXPECT_TRUE(Refused<float>(PxXMLParseFloat, "one", 7.0f, "Expected float, found one\n"));
    for (const char *text : {"1e999", "nan", "-inf", "infinity"})
        EXPECT_TRUE(
            Refused<PxReal>(PxXMLParsePxReal, text, 7.0, std::string("Expected PxReal, found ") + text + "\n"));
    EXPECT_TRUE(Refused<float>(PxXMLParseFloat, "1e39", 7.0f, "Expected float, found 1e39\n"));
}

TEST(XmlValues, RealsUseAPointWhateverTheProcessLocale)
{
    const char *german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (german == nullptr) GTEST_SKIP() << "no German locale installed";
    Result r;
    PxReal v = ParseOne<PxReal>(PxXMLParsePxReal, "1.25", 0.0, &r);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_EQ(v, 1.25);
}

TEST(XmlValues, RealArraysHonourDegreesAfterEachValueAndNameTheirType)
{
    PxReal p[3] = {0, 0, 0};
    Result r = Parse(PxXMLParsePxRealArray, "90\xB0, 0, 180\xB0", p, 3);
    EXPECT_EQ(r.code, PX_XML_OK) << r.messages;
    EXPECT_EQ(p[0], kQuarterTurn);
    EXPECT_EQ(p[1], 0.0);
    EXPECT_EQ(p[2], 2 * kQuarterTurn);

    EXPECT_EQ(Parse(PxXMLParsePxRealArray, "1,,2,3", p, 3).messages, "PxReal array data invalid\n");
    r = Parse(PxXMLParsePxRealArray, "1 2", p, 3);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages, "expected 3 PxReals, found 2\n");

    double d[2];
    EXPECT_EQ(Parse(PxXMLParseDoubleArray, "1 x", d, 2).messages, "double array data invalid\n");
    EXPECT_EQ(Parse(PxXMLParseDoubleArray, "", d, 2).messages, "expected 2 doubles, found 0\n");

    float f[4];
    r = Parse(PxXMLParseFloatArray, "0.5 0.25 0.125 1 2", f, 4);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_EQ(f[3], 1.0f);
    EXPECT_EQ(Parse(PxXMLParseFloatArray, "1 1e40 0 0", f, 4).messages, "float array data invalid\n");
    EXPECT_EQ(Parse(PxXMLParseFloatArray, "1 2 3", f, 4).messages, "expected 4 floats, found 3\n");
}

TEST(XmlValues, StringsAreTrimmedAndMustFitTheirBuffers)
{
    char s[8] = "keep";
    Result r = Parse(PxXMLParseString, "  a  b  \n", s, sizeof s);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_STREQ(s, "a  b");
    r = Parse(PxXMLParseString, "1234567", s, sizeof s);
    EXPECT_STREQ(s, "1234567");
    std::strcpy(s, "keep");
    r = Parse(PxXMLParseString, "12345678", s, sizeof s);
    EXPECT_EQ(r.code, PX_XML_LIMIT);
    EXPECT_EQ(r.messages, "string data greater than max of 7\n");
    EXPECT_STREQ(s, "keep");

    char slots[3][8] = {"x", "x", "x"};
    r = Parse(PxXMLParseStringArray, " arm , base,tool ", slots, 3, 8);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_STREQ(slots[0], "arm");
    EXPECT_STREQ(slots[1], "base");
    EXPECT_STREQ(slots[2], "tool");
    r = Parse(PxXMLParseStringArray, "a,b,c,d", slots, 3, 8);
    EXPECT_EQ(r.code, PX_XML_OK);
    EXPECT_STREQ(slots[2], "c");
    std::strcpy(slots[2], "x");
    r = Parse(PxXMLParseStringArray, "p, q", slots, 3, 8);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages, "expected 3 strings, found 2\n");
    EXPECT_STREQ(slots[0], "p");
    EXPECT_STREQ(slots[1], "q");
    EXPECT_STREQ(slots[2], "x");
    r = Parse(PxXMLParseStringArray, "a, 12345678, c", slots, 3, 8);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages, "string data greater than max of 7\n");
}

TEST(XmlValues, ColoursAreNamesWithOptionalAlphaOrThreeToFourNumbersInRange)
{
    float c[4];
    Result r;
    {
        ColorLookupGuard none(nullptr);
        EXPECT_EQ(Parse(PxXMLParseColor, "red", c, 4).messages, "color name unknown\n");
    }
    ColorLookupGuard lookup(ColorNamed);
    auto expectColor = [&](const char *text, int count, float r0, float g, float b, float a) {
        float out[4] = {9, 9, 9, 9};
        Result res = Parse(PxXMLParseColor, text, out, count);
        EXPECT_EQ(res.code, PX_XML_OK) << text << ": " << res.messages;
        EXPECT_EQ(out[0], r0) << text;
        EXPECT_EQ(out[1], g) << text;
        EXPECT_EQ(out[2], b) << text;
        EXPECT_EQ(out[3], a) << text;
    };
    expectColor("red", 4, 1, 0, 0, 1);
    expectColor(" light blue , 0.25", 4, 0.5f, 0, 1, 0.25f);
    expectColor("red, 0.25", 3, 1, 0, 0, 1); // no alpha read with a count of 3
    expectColor("0.25 0.5 0.75", 4, 0.25f, 0.5f, 0.75f, 1);
    expectColor("0.25, 0.5, 0.75, 0.5", 4, 0.25f, 0.5f, 0.75f, 0.5f);
    expectColor("0.25 0.5 0.75 0.5", 3, 0.25f, 0.5f, 0.75f, 1);

    EXPECT_EQ(Parse(PxXMLParseColor, "purple", c, 4).messages, "color name unknown\n");
    EXPECT_EQ(Parse(PxXMLParseColor, "red, x", c, 4).messages, "color data invalid\n");
    EXPECT_EQ(Parse(PxXMLParseColor, "0.5,,0.5,0.5", c, 4).messages, "color data invalid\n");
    r = Parse(PxXMLParseColor, "0.5 0.5", c, 4);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages, "only 2 from 3 values specified for RGB color\n");

    float out[4] = {9, 9, 9, 9};
    r = Parse(PxXMLParseColor, "1.5 0 -0.5", out, 4);
    EXPECT_EQ(r.code, PX_XML_BAD_VALUE);
    EXPECT_EQ(r.messages,
              "invalid color value 1.500000 (only [0..1])\ninvalid color value -0.500000 (only [0..1])\n");
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], -1.0f);
    EXPECT_EQ(out[3], 1.0f);
}

TEST(XmlValues, ParsersWithNowhereToStoreReportItAndLeaveTheReaderInStep)
{
    using Parser = PxXMLValueParser;
    const Parser parsers[] = {PxXMLParseString,   PxXMLParseStringArray, PxXMLParseInt,         PxXMLParseUInt,
                              PxXMLParseIntArray, PxXMLParseUIntArray,   PxXMLParsePxReal,      PxXMLParseDouble,
                              PxXMLParseFloat,    PxXMLParsePxRealArray, PxXMLParseDoubleArray, PxXMLParseFloatArray,
                              PxXMLParseColor};
    for (Parser parser : parsers) {
        Result r = Parse(parser, "1", nullptr, 4, 4);
        EXPECT_EQ(r.code, PX_XML_LIMIT);
        EXPECT_EQ(r.messages, "Nowhere to put parsed data!\n");
    }
    // Arrays and strings with no room at all.
    char room[16];
    for (Parser parser : {PxXMLParseString, PxXMLParseStringArray, PxXMLParseIntArray, PxXMLParsePxRealArray}) {
        Result r = Parse(parser, "1", room, 0, 4);
        EXPECT_EQ(r.code, PX_XML_LIMIT);
        EXPECT_EQ(r.messages, "Nowhere to put parsed data!\n");
    }
}

// The exact parsers of the scene files: one table of texts, each with what
// a parser of three values makes of it.
TEST(XmlValues, ExactArraysRefuseValuesBeyondTheirCountAfterStoringTheFirst)
{
    struct Case {
        PxXMLValueParser parser;
        const char *text;
        const char *messages;
    };
    const Case cases[] = {
        {PxXMLParsePxRealArrayExact, "1, 2, 3", ""},
        {PxXMLParsePxRealArrayExact, " 1 2 3 ", ""},
        {PxXMLParsePxRealArrayExact, "1, 2, 3, 4", "expected 3 PxReals, found more\n"},
        {PxXMLParsePxRealArrayExact, "1 2 3 x", "expected 3 PxReals, found more\n"},
        {PxXMLParsePxRealArrayExact, "1 2", "expected 3 PxReals, found 2\n"},
        {PxXMLParseIntArrayExact, "1,2,3", ""},
        {PxXMLParseIntArrayExact, "1,2,3,4", "expected 3 ints, found more\n"},
        {PxXMLParseStringArrayExact, "a, b,c", ""},
        {PxXMLParseStringArrayExact, "a,b,c,d", "expected 3 strings, found more\n"},
        {PxXMLParseStringArrayExact, "a,b,c,", "expected 3 strings, found more\n"},
    };
    for (const Case &c : cases) {
        union {
            PxReal reals[3];
            int ints[3];
            char strings[3][8];
        } out;
        std::memset(&out, 0, sizeof out);
        const bool strings = c.parser == PxXMLParseStringArrayExact;
        const Result r = Parse(c.parser, c.text, &out, 3, strings ? 8 : 0);
        EXPECT_EQ(r.messages, c.messages) << c.text;
        EXPECT_EQ(r.code, *c.messages ? PX_XML_BAD_VALUE : PX_XML_OK) << c.text;
        if (c.parser == PxXMLParsePxRealArrayExact && std::strstr(c.messages, "more")) {
            EXPECT_EQ(out.reals[2], 3.0) << c.text;
        }
    }
}
