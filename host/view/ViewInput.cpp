// What keys and the middle button do in a view.
#include <cmath>
#include <list>

#include <kelmar/Solid.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxUniverse.h"
#include "view/ViewHandlers.h"

namespace kelmar {

const char *const kViewKeyHelp[12] = {"*** list of keys definitions in Universe::draw ***",
                                      "g - toggle extra graphics",
                                      "p - toggle pause",
                                      "s - do one simulation step (in pause mode)",
                                      "r - reload all scenes",
                                      "the following keys toggle the behaviour of the middle mouse button",
                                      "d - drag solid: apply force to selected solid (default)",
                                      "' ' - drag frame (default mode of view3d)",
                                      "f - toggle visualization of forces for selected solid",
                                      "c - toggle visualization of contacts (with friction cones)",
                                      "m - toggle visualization of center of mass",
                                      "M - mark selected solid"};

namespace {

std::list<DfxUniverse *> Universes()
{
    return TheAdmin().Universes();
}

// Pause off, one step, pause on again, for every paused universe.
void SingleStep()
{
    for (DfxUniverse *universe : Universes()) {
        if (!(universe->GetOptions() & Universe::kPause)) continue;
        universe->ClearOptions(Universe::kPause);
        universe->Step();
        universe->AddOptions(Universe::kPause);
    }
}

} // namespace

void ViewHandlers::PrintHelp() const
{
    for (const char *line : kViewKeyHelp) dfx_diagnostics(DFX_INFO, "%s\n", line);
}

void ViewHandlers::Activate(const char *name) const
{
    if (activate_) activate_(name);
}

// Keys from '?' to 's'; the rest, and those of the range without a
// meaning here, go on to the view.
bool ViewHandlers::HandleKey(int key)
{
    if (key < '?' || key > 's') return false;
    switch (key) {
    case '?':
    case 'h': PrintHelp(); return true;
    case 'g':
        for (DfxUniverse *u : Universes()) u->ToggleOptions(Universe::kShowGraphics);
        return true;
    case 'p':
        for (DfxUniverse *u : Universes()) u->ToggleOptions(Universe::kPause);
        return true;
    case 's': SingleStep(); return true;
    case 'r':
        for (DfxUniverse *u : Universes()) u->reset();
        return true;
    case 'd': Activate("kelmar:drag"); return true;
    default: break;
    }
    static const struct {
        int key;
        ClickMode mode;
    } kClickKeys[] = {{'f', ClickMode::kForces},
                      {'c', ClickMode::kContacts},
                      {'m', ClickMode::kCentreOfMass},
                      {'M', ClickMode::kMark}};
    for (const auto &k : kClickKeys) {
        if (k.key != key) continue;
        clickMode_ = k.mode;
        Activate("kelmar:pick");
        return true;
    }
    return false;
}

int ViewHandlers::Key(View3d *, int key, void *data)
{
    return static_cast<ViewHandlers *>(data)->HandleKey(key) ? 1 : 0;
}

// From the clicked point's eye position along the viewing direction.
bool ViewHandlers::Ray(View3d *view, int x, int y, double from[3], double to[3]) const
{
    double direction[3];
    if (!getClickPoint_ || !getClickPoint_(view, x, y, from, direction)) return false;
    const double length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                    direction[2] * direction[2]);
    if (!(length > 0)) return false;
    for (int i = 0; i < 3; ++i) to[i] = from[i] + kRayLength * direction[i] / length;
    return true;
}

void ViewHandlers::Click(View3d *view, int x, int y, void *data)
{
    auto *self = static_cast<ViewHandlers *>(data);
    double from[3], to[3], hit[3];
    if (!self->Ray(view, x, y, from, to)) return;
    static const unsigned int kOption[] = {Solid::kDrawForces, Solid::kDrawContacts, Solid::kDrawInertia, 0};
    for (DfxUniverse *universe : Universes()) {
        Solid *solid = universe->PickSolid(from, to, hit);
        if (self->clickMode_ == ClickMode::kMark) {
            universe->SetMarkedSolid(solid);
            continue;
        }
        if (!solid) continue;
        solid->ToggleOptions(kOption[static_cast<int>(self->clickMode_)]);
        return;
    }
}

void ViewHandlers::Press(View3d *view, int x, int y, void *data)
{
    auto *self = static_cast<ViewHandlers *>(data);
    double from[3], to[3];
    self->dragging_ = nullptr;
    if (!self->Ray(view, x, y, from, to)) return;
    for (DfxUniverse *universe : Universes())
        if (universe->BeginPicking(from, to)) {
            self->dragging_ = universe;
            return;
        }
}

void ViewHandlers::Move(View3d *view, int x, int y, void *data)
{
    auto *self = static_cast<ViewHandlers *>(data);
    double from[3], to[3];
    const auto universes = Universes();
    bool alive = false;
    for (DfxUniverse *universe : universes) alive = alive || universe == self->dragging_;
    if (alive && self->Ray(view, x, y, from, to)) self->dragging_->DoPicking(from, to);
}

void ViewHandlers::Release(View3d *, int, int, void *data)
{
    auto *self = static_cast<ViewHandlers *>(data);
    for (DfxUniverse *universe : Universes())
        if (universe == self->dragging_) universe->EndPicking();
    self->dragging_ = nullptr;
}

} // namespace kelmar
