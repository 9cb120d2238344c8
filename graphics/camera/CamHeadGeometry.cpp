// The geometry of the stereo head: eye poses, fixating a point, and the
// point the eyes fixate.
//
// Head coordinates: y up (the pan axis), z ahead, x along the baseline
// towards the left eye. With pan p and tilt t, the head's turned frame has
//   e0 = (cos p, 0, -sin p)                   the baseline direction,
//   e1 = (sin p sin t, cos t, cos p sin t)    up,
//   e2 = (cos t sin p, -sin t, cos p cos t)   ahead (positive tilt looks down),
// that is a pan about y, then a tilt about the baseline e0. Both eyes sit
// on the baseline, at d e0 with d = +b/2 (left) and -b/2 (right), so tilt
// turns them in place. An eye with vergence v is then turned about e1:
//   row 0 = cos v e0 - sin v e2,  row 1 = e1,  row 2 = sin v e0 + cos v e2,
// which, written out, are the eye rows below; the left eye uses v = -(left
// vergence), the right eye v = +(right vergence), so positive vergences
// turn both eyes inwards. An eye looks along its row 2.
//
// Everything the eyes see lies in the plane of e0 and e2; a point in it is
// u e0 + w e2. The left eye at u = b/2 looks along -sin(vl) e0 + cos(vl) e2
// and the right eye at u = -b/2 along sin(vr) e0 + cos(vr) e2; they meet at
//   w = b / (tan vl + tan vr),  u = b/2 - w tan vl.
// With a = pi/2 - vl and b' = pi/2 - vr (the angles at the two eyes of the
// triangle over the baseline) that is
//   w = b sin a sin b' / sin(a + b'),  u = b sin(a - b') / (2 sin(a + b')).
// Conversely, to fixate a point P at distance r from the head's centre,
// turn e2 onto P (pan = atan2(x, z), tilt = atan2(-y, sqrt(x^2 + z^2)), so
// that P = r e2) and verge both eyes by atan((b/2) / r) = pi/2 -
// atan(r / (b/2)), which gives w = r and u = 0: the same point back.
#include <kelmar/KelmarCamHead.h>

#include <cmath>

namespace kelmar {

void KelmarCamHead::GetEyeTM(double out[4][4], double v, double d) const
{
    const double p = joints_[kPan], t = joints_[kTilt];
    const double cp = std::cos(p), sp = std::sin(p), ct = std::cos(t), st = std::sin(t);
    const double cv = std::cos(v), sv = std::sin(v);
    const double rows[4][4] = {{cp * cv - ct * sp * sv, sv * st, -sp * cv - sv * cp * ct, 0},
                               {sp * st, ct, cp * st, 0},
                               {cp * sv + cv * ct * sp, -st * cv, -sp * sv + cp * ct * cv, 0},
                               {d * cp, 0, -d * sp, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i][j] = rows[i][j];
}

bool KelmarCamHead::SetFixPoint(const double point[3], bool)
{
    const double x = point[0], y = point[1], z = point[2];
    const double r = std::sqrt(x * x + y * y + z * z);
    if (!(r > 0)) return Fail("the fixation point is the head's centre");
    joints_[kPan] = x == 0 && z == 0 ? 0 : std::atan2(x, z);
    joints_[kTilt] = std::atan2(-y, std::sqrt(x * x + z * z));
    const double vergence = M_PI / 2 - std::atan(r / (baseline_ / 2));
    joints_[kLeftVergence] = joints_[kRightVergence] = vergence;
    return true;
}

bool KelmarCamHead::GetFixPoint(double point[3]) const
{
    const double a = M_PI / 2 - joints_[kLeftVergence], b = M_PI / 2 - joints_[kRightVergence];
    const double s = std::sin(a + b);
    if (std::fabs(s) < 1e-12) return false;
    const double w = baseline_ * std::sin(a) * std::sin(b) / s;
    const double u = baseline_ * std::sin(a - b) / (2 * s);
    if (!(w > 0)) return false;
    const double p = joints_[kPan], t = joints_[kTilt];
    const double e0[3] = {std::cos(p), 0, -std::sin(p)};
    const double e2[3] = {std::cos(t) * std::sin(p), -std::sin(t), std::cos(p) * std::cos(t)};
    for (int k = 0; k < 3; ++k) point[k] = u * e0[k] + w * e2[k];
    return true;
}

} // namespace kelmar
