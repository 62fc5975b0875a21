// ID3D11InputLayout: the layout's elements matched, by semantic name and index, against the inputs
// the vertex stage reads, as Vulkan attributes and per-slot bindings. An input the layout lacks is
// refused as on Direct3D 11. No instance step rates other than 1.
#pragma once

#include "com.h"
#include "pipelines.h"

namespace platform::d3d11 {

class InputLayout final : public DeviceChild<ID3D11InputLayout> {
  public:
    static HRESULT Create(Device* device, const D3D11_INPUT_ELEMENT_DESC* elements, UINT count,
                          const void* bytecode, SIZE_T length, ID3D11InputLayout** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

    const VertexInputs& Inputs() const { return inputs_; }

  private:
    explicit InputLayout(Device* device) : DeviceChild(device, "ID3D11InputLayout") {}
    ~InputLayout() override;

    VertexInputs inputs_;
};

} // namespace platform::d3d11
