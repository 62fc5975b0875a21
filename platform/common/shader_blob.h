// The layout of a compiled shader as D3DCompile2 hands it out and CreateXShader takes it back:
// SPIR-V plus what the device needs without parsing it again (stage, entry point, vertex inputs,
// used registers). Parsing checks every offset, so bytes that are not ours are refused, not read.
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

struct ShaderInput {
    std::string semantic; // upper case, without the index: "POSITION"
    uint32_t semanticIndex = 0;
    uint32_t location = 0;
};

struct ShaderInfo {
    ShaderStage stage = ShaderStage::Vertex;
    std::string entryPoint;          // the SPIR-V entry point name
    std::vector<ShaderInput> inputs; // vertex stage only
    // Bit r of usedRegisters[c] is set when the module uses register r of class c.
    std::bitset<kMostRegisters> usedRegisters[kRegisterClassCount];
    uint32_t threadGroupSize[3] = {}; // compute stage only
    std::vector<uint32_t> spirv;
};

// Serialises `info` into the bytes of a code blob.
std::vector<uint8_t> EncodeShaderBlob(const ShaderInfo& info);

// Reads a code blob back; false when the bytes are not a blob made by EncodeShaderBlob.
bool DecodeShaderBlob(const void* data, size_t size, ShaderInfo* info);

} // namespace platform
