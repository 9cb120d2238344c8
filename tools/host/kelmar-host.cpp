// kelmar-host: runs a host program written as a script (see the stand-in's
// Script.cpp for its commands) with the module kelmar.so, loaded the way
// the host loads it, without the host.
//
//   kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT
//
// -m adds a directory to the module path (the build's module folder is on
// it already), -n runs the program's cycle that many times after the
// script, -q keeps info messages (the key help, lists) quiet. Where the
// viewer library is built the host's renderer unit "render" is in the
// palette too; it needs an X display and is refused without one. Files the
// script names are looked for beside it. Exit status: 0 when the script
// ran through, 1 when a line failed, 2 for a bad command line.
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

int Usage(const char *why)
{
    std::cerr << "kelmar-host: " << why << "\nusage: kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT\n";
    return 2;
}

bool Parse(int argc, char **argv, Options &options, std::string &why)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "-m" && value)
            dfx::AddModulePath(argv[++i]);
        else if (arg == "-n" && value)
            options.cycles = std::atoi(argv[++i]);
        else if (arg == "-q")
            options.quiet = true;
        else if (!arg.empty() && arg[0] != '-' && options.script.empty())
            options.script = arg;
        else {
            why = "unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (options.script.empty()) why = "no script";
    return !options.script.empty() && options.cycles >= 0;
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
    if (!Parse(argc, argv, options, why)) return Usage(why.c_str());
    std::ifstream in(options.script);
    if (!in) return Usage(("cannot read " + options.script).c_str());
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
