#include "SimProgress.h"

namespace ksim {

namespace {

// A terminal line is redrawn at most this often.
const double kRedrawInterval = 0.1; // s

} // namespace

Progress::Progress(FILE *out, bool terminal, int total) : out_(out), terminal_(terminal), total_(total)
{
}

void Progress::update(int done, double seconds, int awake)
{
    if (total_ <= 0) return;
    if (terminal_) {
        if (seconds - lastShown_ < kRedrawInterval && done < total_) return;
        lastShown_ = seconds;
        fputc('\r', out_);
        show(done, seconds, awake);
        fputs("   ", out_);
        lineOpen_ = true;
        fflush(out_);
        return;
    }
    // A plain line each time the run passes another tenth.
    if (static_cast<long long>(done) * 10 < static_cast<long long>(nextTenth_) * total_) return;
    while (static_cast<long long>(done) * 10 >= static_cast<long long>(nextTenth_) * total_) ++nextTenth_;
    show(done, seconds, awake);
    fputc('\n', out_);
    fflush(out_);
}

void Progress::finish()
{
    if (lineOpen_) fputc('\n', out_);
    lineOpen_ = false;
    fflush(out_);
}

void Progress::show(int done, double seconds, int awake)
{
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    fprintf(out_, "step %d/%d (%3d%%)  %.0f steps/s  %d awake", done, total_, static_cast<int>(100LL * done / total_),
            rate, awake);
}

} // namespace ksim
