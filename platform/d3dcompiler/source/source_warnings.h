// The warnings Windows' compiler gives of code that compiles: implicit truncation of a vector
// (source_truncation.h), a local read before any assignment (source_uninitialized.h), division by a
// constant zero; each only in the functions the entry point calls, as Windows reports them only for
// the code it generates.
#pragma once

#include "declarations.h"
#include "line_map.h"

#include <string>
#include <string_view>

namespace platform::d3dcompiler {

// One warning message a line, in the order of the source; "" when there is none.
std::string FindWarnings(const Tokens& t, const Declarations& d, const LineMap& lines,
                         std::string_view entry);

} // namespace platform::d3dcompiler
