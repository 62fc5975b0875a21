// Compile targets: which shader stage a target name such as "cs_5_0" asks for. Only vertex, pixel, geometry
// and compute stages of shader models 4.0 to 5.1.
#pragma once

#include "shader_blob.h"

#include <string>

namespace platform::d3dcompiler {

// False when `target` is not a stage of a supported shader model.
bool ParseTarget(const char* target, ShaderStage* stage);

// The shader model of a target ParseTarget accepts, times ten: 51 for "cs_5_1".
uint32_t ShaderModelOf(const char* target);

// False, with the reason, when a compute group of `size` threads is larger than the target's shader
// model allows: at most 1,024 threads for 5_x (x and y up to 1,024, z up to 64), 768 for 4_x (z 1).
bool CheckThreadGroupSize(const char* target, const uint32_t size[3], std::string* error);

} // namespace platform::d3dcompiler
