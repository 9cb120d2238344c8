// Plane geometry for pictures: convex outlines of projected points and
// polygons cut by a half-plane.
#ifndef KELMAR_TOOLS_SIMPLANAR_H
#define KELMAR_TOOLS_SIMPLANAR_H

#include <vector>

namespace ksim {

struct Point2 {
    double x, y;
};

// The convex hull, counter-clockwise, without repeated or collinear
// points; fewer than three points come back as they are (duplicates
// removed).
std::vector<Point2> convexHull(std::vector<Point2> points);

// The part of a convex polygon where (p - origin) . normal <= 0.
std::vector<Point2> clipToHalfPlane(const std::vector<Point2> &polygon, Point2 origin, Point2 normal);

// Twice the signed area (positive counter-clockwise).
double twiceArea(const std::vector<Point2> &polygon);

} // namespace ksim

#endif
