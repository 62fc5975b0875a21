// The four shader kinds: a VkShaderModule made from the SPIR-V of a blob that D3DCompile2 produced,
// with each resource moved into its stage's binding range and its descriptor type read from the
// blob, which lists them. Bytes that are not such a blob, or a blob of another stage, are refused.
#pragma once

#include "com.h"
#include "pipelines.h"

namespace platform::d3d11 {

template <class Interface> class Shader final : public DeviceChild<Interface> {
  public:
    static HRESULT Create(Device* device, const void* bytecode, SIZE_T length, Interface** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

    const ShaderCode& Code() const { return code_; }

  private:
    Shader(Device* device, const char* kind) : DeviceChild<Interface>(device, kind) {}
    ~Shader() override;

    ShaderCode code_;
};

using VertexShader = Shader<ID3D11VertexShader>;
using GeometryShader = Shader<ID3D11GeometryShader>;
using PixelShader = Shader<ID3D11PixelShader>;
using ComputeShader = Shader<ID3D11ComputeShader>;

// Reads the blob into `code` (stage, entry, inputs, bindings) and `spirv`: E_INVALIDARG when the bytes
// are not a blob of `stage`. Shared with CreateInputLayout, which needs the vertex inputs only.
HRESULT DecodeShader(const void* bytecode, SIZE_T length, platform::ShaderStage stage, ShaderCode* code,
                     std::vector<uint32_t>* spirv);

} // namespace platform::d3d11
