// The runner's outputs: the picture well-formed and to scale, the
// trajectory file readable and true to the bodies, the command line, the
// progress lines and the summary.
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/PxVector.h>

#include "ProgramTestSupport.h"
#include "SimOptions.h"
#include "SimOutputFile.h"
#include "SimPicture.h"
#include "SimPlanar.h"
#include "SimProgress.h"
#include "SimScenes.h"
#include "SimSummary.h"
#include "SimTrajectory.h"

namespace {

const PxQuaternion kUnturned = {1, 0, 0, 0};

// A ground plane, a ball of radius 0.5 at (1, 0, 2), one of 0.25 at
// (-2, 1, 0.5) and an unturned 1 x 0.5 x 0.2 box at (3, -1, 1).
std::unique_ptr<ksim::Scene> probeScene()
{
    auto scene = std::make_unique<ksim::Scene>("probe", ksim::sizesFor(4, 8, 4));
    ksim::useGravity(*scene, 9.81);
    ksim::addGround(*scene);
    const PxVector3 big = {1, 0, 2}, small = {-2, 1, 0.5}, brick = {3, -1, 1};
    scene->body(scene->keep(CdxSphereCreate(0.5)), 1000, big, kUnturned, "big");
    scene->body(scene->keep(CdxSphereCreate(0.25)), 1000, small, kUnturned, "small");
    scene->body(scene->keep(CdxBoxCreate(1.0, 0.5, 0.2)), 1000, brick, kUnturned, "brick");
    return scene;
}

// Every element is closed in order, every attribute value quoted, every
// '&' starts an entity.
::testing::AssertionResult wellFormed(const std::string &xml)
{
    std::vector<std::string> open;
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string::npos) {
        const size_t end = xml.find('>', at);
        if (end == std::string::npos) return ::testing::AssertionFailure() << "unclosed tag at " << at;
        const std::string tag = xml.substr(at + 1, end - at - 1);
        at = end + 1;
        if (tag[0] == '?' || tag[0] == '!') continue;
        if (std::count(tag.begin(), tag.end(), '"') % 2) return ::testing::AssertionFailure() << "quotes in <" << tag;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return ::testing::AssertionFailure() << "</" << tag.substr(1) << "> closes nothing open";
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(tag.substr(0, tag.find(' ')));
        }
    }
    if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> never closed";
    for (size_t amp = xml.find('&'); amp != std::string::npos; amp = xml.find('&', amp + 1)) {
        const std::string rest = xml.substr(amp + 1, 5);
        if (rest.rfind("amp;", 0) && rest.rfind("lt;", 0) && rest.rfind("gt;", 0) && rest.rfind("quot;", 0))
            return ::testing::AssertionFailure() << "a bare & at " << amp;
    }
    return ::testing::AssertionSuccess();
}

// Every tag of the text that starts with start, up to its '>'.
std::vector<std::string> tagsStarting(const std::string &text, const std::string &start)
{
    std::vector<std::string> out;
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1))
        out.push_back(text.substr(at, text.find('>', at) - at));
    return out;
}

// The value of attribute name in a tag.
std::string attribute(const std::string &tag, const std::string &name)
{
    const size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return "";
    const size_t begin = at + name.size() + 3;
    return tag.substr(begin, tag.find('"', begin) - begin);
}

double number(const std::string &tag, const std::string &name)
{
    return std::stod(attribute(tag, name));
}

struct Circle {
    double x, y, r;
};
struct Box2 {
    double width, height;
};

std::vector<Circle> circles(const std::string &svg)
{
    std::vector<Circle> out;
    for (const std::string &tag : tagsStarting(svg, "<circle "))
        out.push_back({number(tag, "cx"), number(tag, "cy"), number(tag, "r")});
    return out;
}

// The extents of the polygons drawn in the colour of awake bodies.
std::vector<Box2> bodyPolygons(const std::string &svg)
{
    std::vector<Box2> out;
    for (const std::string &tag : tagsStarting(svg, "<polygon ")) {
        if (attribute(tag, "fill") != "#4a8ad4") continue;
        std::istringstream points(attribute(tag, "points"));
        double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9}, x, y;
        char comma;
        while (points >> x >> comma >> y) {
            lo[0] = std::min(lo[0], x), hi[0] = std::max(hi[0], x);
            lo[1] = std::min(lo[1], y), hi[1] = std::max(hi[1], y);
        }
        out.push_back({hi[0] - lo[0], hi[1] - lo[1]});
    }
    return out;
}

// The two views, side first.
std::vector<std::string> views(const std::string &svg)
{
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = svg.find("<g class=\"view\">", at)) != std::string::npos) {
        const size_t end = svg.find("</g>", at);
        out.push_back(svg.substr(at, end - at));
        at = end;
    }
    return out;
}

TEST(SimPicture, ThePictureIsWellFormedAndEveryShapeIsToTheScaleOfItsScaleBar)
{
    auto scene = probeScene();
    ksim::PictureInfo info;
    const std::string svg = ksim::pictureSvg(*scene, &info);
    ASSERT_TRUE(wellFormed(svg));
    const std::vector<std::string> bar = tagsStarting(svg, "<line id=\"scale-bar\"");
    ASSERT_EQ(bar.size(), 1u);
    const size_t label = svg.find("id=\"scale-label\"");
    ASSERT_NE(label, std::string::npos);
    const double metres = std::stod(svg.substr(svg.find('>', label) + 1));
    EXPECT_EQ(svg.substr(svg.find(" m</text>", label), 9), " m</text>");
    const double scale = (number(bar[0], "x2") - number(bar[0], "x1")) / metres;
    EXPECT_NEAR(scale, info.pixelsPerMetre, 0.02);

    const std::vector<std::string> panels = views(svg);
    ASSERT_EQ(panels.size(), 2u);
    for (int v = 0; v < 2; ++v) {
        const std::vector<Circle> balls = circles(panels[v]);
        ASSERT_EQ(balls.size(), 2u) << v;
        const Circle &big = balls[0].r > balls[1].r ? balls[0] : balls[1];
        const Circle &small = balls[0].r > balls[1].r ? balls[1] : balls[0];
        EXPECT_NEAR(big.r, 0.5 * scale, 0.01);
        EXPECT_NEAR(small.r, 0.25 * scale, 0.01);
        // Side: x and z apart by 3 and 1.5 m; top: x and y by 3 and 1 m.
        const double apart = v == 0 ? hypot(3.0, 1.5) : hypot(3.0, 1.0);
        EXPECT_NEAR(hypot(big.x - small.x, big.y - small.y), apart * scale, 0.02) << v;
        EXPECT_GT(big.x, small.x) << "x grows to the right";
        if (v == 0) {
            EXPECT_LT(big.y, small.y) << "up is up: the higher ball is nearer the top";
        } else {
            EXPECT_GT(big.y, small.y) << "seen from above, y grows upwards";
        }

        const std::vector<Box2> bricks = bodyPolygons(panels[v]);
        ASSERT_EQ(bricks.size(), 1u);
        EXPECT_NEAR(bricks[0].width, 1.0 * scale, 0.02);
        EXPECT_NEAR(bricks[0].height, (v == 0 ? 0.2 : 0.5) * scale, 0.02);
    }
    EXPECT_NE(panels[0].find("<line"), std::string::npos) << "the ground's trace in the side view";
}

TEST(SimPicture, APictureIsWrittenToItsFileAndAnUnwritablePathIsReported)
{
    auto scene = probeScene();
    const std::string path = testing::TempDir() + "kelmar-sim-picture-" + std::to_string(getpid()) + ".svg";
    ksim::PictureInfo info;
    ASSERT_TRUE(ksim::writePicture(*scene, path, &info));
    const std::string text = programtest::ReadFile(path);
    unlink(path.c_str());
    EXPECT_EQ(text, ksim::pictureSvg(*scene, nullptr));
    EXPECT_FALSE(ksim::writePicture(*scene, "/nonexistent/dir/picture.svg", &info));
}

// An output stopped half-written by each signal a user stops a run with:
// the program ends by that signal and leaves no file at all, temporary or
// final.
TEST(OutputFiles, ARunStoppedByASignalLeavesNoFileBehind)
{
    const std::string folder = testing::TempDir() + "kelmar-outputs-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ksim::OutputFile csv;
            if (csv.open(folder + "/out.csv") && fputs("half a file", csv.file()) >= 0) raise(signal);
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(rmdir(folder.c_str()), 0) << "signal " << signal << " left a file";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    rmdir(folder.c_str());
}

// Two runs writing one output at once: each commit puts its own whole text
// in place (under a fixed temporary name the second run truncated the
// first's file, then had nothing to rename), as a new file is made.
TEST(OutputFiles, TwoRunsWritingOneOutputEachPutTheirOwnFileInPlace)
{
    const std::string path = testing::TempDir() + "kelmar-clash-" + std::to_string(getpid()) + ".csv";
    ksim::OutputFile first, second;
    ASSERT_TRUE(first.open(path) && second.open(path));
    fputs("first run\n", first.file());
    fputs("second\n", second.file());
    EXPECT_TRUE(first.commit());
    EXPECT_EQ(programtest::ReadFile(path), "first run\n");
    EXPECT_TRUE(second.commit());
    EXPECT_EQ(programtest::ReadFile(path), "second\n");
    struct stat info = {};
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == (0666 & ~mask)) << info.st_mode;
    unlink(path.c_str());
}

std::vector<std::vector<std::string>> readCsv(const std::string &path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells(1);
        bool quoted = false;
        for (size_t k = 0; k < line.size(); ++k) {
            const char c = line[k];
            if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
                cells.back() += '"';
                ++k;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == ',' && !quoted) {
                cells.emplace_back();
            } else {
                cells.back() += c;
            }
        }
        rows.push_back(cells);
    }
    return rows;
}

// Rows at the start, every 10 steps and at the last step; the last rows
// hold the bodies' final states; an awkward name survives quoting.
TEST(SimTrajectory, TheTrajectoryHoldsEveryBodyAtTheRecordedStepsWithItsState)
{
    auto scene = probeScene();
    RbdBodyID odd = RbdBodyCreate(scene->world());
    RbdBodyEnable(odd);
    scene->report(odd, "odd, \"named\" body");
    const std::string path = testing::TempDir() + "kelmar-sim-trajectory-" + std::to_string(getpid()) + ".csv";
    ksim::Trajectory trajectory;
    ASSERT_TRUE(trajectory.open(path));
    const ksim::RunResult run = ksim::runScene(*scene, 25, 0.01, &trajectory, 10, nullptr);
    EXPECT_EQ(run.steps, 25);
    EXPECT_EQ(trajectory.rows(), 4 * 4); // steps 0, 10, 20, 25
    ASSERT_TRUE(trajectory.close());
    const auto rows = readCsv(path);
    unlink(path.c_str());

    ASSERT_EQ(rows.size(), 1u + 16u);
    std::string header;
    for (const std::string &cell : rows[0]) header += (header.empty() ? "" : ",") + cell;
    EXPECT_EQ(header, "step,time,body,name,x,y,z,qw,qx,qy,qz,vx,vy,vz,wx,wy,wz,awake");
    for (size_t r = 1; r < rows.size(); ++r) ASSERT_EQ(rows[r].size(), 18u) << r;
    EXPECT_EQ(rows[5][0], "10");
    EXPECT_EQ(rows[13][0], "25");
    EXPECT_EQ(rows[16][3], "odd, \"named\" body");
    for (int k = 0; k < 4; ++k) {
        const std::vector<std::string> &row = rows[13 + k];
        EXPECT_NEAR(std::stod(row[1]), 0.25, 1e-12);
        PxVector3 p, v;
        RbdBodyGetPosition(scene->bodies()[k].body, p);
        RbdBodyGetLinearVelocity(scene->bodies()[k].body, v);
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(std::stod(row[4 + a]), p[a], 1e-8 * (1 + fabs(p[a])));
            EXPECT_NEAR(std::stod(row[11 + a]), v[a], 1e-8 * (1 + fabs(v[a])));
        }
    }
    EXPECT_FALSE(trajectory.open("/nonexistent/dir/trajectory.csv"));
}

TEST(SimOptions, AGoodCommandLineIsReadInFull)
{
    const char *argv[] = {"kelmar-sim", "stack", "--steps",     "20",          "--dt=0.005", "--sleep", "off",
                          "--csv",      "a.csv", "--svg=b.svg", "--csv-every", "5",          "--quiet"};
    ksim::Options o;
    ASSERT_EQ(ksim::parseOptions(13, argv, o), "");
    EXPECT_EQ(o.scene, "stack");
    EXPECT_EQ(o.steps, 20);
    EXPECT_EQ(o.dt, 0.005);
    EXPECT_FALSE(o.sleeping);
    EXPECT_EQ(o.csv, "a.csv");
    EXPECT_EQ(o.svg, "b.svg");
    EXPECT_EQ(o.csvEvery, 5);
    EXPECT_TRUE(o.quiet);

    const char *file[] = {"kelmar-sim", "--file", "scene.xml"};
    ksim::Options f;
    ASSERT_EQ(ksim::parseOptions(3, file, f), "");
    EXPECT_EQ(f.file, "scene.xml");
    EXPECT_EQ(f.steps, -1);
    EXPECT_TRUE(f.sleeping);
}

TEST(SimOptions, ABadCommandLineIsRefusedWithWhatIsWrong)
{
    const std::vector<std::pair<std::vector<const char *>, std::string>> cases = {
        {{}, "which scene?"},
        {{"tower"}, "no scene named 'tower'"},
        {{"stack", "pile"}, "one scene at a time"},
        {{"stack", "--speed", "3"}, "unknown option '--speed'"},
        {{"stack", "--steps"}, "--steps wants a value"},
        {{"stack", "--steps", "ten"}, "--steps wants a whole number"},
        {{"stack", "--steps", "-1"}, "--steps wants a whole number"},
        {{"stack", "--steps", "12x"}, "--steps wants a whole number"},
        {{"stack", "--dt", "0"}, "--dt wants a time step"},
        {{"stack", "--dt", "nan"}, "--dt wants a time step"},
        {{"stack", "--dt", "2"}, "--dt wants a time step"},
        {{"stack", "--sleep", "maybe"}, "--sleep wants 'on' or 'off'"},
        {{"stack", "--csv-every", "0"}, "--csv-every wants"},
        {{"stack", "--svg="}, "--svg wants a file name"},
        {{"stack", "--file", "x.px"}, "not both"},
        {{"stack", "--dt", "1e-300"}, "--dt wants a time step in seconds from 1e-06 to 1"},
        {{"stack", "--csv", "out", "--svg", "out"}, "--csv and --svg name the same file 'out'"},
        {{"stack", "--csv", "out", "--svg", "./out"}, "--csv and --svg name the same file 'out'"},
        {{"stack", "--csv", "--quiet"}, "--csv wants a value"},
        {{"--file", "s.px", "--svg", "s.px"}, "an output would overwrite the scene file 's.px'"},
    };
    for (const auto &c : cases) {
        std::vector<const char *> argv = {"kelmar-sim"};
        argv.insert(argv.end(), c.first.begin(), c.first.end());
        ksim::Options o;
        const std::string problem = ksim::parseOptions(static_cast<int>(argv.size()), argv.data(), o);
        EXPECT_NE(problem.find(c.second), std::string::npos) << "got: " << problem;
    }
    const std::string usage = ksim::usageText();
    for (const ksim::SceneInfo &info : ksim::builtinScenes()) EXPECT_NE(usage.find(info.name), std::string::npos);
}

// What a progress prints over its steps, each taking secondsPerStep.
std::string progressText(bool terminal, int steps, double secondsPerStep, int awake)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    {
        ksim::Progress progress(out, terminal, steps);
        for (int k = 1; k <= steps; ++k) progress.update(k, secondsPerStep * k, awake);
        progress.finish();
    }
    fclose(out);
    const std::string text(buffer, size);
    free(buffer);
    return text;
}

TEST(SimProgress, PlainProgressIsOneLinePerTenthAndTerminalProgressRewritesOneLine)
{
    const std::string text = progressText(false, 1000, 0.001, 7);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
    EXPECT_NE(text.find("step 100/1000 ( 10%)"), std::string::npos) << text;
    EXPECT_NE(text.find("step 1000/1000 (100%)  1000 steps/s  7 awake\n"), std::string::npos) << text;
    const std::string live = progressText(true, 50, 0.2, 3);
    EXPECT_EQ(live.front(), '\r');
    EXPECT_EQ(std::count(live.begin(), live.end(), '\n'), 1);
    EXPECT_EQ(live.back(), '\n');
}

// The summary's energy is the bodies' 0.5 m v^2 (nothing turns here).
TEST(SimSummary, TheSummaryCountsBodiesAndContactsAndReportsTheirKineticEnergy)
{
    auto scene = probeScene();
    const ksim::RunResult run = ksim::runScene(*scene, 30, 0.01, nullptr, 1, nullptr);
    double energy = 0;
    for (const ksim::NamedBody &b : scene->bodies()) {
        PxVector3 v;
        RbdBodyGetLinearVelocity(b.body, v);
        energy += 0.5 * RbdBodyGetMass(b.body) * PxV3LengthSquared(v);
    }
    const std::string text = ksim::summaryText(*scene, run, 0.01, ksim::Outputs());
    EXPECT_NE(text.find("steps      30 of 0.01 s (0.300 s simulated)"), std::string::npos) << text;
    EXPECT_NE(text.find("bodies     3: 3 awake, 0 asleep"), std::string::npos) << text;
    const size_t kinetic = text.find("energy     kinetic ");
    ASSERT_NE(kinetic, std::string::npos) << text;
    EXPECT_NEAR(std::stod(text.substr(kinetic + 19)), energy, 1e-5 * energy);
    const size_t contacts = text.find("contacts   ");
    ASSERT_NE(contacts, std::string::npos) << text;
    EXPECT_EQ(std::stoi(text.substr(contacts + 11)), ksim::countContacts(scene->world()));
}

// A body whose state overflows makes the run unsound: the summary says
// so and judges nothing (a stack with a body frozen in the air does not
// "stand").
TEST(SimSummary, ARunWithABodyThatStoppedBeingFiniteIsNotSoundAndNotJudged)
{
    auto stack = ksim::buildStack();
    stack->step(0.01);
    for (int k = 0; k < 2; ++k) RbdBodyAddForce(stack->bodies().back().body, 1e308, 1e308, 1e308); // inf
    const ksim::RunResult run = ksim::runScene(*stack, 3, 0.01, nullptr, 1, nullptr);
    // Through their contacts the whole island's state goes with it.
    EXPECT_EQ(ksim::countUnsound(*stack), 10);
    const std::string text = ksim::summaryText(*stack, run, 0.01, ksim::Outputs());
    EXPECT_NE(text.find("soundness  NOT SOUND: 10 bodies stopped having a finite pose or velocity"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("quality    not judged: the run is not sound"), std::string::npos) << text;
    EXPECT_EQ(text.find("the stack stands"), std::string::npos) << text;
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
}

// Hulls of random point sets (seeded): convex, counter-clockwise, made of
// input points, and holding every input point.
TEST(SimPlanar, TheHullOfRandomPointsIsConvexAndHoldsThemAll)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-10, 10);
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<ksim::Point2> points(3 + trial);
        for (ksim::Point2 &p : points) p = {coordinate(random), coordinate(random)};
        const std::vector<ksim::Point2> hull = ksim::convexHull(points);
        ASSERT_GE(hull.size(), 3u);
        EXPECT_GT(ksim::twiceArea(hull), 0.0);
        for (size_t k = 0; k < hull.size(); ++k) {
            const ksim::Point2 a = hull[k], b = hull[(k + 1) % hull.size()];
            EXPECT_TRUE(
                std::any_of(points.begin(), points.end(), [&](ksim::Point2 p) { return p.x == a.x && p.y == a.y; }));
            for (const ksim::Point2 &p : points)
                EXPECT_GE((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x), -1e-9);
        }
    }
    const std::vector<ksim::Point2> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5, 0.5}, {1, 0.5}};
    EXPECT_EQ(ksim::convexHull(square).size(), 4u);
    const std::vector<ksim::Point2> cut = ksim::clipToHalfPlane(ksim::convexHull(square), {0.25, 0}, {1, 0});
    EXPECT_NEAR(ksim::twiceArea(cut), 0.5, 1e-12);
}

} // namespace
