// What Windows' compiler refuses and glslang compiles into something else: a swizzle assigned to that
// repeats a component (`v.xx = ...`), an array dimension past 65,536, a `const` local or `static const`
// without its value, `static uniform`, an entry point whose return value has no semantic.
#pragma once

#include "declarations.h"
#include "line_map.h"

#include <string>
#include <string_view>

namespace platform::d3dcompiler {

// One error message a line for each refusal in the whole source, whether the entry point reaches
// it or not, as Windows' parser refuses them; "" when there is none.
std::string FindRefusals(const Tokens& t, const Declarations& d, const LineMap& lines,
                         std::string_view entry);

} // namespace platform::d3dcompiler
