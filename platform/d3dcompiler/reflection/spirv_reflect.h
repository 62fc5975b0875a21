// Reads back from a compiled SPIR-V module what the Direct3D 11 stand-in needs (entry point, the
// inputs and outputs with their HLSL semantics and locations, registers used by class, each resource's
// register and descriptor, thread-group size), so that the device never parses the module, and removes
// the semantic decorations, so the module needs no Vulkan extension. Only modules glslang makes from HLSL.
#pragma once

#include "shader_blob.h"

#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Fills `info`, whose stage is already set, from `spirv`; false, with a message, when the entry point is
// missing or a resource lies outside the registers of the binding table.
bool ReflectSpirv(const std::vector<uint32_t>& spirv, const std::string& entry, ShaderInfo* info,
                  std::string* error);

} // namespace platform::d3dcompiler
