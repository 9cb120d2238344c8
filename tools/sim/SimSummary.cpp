#include "SimSummary.h"

#include <stdarg.h>
#include <stdio.h>

#include "SimQuality.h"

namespace ksim {

namespace {

void line(std::string &out, const char *label, const std::string &text)
{
    char head[32];
    snprintf(head, sizeof head, "  %-11s", label);
    out += head + text + "\n";
}

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
    char text[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

} // namespace

std::string summaryText(const Scene &scene, const RunResult &run, PxReal dt, const Outputs &outputs)
{
    std::string out = "kelmar-sim: " + scene.name();
    if (!scene.description.empty()) out += ": " + scene.description;
    out += "\n";
    std::string speed = "no steps taken";
    if (run.steps > 0 && run.seconds > 0.0)
        speed = format("%.0f steps/s, %.1f us/step", run.steps / run.seconds, 1e6 * run.seconds / run.steps);
    line(out, "steps",
         format("%d of %g s (%.3f s simulated) in %.3f s of stepping: ", run.steps, dt, scene.time(), run.seconds) +
             speed);
    const WorldCounts counts = countWorld(scene.world());
    std::string bodies = format("%d: %d awake, %d asleep", counts.bodies, counts.awake, counts.asleep);
    if (counts.frozen > 0) bodies += format(", %d frozen", counts.frozen);
    line(out, "bodies", bodies);
    line(out, "contacts", format("%d", countContacts(scene.world())));
    line(out, "energy", format("kinetic %.6g J", counts.kineticEnergy));
    if (outputs.loadWarnings > 0)
        line(out, "load",
             format("%d warnings: values refused or adjusted (the messages above say which)", outputs.loadWarnings));
    const int unsound = countUnsound(scene);
    if (unsound > 0)
        line(out, "soundness",
             format("NOT SOUND: %d bodies stopped having a finite pose or velocity (frozen where they were last "
                    "finite)",
                    unsound));
    const Figures figures = scene.figures();
    if (unsound > 0)
        line(out, "quality", "not judged: the run is not sound");
    else if (!figures.summary.empty())
        line(out, "quality", figures.summary);
    if (!figures.words.empty()) line(out, "figures", figures.words);
    if (!outputs.picture.empty())
        line(out, "picture",
             outputs.picture +
                 format(" (side and top view, to scale: 1 m = %.1f px)", outputs.pictureInfo.pixelsPerMetre));
    if (!outputs.trajectory.empty())
        line(out, "trajectory",
             outputs.trajectory + format(" (%ld rows of %zu bodies)", outputs.trajectoryRows, scene.bodies().size()));
    return out;
}

} // namespace ksim
