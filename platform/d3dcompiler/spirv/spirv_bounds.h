// Bounds checks for structured-buffer indices, as Direct3D 11 defines them: every index into a
// buffer's run-time array is clamped to the array's length, so that no index, however large, makes
// a byte offset that wraps past 2^32 back into the buffer. The access one past the end that a clamped
// index makes is the device's to drop (robustBufferAccess2: reads give zero, writes do nothing).
// Only modules glslang makes from HLSL: logical addressing, no variable pointers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites `spirv` in place; false, with a message, when an access into a run-time array cannot be
// traced to its buffer (the module is then left as it was).
bool ClampBufferIndices(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
