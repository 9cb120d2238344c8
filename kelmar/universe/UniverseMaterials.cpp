// The material table and the contact parameters of material pairs.
#include <kelmar/Universe.h>

#include <cstdio>
#include <cstring>

#include <kelmar/Graphics.h>
#include <kelmar/RbdContact.h>
#include <kelmar/SbxBridge.h>

namespace kelmar {

namespace {

const int kBuiltIn = 7;

struct BuiltInMaterial {
    const char *name;
    double density; // g/cm^3 (stored divided by 1000: kg/cm^3)
    float color[4];
    double restitution;
    double softness;
};

const BuiltInMaterial kMaterials[kBuiltIn] = {
    {"metal", 7.8, {0.47f, 0.7f, 1.0f, 1.0f}, 0.1, 1e-6},     {"glass", 2.5, {1.0f, 0.89f, 0.87f, 0.5f}, 0, 1e-5},
    {"plastic", 1.35, {1.0f, 0.84f, 0.0f, 1.0f}, 0.01, 1e-5}, {"wood", 0.8, {0.75f, 0.38f, 0.0f, 1.0f}, 0.01, 1e-4},
    {"rubber", 1.1, {1.0f, 1.0f, 1.0f, 1.0f}, 0, 0.01},       {"user", 1.0, {0.8f, 0.2f, 0.2f, 1.0f}, 0, 1e-4},
    {"nofriction", 1.0, {0.0f, 1.0f, 0.0f, 1.0f}, 0, 1e-4},
};

// Static friction coefficients of the built-in pairs (only i <= j is read);
// the dynamic coefficient is 0.3 times the static one.
const double kMu[kBuiltIn][kBuiltIn] = {
    {0.2, 0.2, 0.2, 0.3, 1.0, 0, 0}, {0, 0.2, 0.2, 0.3, 1.0, 0, 0}, {0, 0, 0.3, 0.4, 1.0, 0, 0},
    {0, 0, 0, 0.4, 1.0, 0, 0},       {0, 0, 0, 0, 2.0, 0, 0},       {0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0},
};
const double kDynamicRatio = 0.3;

} // namespace

void Universe::CheckMaterial(int index) const
{
    if (index < 0 || index >= numMaterials_) throw BadMaterial(index);
}

void Universe::InitMaterials()
{
    for (int i = 0; i < numMaterials_; ++i) {
        MaterialData &m = materials_[static_cast<size_t>(i)];
        m = MaterialData();
        if (i < kBuiltIn) {
            m.name = kMaterials[i].name;
            m.named = true;
            m.density = kMaterials[i].density / 1000.0;
            std::memcpy(m.color, kMaterials[i].color, sizeof m.color);
        } else {
            Graphics::GetDefaultColor(m.color);
        }
    }
}

int Universe::GetMaterialId(const char *name) const
{
    if (!name) return -1;
    for (int i = 0; i < numMaterials_; ++i)
        if (materials_[static_cast<size_t>(i)].named && materials_[static_cast<size_t>(i)].name == name) return i;
    return -1;
}

const char *Universe::GetMaterialName(int index) const
{
    CheckMaterial(index);
    const MaterialData &m = materials_[static_cast<size_t>(index)];
    if (m.named) return m.name.c_str();
    std::snprintf(nameBuffer_, sizeof nameBuffer_, "%d", index);
    return nameBuffer_;
}

void Universe::SetMaterialName(int index, const char *name)
{
    CheckMaterial(index);
    MaterialData &m = materials_[static_cast<size_t>(index)];
    m.named = name != nullptr;
    m.name = name ? name : "";
}

double Universe::GetMaterialDensity(int index) const
{
    CheckMaterial(index);
    return materials_[static_cast<size_t>(index)].density;
}

void Universe::SetMaterialDensity(int index, double density)
{
    CheckMaterial(index);
    materials_[static_cast<size_t>(index)].density = density;
}

void Universe::GetMaterialColor(int index, float *rgba) const
{
    CheckMaterial(index);
    std::memcpy(rgba, materials_[static_cast<size_t>(index)].color, 4 * sizeof(float));
}

void Universe::SetMaterialColor(int index, const float *rgba)
{
    CheckMaterial(index);
    std::memcpy(materials_[static_cast<size_t>(index)].color, rgba, 4 * sizeof(float));
}

// ---- Contact parameters ----

RbdContactParams *Universe::GetContactParameters(int a, int b) const
{
    CheckMaterial(a);
    CheckMaterial(b);
    return SbxBridgeGetContactParams(bridge_, a, b);
}

double Universe::GetContactParameter(int a, int b, tContactParameter p) const
{
    const RbdContactParams *params = GetContactParameters(a, b);
    switch (p) {
    case kSoftness: return RbdContactParamsGetSoftness(params);
    case kRestitution: return RbdContactParamsGetRestitution(params);
    case kRestitutionThreshold: return RbdContactParamsGetRestitutionThreshold(params);
    case kMaxAdhesiveForce: return RbdContactParamsGetMaxAdhesiveForce(params);
    case kStaticFriction: return RbdContactParamsGetPrimaryFrictionCoefficient(params);
    case kDynamicFriction: return RbdContactParamsGetSecondaryFrictionCoefficient(params);
    case kPrimaryFrictionForce:
    case kFrictionForces: return RbdContactParamsGetPrimaryFriction(params);
    case kSecondaryFrictionForce: return RbdContactParamsGetSecondaryFriction(params);
    }
    return 0.0;
}

// Coefficients switch the pair to friction proportional to the normal force,
// force limits to box friction; any friction value decides whether the pair
// has friction at all.
void Universe::SetContactParameter(int a, int b, tContactParameter p, double value)
{
    RbdContactParams *params = GetContactParameters(a, b);
    switch (p) {
    case kSoftness: RbdContactParamsSetSoftness(params, value); return;
    case kRestitution: RbdContactParamsSetRestitution(params, value); return;
    case kRestitutionThreshold: RbdContactParamsSetRestitutionThreshold(params, value); return;
    case kMaxAdhesiveForce: RbdContactParamsSetMaxAdhesiveForce(params, value); return;
    case kStaticFriction:
        RbdContactParamsSetPrimaryFrictionCoefficient(params, value);
        RbdContactParamsSetFrictionModel(params, 1);
        break;
    case kDynamicFriction:
        RbdContactParamsSetSecondaryFrictionCoefficient(params, value);
        RbdContactParamsSetFrictionModel(params, 1);
        break;
    case kPrimaryFrictionForce:
        RbdContactParamsSetPrimaryFriction(params, value);
        RbdContactParamsSetFrictionModel(params, 0);
        break;
    case kSecondaryFrictionForce:
        RbdContactParamsSetSecondaryFriction(params, value);
        RbdContactParamsSetFrictionModel(params, 0);
        break;
    case kFrictionForces:
        RbdContactParamsSetFriction(params, value);
        RbdContactParamsSetFrictionModel(params, 0);
        break;
    default: return;
    }
    RbdContactParamsSetType(params, value > 0 ? 2 : 0);
}

void Universe::ApplyFrictionCoefficients(int i, int j)
{
    SetContactParameter(i, j, kStaticFriction, kMu[i][j]);
    SetContactParameter(i, j, kDynamicFriction, kDynamicRatio * kMu[i][j]);
}

void Universe::InitContactParameters(bool reset)
{
    for (int i = 0; i < numMaterials_; ++i)
        for (int j = i; j < numMaterials_; ++j) {
            RbdContactParams *params = SbxBridgeGetContactParams(bridge_, i, j);
            if (reset) {
                RbdContactParamsReset(params);
                RbdContactParamsSetType(params, 2);
                RbdContactParamsSetRestitution(params, 0.0);
                RbdContactParamsSetSoftness(params, 0.0001);
            }
            if (i >= kBuiltIn || j >= kBuiltIn) continue;
            if (reset) {
                RbdContactParamsSetRestitution(params, kMaterials[i].restitution * kMaterials[j].restitution);
                RbdContactParamsSetSoftness(params, (kMaterials[i].softness + kMaterials[j].softness) * 0.5);
            }
            ApplyFrictionCoefficients(i, j);
        }
    if (options_ & kFrictionSwitching) InstallFrictionCallbacks();
}

} // namespace kelmar
