// The top-level simulation container of the robot layer: one dynamics
// world, one collision space and one bridge, the material table with the
// contact parameters of every material pair, the scenes loaded into it, the
// clock, option bits, mouse picking and the marked solid.
//
// Units: centimetres, kilograms, seconds (a density of 0.0078 kg/cm^3 is
// steel; gravity on earth is 981 cm/s^2). The world's gravity starts at
// zero: scenes set it.
#ifndef KELMAR_UNIVERSE_H
#define KELMAR_UNIVERSE_H

#include <cstdio>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include <kelmar/CdxTypes.h>
#include <kelmar/PxStream.h>
#include <kelmar/PxXML.h>
#include <kelmar/RbdContactParams.h>
#include <kelmar/RbdTypes.h>
#include <kelmar/SbxResponse.h>

namespace kelmar {

class Scene;
class Solid;

// Thrown by every material accessor given an index outside the table.
class BadMaterial : public std::out_of_range {
public:
    explicit BadMaterial(int index);
    int index;
};

// One contact parameter of a material pair.
enum tContactParameter {
    kSoftness = 0,
    kRestitution = 1,
    kRestitutionThreshold = 2, // cm/s; "MINSPEED" in files
    kMaxAdhesiveForce = 3,     // kg cm/s^2
    kStaticFriction = 4,       // primary coefficient
    kDynamicFriction = 5,      // secondary coefficient
    kPrimaryFrictionForce = 6, // box limits (kg cm/s^2)
    kSecondaryFrictionForce = 7,
    kFrictionForces = 8 // both limits; read back as the primary one
};

struct MaterialData {
    std::string name; // empty: unnamed (display name is the index)
    bool named = false;
    double density = 0.001; // kg/cm^3
    double unused = 0.1;
    float color[4] = {1, 1, 1, 1};
};

// The collision library, shared by every universe of the process. nModels
// is the model capacity it holds; nUsedModels the sum over live universes
// of 2 x their model capacity.
class CDX {
public:
    static void Init(int maxModels);
    static void Free(int maxModels);
    static void Term();
    static int nModels;
    static int nUsedModels;
};

class Universe {
public:
    enum Option : unsigned int {
        kShowGraphics = 0x01,
        kShowTextures = 0x02,
        kFrictionSwitching = 0x04, // contacts switch between static and dynamic friction
        kScaledBox = 0x08,         // keep the normal-force friction model
        kWireframe = 0x10,
        kCullBackFaces = 0x20,
        kPause = 0x40 // step() does nothing
    };

    // Arguments below 1 take the defaults 100, 100, 100, 1200 and 7.
    Universe(int maxBodies = 0, int maxConstraints = 0, int maxModels = 0, int maxPairs = 0, int numMaterials = 0);
    virtual ~Universe();
    Universe(const Universe &) = delete;
    Universe &operator=(const Universe &) = delete;

    virtual void reset();
    virtual void draw(unsigned int flags);
    virtual void saveStatus(PxStream *stream) const;
    virtual int loadStatus(PxXMLElement *element);
    virtual void saveStatus(FILE *file) const;
    virtual int loadStatus(FILE *file);
    virtual void ResetScenesWithRestore(unsigned int flags);

    void Init();
    void Destroy();
    // Collision, contacts, dynamics, clock, scene updates.
    void step();

    // Loads the scene (Scene::create) and puts it first in the list.
    bool AddScene(Scene *scene);
    void DelScene(Scene *scene);
    const std::list<Scene *> &GetScenes() const { return scenes_; }

    // ---- Options ----
    unsigned int GetOptions() const { return options_; }
    void SetOptions(unsigned int options);
    void AddOptions(unsigned int options);
    void ClearOptions(unsigned int options);
    void ToggleOptions(unsigned int options);
    void OptionsChanged(unsigned int oldOptions, unsigned int newOptions);

    // ---- Materials ----
    int GetNumMaterials() const { return numMaterials_; }
    int GetMaterialId(const char *name) const;
    // The name, or the decimal index for an unnamed material.
    const char *GetMaterialName(int index) const;
    void SetMaterialName(int index, const char *name);
    double GetMaterialDensity(int index) const;
    void SetMaterialDensity(int index, double density);
    void GetMaterialColor(int index, float *rgba) const;
    void SetMaterialColor(int index, const float *rgba);
    void InitMaterials();

    // ---- Contact parameters of material pairs ----
    RbdContactParams *GetContactParameters(int a, int b) const;
    double GetContactParameter(int a, int b, tContactParameter p) const;
    void SetContactParameter(int a, int b, tContactParameter p, double value);
    void InitContactParameters(bool reset);

    // ---- Picking (points in cm, world) ----
    Solid *PickSolid(const double *from, const double *to, double *hitPoint);
    bool BeginPicking(const double *from, const double *to);
    void DoPicking(const double *from, const double *to);
    void EndPicking();
    bool IsPicking() const { return pickedBody_ != nullptr; }
    void GetPickTarget(double *target) const;
    void SetMarkedSolid(Solid *solid);
    Solid *GetMarkedSolid() const { return markedSolid_; }

    // {xmin, xmax, ymin, ymax, zmin, zmax} of every model but planes.
    const float *GetBounds() const;

    RbdWorldID GetWorld() const { return world_; }
    CdxSpaceID GetSpace() const { return space_; }
    SbxBridgeID GetBridge() const { return bridge_; }
    int GetMaxModels() const { return maxModels_; }
    double timeStep = 0.05; // s
    double time = 0.0;      // s

    // The friction switching of one pair's contacts (the bridge's callbacks).
    void TransformDynamicContacts(CdxIntersectResult *result, RbdContactID contacts, bool isNew);

    // Default world parameters (see Init).
    static const double kDefaultEpsilon;
    static const double kDefaultGamma;
    static const double kDefaultTimeStep;

private:
    void CheckMaterial(int index) const;
    void RestoreMark();
    void ApplyFrictionCoefficients(int i, int j);
    void InstallFrictionCallbacks();
    bool ForgetMarkOf(Scene *scene);

    int maxBodies_, maxConstraints_, maxModels_, maxPairs_, numMaterials_;
    std::vector<MaterialData> materials_;
    RbdWorldID world_ = nullptr;
    CdxSpaceID space_ = nullptr;
    SbxBridgeID bridge_ = nullptr;
    Solid *markedSolid_ = nullptr;
    float markSavedColor_[4] = {1, 1, 1, 1};
    std::list<Scene *> scenes_; // newest first
    unsigned int options_ = kShowGraphics | kShowTextures | kFrictionSwitching;
    RbdBodyID pickedBody_ = nullptr;
    double pickLocal_[3] = {0, 0, 0};
    double pickTarget_[3] = {0, 0, 0};
    double pickCurrent_[3] = {0, 0, 0};
    double pickDistance_ = 0;
    float pickLineColor_[4] = {1.0f, 0.5f, 0.5f, 1.0f};
    mutable char nameBuffer_[16];
};

// Bridge callbacks (data: the universe) and the line-query filter of picking.
void IntersectNewCB(CdxIntersectResult *result, RbdContactID contacts, void *universe);
void IntersectActiveCB(CdxIntersectResult *result, RbdContactID contacts, void *universe);
int PickInteractableFilter(CdxModelID model, void *data);

} // namespace kelmar

#endif
