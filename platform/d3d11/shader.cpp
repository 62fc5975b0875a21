#include "shader.h"

#include "vk_result.h"

namespace {

static_assert(static_cast<VkDescriptorType>(platform::DescriptorKind::Sampler) ==
                  VK_DESCRIPTOR_TYPE_SAMPLER &&
              static_cast<VkDescriptorType>(platform::DescriptorKind::StorageBuffer) ==
                  VK_DESCRIPTOR_TYPE_STORAGE_BUFFER);

// Moves each resource of the blob into its stage's binding range, in the SPIR-V too, and lists it.
// Returns what is wrong, or null.
const char* PlaceBindings(const std::vector<platform::ShaderResource>& resources, uint32_t base,
                          std::vector<uint32_t>* spirv, std::vector<platform::d3d11::ShaderBinding>* out) {
    for (const platform::ShaderResource& r : resources) {
        if (r.kind == platform::DescriptorKind::Unsupported)
            return "a resource kind this layer does not implement (arrays of resources included)";
        const uint32_t binding = base + platform::BindingOf(r.registerClass, r.reg);
        (*spirv)[r.bindingWord] = binding;
        // A texture also read through a comparison sampler is two variables of one register.
        bool listed = false;
        for (const platform::d3d11::ShaderBinding& b : *out)
            listed = listed || b.binding == binding;
        if (!listed)
            out->push_back({binding, static_cast<VkDescriptorType>(r.kind), r.registerClass, r.reg});
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

// Why the device cannot run code declaring these SPIR-V capabilities, or null when it can.
const char* MissingFeature(const std::vector<uint32_t>& spirv, const VkPhysicalDeviceFeatures& enabled) {
    constexpr uint32_t kOpCapability = 17;
    struct Need {
        uint32_t capability;
        VkBool32 VkPhysicalDeviceFeatures::*feature;
        const char* why;
    };
    static const Need needs[] = {
        {10, &VkPhysicalDeviceFeatures::shaderFloat64,
         "the shader uses double, which this Vulkan device does not offer (shaderFloat64)"},
        {11, &VkPhysicalDeviceFeatures::shaderInt64,
         "the shader uses 64-bit integers, which this Vulkan device does not offer (shaderInt64)"},
        {22, &VkPhysicalDeviceFeatures::shaderInt16,
         "the shader uses 16-bit integers, which this Vulkan device does not offer (shaderInt16)"},
        {49, &VkPhysicalDeviceFeatures::shaderStorageImageExtendedFormats,
         "the shader uses a storage-image format this Vulkan device does not offer "
         "(shaderStorageImageExtendedFormats)"},
        {55, &VkPhysicalDeviceFeatures::shaderStorageImageReadWithoutFormat,
         "the shader reads a storage image without a format, which this Vulkan device does not offer "
         "(shaderStorageImageReadWithoutFormat)"},
        {56, &VkPhysicalDeviceFeatures::shaderStorageImageWriteWithoutFormat,
         "the shader writes a storage image without a format, which this Vulkan device does not offer "
         "(shaderStorageImageWriteWithoutFormat)"},
    };
    // Capabilities are declared first, after the five-word header.
    size_t at = 5;
    while (at + 1 < spirv.size() && (spirv[at] & 0xffff) == kOpCapability && spirv[at] >> 16 >= 2) {
        for (const Need& need : needs) {
            if (spirv[at + 1] == need.capability && !(enabled.*need.feature))
                return need.why;
        }
        at += spirv[at] >> 16;
    }
    return nullptr;
}

} // namespace

namespace platform::d3d11 {

HRESULT DecodeShader(const void* bytecode, SIZE_T length, platform::ShaderStage stage, ShaderCode* code,
                     std::vector<uint32_t>* spirv) {
    platform::ShaderInfo info;
    if (!bytecode || length == 0 || !platform::DecodeShaderBlob(bytecode, length, &info) ||
        info.stage != stage)
        return E_INVALIDARG;
    if (info.model > 50)
        return Refuse("CreateShader",
                      "shader model 5.1 code is Direct3D 12's: Direct3D 11 runs models 4.0 to 5.0",
                      E_INVALIDARG);
    code->stage = stage;
    code->entry = std::move(info.entryPoint);
    code->inputs = std::move(info.inputs);
    code->outputs = std::move(info.outputs);
    *spirv = std::move(info.spirv);
    if (const char* why = PlaceBindings(info.resources, StageBindingBase(stage), spirv, &code->bindings))
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
    if (const char* why = MissingFeature(spirv, device->vk.shaderFeatures))
        return Refuse("CreateShader", why, E_INVALIDARG);
    if (!out)
        return S_FALSE;
    *out = nullptr;

    VkShaderModuleCreateInfo info = {VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = spirv.size() * sizeof(uint32_t);
    info.pCode = spirv.data();
    VkResult result = vkCreateShaderModule(device->vk.device, &info, nullptr, &code.module);
    if (result != VK_SUCCESS)
        return Fail({"vkCreateShaderModule", result});
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

} // namespace platform::d3d11
