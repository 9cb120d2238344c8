#include "SimPicture.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <array>

#include <kelmar/PxVector.h>

#include "SimOutputFile.h"
#include "SimPlanar.h"

namespace ksim {

namespace {

using Vec3 = std::array<double, 3>;

const int kRimPoints = 32;                                 // points on a cylinder's or cone's rim
const double kPanelWidth = 560.0;                          // px, at most
const double kPanelHeight = 420.0;                         // px, at most
const double kMargin = 40.0, kGap = 40.0, kCaption = 50.0; // px
const double kShortestSpan = 0.5;                          // m: a panel shows at least this much
const double kMarkerRadius = 4.0;                          // px
// A sans-serif character is about this wide for its font size (generous,
// so that text sized by it fits).
const double kCharWidth = 0.6;
const char *const kLegend = "blue: bodies (pale: asleep; rings: bodies without a shape); grey: fixed; orange: "
                            "kinematic; dashed green: sensors";

double textWidth(const std::string &text, double fontSize)
{
    return kCharWidth * fontSize * static_cast<double>(text.size());
}

// A shape reduced to what its views need. A Marker is a body without a
// shape, drawn as a small ring of fixed size at its position.
struct Piece {
    enum Kind { Ball, Solid, Facet, Plane, Marker } kind;
    Role role;
    bool asleep;
    std::vector<Vec3> points; // Ball and Plane: the centre or origin
    double radius = 0.0;      // Ball
    Vec3 normal = {0, 0, 0};  // Plane
};

// A view: screen axes h (right) and v (up) among x, y, z, and the axis d
// that points towards the viewer.
struct View {
    int h, v, d;
    double towardsViewer;
    const char *label;
};

const View kSide = {0, 2, 1, -1.0, "side view: x to the right, z up (seen from -y)"};
const View kTop = {0, 1, 2, 1.0, "top view: x to the right, y up (seen from above)"};

Vec3 toWorld(const PxReal (*tm)[4], double x, double y, double z)
{
    const PxVector3 local = {x, y, z};
    PxVector3 world;
    PxV3MulTM(world, local, tm);
    return {world[0], world[1], world[2]};
}

void addRim(std::vector<Vec3> &points, const PxReal (*tm)[4], double radius, double z)
{
    if (radius <= 0.0) {
        points.push_back(toWorld(tm, 0, 0, z));
        return;
    }
    for (int k = 0; k < kRimPoints; ++k) {
        const double a = 2.0 * M_PI * k / kRimPoints;
        points.push_back(toWorld(tm, radius * cos(a), radius * sin(a), z));
    }
}

void addFacet(std::vector<Piece> &out, const Piece &base, const PxReal (*tm)[4], const PxReal *a, const PxReal *b,
              const PxReal *c)
{
    Piece facet = base;
    facet.kind = Piece::Facet;
    for (const PxReal *p : {a, b, c}) facet.points.push_back(toWorld(tm, p[0], p[1], p[2]));
    out.push_back(facet);
}

void describe(const Scene &scene, const Drawable &d, std::vector<Piece> &out)
{
    const CdxGeometryTypeID type = CdxGeometryGetTypeId(d.geometry);
    const PxReal(*tm)[4] = d.transform;
    Piece piece = {Piece::Solid, d.role, d.body && !RbdBodyIsEnabled(d.body), {}, 0.0, {0, 0, 0}};
    if (type == CdxSphereGetTypeId()) {
        piece.kind = Piece::Ball;
        piece.points.push_back({tm[3][0], tm[3][1], tm[3][2]});
        piece.radius = CdxSphereGetRadius(d.geometry);
    } else if (type == CdxPlaneGetTypeId()) {
        piece.kind = Piece::Plane;
        piece.points.push_back({tm[3][0], tm[3][1], tm[3][2]});
        piece.normal = {tm[2][0], tm[2][1], tm[2][2]};
    } else if (type == CdxBoxGetTypeId()) {
        const PxReal *r = CdxBoxGetRadii(d.geometry);
        for (int corner = 0; corner < 8; ++corner)
            piece.points.push_back(
                toWorld(tm, (corner & 1 ? r[0] : -r[0]), (corner & 2 ? r[1] : -r[1]), (corner & 4 ? r[2] : -r[2])));
    } else if (type == CdxCylinderGetTypeId()) {
        const double r = CdxCylinderGetRadius(d.geometry), half = CdxCylinderGetHalfHeight(d.geometry);
        addRim(piece.points, tm, r, -half);
        addRim(piece.points, tm, r, half);
    } else if (type == CdxConeGetTypeId()) {
        const double length = CdxConeGetLength(d.geometry), offset = CdxConeGetZOffset(d.geometry);
        addRim(piece.points, tm, CdxConeGetLowerRadius(d.geometry), -offset);
        addRim(piece.points, tm, CdxConeGetUpperRadius(d.geometry), length - offset);
    } else if (type == CdxTriangleListGetTypeId()) {
        if (const std::vector<ListTriangle> *list = scene.trianglesOf(d.geometry))
            for (const ListTriangle &t : *list) addFacet(out, piece, tm, t.corner[0], t.corner[1], t.corner[2]);
        return;
    } else if (type >= 0 && type == CdxTriangleMeshGetTypeId()) {
        for (int k = 0; k < CdxTriangleMeshGetTriangleCount(d.geometry); ++k) {
            PxReal *a, *b, *c;
            if (CdxTriangleMeshGetTriangleVertexPtrs(d.geometry, k, &a, &b, &c)) addFacet(out, piece, tm, a, b, c);
        }
        return;
    } else {
        // A shape of a kind the picture does not know: its box.
        PxVector3 lo, hi;
        if (!CdxGeometryGetAABB(d.geometry, tm, lo, hi)) return;
        for (int corner = 0; corner < 8; ++corner)
            piece.points.push_back(
                {corner & 1 ? hi[0] : lo[0], corner & 2 ? hi[1] : lo[1], corner & 4 ? hi[2] : lo[2]});
    }
    out.push_back(piece);
}

struct Bounds {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void add(const Vec3 &p, double r)
    {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a] - r);
            hi[a] = std::max(hi[a], p[a] + r);
        }
    }
};

// The region each view shows: the finite shapes, the point of each plane
// nearest to them (so that the ground shows), a margin, and at least
// kShortestSpan in every direction.
Bounds regionOf(const std::vector<Piece> &pieces)
{
    Bounds b;
    for (const Piece &p : pieces)
        if (p.kind != Piece::Plane)
            for (const Vec3 &q : p.points) b.add(q, p.radius);
    Vec3 centre = {0, 0, 0};
    if (b.lo[0] <= b.hi[0])
        for (int a = 0; a < 3; ++a) centre[a] = 0.5 * (b.lo[a] + b.hi[a]);
    for (const Piece &p : pieces) {
        if (p.kind != Piece::Plane) continue;
        const Vec3 &o = p.points[0];
        const double height = (centre[0] - o[0]) * p.normal[0] + (centre[1] - o[1]) * p.normal[1] +
                              (centre[2] - o[2]) * p.normal[2];
        b.add({centre[0] - height * p.normal[0], centre[1] - height * p.normal[1], centre[2] - height * p.normal[2]},
              0.0);
    }
    for (int a = 0; a < 3; ++a) {
        if (b.lo[a] > b.hi[a]) b.lo[a] = -1.0, b.hi[a] = 1.0;
        const double pad = 0.05 * (b.hi[a] - b.lo[a]) + 0.1;
        b.lo[a] -= pad;
        b.hi[a] += pad;
        const double missing = kShortestSpan - (b.hi[a] - b.lo[a]);
        if (missing > 0) b.lo[a] -= 0.5 * missing, b.hi[a] += 0.5 * missing;
    }
    return b;
}

const char *fillOf(const Piece &p)
{
    switch (p.role) {
    case Role::Body: return p.asleep ? "#a9c2dc" : "#4a8ad4";
    case Role::Fixed: return "#a0a0a0";
    case Role::Kinematic: return "#f0a030";
    case Role::Sensor: return "none";
    }
    return "none";
}

std::string styleOf(const Piece &p)
{
    if (p.role == Role::Sensor)
        return "fill=\"none\" stroke=\"#1f9a45\" stroke-width=\"1.5\" stroke-dasharray=\"5,3\"";
    return std::string("fill=\"") + fillOf(p) + "\" fill-opacity=\"0.9\" stroke=\"#1e2a38\" stroke-width=\"0.8\"";
}

std::string escaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// Draws one view into a panel whose top-left corner is (left, top).
class Panel {
public:
    Panel(const View &view, const Bounds &region, double scale, double left, double top)
        : view_(view), region_(region), scale_(scale), left_(left), top_(top)
    {
    }
    double width() const { return (region_.hi[view_.h] - region_.lo[view_.h]) * scale_; }
    double height() const { return (region_.hi[view_.v] - region_.lo[view_.v]) * scale_; }

    void draw(const std::vector<Piece> &pieces, std::string &svg) const
    {
        char line[256];
        snprintf(line, sizeof line, "<g class=\"view\">\n<text x=\"%.2f\" y=\"%.2f\" font-size=\"13\">%s</text>\n",
                 left_, top_ - 8.0, view_.label);
        svg += line;
        snprintf(line, sizeof line,
                 "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#fbfbf8\" stroke=\"#c8c8c8\"/>\n",
                 left_, top_, width(), height());
        svg += line;
        for (const Piece &p : pieces)
            if (p.kind == Piece::Plane) plane(p, svg);
        std::vector<const Piece *> order;
        for (const Piece &p : pieces)
            if (p.kind != Piece::Plane) order.push_back(&p);
        std::stable_sort(order.begin(), order.end(),
                         [&](const Piece *a, const Piece *b) { return depth(*a) < depth(*b); });
        for (const Piece *p : order) shape(*p, svg);
        svg += "</g>\n";
    }

private:
    Point2 onScreen(double h, double v) const
    {
        return {left_ + (h - region_.lo[view_.h]) * scale_, top_ + (region_.hi[view_.v] - v) * scale_};
    }
    Point2 onScreen(const Vec3 &p) const { return onScreen(p[view_.h], p[view_.v]); }
    // Far shapes first: smaller values are further from the viewer.
    double depth(const Piece &p) const
    {
        double sum = 0;
        for (const Vec3 &q : p.points) sum += q[view_.d];
        return view_.towardsViewer * sum / p.points.size();
    }

    void shape(const Piece &p, std::string &svg) const
    {
        char text[160];
        if (p.kind == Piece::Marker) {
            const Point2 c = onScreen(p.points[0]);
            snprintf(text, sizeof text,
                     "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"white\" stroke=\"#4a8ad4\" "
                     "stroke-width=\"2\"/>\n",
                     c.x, c.y, kMarkerRadius);
            svg += text;
            return;
        }
        if (p.kind == Piece::Ball) {
            const Point2 c = onScreen(p.points[0]);
            snprintf(text, sizeof text, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" ", c.x, c.y, p.radius * scale_);
            svg += text + styleOf(p) + "/>\n";
            return;
        }
        std::vector<Point2> flat;
        for (const Vec3 &q : p.points) flat.push_back(onScreen(q));
        polygon(convexHull(flat), styleOf(p), svg);
    }

    static void polygon(const std::vector<Point2> &points, const std::string &style, std::string &svg)
    {
        if (points.empty()) return;
        svg += "<polygon points=\"";
        char xy[64];
        for (size_t k = 0; k < points.size(); ++k) {
            snprintf(xy, sizeof xy, "%s%.2f,%.2f", k ? " " : "", points[k].x, points[k].y);
            svg += xy;
        }
        svg += "\" " + style + "/>\n";
    }

    // A plane: its solid side shaded up to the trace line, or the whole
    // panel tinted when the plane faces the viewer.
    void plane(const Piece &p, std::string &svg) const
    {
        const Point2 n = {p.normal[view_.h], -p.normal[view_.v]}; // screen y grows downwards
        const std::vector<Point2> frame = {
            onScreen(region_.lo[view_.h], region_.lo[view_.v]), onScreen(region_.hi[view_.h], region_.lo[view_.v]),
            onScreen(region_.hi[view_.h], region_.hi[view_.v]), onScreen(region_.lo[view_.h], region_.hi[view_.v])};
        const std::string shade = "fill=\"#d8cfbf\" fill-opacity=\"0.6\" stroke=\"none\"";
        if (hypot(n.x, n.y) < 1e-9) {
            polygon(frame, shade, svg);
            return;
        }
        const Point2 origin = onScreen(p.points[0]);
        const std::vector<Point2> solid = clipToHalfPlane(frame, origin, n);
        polygon(solid, shade, svg);
        std::vector<Point2> trace;
        const double length = hypot(n.x, n.y);
        for (const Point2 &q : solid)
            if (fabs(((q.x - origin.x) * n.x + (q.y - origin.y) * n.y) / length) < 1e-6) trace.push_back(q);
        if (trace.size() >= 2) {
            char text[200];
            snprintf(
                text, sizeof text,
                "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#6b5a3e\" stroke-width=\"1.5\"/>\n",
                trace.front().x, trace.front().y, trace.back().x, trace.back().y);
            svg += text;
        }
    }

    View view_;
    Bounds region_;
    double scale_, left_, top_;
};

// A round length (1, 2 or 5 times a power of ten) near 100 px.
double scaleBarLength(double scale)
{
    const double target = 100.0 / scale;
    const double decade = pow(10.0, floor(log10(target)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= 0.6 * target) return step * decade;
    return 10.0 * decade;
}

} // namespace

std::string pictureSvg(const Scene &scene, PictureInfo *info)
{
    std::vector<Piece> pieces;
    for (const Drawable &d : scene.drawables()) describe(scene, d, pieces);
    for (RbdBodyID body : scene.shapeless()) {
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        pieces.push_back({Piece::Marker, Role::Body, !RbdBodyIsEnabled(body), {{p[0], p[1], p[2]}}, 0.0, {0, 0, 0}});
    }
    const Bounds region = regionOf(pieces);
    const double spanX = region.hi[0] - region.lo[0], spanY = region.hi[1] - region.lo[1];
    const double spanZ = region.hi[2] - region.lo[2];
    const double scale = std::min({kPanelWidth / spanX, kPanelHeight / spanZ, kPanelHeight / spanY});
    const double top = kMargin + 10.0;
    // A narrow scene's panels are narrower than their labels: each column is
    // as wide as the wider of its panel and its label, the picture as wide
    // as its widest line, and the legend has a line of its own.
    char text[512];
    snprintf(text, sizeof text, "%s after %d steps, t = %.3f s", escaped(scene.name()).c_str(), scene.stepsDone(),
             scene.time());
    const std::string caption = text;
    const Panel side(kSide, region, scale, kMargin, top);
    const double sideColumn = std::max(side.width(), textWidth(kSide.label, 13.0));
    const Panel above(kTop, region, scale, kMargin + sideColumn + kGap, top);
    const double aboveColumn = std::max(above.width(), textWidth(kTop.label, 13.0));
    const double widest = std::max(
        {sideColumn + kGap + aboveColumn, textWidth("kelmar-sim: " + caption, 15.0), textWidth(kLegend, 12.0)});
    const int width = static_cast<int>(ceil(kMargin + widest + kMargin));
    const int height = static_cast<int>(ceil(top + std::max(side.height(), above.height()) + kCaption + 20.0));

    std::string svg;
    snprintf(text, sizeof text,
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
             "font-family=\"sans-serif\">\n",
             width, height, width, height);
    svg += text;
    svg += "<title>" + caption + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    snprintf(text, sizeof text, "<text x=\"%.2f\" y=\"20\" font-size=\"15\">kelmar-sim: %s</text>\n", kMargin,
             caption.c_str());
    svg += text;
    side.draw(pieces, svg);
    above.draw(pieces, svg);

    const double bar = scaleBarLength(scale);
    const double barY = top + std::max(side.height(), above.height()) + 25.0;
    snprintf(text, sizeof text,
             "<line id=\"scale-bar\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\" "
             "stroke-width=\"3\"/>\n<text id=\"scale-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"12\">%g m</text>\n",
             kMargin, barY, kMargin + bar * scale, barY, kMargin + bar * scale + 8.0, barY + 4.0, bar);
    svg += text;
    snprintf(text, sizeof text, "<text id=\"legend\" x=\"%.2f\" y=\"%.2f\" font-size=\"12\">%s</text>\n", kMargin,
             barY + 24.0, kLegend);
    svg += text;
    svg += "</svg>\n";
    if (info) *info = {scale, width, height};
    return svg;
}

bool writePicture(const Scene &scene, const std::string &path, PictureInfo *info)
{
    const std::string svg = pictureSvg(scene, info);
    OutputFile out;
    if (!out.open(path)) return false;
    if (fwrite(svg.data(), 1, svg.size(), out.file()) != svg.size()) return false;
    return out.commit();
}

} // namespace ksim
