// Programs in text, one command a line. A word starting with '#' starts a
// comment, unless a digit follows ("#2" is a unit); "..." quotes a word,
// with \" \\ \n escapes:
//   module FILE                 load a module (its icons join the palette)
//   search DIR                  add a directory to the file search list
//   program NAME ... end        a program unit inside the current one
//   unit LABEL NAME|- VALUES    create a unit from its icon and dialog values
//   name UNIT NEWNAME           rename a unit (it is told)
//   delete UNIT                 remove a unit
//   dialog METHOD VALUES        a method's dialog values
//   connect UNIT.OUT UNIT.IN    connect an output to an input
//   successor UNIT UNIT         the second runs when the first asks for it
//   do UNIT [VALUES]            add a unit or method to the cycle
//   run N [PROGRAM]             run the cycle N times (that program's: a
//                               program unit inside, one loaded, say)
//   print UNIT.OUT              write an output's value
//   reset | init                send the reset or init command to every unit
//   payload UNIT N              N bytes follow the line: the unit's saved data,
//                               read into it once the program's units exist
//   save FILE | load FILE       save the program, load one into it
//   key C | ray EX EY EZ DX DY DZ | mouse click|press|move|release X Y
//                               play into the 3-D view module "solid.so"
// UNIT is a path from the current program: "arm", "arm.step",
// "universe.Set:Gravity", "#2" for its third unit.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include <dfx/view3d.h>

#include "StandIn.h"

namespace dfx {

std::string Quote(const std::string &token)
{
    const bool plain = !token.empty() && token.find_first_of(" \t\n\"\\#") == std::string::npos;
    if (plain) return token;
    std::string quoted = "\"";
    for (char c : token)
        quoted += c == '\n' ? std::string("\\n") : c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return quoted + "\"";
}

namespace {

bool Tokens(const std::string &line, std::vector<std::string> &tokens)
{
    tokens.clear();
    for (size_t i = 0; i < line.size();) {
        const char c = line[i];
        const bool numbered = i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1]));
        if (c == '#' && !numbered) break; // "#2" is a unit; "# ..." a comment
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::string token;
        if (c != '"') {
            while (i < line.size() && !std::strchr(" \t\r", line[i])) token += line[i++];
        } else {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i, token += line[i] == 'n' ? '\n' : line[i];
                else
                    token += line[i];
            }
            if (i++ >= line.size()) return false;
        }
        tokens.push_back(token);
    }
    return true;
}

struct Reader {
    std::istream &in;
    ScriptContext &context;
    std::vector<std::string> words;
    std::vector<std::pair<DfxUnit *, std::string>> pending; // saved data to load

    bool Fail(const std::string &why)
    {
        Emit(DFX_ERROR, context.file + ":" + std::to_string(context.line) + ": " + why + "\n");
        context.failed = true;
        return false;
    }
    bool Want(size_t least, size_t most, const char *usage)
    {
        return words.size() >= least && words.size() <= most ? true : Fail(std::string("usage: ") + usage);
    }
    std::string Path(const std::string &name) const
    {
        if (name.empty() || name[0] == '/' || context.directory.empty()) return name;
        return context.directory + "/" + name;
    }
    bool RunN()
    {
        const std::string &n = words[1];
        if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos)
            return Fail("run takes a number of cycles, not '" + n + "'");
        DfxUnit *program = words.size() > 2 ? Unit(words[2]) : context.program;
        if (!program) return false;
        if (!dfx_unit_is_program(program)) return Fail("'" + words[2] + "' is no program");
        return RunCycles(program, std::atoi(n.c_str())) || Fail("run stopped");
    }
    DfxUnit *Unit(const std::string &path)
    {
        DfxUnit *unit = Find(context.program, path);
        if (!unit) Fail("no unit '" + path + "'");
        return unit;
    }
    // "unit.method.port": the unit part and the port by name or number.
    bool PortOf(const std::string &path, bool output, DfxUnit *&unit, int &port)
    {
        const size_t dot = path.rfind('.');
        if (dot == std::string::npos) return Fail("'" + path + "' names no port");
        if (!(unit = Unit(path.substr(0, dot)))) return false;
        const std::string name = path.substr(dot + 1);
        port = output ? OutputPort(unit, name) : InputPort(unit, name);
        if (port < 0 && !name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
            port = std::atoi(name.c_str());
        return port >= 0 ? true : Fail("'" + path + "' names no port");
    }
    std::vector<std::string> Rest(size_t from) const
    {
        return std::vector<std::string>(words.begin() + static_cast<long>(std::min(from, words.size())), words.end());
    }
    template <class F> F View(const char *symbol)
    {
        void *module = OpenModule("solid.so");
        F f = module ? reinterpret_cast<F>(dfx_dlsym(module, symbol)) : nullptr;
        if (!f) Fail("no 3-D view module with " + std::string(symbol));
        return f;
    }

    // Directories given in a dialog are taken from the script's folder, as
    // a user would pick them in the dialog.
    std::vector<std::string> Directories(const std::string &label, std::vector<std::string> values) const
    {
        const Icon *icon = FindIcon(label);
        std::vector<DialogField> fields;
        if (!icon || !ParseDialog(icon->def->dialog, fields)) return values;
        size_t next = 0;
        for (const DialogField &field : fields) {
            if (next >= values.size()) break;
            if (values[next] == "-") {
                ++next;
                continue;
            }
            if (field.type == 'D') values[next] = Path(values[next]);
            next += static_cast<size_t>(field.count);
        }
        return values;
    }

    // Saved data is read into its unit once the program's units all exist
    // (a scene's state names solids that units after it make).
    bool Payload()
    {
        DfxUnit *unit = Unit(words[1]);
        const long size = std::atol(words[2].c_str());
        if (!unit || size < 0) return unit ? Fail("bad payload size") : false;
        std::string bytes(static_cast<size_t>(size), '\0');
        if (size > 0 && !in.read(&bytes[0], size)) return Fail("payload ends early");
        in.ignore(1, '\n');
        pending.emplace_back(unit, std::move(bytes));
        return true;
    }
    bool LoadPending()
    {
        std::vector<std::pair<DfxUnit *, std::string>> now;
        now.swap(pending);
        for (auto &p : now) {
            DfxUnit *unit = p.first;
            if (!IsLive(unit) || !unit->hooks.load) continue;
            std::string &bytes = p.second;
            FILE *file = bytes.empty() ? nullptr : fmemopen(&bytes[0], bytes.size(), "r");
            if (!bytes.empty() && !file) return Fail("saved data cannot be read");
            const bool ok = !file || AtBoundary(unit, "load", [&] { unit->hooks.load(file, unit); });
            if (file) std::fclose(file);
            if (!ok) return Fail("loading '" + UnitPath(unit) + "' failed");
        }
        return true;
    }

    bool Connect()
    {
        DfxUnit *from = nullptr, *to = nullptr;
        int out = -1, input = -1;
        if (!PortOf(words[1], true, from, out) || !PortOf(words[2], false, to, input)) return false;
        return dfx::Connect(from, out, to, input) ? true : Fail("cannot connect " + words[1] + " to " + words[2]);
    }
    bool Mouse()
    {
        static const char *const kEvents[] = {"click", "press", "move", "release"};
        int event = -1;
        for (int i = 0; i < 4; ++i)
            if (words[1] == kEvents[i]) event = i;
        if (event < 0) return Fail("mouse click|press|move|release X Y");
        auto mouse = View<View3d_TestMouse_t>("View3d_TestMouse");
        const int x = words.size() > 2 ? std::atoi(words[2].c_str()) : 0;
        const int y = words.size() > 3 ? std::atoi(words[3].c_str()) : 0;
        return mouse ? (mouse(event, x, y), true) : false;
    }
    bool Ray()
    {
        double eye[3], direction[3];
        for (int i = 0; i < 3; ++i)
            eye[i] = std::atof(words[1 + i].c_str()), direction[i] = std::atof(words[4 + i].c_str());
        auto ray = View<View3d_TestSetClickRay_t>("View3d_TestSetClickRay");
        return ray ? (ray(eye, direction), true) : false;
    }
    bool Key()
    {
        const int key = words[1] == "space" ? ' ' : static_cast<unsigned char>(words[1][0]);
        auto press = View<View3d_TestKey_t>("View3d_TestKey");
        return press ? (press(key), true) : false;
    }
    bool Print()
    {
        DfxUnit *unit = nullptr;
        int port = -1;
        if (!PortOf(words[1], true, unit, port)) return false;
        std::string text = OutputText(unit, port);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        if (context.out) *context.out << words[1] << " = " << text << "\n";
        return true;
    }
    bool Program(std::vector<DfxUnit *> &stack)
    {
        stack.push_back(context.program);
        context.program = NewProgram(context.program, words[1]);
        return true;
    }
    bool End(std::vector<DfxUnit *> &stack)
    {
        if (stack.empty()) return Fail("'end' without 'program'");
        if (!LoadPending()) return false;
        context.program = stack.back();
        stack.pop_back();
        return true;
    }
    bool Command(std::vector<DfxUnit *> &stack);
};

bool Reader::Command(std::vector<DfxUnit *> &stack)
{
    const std::string &c = words[0];
    DfxUnit *unit = nullptr;
    if (c == "module") return Want(2, 2, "module FILE") && (LoadModule(words[1]) || Fail("cannot load " + words[1]));
    if (c == "search") return Want(2, 2, "search DIR") && (AddSearchPath(Path(words[1])), true);
    if (c == "program") return Want(2, 2, "program NAME") && Program(stack);
    if (c == "end") return Want(1, 1, "end") && End(stack);
    if (c == "unit") {
        if (!Want(3, 1000, "unit LABEL NAME|- VALUES...")) return false;
        const std::string name = words[2] == "-" ? "" : words[2];
        const std::vector<std::string> values = Directories(words[1], Rest(3));
        return CreateUnit(context.program, words[1], name, values) ? true : Fail("unit " + words[1] + " not created");
    }
    if (c == "name")
        return Want(3, 3, "name UNIT NEWNAME") && (unit = Unit(words[1])) && (Rename(unit, words[2]), true);
    if (c == "delete") return Want(2, 2, "delete UNIT") && (unit = Unit(words[1])) && (DeleteUnit(unit), true);
    if (c == "dialog")
        return Want(2, 1000, "dialog METHOD VALUES...") && (unit = Unit(words[1])) &&
               (SetDialog(unit, Rest(2)) || Fail("bad dialog values"));
    if (c == "connect") return Want(3, 3, "connect UNIT.OUT UNIT.IN") && Connect();
    if (c == "successor") {
        DfxUnit *next = nullptr;
        return Want(3, 3, "successor UNIT UNIT") && (unit = Unit(words[1])) && (next = Unit(words[2])) &&
               (SetSuccessor(unit, next), true);
    }
    if (c == "do") {
        if (!Want(2, 1000, "do UNIT [VALUES...]") || !(unit = Unit(words[1]))) return false;
        if (words.size() > 2 && !SetDialog(unit, Rest(2))) return Fail("bad dialog values");
        AddToCycle(context.program, unit);
        return true;
    }
    if (c == "run") return Want(2, 3, "run N [PROGRAM]") && RunN();
    if (c == "print") return Want(2, 2, "print UNIT.OUT") && Print();
    if (c == "reset" || c == "init")
        return Want(1, 1, "reset|init") &&
               (Control(context.program, c == "reset" ? DFX_CTRL_RESET : DFX_CTRL_INIT), true);
    if (c == "payload") return Want(3, 3, "payload UNIT N") && Payload();
    if (c == "save")
        return Want(2, 2, "save FILE") && (SaveProgram(context.program, Path(words[1])) || Fail("not saved"));
    if (c == "load")
        return Want(2, 2, "load FILE") && (LoadProgram(context.program, Path(words[1])) || Fail("not loaded"));
    if (c == "key") return Want(2, 2, "key C") && Key();
    if (c == "ray") return Want(7, 7, "ray EX EY EZ DX DY DZ") && Ray();
    if (c == "mouse") return Want(2, 4, "mouse EVENT [X Y]") && Mouse();
    return Fail("unknown command '" + c + "'");
}

} // namespace

bool RunScript(std::istream &in, ScriptContext &context)
{
    if (!context.program) context.program = Root();
    Reader reader{in, context, {}, {}};
    std::vector<DfxUnit *> stack;
    std::string line;
    while (!context.failed && std::getline(in, line)) {
        ++context.line;
        if (!Tokens(line, reader.words)) {
            reader.Fail("unterminated quote");
            break;
        }
        if (!reader.words.empty()) reader.Command(stack);
    }
    while (!stack.empty()) reader.End(stack);
    if (!context.failed) reader.LoadPending();
    return !context.failed;
}

} // namespace dfx
