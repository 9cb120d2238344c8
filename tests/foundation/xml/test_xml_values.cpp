// Every value parser of the XML reader on good and bad values: one table of
// texts with the code, the exact messages and what is (or is not) stored.
#include <gtest/gtest.h>

#include <cstdio>
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
