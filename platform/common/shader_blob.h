// The layout of a compiled shader as D3DCompile2 hands it out and CreateXShader takes it back:
// SPIR-V plus everything the device needs without parsing it again (stage, entry point, the inputs and
// outputs with their semantics, used registers, each resource's register and descriptor type, group
// size). Parsing checks every
// offset, so bytes that are not ours are refused, not read.
#pragma once

#include "registers.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class ShaderStage : uint32_t {
    Vertex = 0,
    Pixel = 1,
    Compute = 2,
    Geometry = 3,
};

// One input or output variable of the stage with a semantic, system values left out. It spans
// `locations` consecutive locations, one semantic index each from `semanticIndex` on, as an array or
// matrix spans registers in Direct3D.
struct ShaderInput {
    std::string semantic; // upper case, without the index: "POSITION"
    uint32_t semanticIndex = 0;
    uint32_t location = 0;
    uint32_t locations = 1;
    uint32_t components = 4;   // of each location
    uint32_t locationWord = 0; // where its Location decoration's number lies in `spirv`; 0 if unknown
};

// The descriptor a resource takes, numbered as Vulkan's VkDescriptorType; Unsupported for a kind the
// device refuses (an array of resources).
enum class DescriptorKind : uint32_t {
    Sampler = 0,
    CombinedImageSampler = 1,
    SampledImage = 2,
    StorageImage = 3,
    UniformTexelBuffer = 4,
    StorageTexelBuffer = 5,
    UniformBuffer = 6,
    StorageBuffer = 7,
    Unsupported = 8,
};

// A resource variable of the module: its register, its descriptor, and where its Binding decoration's
// number lies in `spirv`, so that the device can move it into its stage's range without a parse.
struct ShaderResource {
    RegisterClass registerClass = RegisterClass::ConstantBuffer;
    uint32_t reg = 0;
    DescriptorKind kind = DescriptorKind::Unsupported;
    uint32_t bindingWord = 0;
};

struct ShaderInfo {
    ShaderStage stage = ShaderStage::Vertex;
    // The shader model times ten: 40, 41, 50 or 51. Model 5.1 is Direct3D 12's: its registers may lie
    // in other spaces and past Direct3D 11's, and the device refuses its code.
    uint32_t model = 50;
    std::string entryPoint;           // the SPIR-V entry point name
    std::vector<ShaderInput> inputs;  // vertex and pixel stages
    std::vector<ShaderInput> outputs; // vertex and geometry stages: what the pixel stage reads
    // Bit r of usedRegisters[c] is set when the module uses register r of class c.
    std::bitset<kMostRegisters> usedRegisters[kRegisterClassCount];
    uint32_t threadGroupSize[3] = {};      // compute stage only
    std::vector<ShaderResource> resources; // in the module's order, hidden counters included
    std::vector<uint32_t> spirv;
};

// Serialises `info` into the bytes of a code blob.
std::vector<uint8_t> EncodeShaderBlob(const ShaderInfo& info);

// Reads a code blob back; false when the bytes are not a blob made by EncodeShaderBlob, an input's or
// output's location word does not hold its location, or, below model 5.1, a resource's register is
// outside its class or its binding word does not hold that register's binding.
bool DecodeShaderBlob(const void* data, size_t size, ShaderInfo* info);

} // namespace platform
