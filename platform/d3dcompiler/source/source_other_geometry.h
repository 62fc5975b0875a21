// Geometry-stage functions other than the entry point. Glslang ties every stream's Append to the
// entry point's output and crashes on a second geometry function of another vertex type in the same
// file (effect-style files hold one per pass). Windows' compiler compiles only the entry point's call
// tree, so such functions that nothing calls are blanked, their attributes too; lines are kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place for a compile of `entry`.
void DropOtherGeometryFunctions(std::string* text, const std::string& entry);

} // namespace platform::d3dcompiler
