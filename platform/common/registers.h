// Where HLSL registers land in Vulkan: every register class has a fixed range of bindings in
// descriptor set 0. The compiler assigns them and the device binds by them, from this one table.
#pragma once

#include <cstdint>

namespace platform {

enum class RegisterClass : uint32_t {
    ConstantBuffer = 0,  // bN
    UnorderedAccess = 1, // uN
    ShaderResource = 2,  // tN
    Sampler = 3,         // sN
};

constexpr uint32_t kRegisterClassCount = 4;
// The registers of each class in shader model 5, indexed by RegisterClass: b0-b13, u0-u7, t0-t127,
// s0-s15. A shader using a higher one fails to compile, as on Windows.
constexpr uint32_t kRegisterCount[kRegisterClassCount] = {14, 8, 128, 16};
// The most registers of any class, and the bindings one stage's registers take.
constexpr uint32_t kMostRegisters = 128;
constexpr uint32_t kBindingsPerStage = 14 + 8 + 128 + 16;
constexpr uint32_t kDescriptorSet = 0;

// The classes' ranges follow one another in the order of RegisterClass.
constexpr uint32_t BindingOf(RegisterClass cls, uint32_t reg) {
    uint32_t base = 0;
    for (uint32_t c = 0; c < static_cast<uint32_t>(cls); ++c)
        base += kRegisterCount[c];
    return base + reg;
}

// The register of a binding below kBindingsPerStage.
constexpr void RegisterOf(uint32_t binding, RegisterClass* cls, uint32_t* reg) {
    uint32_t c = 0;
    while (c + 1 < kRegisterClassCount && binding >= kRegisterCount[c])
        binding -= kRegisterCount[c++];
    *cls = static_cast<RegisterClass>(c);
    *reg = binding;
}

} // namespace platform
