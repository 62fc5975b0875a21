// Atomics on a byte-address buffer with a signed value, as Windows computes them: glslang passes the
// value and takes the original in the type the caller wrote, while the buffer's words are unsigned,
// which SPIR-V refuses. The words are reinterpreted, and InterlockedMin and InterlockedMax compare
// signed or unsigned as the value's type is. The pass runs before the check of glslang's module
// (spirv_stage.h); atomics whose operands already match are left as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites `spirv` in place; false, with a message, when it is not a whole module.
bool TypeAtomicsAsWindows(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
