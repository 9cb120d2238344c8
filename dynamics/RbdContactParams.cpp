// Contact parameters: defaults, the setters with their option bits and
// checks, and the getters.
#include <math.h>
#include <kelmar/RbdContact.h>
#include "RbdInternal.h"

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

// The common value of a primary and a secondary setting, -1 when they differ.
PxReal commonReal(PxReal primary, PxReal secondary)
{
    return primary == secondary ? primary : -1.0;
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
    if (!p) return;
    if (!(restitution >= 0.0 && restitution <= 1.0)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (%g); "
                                     "unchanged.\n",
                  restitution);
        return;
    }
    p->restitution = restitution;
    p->options |= RBD_CONTACT_RESTITUTION;
}

PxReal RbdContactParamsGetRestitution(const RbdContactParams *p)
{
    return p ? p->restitution : 0.0;
}

void RbdContactParamsSetRestitutionThreshold(RbdContactParams *p, PxReal threshold)
{
    if (p && checkNonNegative(threshold, "RbdContactParamsSetRestitutionThreshold", "threshold"))
        p->restitutionThreshold = threshold;
}

PxReal RbdContactParamsGetRestitutionThreshold(const RbdContactParams *p)
{
    return p ? p->restitutionThreshold : 0.0;
}

void RbdContactParamsSetSoftness(RbdContactParams *p, PxReal softness)
{
    if (!p || !checkNonNegative(softness, "RbdContactParamsSetSoftness", "softness")) return;
    p->softness = softness;
    p->options |= RBD_CONTACT_SOFTNESS;
}

PxReal RbdContactParamsGetSoftness(const RbdContactParams *p)
{
    return p ? p->softness : 0.0;
}

void RbdContactParamsSetMaxAdhesiveForce(RbdContactParams *p, PxReal force)
{
    if (!p || !checkNonNegative(force, "RbdContactParamsSetMaxAdhesiveForce", "adhesive force")) return;
    p->maxAdhesiveForce = force;
    p->options |= RBD_CONTACT_ADHESION;
}

PxReal RbdContactParamsGetMaxAdhesiveForce(const RbdContactParams *p)
{
    return p ? p->maxAdhesiveForce : 0.0;
}

void RbdContactParamsSetPrimaryFriction(RbdContactParams *p, PxReal friction)
{
    if (p && checkNonNegative(friction, "RbdContactParamsSetPrimaryFriction", "friction force"))
        p->primaryFriction = friction;
}

PxReal RbdContactParamsGetPrimaryFriction(const RbdContactParams *p)
{
    return p ? p->primaryFriction : 0.0;
}

void RbdContactParamsSetSecondaryFriction(RbdContactParams *p, PxReal friction)
{
    if (p && checkNonNegative(friction, "RbdContactParamsSetSecondaryFriction", "friction force"))
        p->secondaryFriction = friction;
}

PxReal RbdContactParamsGetSecondaryFriction(const RbdContactParams *p)
{
    return p ? p->secondaryFriction : 0.0;
}

void RbdContactParamsSetFriction(RbdContactParams *p, PxReal friction)
{
    if (p && checkNonNegative(friction, "RbdContactParamsSetFriction", "friction force"))
        p->primaryFriction = p->secondaryFriction = friction;
}

PxReal RbdContactParamsGetFriction(const RbdContactParams *p)
{
    return p ? commonReal(p->primaryFriction, p->secondaryFriction) : 0.0;
}

void RbdContactParamsSetPrimarySlip(RbdContactParams *p, PxReal slip)
{
    if (!p || !checkNonNegative(slip, "RbdContactParamsSetPrimarySlip", "slip")) return;
    p->primarySlip = slip;
    p->options |= RBD_CONTACT_PRIMARY_SLIP;
}

PxReal RbdContactParamsGetPrimarySlip(const RbdContactParams *p)
{
    return p ? p->primarySlip : 0.0;
}

void RbdContactParamsSetSecondarySlip(RbdContactParams *p, PxReal slip)
{
    if (!p || !checkNonNegative(slip, "RbdContactParamsSetSecondarySlip", "slip")) return;
    p->secondarySlip = slip;
    p->options |= RBD_CONTACT_SECONDARY_SLIP;
}

PxReal RbdContactParamsGetSecondarySlip(const RbdContactParams *p)
{
    return p ? p->secondarySlip : 0.0;
}

void RbdContactParamsSetPrimarySlide(RbdContactParams *p, PxReal slide)
{
    if (!p || !RbdCheckFinite3(slide, 0.0, 0.0, "RbdContactParamsSetPrimarySlide")) return;
    p->primarySlide = slide;
    p->options |= RBD_CONTACT_PRIMARY_SLIDE;
}

PxReal RbdContactParamsGetPrimarySlide(const RbdContactParams *p)
{
    return p ? p->primarySlide : 0.0;
}

void RbdContactParamsSetSecondarySlide(RbdContactParams *p, PxReal slide)
{
    if (!p || !RbdCheckFinite3(slide, 0.0, 0.0, "RbdContactParamsSetSecondarySlide")) return;
    p->secondarySlide = slide;
    p->options |= RBD_CONTACT_SECONDARY_SLIDE;
}

PxReal RbdContactParamsGetSecondarySlide(const RbdContactParams *p)
{
    return p ? p->secondarySlide : 0.0;
}

void RbdContactParamsSetPrimaryFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    if (p && checkNonNegative(mu, "RbdContactParamsSetPrimaryFrictionCoefficient", "friction coefficient"))
        p->primaryFrictionCoefficient = mu;
}

PxReal RbdContactParamsGetPrimaryFrictionCoefficient(const RbdContactParams *p)
{
    return p ? p->primaryFrictionCoefficient : 0.0;
}

void RbdContactParamsSetSecondaryFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    if (p && checkNonNegative(mu, "RbdContactParamsSetSecondaryFrictionCoefficient", "friction coefficient"))
        p->secondaryFrictionCoefficient = mu;
}

PxReal RbdContactParamsGetSecondaryFrictionCoefficient(const RbdContactParams *p)
{
    return p ? p->secondaryFrictionCoefficient : 0.0;
}

void RbdContactParamsSetFrictionCoefficient(RbdContactParams *p, PxReal mu)
{
    if (p && checkNonNegative(mu, "RbdContactParamsSetFrictionCoefficient", "friction coefficient"))
        p->primaryFrictionCoefficient = p->secondaryFrictionCoefficient = mu;
}

PxReal RbdContactParamsGetFrictionCoefficient(const RbdContactParams *p)
{
    return p ? commonReal(p->primaryFrictionCoefficient, p->secondaryFrictionCoefficient) : 0.0;
}
