// The one place host exceptions are caught: every call the host makes
// into a module passes here. A call that fails leaves the unit tree as it
// was: units it made are removed again, newest first.
#include <algorithm>
#include <exception>

#include "StandIn.h"

namespace dfx {

namespace {

CaughtException gLast;
int gDepth = 0;                  // boundaries entered and not left
std::vector<DfxUnit *> gCreated; // units made inside the outermost one

void Record(DfxUnit *unit, const char *what, const std::string &id, const std::string &text)
{
    gLast = {id, text, UnitPath(unit), what ? what : ""};
    Emit(DFX_ERROR, UnitPath(unit) + ": " + gLast.call + ": exception '" + id + "': " + text);
}

void RollBack()
{
    std::vector<DfxUnit *> created;
    created.swap(gCreated);
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        if (IsLive(*it)) Destroy(*it);
}

} // namespace

const CaughtException &LastException()
{
    return gLast;
}

void ClearLastException()
{
    gLast = CaughtException();
}

void NoteCreated(DfxUnit *unit)
{
    if (gDepth > 0) gCreated.push_back(unit);
}

void NoteDestroyed(DfxUnit *unit)
{
    gCreated.erase(std::remove(gCreated.begin(), gCreated.end(), unit), gCreated.end());
}

// A boundary inside another (a module asking the host to delete a unit,
// say) lets exceptions through to the outer one.
bool Boundary(DfxUnit *unit, const char *what, void (*call)(void *), void *data)
{
    if (gDepth > 0) {
        call(data);
        return true;
    }
    ++gDepth;
    bool ok = false;
    try {
        call(data);
        ok = true;
        gCreated.clear();
    } catch (const HostException &e) {
        Record(unit, what, e.id, e.text);
    } catch (const std::exception &e) {
        Record(unit, what, "c++:exception", std::string(e.what()) + "\n");
    }
    try {
        if (!ok) RollBack();
    } catch (const HostException &e) {
        Record(unit, "rollback", e.id, e.text);
    }
    --gDepth;
    return ok;
}

} // namespace dfx
