// Calls of Windows' intrinsics that glslang refuses or drops, written as calls it compiles alike:
// InterlockedCompareStore (which glslang leaves out of its module) as InterlockedCompareExchange into
// a local of its own, and `transpose` and `determinant` of a scalar (ambiguous to glslang) as the
// scalar, a float for determinant. Every line is kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void RewriteIntrinsicCalls(std::string* text);

} // namespace platform::d3dcompiler
