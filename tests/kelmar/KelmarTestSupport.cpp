#include "KelmarTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <kelmar/PxVector.h>

namespace kelmartest {

void Identity(double tm[4][4])
{
    PxM4Identity(tm);
}

void PoseAboutY(double tm[4][4], double angle, const double *position)
{
    PxM4Identity(tm);
    const double c = std::cos(angle), s = std::sin(angle);
    tm[0][0] = c;
    tm[0][2] = -s;
    tm[2][0] = s;
    tm[2][2] = c;
    if (position) PxV3Copy(tm[3], position);
}

void PositionOf(const kelmar::Solid *solid, double p[3])
{
    solid->GetPosition(p);
}

std::string WriteTempFile(const std::string &text)
{
    char path[] = "/tmp/kelmartestXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "";
    FILE *file = fdopen(fd, "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return path;
}

} // namespace kelmartest
