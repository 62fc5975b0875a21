// Glslang's log in the compiler's message format.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Each message of glslang's log ("ERROR: file:12: 'x' : text") as "file:12: error: 'x' : text", one
// a line; a message without a place names `name`. Glslang's counts of its messages are dropped.
std::string FormatGlslangLog(const std::string& log, const std::string& name);

} // namespace platform::d3dcompiler
