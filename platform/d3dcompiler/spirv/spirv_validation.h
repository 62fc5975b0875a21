// Validation of a final module for the Vulkan the device enables (platform/d3d11/vulkan.cpp): Vulkan
// 1.3 with scalar block layout, which Direct3D's buffer packing needs. What passes here also makes a
// pipeline; what does not is a compile error on the line the failing instruction came from.
#pragma once

#include "spirv_stage.h"

#include <cstdint>
#include <vector>

namespace platform::d3dcompiler {

// False, with the failure, when glslang's module is not valid even by the rules for HLSL before
// legalisation: legalisation may then crash or loop on it, so the child sends this first.
bool ValidateGlslangOutput(const std::vector<uint32_t>& spirv, SpirvStageFailure* failure);

// False, with the failure, when the device's Vulkan would refuse `spirv`.
bool ValidateForDevice(const std::vector<uint32_t>& spirv, SpirvStageFailure* failure);

} // namespace platform::d3dcompiler
