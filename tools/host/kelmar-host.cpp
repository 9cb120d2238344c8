// kelmar-host: runs a host program written as a script (see the stand-in's
// Script.cpp for its commands) with the module kelmar.so, loaded the way
// the host loads it, without the host.
//
//   kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT
//
// -m adds a directory to the module path (the build's module folder is on
// it already), -n runs the program's cycle that many times after the
// script, -q keeps info messages (the key help, lists) quiet, -h prints
// the usage. Where the
// viewer library is built the host's renderer unit "render" is in the
// palette too; it needs an X display and is refused without one. Files the
// script names are looked for beside it. Exit status: 0 when the script
// ran through, 1 when a line failed, 2 for a bad command line.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include <dfx/standin.h>
#ifdef KELMAR_HOST_RENDER
#include <dfx/render.h>
#endif

namespace {

struct Options {
    std::string script;
    int cycles = 0;
    bool quiet = false;
};

const char kUsage[] = "usage: kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT\n";

int Usage(const std::string &why)
{
    std::cerr << "kelmar-host: " << why << "\n" << kUsage;
    return 2;
}

bool IsDirectory(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A whole number >= 0 and nothing else.
bool Cycles(const std::string &text, int &cycles)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
    cycles = std::atoi(text.c_str());
    return true;
}

// False with why set on a bad command line; help is set by -h or --help.
bool Parse(int argc, char **argv, Options &options, std::string &why, bool &help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            return true;
        }
        if ((arg == "-m" || arg == "-n") && i + 1 >= argc) {
            why = arg + " needs a value";
            return false;
        }
        if (arg == "-m") {
            if (!IsDirectory(argv[++i])) {
                why = std::string("no module folder '") + argv[i] + "'";
                return false;
            }
            dfx::AddModulePath(argv[i]);
        } else if (arg == "-n") {
            if (!Cycles(argv[++i], options.cycles)) {
                why = std::string("-n takes a number of cycles, not '") + argv[i] + "'";
                return false;
            }
        } else if (arg == "-q")
            options.quiet = true;
        else if (!arg.empty() && arg[0] != '-' && options.script.empty())
            options.script = arg;
        else {
            why = "unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (options.script.empty()) why = "no script";
    return !options.script.empty();
}

std::string DirectoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    std::string why;
    bool help = false;
    if (!Parse(argc, argv, options, why, help)) return Usage(why);
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    std::ifstream in(options.script);
    if (!in || IsDirectory(options.script)) return Usage("cannot read " + options.script);
    if (options.quiet)
        dfx::SetDiagnosticsSink([](int level, const std::string &text) {
            if (level > DFX_INFO) std::cerr << (level == DFX_WARNING ? "warning: " : "error: ") << text;
        });
    dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
    if (!dfx::LoadModule("kelmar.so")) return 1;
#ifdef KELMAR_HOST_RENDER
    dfx::AddRenderIcon();
#endif
    dfx::ScriptContext context;
    context.program = dfx::NewProgram(nullptr, "main");
    context.out = &std::cout;
    context.file = options.script;
    context.directory = DirectoryOf(options.script);
    dfx::AddSearchPath(context.directory);
    bool ok = dfx::RunScript(in, context);
    if (ok && options.cycles > 0) ok = dfx::RunCycles(context.program, options.cycles);
    dfx::DeleteUnit(dfx::Find(nullptr, "main"));
    dfx::UnloadModules();
    return ok ? 0 : 1;
}
