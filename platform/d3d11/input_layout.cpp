#include "input_layout.h"

#include "formats.h"
#include "shader.h"
#include "vk_result.h"

#include <algorithm>

#include <strings.h>

namespace {

VkVertexInputRate ToVkInputRate(D3D11_INPUT_CLASSIFICATION classification) {
    switch (classification) {
    case D3D11_INPUT_PER_VERTEX_DATA:
        return VK_VERTEX_INPUT_RATE_VERTEX;
    case D3D11_INPUT_PER_INSTANCE_DATA:
        return VK_VERTEX_INPUT_RATE_INSTANCE;
    }
    return VK_VERTEX_INPUT_RATE_VERTEX;
}

bool ValidElement(const D3D11_INPUT_ELEMENT_DESC& e) {
    if (!e.SemanticName || e.InputSlot >= D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT ||
        platform::d3d11::FormatSize(e.Format) == 0)
        return false;
    if (e.InputSlotClass == D3D11_INPUT_PER_VERTEX_DATA)
        return e.InstanceDataStepRate == 0;
    return e.InputSlotClass == D3D11_INPUT_PER_INSTANCE_DATA;
}

} // namespace

namespace platform::d3d11 {

InputLayout::~InputLayout() {
    device_->pipelines.Forget(inputs_.id);
}

HRESULT InputLayout::Create(Device* device, const D3D11_INPUT_ELEMENT_DESC* elements, UINT count,
                            const void* bytecode, SIZE_T length, ID3D11InputLayout** out) {
    if ((count && !elements) || count > kMaxVertexSlots)
        return E_INVALIDARG;
    ShaderCode vs;
    std::vector<uint32_t> spirv;
    HRESULT hr = DecodeShader(bytecode, length, platform::ShaderStage::Vertex, &vs, &spirv);
    if (FAILED(hr))
        return hr;
    if (vs.inputs.size() > kMaxVertexSlots)
        return E_INVALIDARG;

    VertexInputs inputs;
    UINT offsets[kMaxVertexSlots] = {};
    UINT elementOffset[kMaxVertexSlots] = {};
    bool slotUsed[kMaxVertexSlots] = {};
    D3D11_INPUT_CLASSIFICATION slotClass[kMaxVertexSlots] = {};
    for (UINT i = 0; i < count; ++i) {
        const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
        if (!ValidElement(e))
            return E_INVALIDARG;
        if (e.InputSlotClass == D3D11_INPUT_PER_INSTANCE_DATA && e.InstanceDataStepRate != 1)
            return Refuse("CreateInputLayout", "instance step rates other than 1 are not implemented",
                          E_INVALIDARG);
        if (slotUsed[e.InputSlot] && slotClass[e.InputSlot] != e.InputSlotClass)
            return E_INVALIDARG;
        slotUsed[e.InputSlot] = true;
        slotClass[e.InputSlot] = e.InputSlotClass;
        elementOffset[i] =
            e.AlignedByteOffset == D3D11_APPEND_ALIGNED_ELEMENT ? offsets[e.InputSlot] : e.AlignedByteOffset;
        offsets[e.InputSlot] = elementOffset[i] + FormatSize(e.Format);
    }
    // Every input the vertex stage reads must come from an element; elements it does not read are dropped.
    for (const platform::ShaderInput& input : vs.inputs) {
        UINT match = count;
        for (UINT i = 0; i < count; ++i) {
            if (strcasecmp(elements[i].SemanticName, input.semantic.c_str()) == 0 &&
                elements[i].SemanticIndex == input.semanticIndex)
                match = i;
        }
        if (match == count)
            return E_INVALIDARG;
        const D3D11_INPUT_ELEMENT_DESC& e = elements[match];
        inputs.attributes[inputs.attributeCount++] = {input.location, e.InputSlot, ToVkFormat(e.Format),
                                                      elementOffset[match]};
        inputs.extent[e.InputSlot] =
            std::max(inputs.extent[e.InputSlot], elementOffset[match] + FormatSize(e.Format));
    }
    for (UINT slot = 0; slot < kMaxVertexSlots; ++slot) {
        if (slotUsed[slot])
            inputs.bindings[inputs.bindingCount++] = {slot, 0, ToVkInputRate(slotClass[slot])};
    }
    if (!out)
        return S_FALSE;
    auto* layout = new InputLayout(device);
    inputs.id = device->NextObjectId();
    layout->inputs_ = inputs;
    *out = layout;
    return S_OK;
}

HRESULT InputLayout::QueryInterface(REFIID riid, void** ppvObject) {
    return Query(riid, ppvObject, {&IID_IUnknown, &IID_ID3D11DeviceChild, &IID_ID3D11InputLayout});
}

} // namespace platform::d3d11
