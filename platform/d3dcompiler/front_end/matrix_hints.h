// The matrices SPIR-V has no type for, named with their file and line for the author, who otherwise
// reads a SPIR-V validator's complaint or that the compiler crashed.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// A message line naming the matrix of `source` (named `name`) that `said` is about: an integer or
// boolean matrix where the validator says matrices must be of floats, or glslang crashed (`said`
// empty); a one-row or one-column matrix of a constant buffer where it says matrices need two rows
// and columns. "" when `said` is about neither or the source shows no such matrix.
std::string MatrixHint(const std::string& source, const std::string& name, const std::string& said);

} // namespace platform::d3dcompiler
