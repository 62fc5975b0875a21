#include "shader.h"

#include "vk_result.h"

#include <algorithm>
#include <unordered_map>

namespace {

// The few SPIR-V opcodes, decorations and storage classes that say what kind of descriptor a
// resource variable needs.
enum : uint32_t {
    OpTypeImage = 25,
    OpTypeSampler = 26,
    OpTypeSampledImage = 27,
    OpTypeArray = 28,
    OpTypeRuntimeArray = 29,
    OpTypeStruct = 30,
    OpTypePointer = 32,
    OpVariable = 59,
    OpDecorate = 71,
    DecorationBlock = 2,
    DecorationBufferBlock = 3,
    DecorationBinding = 33,
    DecorationDescriptorSet = 34,
    StorageUniformConstant = 0,
    StorageUniform = 2,
    StorageStorageBuffer = 12,
    DimBuffer = 5,
    kSpirvMagic = 0x07230203,
};

struct Instruction {
    uint32_t opcode;
    const uint32_t* words; // words[0] is the opcode word
    uint32_t count;
};

bool DescriptorType(const std::unordered_map<uint32_t, Instruction>& types,
                    const std::vector<uint32_t>& blockIds, const std::vector<uint32_t>& bufferBlockIds,
                    uint32_t storage, uint32_t typeId, VkDescriptorType* out) {
    auto it = types.find(typeId);
    if (it == types.end() || it->second.opcode == OpTypeArray || it->second.opcode == OpTypeRuntimeArray)
        return false;
    const Instruction& type = it->second;
    auto has = [](const std::vector<uint32_t>& ids, uint32_t id) {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    if (storage == StorageStorageBuffer) {
        *out = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
        return true;
    }
    if (storage == StorageUniform && type.opcode == OpTypeStruct) {
        if (has(bufferBlockIds, type.words[1])) {
            *out = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
            return true;
        }
        if (has(blockIds, type.words[1])) {
            *out = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
            return true;
        }
        return false;
    }
    if (storage != StorageUniformConstant)
        return false;
    switch (type.opcode) {
    case OpTypeSampler:
        *out = VK_DESCRIPTOR_TYPE_SAMPLER;
        return true;
    case OpTypeSampledImage:
        *out = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        return true;
    case OpTypeImage: {
        const bool storageImage = type.words[7] == 2;
        if (type.words[3] == DimBuffer)
            *out = storageImage ? VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER
                                : VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER;
        else
            *out = storageImage ? VK_DESCRIPTOR_TYPE_STORAGE_IMAGE : VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE;
        return true;
    }
    default:
        return false;
    }
}

// Finds every resource variable of descriptor set 0, records its register and descriptor type, and
// moves its binding by `base` in place. Returns what is wrong, or null.
const char* ScanBindings(std::vector<uint32_t>* spirv, uint32_t base,
                         std::vector<d3d11::ShaderBinding>* out) {
    std::vector<uint32_t>& words = *spirv;
    if (words.size() < 5 || words[0] != kSpirvMagic)
        return "not SPIR-V";
    std::unordered_map<uint32_t, Instruction> types;
    std::unordered_map<uint32_t, uint32_t*> bindingOf; // variable id -> its Binding literal
    std::vector<uint32_t> blockIds, bufferBlockIds;
    std::vector<Instruction> variables;
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        const uint32_t opcode = words[i] & 0xffff;
        if (count == 0 || i + count > words.size())
            return "truncated SPIR-V";
        const Instruction inst = {opcode, &words[i], count};
        if (opcode == OpDecorate && count >= 3) {
            const uint32_t decoration = words[i + 2];
            if (decoration == DecorationBinding && count >= 4)
                bindingOf[words[i + 1]] = &words[i + 3];
            if (decoration == DecorationBlock)
                blockIds.push_back(words[i + 1]);
            if (decoration == DecorationBufferBlock)
                bufferBlockIds.push_back(words[i + 1]);
        } else if ((opcode >= OpTypeImage && opcode <= OpTypeStruct) && count >= 2) {
            types[words[i + 1]] = inst;
        } else if (opcode == OpTypePointer && count >= 4) {
            types[words[i + 1]] = inst;
        } else if (opcode == OpVariable && count >= 4) {
            variables.push_back(inst);
        }
        i += count;
    }
    for (const Instruction& variable : variables) {
        auto binding = bindingOf.find(variable.words[2]);
        if (binding == bindingOf.end())
            continue;
        auto pointer = types.find(variable.words[1]);
        if (pointer == types.end() || pointer->second.opcode != OpTypePointer)
            return "a resource variable without a pointer type";
        VkDescriptorType type;
        if (!DescriptorType(types, blockIds, bufferBlockIds, variable.words[3], pointer->second.words[3],
                            &type))
            return "a resource kind this layer does not implement (arrays of resources included)";
        const uint32_t index = *binding->second;
        if (index >= platform::kBindingsPerStage)
            return "a binding outside the register table";
        *binding->second = base + index;
        platform::RegisterClass cls;
        uint32_t reg;
        platform::RegisterOf(index, &cls, &reg);
        out->push_back({base + index, type, cls, reg});
    }
    return nullptr;
}

platform::ShaderStage StageOf(ID3D11VertexShader*) {
    return platform::ShaderStage::Vertex;
}
platform::ShaderStage StageOf(ID3D11GeometryShader*) {
    return platform::ShaderStage::Geometry;
}
platform::ShaderStage StageOf(ID3D11PixelShader*) {
    return platform::ShaderStage::Pixel;
}
platform::ShaderStage StageOf(ID3D11ComputeShader*) {
    return platform::ShaderStage::Compute;
}

const char* KindOf(ID3D11VertexShader*) {
    return "ID3D11VertexShader";
}
const char* KindOf(ID3D11GeometryShader*) {
    return "ID3D11GeometryShader";
}
const char* KindOf(ID3D11PixelShader*) {
    return "ID3D11PixelShader";
}
const char* KindOf(ID3D11ComputeShader*) {
    return "ID3D11ComputeShader";
}

const IID& IidOf(ID3D11VertexShader*) {
    return IID_ID3D11VertexShader;
}
const IID& IidOf(ID3D11GeometryShader*) {
    return IID_ID3D11GeometryShader;
}
const IID& IidOf(ID3D11PixelShader*) {
    return IID_ID3D11PixelShader;
}
const IID& IidOf(ID3D11ComputeShader*) {
    return IID_ID3D11ComputeShader;
}

} // namespace

namespace d3d11 {

HRESULT DecodeShader(const void* bytecode, SIZE_T length, platform::ShaderStage stage, ShaderCode* code,
                     std::vector<uint32_t>* spirv) {
    platform::ShaderInfo info;
    if (!bytecode || length == 0 || !platform::DecodeShaderBlob(bytecode, length, &info) ||
        info.stage != stage)
        return E_INVALIDARG;
    code->stage = stage;
    code->entry = std::move(info.entryPoint);
    code->inputs = std::move(info.inputs);
    *spirv = std::move(info.spirv);
    if (const char* why = ScanBindings(spirv, StageBindingBase(stage), &code->bindings))
        return Refuse("CreateShader", why, E_INVALIDARG);
    return S_OK;
}

template <class Interface> Shader<Interface>::~Shader() {
    Device* device = this->device_;
    device->pipelines.ReleaseCode(code_.id);
    if (code_.module)
        device->frames.Defer(GarbageKind::ShaderModule, reinterpret_cast<uint64_t>(code_.module));
}

template <class Interface>
HRESULT Shader<Interface>::Create(Device* device, const void* bytecode, SIZE_T length, Interface** out) {
    const platform::ShaderStage stage = StageOf(static_cast<Interface*>(nullptr));
    ShaderCode code;
    std::vector<uint32_t> spirv;
    HRESULT hr = DecodeShader(bytecode, length, stage, &code, &spirv);
    if (FAILED(hr))
        return hr;
    if (stage == platform::ShaderStage::Geometry && !device->vk.geometryShader)
        return Refuse("CreateGeometryShader", "the Vulkan device has no geometry shaders",
                      DXGI_ERROR_UNSUPPORTED);
    if (!out)
        return S_FALSE;
    *out = nullptr;

    VkShaderModuleCreateInfo info = {VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = spirv.size() * sizeof(uint32_t);
    info.pCode = spirv.data();
    VkResult result = vkCreateShaderModule(device->vk.device, &info, nullptr, &code.module);
    if (result != VK_SUCCESS)
        return Fail("vkCreateShaderModule", result);
    auto* shader = new Shader(device, KindOf(static_cast<Interface*>(nullptr)));
    code.id = device->pipelines.CodeId(stage, code.entry, spirv, device->NextObjectId());
    shader->code_ = std::move(code);
    *out = shader;
    return S_OK;
}

template <class Interface> HRESULT Shader<Interface>::QueryInterface(REFIID riid, void** ppvObject) {
    return this->Query(riid, ppvObject,
                       {&IID_IUnknown, &IID_ID3D11DeviceChild, &IidOf(static_cast<Interface*>(nullptr))});
}

template class Shader<ID3D11VertexShader>;
template class Shader<ID3D11GeometryShader>;
template class Shader<ID3D11PixelShader>;
template class Shader<ID3D11ComputeShader>;

} // namespace d3d11
