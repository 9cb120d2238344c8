#include "Trial.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include <kelmar/kelmar.h>

namespace kbatch {

namespace {

// A scene that keeps its loader's messages instead of printing them.
class QuietScene : public kelmar::Scene {
public:
    QuietScene(const char *file, const std::string &variables) : kelmar::Scene(file, nullptr, 1.0, variables.c_str())
    {
    }
    void Error(int, const char *format, ...) const override
    {
        va_list args;
        va_start(args, format);
        Append(format, args);
        va_end(args);
    }
    void Warning(int, const char *, ...) const override {}
    const std::string &messages() const { return messages_; }

private:
    void Append(const char *format, va_list args) const
    {
        va_list again;
        va_copy(again, args);
        const int length = std::vsnprintf(nullptr, 0, format, args);
        if (length > 0) {
            std::string line(static_cast<size_t>(length) + 1, '\0');
            std::vsnprintf(&line[0], line.size(), format, again);
            line.pop_back();
            messages_ += line;
        }
        va_end(again);
    }
    mutable std::string messages_;
};

std::string VariableText(const TrialSettings &trial)
{
    std::string text;
    for (const auto &v : trial.variables) text += v.first + " = " + v.second + "\n";
    return text;
}

krun::Options GraspOptions(const TrialSettings &trial)
{
    krun::Options o;
    o.grasp = trial.grasp;
    o.graspRobot = trial.robot;
    o.graspTarget = trial.target;
    o.graspRadius = trial.radius;
    o.graspThreshold = trial.threshold;
    o.somFile = trial.somFile;
    return o;
}

std::string Checked(const TrialSettings &trial)
{
    if (trial.steps < 0) return "a negative number of steps";
    static const char *const kinds[] = {"ballwrap", "orb", "contact", "contact0", "som"};
    for (const char *kind : kinds)
        if (trial.grasp == kind) return "";
    return "no grasp controller '" + trial.grasp + "' (ballwrap, orb, contact, contact0 or som)";
}

// Loads, binds and steps; the universe and scene live only for this call.
void Run(const TrialSettings &trial, TrialResult &r)
{
    kelmar::Universe universe(1000, 1000, 1000, 20000);
    QuietScene scene(trial.scene.c_str(), VariableText(trial));
    universe.AddScene(&scene);
    if (scene.GetLoadErrorCount() > 0) {
        r.error = scene.messages().empty() ? "'" + trial.scene + "' did not load" : scene.messages();
        universe.DelScene(&scene);
        return;
    }
    std::unique_ptr<krun::GraspRun> grasp(new krun::GraspRun(scene, GraspOptions(trial), r.error));
    for (int step = 0; r.error.empty() && step < trial.steps; ++step) {
        grasp->before();
        universe.step();
        grasp->after(step, universe.time);
    }
    if (r.error.empty()) r.grasp = grasp->measure();
    r.simulated = universe.time;
    grasp.reset();
    universe.DelScene(&scene);
}

} // namespace

TrialResult RunTrial(const TrialSettings &trial)
{
    const auto start = std::chrono::steady_clock::now();
    TrialResult r;
    r.error = Checked(trial);
    if (r.error.empty()) Run(trial, r);
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

} // namespace kbatch
