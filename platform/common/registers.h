// Where HLSL registers land in Vulkan: every register class has a fixed range of bindings in
// descriptor set 0. The compiler assigns them and the device binds by them, from this one table.
#pragma once

#include <cstdint>

namespace platform {

enum class RegisterClass : uint32_t {
    ConstantBuffer = 0, // bN
    UnorderedAccess = 1, // uN
    ShaderResource = 2, // tN
    Sampler = 3, // sN
};

constexpr uint32_t kRegisterClassCount = 4;
// Registers per class that the layer supports; a shader using a higher one fails to compile.
constexpr uint32_t kRegistersPerClass = 16;
constexpr uint32_t kDescriptorSet = 0;

constexpr uint32_t BindingOf(RegisterClass cls, uint32_t reg) {
    return static_cast<uint32_t>(cls) * kRegistersPerClass + reg;
}

} // namespace platform
