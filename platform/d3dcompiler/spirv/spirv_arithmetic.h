// HLSL's numbers as Windows computes them, where what glslang makes of them means something else in
// SPIR-V or is left undefined there. The rewrites, each with why it exists:
// - `%` and fmod give a remainder with the dividend's sign (truncated division); glslang emits OpSMod
//   and OpFMod, which take the divisor's sign, so OpSMod becomes OpSRem and OpFMod x - y * trunc(x / y)
//   (not OpFRem, which lavapipe computes by a call to the C library's fmodf).
// - A shift uses the low five bits of its count (`1 << 34` is 4); SPIR-V leaves counts of 32 and
//   more undefined, so the count is masked.
// - Float-to-integer conversions saturate and take NaN to 0 (`(uint)-3.6` is 0); SPIR-V leaves
//   out-of-range values undefined.
// - Unsigned division and remainder by zero give 0xFFFFFFFF, as Direct3D defines them; SPIR-V leaves
//   them undefined (glslang's optimiser folds constants to 0). Signed division by zero stays undefined.
// - atan2 with a y of -0.0 is that of +0.0 (`atan2(-0.0, -1.0)` is +pi), as Windows' atan2 ignores
//   the sign of a zero.
// - Statics start at zero: a private variable without an initializer gets a zero one, and the
//   undefined values the optimiser leaves for reads of never-written variables are zeros.
// The pass runs on glslang's SPIR-V before legalisation and optimisation (spirv_stage.h), so that
// constants fold the same. The rest of Windows' numbers is elsewhere: constant-buffer packing
// (spirv_cbuffer_layout.h), matrix majority (source_matrix_majority.h), global constants as uniforms
// (source_global_constants.h), `lit` and `fmod` of literals (source_prelude.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites `spirv` in place; false, with a message, when it is not a whole module.
bool ComputeAsWindows(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
