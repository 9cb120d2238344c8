// The colour value parser: a colour name (resolved by the graphics layer),
// optionally followed by an alpha, or three or four numbers in 0..1.
#include <string.h>

#include "xml/PxXMLValueText.h"

using pxxml::report;

namespace {

PxXMLColorLookup colorLookup = 0;

const char *const kInvalid = "color data invalid\n";

// Resolves the name before the first ',' of text and reads the values after
// it from alpha on.
int parseNamedColor(PxXMLInput *input, const char *text, int limit, float rgba[4])
{
    const char *comma = strchr(text, ',');
    char name[PX_XML_TEXT_SIZE];
    size_t n = comma ? static_cast<size_t>(comma - text) : strlen(text);
    memcpy(name, text, n);
    name[n] = '\0';
    if (!colorLookup || !colorLookup(dropspace(name), rgba))
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "color name unknown\n");
    if (!comma || limit <= 3) return PX_XML_OK;
    int found;
    char *alpha = reinterpret_cast<char *>(rgba + 3);
    if (pxxml::scanValues<float>(comma + 1, limit - 3, alpha, &found, pxxml::scanFloat) != pxxml::kScanComplete)
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, kInvalid);
    return PX_XML_OK;
}

int parseNumericColor(PxXMLInput *input, const char *text, int limit, float rgba[4])
{
    int found;
    pxxml::ScanResult result = pxxml::scanValues<float>(text, limit, reinterpret_cast<char *>(rgba), &found,
                                                        pxxml::scanFloat);
    if (result == pxxml::kScanInvalid) return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, kInvalid);
    if (found < 3)
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "only %d from 3 values specified for RGB color\n",
                      found);
    return PX_XML_OK;
}

// Marks every component outside 0..1 with -1; returns the number marked.
int checkRange(PxXMLInput *input, float rgba[4])
{
    int bad = 0;
    for (int i = 0; i < 4; ++i) {
        if (rgba[i] >= 0.0f && rgba[i] <= 1.0f) continue;
        report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "invalid color value %f (only [0..1])\n",
               static_cast<double>(rgba[i]));
        rgba[i] = -1.0f;
        ++bad;
    }
    return bad;
}

} // namespace

PxXMLColorLookup PxXMLSetColorLookup(PxXMLColorLookup lookup)
{
    PxXMLColorLookup previous = colorLookup;
    colorLookup = lookup;
    return previous;
}

int PxXMLParseColor(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    char text[PX_XML_TEXT_SIZE];
    char *out, *value;
    int code = pxxml::beginValue(input, entry, userData, text, &out, &value);
    if (code != PX_XML_OK) return code;
    // A count of 3 reads no alpha; anything else reads up to four values.
    int limit = entry->count == 3 ? 3 : 4;
    float rgba[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool named = pxxml::isLetter(static_cast<unsigned char>(*value));
    code = named ? parseNamedColor(input, value, limit, rgba) : parseNumericColor(input, value, limit, rgba);
    if (code != PX_XML_OK) return code;
    if (checkRange(input, rgba) > 0) code = PX_XML_BAD_VALUE;
    memcpy(out, rgba, sizeof rgba);
    return code;
}
