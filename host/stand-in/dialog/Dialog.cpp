// Dialog values: the defaults of the dialog text, replaced field by field
// by what the user gave; read back by the module through the accessors.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "StandIn.h"

namespace dfx {

namespace {

bool IsInteger(const std::string &text)
{
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0;
}

bool IsReal(const std::string &text)
{
    if (text.empty()) return false;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

std::vector<std::string> Choices(const DialogField &field)
{
    std::vector<std::string> choices;
    size_t start = 0;
    for (size_t i = 0; i <= field.label.size(); ++i) {
        if (i < field.label.size() && field.label[i] != '|') continue;
        choices.push_back(field.label.substr(start, i - start));
        start = i + 1;
    }
    return choices;
}

// One value of a field, checked against its type; a choice may be given by
// index or by its text and is kept as its index.
bool Accept(const DialogField &field, std::string &value, std::string &why)
{
    switch (field.type) {
    case 'b':
        if (value == "0" || value == "1") return true;
        why = "a checkbox takes 0 or 1, not '" + value + "'";
        return false;
    case 'i':
        if (IsInteger(value)) return true;
        why = "'" + value + "' is not an integer";
        return false;
    case 'f':
    case 'm':
        if (IsReal(value)) return true;
        why = "'" + value + "' is not a number";
        return false;
    case 'c': {
        const std::vector<std::string> choices = Choices(field);
        for (size_t i = 0; i < choices.size(); ++i)
            if (choices[i] == value) value = std::to_string(i);
        const int index = IsInteger(value) ? std::atoi(value.c_str()) : -1;
        if (index >= 0 && static_cast<size_t>(index) < choices.size()) return true;
        why = "'" + value + "' is none of " + field.label;
        return false;
    }
    default: return true; // texts, files, directories
    }
}

const DfxDialog &Checked(const DfxDialog *dialog, int field, int index)
{
    if (!dialog || field < 0 || static_cast<size_t>(field) >= dialog->values.size())
        prog_throw("badarg:dialog", "dialog has no field %d\n", field);
    if (index < 0 || index >= dialog->fields[static_cast<size_t>(field)].count)
        prog_throw("badarg:dialog", "dialog field %d has no value %d\n", field, index);
    return *dialog;
}

} // namespace

bool FillDialog(DfxDialog &dialog, const std::vector<std::string> &given, std::string &why)
{
    dialog.values.clear();
    size_t next = 0;
    for (size_t f = 0; f < dialog.fields.size(); ++f) {
        const DialogField &field = dialog.fields[f];
        std::vector<std::string> values = field.defaults;
        if (next < given.size() && given[next] == "-") {
            ++next;
        } else if (next < given.size()) {
            if (given.size() - next < values.size()) {
                why = "field " + std::to_string(f + 1) + " takes " + std::to_string(values.size()) + " values";
                return false;
            }
            for (std::string &value : values) {
                value = given[next++];
                if (!Accept(field, value, why)) return false;
            }
        }
        dialog.values.push_back(values);
    }
    if (next < given.size()) {
        why = "more values than the dialog has fields";
        return false;
    }
    return true;
}

} // namespace dfx

extern "C" {

int dfx_dialog_field_count(const DfxDialog *dialog)
{
    return dialog ? static_cast<int>(dialog->fields.size()) : 0;
}

int dfx_dialog_int(const DfxDialog *dialog, int field, int index)
{
    const DfxDialog &d = dfx::Checked(dialog, field, index);
    return static_cast<int>(std::strtol(d.values[field][index].c_str(), nullptr, 10));
}

double dfx_dialog_float(const DfxDialog *dialog, int field, int index)
{
    const DfxDialog &d = dfx::Checked(dialog, field, index);
    return std::strtod(d.values[field][index].c_str(), nullptr);
}

const char *dfx_dialog_text(const DfxDialog *dialog, int field)
{
    return dfx::Checked(dialog, field, 0).values[field][0].c_str();
}

const char *dfx_dialog_unit_name(const DfxDialog *dialog)
{
    return dialog ? dialog->unitName.c_str() : "";
}

} // extern "C"
