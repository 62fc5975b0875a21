// The line of the source that a message about the compiled code is about, for messages that the
// SPIR-V alone gives no line for.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// "name:line: error: " for a message about a register (`register X ...`) or groupshared memory,
// where `source` declares it; "name: error: " where it does not, as in an include.
std::string WhereInSource(const std::string& source, const std::string& name, const std::string& message);

} // namespace platform::d3dcompiler
