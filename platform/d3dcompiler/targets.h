// Compile targets: which shader stage a target name such as "cs_5_0" asks for, and the shaderc kind
// of each stage. Only vertex, pixel, geometry and compute stages of shader models 4.0 to 5.1.
#pragma once

#include "shader_blob.h"

#include <shaderc/shaderc.h>

namespace platform {

// False when `target` is not a stage of a supported shader model.
bool ParseTarget(const char* target, ShaderStage* stage);

shaderc_shader_kind ToShadercKind(ShaderStage stage);

} // namespace platform
