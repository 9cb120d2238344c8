// One repetition of a bench scene in a child process of its own with a
// wall-clock limit: a scene that crashes or runs past its time costs the
// run one line ("FAILED", "DNF") rather than the whole bench, and it never
// shares a heap or caches with the repetition before it.
#ifndef KELMAR_BENCH_BENCHCHILD_H
#define KELMAR_BENCH_BENCHCHILD_H

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace kbench {

// Report: plain data the child fills in shared memory, with at least
// `int stepsDone` and `int finished`. run(Report *) runs in the child and
// must end it with _exit. Returns the child's report and, when it did not
// finish, why (in `why`).
template <class Report, class Run> Report RunInChild(double timeoutSeconds, Run run, std::string &why)
{
    using Clock = std::chrono::steady_clock;
    auto *shared = static_cast<Report *>(
        mmap(nullptr, sizeof(Report), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) {
        why = "FAILED: no shared memory";
        return Report{};
    }
    memset(static_cast<void *>(shared), 0, sizeof *shared);
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    if (child == 0) run(shared);
    const Clock::time_point start = Clock::now();
    int status = 0;
    bool timedOut = false;
    while (child > 0 && waitpid(child, &status, WNOHANG) != child) {
        if (std::chrono::duration<double>(Clock::now() - start).count() > timeoutSeconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            timedOut = true;
            break;
        }
        usleep(20000);
    }
    const Report report = *shared;
    munmap(shared, sizeof(Report));
    char text[160];
    if (child < 0)
        snprintf(text, sizeof text, "FAILED: cannot start a process");
    else if (timedOut)
        snprintf(text, sizeof text, "DNF: timeout %.0fs after %d steps", timeoutSeconds, report.stepsDone);
    else if (WIFSIGNALED(status))
        snprintf(text, sizeof text, "FAILED: signal %d after %d steps", WTERMSIG(status), report.stepsDone);
    else
        snprintf(text, sizeof text, "FAILED: exit %d after %d steps", WEXITSTATUS(status), report.stepsDone);
    if (!report.finished) why = text;
    return report;
}

// The timing words of a scene's result line, which the peer suite reads:
// steps per second and microseconds per step of the median repetition,
// then every repetition's microseconds per step.
inline std::string TimingWords(const std::vector<double> &perStep)
{
    std::vector<double> sorted = perStep;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::string reps;
    for (size_t k = 0; k < perStep.size(); ++k) {
        char b[32];
        snprintf(b, sizeof b, "%s%.1f", k ? "," : "", perStep[k]);
        reps += b;
    }
    char words[96];
    snprintf(words, sizeof words, "steps/s=%9.1f  us/step=%10.1f  [reps ", 1e6 / median, median);
    return words + reps + "]";
}

} // namespace kbench

#endif
