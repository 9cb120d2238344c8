// The save pass: the document's frame (header, CORE with the sections,
// USER_APPS) and the value writers every section uses.
#include <stdio.h>
#include <string.h>

#include <kelmar/PxMessage.h>
#include <kelmar/PxStream.h>
#include <kelmar/RbdContactParams.h>

#include "PxFileInternal.h"

namespace {

// One real in the file's precision.
const char *const kRealFormat = "%.7g";
// Room for one formatted real ("%.7g" of any double fits in 16 characters).
const int kRealWidth = 24;

int writeLine(PxStream *stream, const char *text)
{
    const size_t n = strlen(text);
    return PxStreamWrite(text, 1, n, stream) == n;
}

int writeSection(PxSaveContext *context, int section, PxStream *stream)
{
    PxSaveWriter writer = context->writers[section];
    return writer ? writer(context, stream) : 1;
}

int writeCore(PxSaveContext *context, PxStream *stream)
{
    if (!context->writers[PX_SAVE_RBD] && !context->writers[PX_SAVE_CDX]) return 1;
    int ok = PxXMLWriteStartTag("CORE", stream);
    PxXMLIndent();
    ok &= writeSection(context, PX_SAVE_RBD, stream);
    ok &= writeSection(context, PX_SAVE_CDX, stream);
    ok &= writeSection(context, PX_SAVE_SBX, stream);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("CORE", stream);
    return ok;
}

int writeUserApps(PxSaveContext *context, PxStream *stream)
{
    if (!context->userWriter) return 1;
    int ok = PxXMLWriteStartTag("USER_APPS", stream);
    PxXMLIndent();
    ok &= context->userWriter(context, stream, context->userData);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("USER_APPS", stream);
    return ok;
}

const char *frictionModelName(int model)
{
    return model == 1 ? "SCALED_BOX" : "BOX";
}

const char *frictionTypeName(int type)
{
    return type == 1 ? "1D" : (type == 2 ? "2D" : "ZERO");
}

// The friction of one direction: its model and the value the model uses.
int writeFriction(PxStream *stream, int model, PxReal friction, PxReal coefficient, const char *modelTag,
                  const char *frictionTag, const char *coefficientTag, int frictionAlways)
{
    int ok = PxfWriteText(modelTag, stream, frictionModelName(model));
    if (model == 0 || frictionAlways) ok &= PxfWriteReal(frictionTag, stream, friction);
    if (model == 1) ok &= PxfWriteReal(coefficientTag, stream, coefficient);
    return ok;
}

// Values that only count when their option bit is set.
int writeOptionalParams(PxStream *stream, const RbdContactParams *p)
{
    int ok = 1;
    const int twoD = p->type == 2;
    if (p->type != 0 && (p->options & RBD_CONTACT_PRIMARY_SLIP)) ok &= PxfWriteReal("SLIP1", stream, p->primarySlip);
    if (twoD && (p->options & RBD_CONTACT_SECONDARY_SLIP)) ok &= PxfWriteReal("SLIP2", stream, p->secondarySlip);
    if (p->type != 0 && (p->options & RBD_CONTACT_PRIMARY_SLIDE))
        ok &= PxfWriteReal("SLIDE1", stream, p->primarySlide);
    if (twoD && (p->options & RBD_CONTACT_SECONDARY_SLIDE)) ok &= PxfWriteReal("SLIDE2", stream, p->secondarySlide);
    // The threshold has no bit of its own: it is written with restitution,
    // and alone when it was changed from its default.
    const PxReal defaultThreshold = 0.001;
    if (p->options & RBD_CONTACT_RESTITUTION) ok &= PxfWriteReal("RESTITUTION", stream, p->restitution);
    if ((p->options & RBD_CONTACT_RESTITUTION) || p->restitutionThreshold != defaultThreshold)
        ok &= PxfWriteReal("RESTITUTION_THRESH", stream, p->restitutionThreshold);
    if (p->options & RBD_CONTACT_SOFTNESS) ok &= PxfWriteReal("SOFTNESS", stream, p->softness);
    if (p->options & RBD_CONTACT_ADHESION) ok &= PxfWriteReal("ADHESIVE", stream, p->maxAdhesiveForce);
    if (p->options & RBD_CONTACT_SPIN_FRICTION) ok &= PxfWriteReal("SPIN_FRICTION", stream, p->spinFriction);
    return ok;
}

} // namespace

int PxfWriteReals(const char *tag, PxStream *stream, const PxReal *values, int count)
{
    char text[16 * kRealWidth + 16];
    int used = 0;
    for (int i = 0; i < count && i < 16; ++i) {
        if (i > 0) text[used++] = ',';
        used += snprintf(text + used, sizeof text - static_cast<size_t>(used), kRealFormat, values[i]);
    }
    text[used] = '\0';
    return PxXMLWrite(tag, stream, "%s", text);
}

int PxfWriteReal(const char *tag, PxStream *stream, PxReal value)
{
    return PxfWriteReals(tag, stream, &value, 1);
}

int PxfWriteMatrix4(const char *tag, PxStream *stream, const PxMatrix4 m)
{
    return PxfWriteReals(tag, stream, &m[0][0], 16);
}

int PxfWriteInt(const char *tag, PxStream *stream, int value)
{
    return PxXMLWrite(tag, stream, "%d", value);
}

int PxfWriteText(const char *tag, PxStream *stream, const char *text)
{
    return PxXMLWrite(tag, stream, "%s", text);
}

int PxfWriteContactParams(PxStream *stream, const RbdContactParams *p)
{
    PxXMLIndent();
    int ok = PxXMLWriteStartTag("CONTACT_PARAMS", stream);
    ok &= PxfWriteText("FRICTION_TYPE", stream, frictionTypeName(p->type));
    if (p->type == 1 || p->type == 2)
        ok &= writeFriction(stream, p->primaryFrictionModel, p->primaryFriction, p->primaryFrictionCoefficient,
                            "FRICTION_MODEL1", "FRICTION1", "FRICTION_COEFF1", 0);
    if (p->type == 2)
        ok &= writeFriction(stream, p->secondaryFrictionModel, p->secondaryFriction, p->secondaryFrictionCoefficient,
                            "FRICTION_MODEL2", "FRICTION2", "FRICTION_COEFF2", 1);
    ok &= writeOptionalParams(stream, p);
    ok &= PxXMLWriteEndTag("CONTACT_PARAMS", stream);
    PxXMLDeIndent();
    return ok;
}

extern "C" {

int PxSave(PxSaveContext *context, PxStream *stream)
{
    if (!stream || !stream->file) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid stream.\n");
        return 0;
    }
    if (!context) {
        PxWarning(PXF_MISUSE_LEVEL, "Invalid save context.\n");
        return 0;
    }
    const int savedIndent = PxXMLGetIndent();
    PxXMLSetIndent(0);
    int ok = writeLine(stream, "<?xml version=\"1.0\"?>\n");
    ok &= writeLine(stream, "<!DOCTYPE PX SYSTEM \"px.dtd\">\n");
    ok &= PxXMLWriteStartTagAttrib("PX", stream, "file_format_version=\"%s\"", PxXMLGetVersion());
    PxXMLIndent();
    ok &= writeCore(context, stream);
    ok &= writeUserApps(context, stream);
    PxXMLDeIndent();
    ok &= PxXMLWriteEndTag("PX", stream);
    PxXMLSetIndent(savedIndent - PxXMLGetTopLevelIndent());
    fflush(stream->file);
    return ok && !ferror(stream->file);
}

} // extern "C"
