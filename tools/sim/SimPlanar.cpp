#include "SimPlanar.h"

#include <algorithm>

namespace ksim {

namespace {

double cross(Point2 o, Point2 a, Point2 b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

} // namespace

// Andrew's monotone chain.
std::vector<Point2> convexHull(std::vector<Point2> points)
{
    std::sort(points.begin(), points.end(),
              [](Point2 a, Point2 b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    points.erase(
        std::unique(points.begin(), points.end(), [](Point2 a, Point2 b) { return a.x == b.x && a.y == b.y; }),
        points.end());
    if (points.size() < 3) return points;
    std::vector<Point2> hull(2 * points.size());
    size_t k = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return hull;
}

// Sutherland-Hodgman against one edge.
std::vector<Point2> clipToHalfPlane(const std::vector<Point2> &polygon, Point2 origin, Point2 normal)
{
    auto side = [&](Point2 p) { return (p.x - origin.x) * normal.x + (p.y - origin.y) * normal.y; };
    std::vector<Point2> out;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const Point2 a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        const double sa = side(a), sb = side(b);
        if (sa <= 0) out.push_back(a);
        if ((sa < 0 && sb > 0) || (sa > 0 && sb < 0)) {
            const double t = sa / (sa - sb);
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
    }
    return out;
}

double twiceArea(const std::vector<Point2> &polygon)
{
    double area = 0;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const Point2 a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area;
}

} // namespace ksim
