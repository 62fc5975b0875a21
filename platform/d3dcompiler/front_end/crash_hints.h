// What glslang is known to crash on, named with its file and line for the author, who otherwise reads
// only that the compiler crashed.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// A message line naming the construct in `source` (named `name`) that glslang is known to crash on,
// or "" when none is found.
std::string CrashHint(const std::string& source, const std::string& name);
// The same for the intrinsic calls glslang is known to crash on.
std::string IntrinsicCrashHint(const std::string& source, const std::string& name);

} // namespace platform::d3dcompiler
