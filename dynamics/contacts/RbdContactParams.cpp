// Contact parameters: defaults, the setters with their option bits and
// checks, and the getters.
#include <math.h>
#include <kelmar/RbdContact.h>
#include "world/RbdInternal.h"

namespace {

enum { FRICTIONLESS = 0, BOX_FRICTION = 0, PROPORTIONAL_FRICTION = 1, TWO_DIRECTIONS = 2 };

bool checkNonNegative(PxReal value, const char *function, const char *what)
{
    if (isfinite(value) && value >= 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the %s must be finite and not negative (%g); unchanged.\n", function, what,
              value);
    return false;
}

int32_t checkedModel(int32_t model)
{
    if (model == BOX_FRICTION || model == PROPORTIONAL_FRICTION) return model;
    PxWarning(RBD_MESSAGE_LEVEL, "Unknown Friction Model, defaulting to box friction.\n");
    return BOX_FRICTION;
}

// The real parameters: the setter's name (for its refusal), the word the
// refusal uses, the check, the field or two fields (one value for both
// friction directions; their getter gives -1 when they differ) and the
// option bit a set value raises.
enum Check { NON_NEGATIVE, FINITE, UNIT_INTERVAL };
enum RealParam {
    RESTITUTION,
    RESTITUTION_THRESHOLD,
    SOFTNESS,
    MAX_ADHESIVE_FORCE,
    PRIMARY_FRICTION,
    SECONDARY_FRICTION,
    FRICTION,
    PRIMARY_SLIP,
    SECONDARY_SLIP,
    PRIMARY_SLIDE,
    SECONDARY_SLIDE,
    PRIMARY_COEFFICIENT,
    SECONDARY_COEFFICIENT,
    COEFFICIENT,
    SPIN_FRICTION
};

struct RealParamInfo {
    const char *setter;
    const char *what;
    Check check;
    PxReal RbdContactParams::*field;
    PxReal RbdContactParams::*other;
    int32_t option;
};

const RealParamInfo kRealParams[] = {
    {"RbdContactParamsSetRestitution", "restitution", UNIT_INTERVAL, &RbdContactParams::restitution, nullptr,
     RBD_CONTACT_RESTITUTION},
    {"RbdContactParamsSetRestitutionThreshold", "threshold", NON_NEGATIVE, &RbdContactParams::restitutionThreshold,
     nullptr, 0},
    {"RbdContactParamsSetSoftness", "softness", NON_NEGATIVE, &RbdContactParams::softness, nullptr,
     RBD_CONTACT_SOFTNESS},
    {"RbdContactParamsSetMaxAdhesiveForce", "adhesive force", NON_NEGATIVE, &RbdContactParams::maxAdhesiveForce,
     nullptr, RBD_CONTACT_ADHESION},
    {"RbdContactParamsSetPrimaryFriction", "friction force", NON_NEGATIVE, &RbdContactParams::primaryFriction,
     nullptr, 0},
    {"RbdContactParamsSetSecondaryFriction", "friction force", NON_NEGATIVE, &RbdContactParams::secondaryFriction,
     nullptr, 0},
    {"RbdContactParamsSetFriction", "friction force", NON_NEGATIVE, &RbdContactParams::primaryFriction,
     &RbdContactParams::secondaryFriction, 0},
    {"RbdContactParamsSetPrimarySlip", "slip", NON_NEGATIVE, &RbdContactParams::primarySlip, nullptr,
     RBD_CONTACT_PRIMARY_SLIP},
    {"RbdContactParamsSetSecondarySlip", "slip", NON_NEGATIVE, &RbdContactParams::secondarySlip, nullptr,
     RBD_CONTACT_SECONDARY_SLIP},
    {"RbdContactParamsSetPrimarySlide", "slide", FINITE, &RbdContactParams::primarySlide, nullptr,
     RBD_CONTACT_PRIMARY_SLIDE},
    {"RbdContactParamsSetSecondarySlide", "slide", FINITE, &RbdContactParams::secondarySlide, nullptr,
     RBD_CONTACT_SECONDARY_SLIDE},
    {"RbdContactParamsSetPrimaryFrictionCoefficient", "friction coefficient", NON_NEGATIVE,
     &RbdContactParams::primaryFrictionCoefficient, nullptr, 0},
    {"RbdContactParamsSetSecondaryFrictionCoefficient", "friction coefficient", NON_NEGATIVE,
     &RbdContactParams::secondaryFrictionCoefficient, nullptr, 0},
    {"RbdContactParamsSetFrictionCoefficient", "friction coefficient", NON_NEGATIVE,
     &RbdContactParams::primaryFrictionCoefficient, &RbdContactParams::secondaryFrictionCoefficient, 0},
    {"RbdContactParamsSetSpinFriction", "spin friction length", NON_NEGATIVE, &RbdContactParams::spinFriction,
     nullptr, RBD_CONTACT_SPIN_FRICTION},
};

inline __attribute__((always_inline)) bool accepted(const RealParamInfo &info, PxReal value)
{
    switch (info.check) {
    case NON_NEGATIVE: return checkNonNegative(value, info.setter, info.what);
    case FINITE: return RbdCheckFinite3(value, 0.0, 0.0, info.setter);
    case UNIT_INTERVAL: break;
    }
    if (value >= 0.0 && value <= 1.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the %s must lie in [0, 1] (%g); unchanged.\n", info.setter, info.what, value);
    return false;
}

// A refused value is reported and leaves the record unchanged. Inlined
// wherever `which` is known, the table's entry folds away: the friction
// switch sets four values in one call at the cost of four setters' bodies.
inline __attribute__((always_inline)) void setReal(RbdContactParams *p, RealParam which, PxReal value)
{
    const RealParamInfo &info = kRealParams[which];
    if (!p || !accepted(info, value)) return;
    p->*info.field = value;
    if (info.other) p->*info.other = value;
    p->options |= info.option;
}

inline __attribute__((always_inline)) PxReal getReal(const RbdContactParams *p, RealParam which)
{
    if (!p) return 0.0;
    const RealParamInfo &info = kRealParams[which];
    if (info.other && p->*info.field != p->*info.other) return -1.0;
    return p->*info.field;
}

} // namespace

void RbdContactParamsReset(RbdContactParams *p)
{
    if (!p) return;
    p->type = FRICTIONLESS;
    p->primaryFrictionModel = BOX_FRICTION;
    p->secondaryFrictionModel = BOX_FRICTION;
    p->options = 0;
    p->restitution = 0.0;
    p->restitutionThreshold = 0.001;
    p->softness = 0.0;
    p->maxAdhesiveForce = 0.0;
    p->primaryFriction = RBD_REAL_MAX;
    p->primarySlip = 0.0;
    p->secondaryFriction = RBD_REAL_MAX;
    p->secondarySlip = 0.0;
    p->primarySlide = 0.0;
    p->secondarySlide = 0.0;
    p->primaryFrictionCoefficient = 0.0;
    p->secondaryFrictionCoefficient = 0.0;
    p->spinFriction = 0.0;
}

int32_t RbdContactParamsGetOptions(const RbdContactParams *p)
{
    return p ? p->options : 0;
}

void RbdContactParamsSetType(RbdContactParams *p, int32_t type)
{
    if (!p) return;
    if (type < FRICTIONLESS || type > TWO_DIRECTIONS) {
        PxWarning(RBD_MESSAGE_LEVEL, "Unknown Contact Type, defaulting to zero friction.\n");
        type = FRICTIONLESS;
    }
    p->type = type;
}

int32_t RbdContactParamsGetType(const RbdContactParams *p)
{
    return p ? p->type : 0;
}

void RbdContactParamsSetPrimaryFrictionModel(RbdContactParams *p, int32_t model)
{
    if (p) p->primaryFrictionModel = checkedModel(model);
}

int32_t RbdContactParamsGetPrimaryFrictionModel(const RbdContactParams *p)
{
    return p ? p->primaryFrictionModel : 0;
}

void RbdContactParamsSetSecondaryFrictionModel(RbdContactParams *p, int32_t model)
{
    if (p) p->secondaryFrictionModel = checkedModel(model);
}

int32_t RbdContactParamsGetSecondaryFrictionModel(const RbdContactParams *p)
{
    return p ? p->secondaryFrictionModel : 0;
}

void RbdContactParamsSetFrictionModel(RbdContactParams *p, int32_t model)
{
    if (!p) return;
    p->primaryFrictionModel = p->secondaryFrictionModel = checkedModel(model);
}

int32_t RbdContactParamsGetFrictionModel(const RbdContactParams *p)
{
    if (!p) return 0;
    return p->primaryFrictionModel == p->secondaryFrictionModel ? p->primaryFrictionModel : -1;
}

void RbdContactParamsSetRestitution(RbdContactParams *p, PxReal restitution)
{
    setReal(p, RESTITUTION, restitution);
}
PxReal RbdContactParamsGetRestitution(const RbdContactParams *p)
{
    return getReal(p, RESTITUTION);
}

void RbdContactParamsSetRestitutionThreshold(RbdContactParams *p, PxReal threshold)
{
    setReal(p, RESTITUTION_THRESHOLD, threshold);
}
PxReal RbdContactParamsGetRestitutionThreshold(const RbdContactParams *p)
{
    return getReal(p, RESTITUTION_THRESHOLD);
}

void RbdContactParamsSetSoftness(RbdContactParams *p, PxReal softness)
{
    setReal(p, SOFTNESS, softness);
}
PxReal RbdContactParamsGetSoftness(const RbdContactParams *p)
{
    return getReal(p, SOFTNESS);
}

void RbdContactParamsSetMaxAdhesiveForce(RbdContactParams *p, PxReal force)
{
    setReal(p, MAX_ADHESIVE_FORCE, force);
}
PxReal RbdContactParamsGetMaxAdhesiveForce(const RbdContactParams *p)
{
    return getReal(p, MAX_ADHESIVE_FORCE);
}

void RbdContactParamsSetPrimaryFriction(RbdContactParams *p, PxReal friction)
{
    setReal(p, PRIMARY_FRICTION, friction);
}
PxReal RbdContactParamsGetPrimaryFriction(const RbdContactParams *p)
{
    return getReal(p, PRIMARY_FRICTION);
}

void RbdContactParamsSetSecondaryFriction(RbdContactParams *p, PxReal friction)
{
    setReal(p, SECONDARY_FRICTION, friction);
}
PxReal RbdContactParamsGetSecondaryFriction(const RbdContactParams *p)
{
    return getReal(p, SECONDARY_FRICTION);
}

void RbdContactParamsSetFriction(RbdContactParams *p, PxReal friction)
{
    setReal(p, FRICTION, friction);
}
PxReal RbdContactParamsGetFriction(const RbdContactParams *p)
{
    return getReal(p, FRICTION);
}

void RbdContactParamsSetPrimarySlip(RbdContactParams *p, PxReal slip)
{
    setReal(p, PRIMARY_SLIP, slip);
}
PxReal RbdContactParamsGetPrimarySlip(const RbdContactParams *p)
{
    return getReal(p, PRIMARY_SLIP);
}

void RbdContactParamsSetSecondarySlip(RbdContactParams *p, PxReal slip)
{
    setReal(p, SECONDARY_SLIP, slip);
}
PxReal RbdContactParamsGetSecondarySlip(const RbdContactParams *p)
{
    return getReal(p, SECONDARY_SLIP);
}

void RbdContactParamsSetPrimarySlide(RbdContactParams *p, PxReal slide)
{
    setReal(p, PRIMARY_SLIDE, slide);
}
PxReal RbdContactParamsGetPrimarySlide(const RbdContactParams *p)
{
    return getReal(p, PRIMARY_SLIDE);
}

void RbdContactParamsSetSecondarySlide(RbdContactParams *p, PxReal slide)
{
    setReal(p, SECONDARY_SLIDE, slide);
}
PxReal RbdContactParamsGetSecondarySlide(const RbdContactParams *p)
{
    return getReal(p, SECONDARY_SLIDE);
}

void RbdContactParamsSetPrimaryFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    setReal(p, PRIMARY_COEFFICIENT, mu);
}
PxReal RbdContactParamsGetPrimaryFrictionCoefficient(const RbdContactParams *p)
{
    return getReal(p, PRIMARY_COEFFICIENT);
}

void RbdContactParamsSetSecondaryFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    setReal(p, SECONDARY_COEFFICIENT, mu);
}
PxReal RbdContactParamsGetSecondaryFrictionCoefficient(const RbdContactParams *p)
{
    return getReal(p, SECONDARY_COEFFICIENT);
}

PxReal RbdContactParamsSwitchFriction(RbdContactParams *p, int32_t sticking, int32_t boxFromForce, PxReal normalForce)
{
    if (!p) return 0.0;
    if (sticking) {
        setReal(p, SECONDARY_FRICTION, getReal(p, PRIMARY_FRICTION));
        setReal(p, SECONDARY_COEFFICIENT, getReal(p, PRIMARY_COEFFICIENT));
    } else {
        setReal(p, PRIMARY_FRICTION, getReal(p, SECONDARY_FRICTION));
        setReal(p, PRIMARY_COEFFICIENT, getReal(p, SECONDARY_COEFFICIENT));
    }
    if (boxFromForce) {
        p->primaryFrictionModel = p->secondaryFrictionModel = BOX_FRICTION;
        setReal(p, PRIMARY_FRICTION, normalForce * getReal(p, PRIMARY_COEFFICIENT));
        setReal(p, SECONDARY_FRICTION, normalForce * getReal(p, SECONDARY_COEFFICIENT));
    }
    return getReal(p, PRIMARY_COEFFICIENT);
}

void RbdContactParamsSetFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    setReal(p, COEFFICIENT, mu);
}
PxReal RbdContactParamsGetFrictionCoefficient(const RbdContactParams *p)
{
    return getReal(p, COEFFICIENT);
}

void RbdContactParamsSetSpinFriction(RbdContactParams *p, PxReal length)
{
    setReal(p, SPIN_FRICTION, length);
}
PxReal RbdContactParamsGetSpinFriction(const RbdContactParams *p)
{
    return getReal(p, SPIN_FRICTION);
}
