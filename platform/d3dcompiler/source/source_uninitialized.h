// A local variable read where some path reaches it without an assignment: after an `if` that
// assigns it in one branch only, or with no assignment before at all. Judged for numeric locals
// declared without a value, and never a false alarm on code Windows accepts silently: passing the
// variable to a call counts as assigning it (it may be an `out` argument), so does assigning a part
// of it, a loop's body that assigns it is taken to run, an `if` on a constant is taken to go its
// way, and a `switch` that mentions it ends the search.
#pragma once

#include "declarations.h"
#include "source_checks.h"

#include <vector>

namespace platform::d3dcompiler {

// The reads of uninitialised locals of the function declared at `function` in `d`. Each token looked
// at takes one from `*budget`; none left, the search ends, so that a hostile source with many
// locals in one long scope costs no more than a real one.
void FindUninitializedReads(const Tokens& t, const Declarations& d, int function, size_t* budget,
                            std::vector<SourceWarning>* out);

} // namespace platform::d3dcompiler
