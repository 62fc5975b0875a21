// The largest shader file compiled, main.fx and each include alike. Glslang takes many times a
// source's size in memory, and the source passes through the program, the compile server and the
// compile child: past this size a file is refused with a message, before any of them copies it.
#pragma once

#include <cstdint>
#include <string>

namespace platform::d3dcompiler {

constexpr uint64_t kMaxSourceBytes = uint64_t{64} << 20;

// "200 MiB, more than the 64 MiB a shader file may have".
std::string TooLargeReason(uint64_t size);

} // namespace platform::d3dcompiler
