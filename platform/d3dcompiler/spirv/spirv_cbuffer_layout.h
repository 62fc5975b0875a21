// Constant buffers packed as Windows packs them. Glslang's HLSL offsets already keep vectors inside
// 16-byte registers and start arrays, structures and matrices on one; but it counts an array, a
// structure or a matrix as long as its last register, where Windows counts it only up to its last
// element, so that a member after `float b[2]` starts 12 bytes earlier on Windows (`c` after `b[1]`
// at offset 36, not 48). A buffer whose members are placed with packoffset keeps their places.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites the Offset decorations of every structure inside a uniform block of `spirv`. Types that a
// storage buffer uses as well are left alone. False, with a message, when packoffset puts a member
// inside another (in an array's padding), which Vulkan cannot express.
bool PackConstantBuffers(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
