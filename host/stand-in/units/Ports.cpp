// Inputs and outputs. An output keeps its value until it is written again;
// an input reads the output it is connected to, or else its unit's dialog
// field of the same number.
#include <cstdlib>
#include <cstring>

#include "StandIn.h"

namespace dfx {

void Value::Clear()
{
    if (object && owned && type && type->free) type->free(object);
    object = nullptr;
    owned = false;
    numbers.clear();
    text.clear();
    bytes.clear();
}

namespace {

Port *Checked(std::vector<Port *> &ports, DfxUnit *unit, int port, const char *kind)
{
    if (port < 0 || static_cast<size_t>(port) >= ports.size())
        prog_throw("badarg:port", "%S: no %s %d\n", unit, kind, port);
    return ports[static_cast<size_t>(port)];
}

Port *Input(DfxUnit *unit, int port)
{
    if (!IsLive(unit)) prog_throw("badarg:unit", "no such unit\n");
    return Checked(unit->inputs, unit, port, "input");
}

Port *Output(DfxUnit *unit, int port)
{
    if (!IsLive(unit)) prog_throw("badarg:unit", "no such unit\n");
    return Checked(unit->outputs, unit, port, "output");
}

// The value an input reads: the connected output's.
const Value *Source(Port *input)
{
    if (!input->source || !IsLive(input->source)) return nullptr;
    const auto &outputs = input->source->outputs;
    if (input->sourcePort < 0 || static_cast<size_t>(input->sourcePort) >= outputs.size()) return nullptr;
    return &outputs[static_cast<size_t>(input->sourcePort)]->value;
}

// The numbers of an input: connected ones, or the dialog field's.
const std::vector<float> &Numbers(DfxUnit *unit, int port)
{
    Port *input = Input(unit, port);
    if (const Value *value = Source(input)) {
        if (value->type && (value->type->builtin == 'i' || value->type->builtin == 'f')) return value->numbers;
        prog_throw("badarg:input", "%S: input '%s' is connected to a value of type %s, not numbers\n", unit,
                   input->name.c_str(), value->type ? value->type->name.c_str() : "none");
    }
    const DfxDialog &dialog = unit->dialog;
    const size_t field = static_cast<size_t>(port);
    if (field >= dialog.values.size() || !std::strchr("bifmc", dialog.fields[field].type))
        prog_throw("badarg:input", "%S: input '%s' is not connected\n", unit, input->name.c_str());
    input->scratch.clear();
    for (const std::string &text : dialog.values[field]) input->scratch.push_back(std::strtof(text.c_str(), nullptr));
    return input->scratch;
}

Port *Written(DfxUnit *unit, int port, char builtin)
{
    Port *output = Output(unit, port);
    output->value.Clear();
    output->value.type = BuiltinType(builtin);
    return output;
}

int AddPort(std::vector<Port *> &ports, const char *name, const DfxType *type)
{
    Port *port = new Port;
    port->name = name ? name : "";
    port->type = type;
    ports.push_back(port);
    return static_cast<int>(ports.size()) - 1;
}

} // namespace

} // namespace dfx

using dfx::Port;

extern "C" {

int dfx_unit_add_input(DfxUnit *unit, const char *name, const DfxType *type)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit)) prog_throw("badarg:unit", "no such unit\n");
    return dfx::AddPort(unit->inputs, name, type);
}

int dfx_unit_add_output(DfxUnit *unit, const char *name, const DfxType *type)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit)) prog_throw("badarg:unit", "no such unit\n");
    return dfx::AddPort(unit->outputs, name, type);
}

int dfx_in_connected(DfxUnit *unit, int port)
{
    return dfx::Source(dfx::Input(unit, port)) != nullptr;
}

int dfx_in_int(DfxUnit *unit, int port)
{
    dfx::CountHostCall();
    const std::vector<float> &numbers = dfx::Numbers(unit, port);
    if (numbers.empty()) prog_throw("badarg:input", "%S: input %d is empty\n", unit, port);
    return static_cast<int>(numbers[0]);
}

float dfx_in_float(DfxUnit *unit, int port)
{
    dfx::CountHostCall();
    const std::vector<float> &numbers = dfx::Numbers(unit, port);
    if (numbers.empty()) prog_throw("badarg:input", "%S: input %d is empty\n", unit, port);
    return numbers[0];
}

const float *dfx_in_floats(DfxUnit *unit, int port, int *count)
{
    dfx::CountHostCall();
    const std::vector<float> &numbers = dfx::Numbers(unit, port);
    if (count) *count = static_cast<int>(numbers.size());
    return numbers.data();
}

const char *dfx_in_text(DfxUnit *unit, int port)
{
    dfx::CountHostCall();
    Port *input = dfx::Input(unit, port);
    if (const dfx::Value *value = dfx::Source(input)) {
        if (value->type && value->type->builtin == 't') return value->text.c_str();
        prog_throw("badarg:input", "%S: input '%s' is not connected to a text\n", unit, input->name.c_str());
    }
    const size_t field = static_cast<size_t>(port);
    if (field < unit->dialog.values.size()) return unit->dialog.values[field][0].c_str();
    prog_throw("badarg:input", "%S: input '%s' is not connected\n", unit, input->name.c_str());
}

void *dfx_in_object(DfxUnit *unit, int port, const DfxType *type)
{
    dfx::CountHostCall();
    Port *input = dfx::Input(unit, port);
    const dfx::Value *value = dfx::Source(input);
    if (!value || !value->object) return nullptr;
    if (value->type != type)
        prog_throw("badarg:input", "%S: input '%s' holds a %s, not a %s\n", unit, input->name.c_str(),
                   value->type ? value->type->name.c_str() : "value", dfx_type_name(type));
    return value->object;
}

void dfx_out_int(DfxUnit *unit, int port, int value)
{
    dfx::CountHostCall();
    dfx::Written(unit, port, 'i')->value.numbers.assign(1, static_cast<float>(value));
}

float *dfx_out_floats(DfxUnit *unit, int port, int count)
{
    dfx::CountHostCall();
    if (count < 0) prog_throw("badarg:output", "%S: %d floats\n", unit, count);
    std::vector<float> &numbers = dfx::Written(unit, port, 'f')->value.numbers;
    numbers.assign(static_cast<size_t>(count), 0.0f);
    return numbers.data();
}

void dfx_out_text(DfxUnit *unit, int port, const char *text)
{
    dfx::CountHostCall();
    dfx::Written(unit, port, 't')->value.text = text ? text : "";
}

unsigned char *dfx_out_bytes(DfxUnit *unit, int port, int count)
{
    dfx::CountHostCall();
    if (count < 0) prog_throw("badarg:output", "%S: %d bytes\n", unit, count);
    std::vector<unsigned char> &bytes = dfx::Written(unit, port, 'b')->value.bytes;
    bytes.assign(static_cast<size_t>(count), 0);
    return bytes.data();
}

// An owned value is taken over even when the call fails, so that a module
// never has to free it itself.
void dfx_out_object(DfxUnit *unit, int port, const DfxType *type, void *value, int owned)
{
    struct Guard {
        const DfxType *type;
        void *value;
        bool armed;
        ~Guard()
        {
            if (armed && value && type && type->free) type->free(value);
        }
    } guard{type, value, owned != 0};
    dfx::CountHostCall();
    if (!type || type->builtin) prog_throw("badarg:output", "%S: an object output needs a declared type\n", unit);
    Port *output = dfx::Output(unit, port);
    output->value.Clear();
    output->value.type = type;
    output->value.object = value;
    output->value.owned = owned != 0;
    guard.armed = false;
}

const DfxDialog *dfx_unit_dialog(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? &unit->dialog : nullptr;
}

} // extern "C"
