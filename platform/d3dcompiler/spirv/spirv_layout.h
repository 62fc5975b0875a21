// Structured buffers laid out as Direct3D lays them out. Glslang gives the blocks of structured and
// byte-address buffers std430 offsets and strides (a float3 aligned to 16 bytes, a struct's size
// rounded up to its largest member's alignment); Windows packs them tightly, each member aligned to
// its component size and the stride the struct's size. The device enables Vulkan's scalar block
// layout, which allows exactly that packing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites the Offset, ArrayStride and MatrixStride decorations of every type inside a storage
// buffer block of `spirv` to tight packing. Types shared with a constant buffer are left alone.
// False, with a message, when `spirv` is not a whole module.
bool PackStructuredBuffers(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
