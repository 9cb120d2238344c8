// Drawing a solid: its graphics, and on request its contacts, contact
// forces, centre of mass and inertia ellipsoid.
#include <kelmar/Solid.h>

#include <cmath>
#include <memory>

#include <kelmar/ContactList.h>
#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>

namespace kelmar {

namespace {

const float kBlue[4] = {0, 0, 1, 1};
const float kSticking[4] = {0, 0.8f, 0, 1};
const float kSliding[4] = {0.9f, 0, 0, 1};
const float kForce[4] = {1, 0.6f, 0, 1};
const float kInertia[4] = {0.6f, 0, 0.6f, 0.8f};
const double kComRadius = 0.1;       // cm
const double kForceScale = 0.01;     // cm per kg cm/s^2
const double kMaxConeHeight = 10000; // cm

// A frame at point whose x axis is direction (unit).
void FrameAlong(double tm[4][4], const double *point, const double *direction)
{
    PxM4Identity(tm);
    PxV3Copy(tm[0], direction);
    double helper[3] = {0, 0, 1};
    if (std::fabs(direction[2]) > 0.9) PxV3Set(helper, 1, 0, 0);
    PxV3Cross(tm[1], helper, direction);
    PxV3Normalize(tm[1]);
    PxV3Cross(tm[2], tm[0], tm[1]);
    PxV3Copy(tm[3], point);
}

// Eigen decomposition of a symmetric 3x3 by Jacobi rotations: values in d,
// vectors as the rows of v. A few sweeps converge to machine precision for
// a 3x3, so the ellipsoid needs no LAPACK (dsyev_) and no Fortran runtime.
void SymmetricEigen(double a[3][3], double d[3], double v[3][3])
{
    PxM3Identity(v);
    for (int sweep = 0; sweep < 50; ++sweep) {
        int p = 0, q = 1;
        for (int i = 0; i < 3; ++i)
            for (int j = i + 1; j < 3; ++j)
                if (std::fabs(a[i][j]) > std::fabs(a[p][q])) p = i, q = j;
        if (std::fabs(a[p][q]) < 1e-15) break;
        const double theta = 0.5 * std::atan2(2 * a[p][q], a[q][q] - a[p][p]);
        const double c = std::cos(theta), s = std::sin(theta);
        for (int k = 0; k < 3; ++k) {
            const double akp = a[k][p], akq = a[k][q];
            a[k][p] = c * akp - s * akq;
            a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) {
            const double apk = a[p][k], aqk = a[q][k];
            a[p][k] = c * apk - s * aqk;
            a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
            const double vpk = v[p][k], vqk = v[q][k];
            v[p][k] = c * vpk - s * vqk;
            v[q][k] = s * vpk + c * vqk;
        }
    }
    for (int i = 0; i < 3; ++i) d[i] = a[i][i];
}

} // namespace

void Solid::draw(unsigned int flags) const
{
    if (flags & kDrawOpaquePass) {
        if (options_ & (kDrawContacts | kDrawForces)) DrawContactsAndForces();
        if (options_ & kDrawInertia) DrawCOM();
    }
    if ((flags & kDrawTranslucentPass) && (options_ & kDrawInertia)) DrawInertia();
    if (graphics_) graphics_->draw(flags);
}

void Solid::DrawCOM() const
{
    double com[3], tm[4][4];
    GetCOM(com);
    PxM4Identity(tm);
    PxV3Copy(tm[3], com);
    DrawSphere(tm, kComRadius, kBlue);
}

// The ellipsoid's axes are the principal axes, each as long as the square
// root of its moment.
void Solid::DrawInertia() const
{
    if (!body_) return;
    double inertia[3][3], d[3], v[3][3], tm[4][4];
    RbdBodyGetInertiaTensor(body_, inertia);
    SymmetricEigen(inertia, d, v);
    const double(*com)[4] = RbdBodyGetCenterOfMassTransformPtr(body_);
    PxM4Identity(tm);
    for (int i = 0; i < 3; ++i) {
        double axis[3];
        PxV3Scale(axis, v[i], std::sqrt(std::fabs(d[i])));
        PxV3MulTMDir(tm[i], axis, com);
    }
    PxV3Copy(tm[3], com[3]);
    DrawSphere(tm, 1.0, kInertia);
}

void Solid::DrawContactsAndForces() const
{
    std::unique_ptr<ContactList> contacts(GetContacts(0));
    for (const ContactList::Entry &entry : contacts->entries) {
        double p[3], n[3], f[3], tm[4][4];
        RbdContactGetPosition(entry.contact, p);
        RbdContactGetNormal(entry.contact, n);
        if (entry.bodyIndex == 1) PxV3Scale(n, n, -1);
        RbdConstraintGetForce(entry.contact, entry.bodyIndex, f);
        FrameAlong(tm, p, n);
        const double mu = RbdContactGetUserValue(entry.contact);
        const double height = std::fabs(PxV3Dot(f, n)) * kForceScale;
        if (mu != 0 && height < kMaxConeHeight)
            DrawCone(tm, std::fabs(mu) * height, height, mu > 0 ? kSticking : kSliding);
        else
            DrawArrow(tm, 1.0, 0.1, kBlue);
        if (!(options_ & kDrawForces)) continue;
        const double length = PxV3Length(f);
        if (length <= 0) continue;
        PxV3Scale(f, f, 1.0 / length);
        FrameAlong(tm, p, f);
        DrawArrow(tm, length * kForceScale, 0.1, kForce);
    }
}

} // namespace kelmar
