// A local variable read before anything is assigned to it. Straight-line only, and never a false
// alarm: the first mention of the variable after its declaration decides. A read there warns; an
// assignment of the whole variable, of a part of it, or its passing to a call (an `out` argument)
// ends the search, so that a variable assigned on some paths only is not reported.
#pragma once

#include "declarations.h"
#include "source_checks.h"

#include <vector>

namespace platform::d3dcompiler {

// The reads of uninitialised locals of the function declared at `function` in `d`.
void FindUninitializedReads(const Tokens& t, const Declarations& d, int function,
                            std::vector<SourceWarning>* out);

} // namespace platform::d3dcompiler
