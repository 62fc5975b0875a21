// any() and all() of a scalar, as Windows computes them: the scalar is nonzero. Glslang emits OpAny
// and OpAll for them, which SPIR-V defines on vectors of booleans only, so they become a comparison
// with zero (a boolean is copied). The pass runs first, before the check of glslang's module
// (spirv_stage.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites `spirv` in place; false, with a message, when it is not a whole module.
bool ReduceScalarsAsWindows(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
