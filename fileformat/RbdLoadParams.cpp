// CONTACT_PARAMS elements: friction type and models by name, friction
// values, and the values that carry an option bit (slip, slide,
// restitution, softness, adhesion, spin friction). Used by contacts and material pairs.
#include <math.h>
#include <string.h>

#include <kelmar/RbdContact.h>

#include "PxFileInternal.h"

namespace {

typedef PxfParamsRecord R;

const PxXMLHandler kTable[] = {PXF_TEXT("FRICTION_TYPE", R, frictionType),
                               PXF_TEXT("FRICTION_MODEL1", R, frictionModel1),
                               PXF_TEXT("FRICTION_MODEL2", R, frictionModel2),
                               PXF_REALS("FRICTION1", R, friction1, 1),
                               PXF_REALS("FRICTION2", R, friction2, 1),
                               PXF_REALS("FRICTION_COEFF1", R, frictionCoeff1, 1),
                               PXF_REALS("FRICTION_COEFF2", R, frictionCoeff2, 1),
                               PXF_REALS("SLIP1", R, slip1, 1),
                               PXF_REALS("SLIP2", R, slip2, 1),
                               PXF_REALS("SLIDE1", R, slide1, 1),
                               PXF_REALS("SLIDE2", R, slide2, 1),
                               PXF_REALS("RESTITUTION", R, restitution, 1),
                               PXF_REALS("RESTITUTION_THRESH", R, restitutionThreshold, 1),
                               PXF_REALS("SOFTNESS", R, softness, 1),
                               PXF_REALS("ADHESIVE", R, adhesive, 1),
                               PXF_REALS("SPIN_FRICTION", R, spinFriction, 1),
                               PX_XML_END};

bool given(const PxfParamsRecord *r, const char *tag)
{
    return PxXMLHandlerWasCalled(r->table, tag) != 0;
}

// -1 for a word that names no type or model.
int frictionType(const char *word)
{
    if (strcmp(word, "ZERO") == 0) return 0;
    if (strcmp(word, "1D") == 0) return 1;
    if (strcmp(word, "2D") == 0) return 2;
    return -1;
}

int frictionModel(const char *word)
{
    if (strcmp(word, "BOX") == 0) return 0;
    if (strcmp(word, "SCALED_BOX") == 0) return 1;
    return -1;
}

// The first value the setters would refuse: negative where it must not be,
// restitution outside [0, 1]. Null when all are acceptable.
const char *refusedValue(const PxfParamsRecord *r, PxReal *value)
{
    struct Check {
        const char *tag;
        PxReal value;
        PxReal upper;
    };
    const Check checks[] = {{"FRICTION1", r->friction1, RBD_REAL_MAX},
                            {"FRICTION2", r->friction2, RBD_REAL_MAX},
                            {"FRICTION_COEFF1", r->frictionCoeff1, RBD_REAL_MAX},
                            {"FRICTION_COEFF2", r->frictionCoeff2, RBD_REAL_MAX},
                            {"SLIP1", r->slip1, RBD_REAL_MAX},
                            {"SLIP2", r->slip2, RBD_REAL_MAX},
                            {"RESTITUTION", r->restitution, 1.0},
                            {"RESTITUTION_THRESH", r->restitutionThreshold, RBD_REAL_MAX},
                            {"SOFTNESS", r->softness, RBD_REAL_MAX},
                            {"ADHESIVE", r->adhesive, RBD_REAL_MAX},
                            {"SPIN_FRICTION", r->spinFriction, RBD_REAL_MAX}};
    for (const Check &check : checks) {
        if (given(r, check.tag) && (check.value < 0.0 || check.value > check.upper)) {
            *value = check.value;
            return check.tag;
        }
    }
    return nullptr;
}

void setFriction(const PxfParamsRecord *r, RbdContactParams *p, int model1, int model2)
{
    RbdContactParamsSetPrimaryFrictionModel(p, model1);
    RbdContactParamsSetSecondaryFrictionModel(p, model2);
    if (given(r, "FRICTION1")) RbdContactParamsSetPrimaryFriction(p, r->friction1);
    if (given(r, "FRICTION2")) RbdContactParamsSetSecondaryFriction(p, r->friction2);
    if (given(r, "FRICTION_COEFF1")) RbdContactParamsSetPrimaryFrictionCoefficient(p, r->frictionCoeff1);
    if (given(r, "FRICTION_COEFF2")) RbdContactParamsSetSecondaryFrictionCoefficient(p, r->frictionCoeff2);
}

void setOptional(const PxfParamsRecord *r, RbdContactParams *p)
{
    if (given(r, "SLIP1")) RbdContactParamsSetPrimarySlip(p, r->slip1);
    if (given(r, "SLIP2")) RbdContactParamsSetSecondarySlip(p, r->slip2);
    if (given(r, "SLIDE1")) RbdContactParamsSetPrimarySlide(p, r->slide1);
    if (given(r, "SLIDE2")) RbdContactParamsSetSecondarySlide(p, r->slide2);
    if (given(r, "RESTITUTION")) RbdContactParamsSetRestitution(p, r->restitution);
    if (given(r, "RESTITUTION_THRESH")) RbdContactParamsSetRestitutionThreshold(p, r->restitutionThreshold);
    if (given(r, "SOFTNESS")) RbdContactParamsSetSoftness(p, r->softness);
    if (given(r, "ADHESIVE")) RbdContactParamsSetMaxAdhesiveForce(p, r->adhesive);
    if (given(r, "SPIN_FRICTION")) RbdContactParamsSetSpinFriction(p, r->spinFriction);
}

} // namespace

void PxfParamsRecordInit(PxfParamsRecord *record)
{
    memset(record, 0, sizeof *record);
    strcpy(record->frictionType, "ZERO");
    strcpy(record->frictionModel1, "BOX");
    strcpy(record->frictionModel2, "BOX");
    memcpy(record->table, kTable, sizeof kTable);
}

int PxfLoadContactParams(PxXMLElement *element)
{
    PxLoadContext *context = PxfContextOf(element);
    PxfParamsRecord *record = context->params;
    if (!record) return PX_XML_SKIP_ELEMENT;
    record->read = 1;
    const int code = PxXMLElementProcess(element, record->table, record);
    if (PxfBadEntry(record->table)) record->bad = 1;
    return record->bad ? PX_XML_BAD_VALUE : code;
}

int PxfParamsFromRecord(PxLoadContext *context, PxfPosition position, const PxfParamsRecord *r,
                        RbdContactParams *params)
{
    RbdContactParamsReset(params);
    const int type = frictionType(r->frictionType);
    const int model1 = frictionModel(r->frictionModel1), model2 = frictionModel(r->frictionModel2);
    PxReal value = 0.0;
    const char *refused = refusedValue(r, &value);
    if (type < 0) {
        PXF_PROBLEM(context, position, "Unknown <FRICTION_TYPE> '%s' (ZERO, 1D or 2D).\n", r->frictionType);
    } else if (model1 < 0 || model2 < 0) {
        PXF_PROBLEM(context, position, "Unknown friction model '%s' (BOX or SCALED_BOX).\n",
                    model1 < 0 ? r->frictionModel1 : r->frictionModel2);
    } else if (refused) {
        PXF_PROBLEM(context, position, "Contact parameter <%s> cannot be %g.\n", refused, value);
    } else {
        RbdContactParamsSetType(params, type);
        setFriction(r, params, model1, model2);
        setOptional(r, params);
        return 1;
    }
    return 0;
}
