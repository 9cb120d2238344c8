// The host's dialog texts. Outside '%' a text is shown as written. Items:
//   %n new line, %H help button, %[ and %] a row, %d a button, %% a '%';
//   %l<text> a label up to the next blank or '%' ('~' shows as a blank; a
//     label right after a value field is that field's: its caption, the
//     choices of a choice field separated by '|', the filter of a file);
//   %<flags>:<count>:<default>:<width><type> a field, type one of
//     b checkbox, i integers, f floats, s string, F file, D directory,
//     c choice (the default is an index), t text lines, m 4x4 matrix
//     (16 floats), and d the buttons of the button row (not a value).
//   Defaults of several values are separated by ','; one default serves
//   all values; '~' in a default is a blank.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "StandIn.h"

namespace dfx {

namespace {

const char *const kValueTypes = "bifsFDctm";

std::string Blanks(std::string text)
{
    for (char &c : text)
        if (c == '~') c = ' ';
    return text;
}

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != separator) continue;
        parts.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

bool ReadNumber(const char *&p, int &value)
{
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    value = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
    return true;
}

// "%0:3:0,0,-1:6f" from just after the '%'; false when malformed.
bool ReadField(const char *&p, DialogField &field, bool &isValue, std::string &why)
{
    int flags = 0, width = 0;
    if (!ReadNumber(p, flags) || *p++ != ':' || !ReadNumber(p, field.count) || *p++ != ':') {
        why = "field without flags and count";
        return false;
    }
    const char *end = std::strchr(p, ':');
    if (!end) {
        why = "field without default";
        return false;
    }
    const std::string defaults(p, end);
    p = end + 1;
    if (!ReadNumber(p, width) || !std::isalpha(static_cast<unsigned char>(*p))) {
        why = "field without width and type";
        return false;
    }
    field.type = *p++;
    isValue = field.type != 'd';
    if (isValue && !std::strchr(kValueTypes, field.type)) {
        why = std::string("unknown field type '") + field.type + "'";
        return false;
    }
    const bool text = std::strchr("sFDt", field.type) != nullptr;
    field.defaults = text ? std::vector<std::string>{Blanks(defaults)} : Split(Blanks(defaults), ',');
    if (field.type == 'm' && field.count != 16) {
        why = "a matrix holds 16 values";
        return false;
    }
    if (field.count < 1 || (text && field.count != 1)) {
        why = "bad value count";
        return false;
    }
    if (field.defaults.size() == 1) field.defaults.resize(static_cast<size_t>(field.count), field.defaults[0]);
    if (field.defaults.size() != static_cast<size_t>(field.count)) {
        why = "defaults do not match the value count";
        return false;
    }
    return true;
}

bool ChoiceFits(const DialogField &field, std::string &why)
{
    if (field.type != 'c') return true;
    const int index = std::atoi(field.defaults[0].c_str());
    if (index >= 0 && static_cast<size_t>(index) < Split(field.label, '|').size()) return true;
    why = "choice default out of range";
    return false;
}

} // namespace

bool ParseDialog(const char *text, std::vector<DialogField> &fields, std::string *why)
{
    fields.clear();
    std::string reason;
    bool lastWasField = false, ok = true;
    for (const char *p = text ? text : ""; ok && *p;) {
        if (*p++ != '%') continue;
        const char item = *p;
        if (item && std::strchr("nH[]d%", item)) {
            ++p;
            lastWasField = false;
        } else if (item == 'l') {
            const char *start = ++p;
            while (*p && *p != '%' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
            if (lastWasField && fields.back().label.empty()) fields.back().label = Blanks(std::string(start, p));
            lastWasField = false;
        } else {
            DialogField field;
            bool isValue = false;
            ok = ReadField(p, field, isValue, reason);
            if (ok && isValue) fields.push_back(field);
            lastWasField = ok && isValue;
        }
    }
    for (const DialogField &field : fields) ok = ok && ChoiceFits(field, reason);
    if (!ok && why) *why = reason;
    if (!ok) fields.clear();
    return ok;
}

} // namespace dfx
