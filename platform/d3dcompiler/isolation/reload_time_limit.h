// One F5, or the start-up, compiles one file for several stages in turn (vs, then ps, then cs): they
// share one time limit, so that a file that hangs the compiler holds the window for one limit, not
// one per stage. A run of compiles of the same source and name, each for a stage not yet compiled in
// the run, is taken for one reload; a stage compiled again, or another source, begins the next.
#pragma once

#include <cstdint>
#include <string>

namespace platform::d3dcompiler {

struct CompileTurn {
    uint64_t run = 0;
    // The time this compile may take; 0 when the reload's time is spent and it is not to be run.
    int limitMs = 0;
    // The stage whose compile spent the reload's time, when limitMs is 0; a stage is named by its
    // entry point.
    std::string spentBy;
};

// The time one reload's compiles may take together: past it, a compile is a hang to the user who
// pressed F5. Tests shorten it; 0 sets it back.
unsigned ReloadTimeLimitMs();
void SetReloadTimeLimitMs(unsigned ms);

// `limitMs` is the limit of a whole reload.
CompileTurn BeginCompile(const std::string& source, const std::string& name, const std::string& stage,
                         unsigned limitMs);
// Records how the compile ended: one that ran out of time ends its reload's time.
void EndCompile(const CompileTurn& turn, const std::string& stage, bool timedOut);

} // namespace platform::d3dcompiler
