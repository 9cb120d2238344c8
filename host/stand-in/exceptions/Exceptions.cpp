// Host exceptions: prog_throw raises a HostException, which only the
// boundary of a host call catches (see Boundary.cpp). Fault injection
// raises one from a counted host call, so that tests can reach every
// point where a module may be interrupted.
#include <algorithm>
#include <cstdarg>
#include <exception>

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

namespace {

void CopyOut(const std::string &from, char *to, int size)
{
    if (!to || size <= 0) return;
    const size_t n = std::min(from.size(), static_cast<size_t>(size - 1));
    from.copy(to, n);
    to[n] = '\0';
}

} // namespace

extern "C" int prog_protect(void (*call)(void *), void *data, char *id, int idSize, char *text, int textSize)
{
    try {
        call(data);
        return 0;
    } catch (const dfx::HostException &e) {
        CopyOut(e.id, id, idSize);
        CopyOut(e.text, text, textSize);
    } catch (const std::exception &e) {
        CopyOut("c++:exception", id, idSize);
        CopyOut(std::string(e.what()) + "\n", text, textSize);
    }
    return 1;
}
