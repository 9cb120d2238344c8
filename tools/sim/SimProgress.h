// Progress of a long run: one line rewritten in place on a terminal, plain
// lines at every tenth of the run otherwise (logs, pipes, CI).
#ifndef KELMAR_TOOLS_SIMPROGRESS_H
#define KELMAR_TOOLS_SIMPROGRESS_H

#include <stdio.h>

namespace ksim {

class Progress {
public:
    // total: the steps of the run; terminal: out is a terminal.
    Progress(FILE *out, bool terminal, int total);
    // After `done` steps in `seconds` of stepping, `awake` bodies awake.
    void update(int done, double seconds, int awake);
    // Ends the in-place line, if one is shown.
    void finish();

private:
    void show(int done, double seconds, int awake);

    FILE *out_;
    bool terminal_;
    int total_;
    int nextTenth_ = 1;
    double lastShown_ = -1.0;
    bool lineOpen_ = false;
};

} // namespace ksim

#endif
