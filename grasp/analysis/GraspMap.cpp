// The grasp map of the contacts on a grasped solid.
#include <kelmar/GraspMap.h>

#include <cstdarg>

#include <kelmar/ContactList.h>
#include <kelmar/GraspOutput.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdContact.h>

#include "analysis/ContactFrame.h"

namespace kelmar {

namespace {

// Friction types of a contact's parameters.
const int kFrictionless = 0;
const int kTwoDirections = 2;

int FrictionType(RbdContactID contact)
{
    return RbdContactParamsGetType(RbdContactGetParams(contact));
}

// Columns a contact contributes: its normal, or two tangents and its normal.
int ColumnsOf(RbdContactID contact)
{
    const int type = FrictionType(contact);
    return type == kFrictionless ? 1 : type == kTwoDirections ? 3 : 0;
}

const double kNormalOnly[6] = {0, 0, 1, 0, 0, 0};
const double kThreeForces[18] = {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};

} // namespace

Grasp::Grasp(const Solid *target, const ContactList *contacts) : target_(target), contacts_(contacts)
{
}

int Grasp::eprintf(FILE *file, const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (file)
        std::fputs(text, file);
    else
        GraspPrint(GraspChannel::kProblem, "%s", text);
    return 1;
}

void Grasp::SetContacts(const ContactList *contacts)
{
    contacts_ = contacts;
    computed_ = false;
    graspMapColumns_ = 0;
}

const double *Grasp::getGraspMap(int &columns)
{
    if (!computed_) ComputeGraspMap();
    columns = graspMapColumns_;
    return graspMapColumns_ > 0 ? graspMap_.data() : nullptr;
}

int Grasp::CountColumns() const
{
    int m = 0;
    if (contacts_)
        for (const ContactList::Entry &e : contacts_->entries) m += ColumnsOf(e.contact);
    return m;
}

void Grasp::ComputeGraspMap()
{
    computed_ = true;
    graspMapColumns_ = target_ ? CountColumns() : 0;
    graspMap_.assign(6 * static_cast<size_t>(graspMapColumns_), 0.0);
    int column = 0;
    for (int i = 0; graspMapColumns_ > 0 && i < contacts_->count; ++i) {
        const ContactList::Entry &e = contacts_->entries[static_cast<size_t>(i)];
        const int n = ColumnsOf(e.contact);
        if (n == 0) continue;
        GraspMapInsertContact(e.contact, n == 1 ? kNormalOnly : kThreeForces, n, column, e.bodyIndex == 1);
        column += n;
    }
}

// Column k is the wrench of basis force k: its force part in contact-frame
// axes (t1, t2, n) carried to the target's frame, f, and the torque r x f.
void Grasp::GraspMapInsertContact(RbdContactID contact, const double *basis, int basisCount, int firstColumn,
                                  bool flip)
{
    if (!target_ || firstColumn < 0 || firstColumn + basisCount > graspMapColumns_) return;
    ContactFrame world;
    ContactFrameOf(contact, target_, flip, world);
    double rotation[3][3], t1[3], t2[3], n[3], r[3];
    TargetRotation(target_, rotation);
    IntoFrame(rotation, world.t1, t1);
    IntoFrame(rotation, world.t2, t2);
    IntoFrame(rotation, world.n, n);
    IntoFrame(rotation, world.r, r);
    for (int k = 0; k < basisCount; ++k) {
        const double *b = basis + 6 * k;
        double *column = graspMap_.data() + 6 * (firstColumn + k);
        for (int i = 0; i < 3; ++i) column[i] = b[0] * t1[i] + b[1] * t2[i] + b[2] * n[i];
        PxV3Cross(column + 3, r, column);
    }
}

} // namespace kelmar
