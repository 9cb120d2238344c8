// Universe life, scenes, options, the step and drawing.
#include <kelmar/Universe.h>

#include <cstdio>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/Color.h>
#include <kelmar/Graphics.h>
#include <kelmar/RbdStep.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/SbxBridge.h>
#include <kelmar/SbxUniverse.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

namespace kelmar {

// The toolkit's epsilon is a softness in velocity per unit impulse added to
// every row, friction rows included. Friction rows correct no position
// error, so there it is a slip: a holding friction force f creeps at
// epsilon x f x h. At 0.01 a block of 0.8 kg resting on a 20 degree slope
// crept at 0.03 cm/s, thirty times the sticking threshold of the friction
// switching, and slid off at the dynamic coefficient. At 1e-5 it creeps at
// 3e-5 cm/s and rests; the softness of contacts comes from their
// materials' softness, which acts on the normal rows only.
const double Universe::kDefaultEpsilon = 1e-5;
const double Universe::kDefaultGamma = 0.2;
const double Universe::kDefaultTimeStep = 0.05;

namespace {

// Pivoting iterations of a robot universe's LCP solves (see Init).
const int kLcpIterations = 100;

} // namespace

BadMaterial::BadMaterial(int i) : std::out_of_range("bad material index " + std::to_string(i)), index(i)
{
}

Universe::Universe(int maxBodies, int maxConstraints, int maxModels, int maxPairs, int numMaterials)
    : maxBodies_(maxBodies < 1 ? 100 : maxBodies), maxConstraints_(maxConstraints < 1 ? 100 : maxConstraints),
      maxModels_(maxModels < 1 ? 100 : maxModels), maxPairs_(maxPairs < 1 ? 1200 : maxPairs),
      numMaterials_(numMaterials < 1 ? 7 : numMaterials), materials_(static_cast<size_t>(numMaterials_))
{
    InstallColorLookup();
    CDX::Init(maxModels_);
    Init();
}

Universe::~Universe()
{
    Destroy();
    CDX::Free(maxModels_);
}

// World parameters and the clock are set before the scenes are loaded, so
// that a time step or world parameter a scene file gives survives reset():
// a reset reproduces the state of the first load.
void Universe::Init()
{
    world_ = RbdWorldCreate(maxBodies_, maxConstraints_);
    RbdWorldSetAutoDisable(world_, 1);
    space_ = CdxSpaceAxisSortCreate(CdxAllAxes, maxModels_, maxPairs_);
    bridge_ = SbxBridgeCreate(numMaterials_);
    SbxBridgeSetModelPairBufferSize(bridge_, maxPairs_);
    SbxSetWorldHandlers(world_);
    InitMaterials();
    InitContactParameters(true);
    time = 0.0;
    RbdWorldSetEpsilon(world_, kDefaultEpsilon);
    RbdWorldSetGamma(world_, kDefaultGamma);
    // The toolkit's bound on error correction is 1 length unit per second:
    // 1 m/s in metres, here in centimetres the same speed is 100.
    RbdWorldSetMaxCorrectingVelocity(world_, 100.0);
    // The toolkit caps a penetration's correction at 8 per second to keep
    // tall stacks from launching their top box on short steps. Robot scenes
    // step at a few milliseconds, where that cap would leave a held ball or
    // a resting object sunk several times deeper (soft contacts settle where
    // the correction balances the weight); they correct at gamma / h.
    RbdWorldSetMaxCorrectingRate(world_, 1e6);
    // A hand closing on an object forms one island of some two hundred rows
    // with most finger motors at their force bounds. Within the toolkit's 35
    // pivoting iterations (and the descent they hand over to) its solve stops
    // unconverged, and nothing says so: the impulses left miss the rows'
    // velocities (hinge rows the most) by about 1 cm/s or rad/s every step
    // and by tens now and then, so the fingers shake and one is thrown off
    // the object. With 100 the worst row stays within about 0.5.
    RbdWorldLCPSetMaxIterations(world_, kLcpIterations);
    timeStep = kDefaultTimeStep;
    for (Scene *scene : scenes_) scene->create(this);
}

void Universe::Destroy()
{
    pickedBody_ = nullptr;
    for (Scene *scene : scenes_) {
        ForgetMarkOf(scene);
        scene->remove();
    }
    if (bridge_) SbxBridgeDestroy(bridge_);
    if (world_) RbdWorldDestroy(world_);
    if (space_) CdxSpaceDestroy(space_);
    bridge_ = nullptr;
    world_ = nullptr;
    space_ = nullptr;
}

void Universe::reset()
{
    Destroy();
    Init();
}

void Universe::step()
{
    if (options_ & kPause) return;
    CdxSpaceUpdateAll(space_);
    SbxBridgeUpdateContacts(bridge_, space_, world_);
    RbdWorldSetTimeStep(world_, timeStep);
    RbdWorldStep(world_, timeStep);
    time += timeStep;
    for (Scene *scene : scenes_) scene->Update();
}

bool Universe::AddScene(Scene *scene)
{
    if (!scene) return false;
    const bool loaded = scene->create(this);
    scenes_.push_front(scene);
    return loaded;
}

void Universe::DelScene(Scene *scene)
{
    for (auto it = scenes_.begin(); it != scenes_.end(); ++it) {
        if (*it != scene) continue;
        scenes_.erase(it);
        ForgetMarkOf(scene);
        if (pickedBody_) pickedBody_ = nullptr;
        scene->remove();
        return;
    }
}

// Each scene is read again into the same world, space and bridge and given
// back its saved status. Nothing of the steps before survives: the contacts
// went with the models, and the space hands the new models the ids of a
// fresh load, so the pairs, contacts and solver rows come in the same order
// and the universe steps bit for bit as a freshly loaded one.
void Universe::ResetScenesWithRestore(unsigned int flags)
{
    pickedBody_ = nullptr;
    for (Scene *scene : scenes_) {
        ForgetMarkOf(scene);
        scene->saveStatusToTmp(flags);
        scene->create(this);
        scene->loadStatusFromTmp();
    }
}

// ---- Options ----

void Universe::SetOptions(unsigned int options)
{
    const unsigned int old = options_;
    options_ = options;
    OptionsChanged(old, options_);
}

void Universe::AddOptions(unsigned int options)
{
    SetOptions(options_ | options);
}

void Universe::ClearOptions(unsigned int options)
{
    SetOptions(options_ & ~options);
}

void Universe::ToggleOptions(unsigned int options)
{
    SetOptions(options_ ^ options);
}

// Switching friction on re-applies the built-in coefficients and installs
// the callbacks; switching it off takes effect with the next reset, which
// builds a bridge without them.
void Universe::OptionsChanged(unsigned int oldOptions, unsigned int newOptions)
{
    if (!(oldOptions & kFrictionSwitching) && (newOptions & kFrictionSwitching)) InitContactParameters(false);
}

// ---- Drawing, bounds, marking ----

void Universe::draw(unsigned int flags)
{
    const unsigned int effective = (options_ & (kShowGraphics | kShowTextures | kWireframe | kCullBackFaces)) | flags;
    Graphics::PrepareDrawing(effective);
    for (Scene *scene : scenes_) scene->draw(effective);
    if (pickedBody_ && (effective & kDrawTranslucentPass)) DrawLine(pickCurrent_, pickTarget_, pickLineColor_);
    Graphics::FinishDrawing(effective);
}

const float *Universe::GetBounds() const
{
    static float bounds[6];
    bool first = true;
    CdxSpaceModelIterator it;
    CdxModelID model = nullptr;
    CdxSpaceModelIteratorBegin(space_, &it);
    while (CdxSpaceGetModel(space_, &it, &model)) {
        if (CdxGeometryGetTypeId(CdxModelGetGeometry(model)) == CdxPlaneGetTypeId()) continue;
        PxVector3 min, max;
        if (!CdxModelGetAABB(model, min, max)) continue;
        for (int axis = 0; axis < 3; ++axis) {
            const float lo = static_cast<float>(min[axis]), hi = static_cast<float>(max[axis]);
            if (first || lo < bounds[2 * axis]) bounds[2 * axis] = lo;
            if (first || hi > bounds[2 * axis + 1]) bounds[2 * axis + 1] = hi;
        }
        first = false;
    }
    if (first)
        for (float &b : bounds) b = 0;
    return bounds;
}

void Universe::RestoreMark()
{
    Graphics *graphics = markedSolid_ ? markedSolid_->GetGraphics() : nullptr;
    if (!graphics) return;
    float color[4];
    graphics->GetColor(color);
    const float restored[4] = {markSavedColor_[0], markSavedColor_[1], markSavedColor_[2], color[3]};
    graphics->SetColor(restored);
}

bool Universe::ForgetMarkOf(Scene *scene)
{
    if (!markedSolid_ || markedSolid_->scene != scene) return false;
    RestoreMark();
    markedSolid_ = nullptr;
    return true;
}

// The marked solid shows green with its own alpha until another is marked.
void Universe::SetMarkedSolid(Solid *solid)
{
    if (solid == markedSolid_) return;
    RestoreMark();
    markedSolid_ = solid;
    Graphics *graphics = solid ? solid->GetGraphics() : nullptr;
    if (!graphics) return;
    graphics->GetColor(markSavedColor_);
    const float green[4] = {0, 1, 0, markSavedColor_[3]};
    graphics->SetColor(green);
}

} // namespace kelmar
