// Host exceptions: prog_throw raises a HostException, which only the
// boundary of a host call catches (see Boundary.cpp). Fault injection
// raises one from a counted host call, so that tests can reach every
// point where a module may be interrupted.
#include <cstdarg>

#include "StandIn.h"

namespace dfx {

namespace {

long gCalls = 0;
long gFaultAt = 0; // 0: no fault armed

} // namespace

void InjectFault(int n)
{
    gFaultAt = n > 0 ? gCalls + n : 0;
}

long HostCallCount()
{
    return gCalls;
}

void CountHostCall()
{
    ++gCalls;
    if (gFaultAt == 0 || gCalls != gFaultAt) return;
    gFaultAt = 0;
    throw HostException{"test:fault", "injected fault at host call " + std::to_string(gCalls) + "\n"};
}

} // namespace dfx

extern "C" void prog_throw(const char *id, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = dfx::FormatV(format, args);
    va_end(args);
    throw dfx::HostException{id ? id : "", std::move(text)};
}
