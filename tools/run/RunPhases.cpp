// Phase files: one phase a line, every field checked; targets accumulate
// from phase to phase so that a joint holds where the last phase put it.
#include "RunPhases.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace krun {

namespace {

bool toReal(const std::string &text, double &out)
{
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(out);
}

std::string withoutComment(const std::string &line)
{
    return line.substr(0, line.find('#'));
}

// JOINT=VALUE with a name and a number.
bool takeTarget(const std::string &word, Phase &phase)
{
    const size_t equals = word.find('=');
    double value = 0;
    if (equals == 0 || equals == std::string::npos || !toReal(word.substr(equals + 1), value)) return false;
    phase.targets.emplace_back(word.substr(0, equals), value);
    return true;
}

// One line's words as a phase; returns the problem, if any.
std::string takePhase(std::istringstream &words, Phase &phase)
{
    std::string seconds, hand, word;
    if (!(words >> seconds >> hand)) return "a phase needs a name, its seconds and open or grasp";
    if (!toReal(seconds, phase.seconds) || phase.seconds <= 0) return "'" + seconds + "' is no time > 0 (s)";
    if (hand != "open" && hand != "grasp") return "'" + hand + "': the hand is open or grasp";
    phase.grasp = hand == "grasp";
    while (words >> word)
        if (!takeTarget(word, phase)) return "'" + word + "' is no JOINT=VALUE";
    return "";
}

// The targets of phases 0..last, a later one replacing an earlier one's.
std::vector<std::pair<std::string, double>> targetsUpTo(const std::vector<Phase> &phases, size_t last)
{
    std::vector<std::pair<std::string, double>> all;
    for (size_t i = 0; i <= last; ++i)
        for (const auto &target : phases[i].targets) {
            auto same = [&](const std::pair<std::string, double> &t) { return t.first == target.first; };
            all.erase(std::remove_if(all.begin(), all.end(), same), all.end());
            all.push_back(target);
        }
    return all;
}

} // namespace

std::string parsePhases(const std::string &text, std::vector<Phase> &phases)
{
    std::istringstream lines(text);
    std::string line;
    phases.clear();
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream words(withoutComment(line));
        Phase phase;
        if (!(words >> phase.name)) continue;
        const std::string problem = takePhase(words, phase);
        if (!problem.empty()) return "line " + std::to_string(number) + ": " + problem;
        phases.push_back(phase);
    }
    return phases.empty() ? "no phase" : "";
}

std::string readPhases(const std::string &path, std::vector<Phase> &phases)
{
    std::ifstream in(path);
    if (!in) return "cannot read the phases '" + path + "'";
    std::stringstream text;
    text << in.rdbuf();
    const std::string problem = parsePhases(text.str(), phases);
    return problem.empty() ? "" : path + ": " + problem;
}

Schedule::Schedule(kelmar::Scene &scene, const std::vector<Phase> &phases, double dt, std::string &problem)
    : phases_(phases)
{
    int end = 0;
    for (size_t i = 0; i < phases_.size(); ++i) {
        end += std::max(1, static_cast<int>(std::lround(phases_[i].seconds / dt)));
        ends_.push_back(end);
        active_.push_back(bindTargets(scene, targetsUpTo(phases_, i), problem, "phase " + phases_[i].name));
        if (!problem.empty()) return; // named where it first appears
    }
}

int Schedule::phaseAt(int step) const
{
    const auto past = std::upper_bound(ends_.begin(), ends_.end(), step);
    return static_cast<int>(std::min<ptrdiff_t>(past - ends_.begin(), static_cast<ptrdiff_t>(ends_.size()) - 1));
}

void Schedule::drive(int step) const
{
    driveTargets(active_[static_cast<size_t>(phaseAt(step))]);
}

} // namespace krun
