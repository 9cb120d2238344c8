// Scene S5 of the peer suite, "hand holds ball", through the robot layer,
// one line in the peers' format:
//
//   kelmar     servo-rate S5  steps/s=  ...  us/step=  ...  [reps a,b,c]  held=... slip_mm=... ...
//
// servo-rate drives each hinge at 50/s x (target - angle) with at most
// 0.5 N m, the peers' velocity servo (Limit::SetValueCtrl with a linear
// controller); servo-opt drives them with the robot's time-optimal
// approach (Robot::SetJoints). Each repetition runs in a child process
// with a wall-clock limit; only the universe step is timed (collision,
// contacts, solve, integration, joint updates), not the servo commands,
// the support's removal or the figures.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <kelmar/RbdWorld.h>

#include "BenchChild.h"
#include "HandScene.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int reps = 3;
    int steps = khand::kSteps;
    double timeout = 120;
    khand::Servo servo = khand::Servo::kRate;
    int trace = 0; // print the ball every this many steps (0: never)
};

struct Shared {
    int stepsDone;
    double seconds;
    int finished;
    char figures[256];
};

const char *ServoName(const Settings &s)
{
    return s.servo == khand::Servo::kRate ? "servo-rate" : "servo-opt";
}

bool Parse(int argc, char **argv, Settings &s)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        char *end = nullptr;
        if (option == "--reps" || option == "--steps" || option == "--trace") {
            const long n = strtol(value.c_str(), &end, 10);
            if (*end || n < 0 || n > 1000000) return false;
            (option == "--reps" ? s.reps : option == "--steps" ? s.steps : s.trace) = static_cast<int>(n);
        } else if (option == "--timeout") {
            s.timeout = strtod(value.c_str(), &end);
            if (*end || !(s.timeout > 0)) return false;
        } else if (option == "--servo" && (value == "rate" || value == "opt")) {
            s.servo = value == "rate" ? khand::Servo::kRate : khand::Servo::kOptimal;
        } else if (option != "--scene" || value != "5") {
            return false;
        }
    }
    return argc % 2 == 1 && s.reps > 0 && s.steps > 0;
}

void RunChild(const Settings &s, Shared *shared)
{
    khand::HandScene scene(s.servo);
    for (int k = 0; k < s.steps; ++k) {
        scene.Control(k * khand::kStep);
        const Clock::time_point start = Clock::now();
        scene.Step();
        shared->seconds += std::chrono::duration<double>(Clock::now() - start).count();
        shared->stepsDone = k + 1;
        scene.Observe(k + 1);
        if (s.trace && (k + 1) % s.trace == 0) fprintf(stderr, "# step %d  %s\n", k + 1, scene.Figures().c_str());
    }
    // Island solves whose pivoting failed and sweeps stood in: a comment
    // line, so the figures keep the peers' format.
    fprintf(stderr, "# kelmar %s S5: %d failed LCP solves\n", ServoName(s),
            RbdWorldGetFailedSolveCount(scene.Universe().GetWorld()));
    snprintf(shared->figures, sizeof shared->figures, "%s", scene.Figures().c_str());
    shared->finished = 1;
    _exit(0);
}

Shared RunOnce(const Settings &s, std::string &why)
{
    return kbench::RunInChild<Shared>(
        s.timeout, [&](Shared *shared) { RunChild(s, shared); }, why);
}

} // namespace

int main(int argc, char **argv)
{
    Settings s;
    if (!Parse(argc, argv, s)) {
        fprintf(stderr, "usage: %s [--scene 5] [--reps N] [--steps N] [--timeout S] [--servo rate|opt] [--trace N]\n",
                argv[0]);
        return 2;
    }
    {
        khand::HandScene probe(s.servo);
        RbdWorldID world = probe.Universe().GetWorld();
        fprintf(stderr,
                "# kelmar robot layer | S5 hand holds ball, %s | epsilon=%g gamma=%g LCP tolerance %g | mu=1 "
                "(2 directions, switched static/dynamic) | dt=%g s, %d steps, reps=%d | sleep=off\n",
                ServoName(s), RbdWorldGetEpsilon(world), RbdWorldGetGamma(world), RbdWorldLCPGetTolerance(world),
                khand::kStep, s.steps, s.reps);
    }
    std::vector<double> perStep;
    std::string figures, why;
    bool differ = false;
    for (int rep = 0; rep < s.reps && why.empty(); ++rep) {
        const Shared r = RunOnce(s, why);
        const double us = r.stepsDone ? 1e6 * r.seconds / r.stepsDone : 0.0;
        fprintf(stderr, "# kelmar %s S5 rep %d: %d steps, %.1f us/step%s%s\n", ServoName(s), rep + 1, r.stepsDone, us,
                why.empty() ? "" : "  ", why.c_str());
        if (!why.empty()) break;
        if (rep == 0)
            figures = r.figures;
        else if (figures != r.figures)
            differ = true;
        perStep.push_back(us);
    }
    if (!why.empty()) {
        printf("%-10s %-10s S5  %s\n", "kelmar", ServoName(s), why.c_str());
        return 0;
    }
    printf("%-10s %-10s S5  %s  %s%s\n", "kelmar", ServoName(s), kbench::TimingWords(perStep).c_str(),
           figures.c_str(), differ ? "  (metrics differ between reps!)" : "");
    return 0;
}
