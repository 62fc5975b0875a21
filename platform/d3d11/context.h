// The immediate context: it holds references to everything bound, as Direct3D 11 does, and records
// state changes lazily: a draw or dispatch looks up its pipeline, puts the barriers its resources
// need, pushes their descriptors (null where nothing is bound) and records into the current frame.
// No deferred contexts, no state objects (rasterizer, blend, depth: the defaults), no queries.
#pragma once

#include "buffer.h"
#include "input_layout.h"
#include "shader.h"
#include "views.h"

namespace d3d11 {

class Context final : public DeviceChild<ID3D11DeviceContext> {
  public:
    static HRESULT Create(Device* device, ID3D11DeviceContext** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

    void STDMETHODCALLTYPE VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                ID3D11Buffer* const* ppConstantBuffers) override;
    void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* pPixelShader,
                                       ID3D11ClassInstance* const* ppClassInstances,
                                       UINT NumClassInstances) override;
    void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* pVertexShader,
                                       ID3D11ClassInstance* const* ppClassInstances,
                                       UINT NumClassInstances) override;
    void STDMETHODCALLTYPE Draw(UINT VertexCount, UINT StartVertexLocation) override;
    HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType,
                                  UINT MapFlags, D3D11_MAPPED_SUBRESOURCE* pMappedResource) override;
    void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) override;
    void STDMETHODCALLTYPE PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                ID3D11Buffer* const* ppConstantBuffers) override;
    void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* pInputLayout) override;
    void STDMETHODCALLTYPE IASetVertexBuffers(UINT StartSlot, UINT NumBuffers,
                                              ID3D11Buffer* const* ppVertexBuffers, const UINT* pStrides,
                                              const UINT* pOffsets) override;
    void STDMETHODCALLTYPE IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format,
                                            UINT Offset) override;
    void STDMETHODCALLTYPE GSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                ID3D11Buffer* const* ppConstantBuffers) override;
    void STDMETHODCALLTYPE GSSetShader(ID3D11GeometryShader* pShader,
                                       ID3D11ClassInstance* const* ppClassInstances,
                                       UINT NumClassInstances) override;
    void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) override;
    void STDMETHODCALLTYPE OMSetRenderTargetsAndUnorderedAccessViews(
        UINT NumRTVs, ID3D11RenderTargetView* const* ppRenderTargetViews,
        ID3D11DepthStencilView* pDepthStencilView, UINT UAVStartSlot, UINT NumUAVs,
        ID3D11UnorderedAccessView* const* ppUnorderedAccessViews, const UINT* pUAVInitialCounts) override;
    void STDMETHODCALLTYPE Dispatch(UINT ThreadGroupCountX, UINT ThreadGroupCountY,
                                    UINT ThreadGroupCountZ) override;
    void STDMETHODCALLTYPE RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) override;
    void STDMETHODCALLTYPE CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) override;
    void STDMETHODCALLTYPE UpdateSubresource(ID3D11Resource* pDstResource, UINT DstSubresource,
                                             const D3D11_BOX* pDstBox, const void* pSrcData, UINT SrcRowPitch,
                                             UINT SrcDepthPitch) override;
    void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView,
                                                 const FLOAT ColorRGBA[4]) override;
    void STDMETHODCALLTYPE CSSetUnorderedAccessViews(UINT StartSlot, UINT NumUAVs,
                                                     ID3D11UnorderedAccessView* const* ppUnorderedAccessViews,
                                                     const UINT* pUAVInitialCounts) override;
    void STDMETHODCALLTYPE CSSetShader(ID3D11ComputeShader* pComputeShader,
                                       ID3D11ClassInstance* const* ppClassInstances,
                                       UINT NumClassInstances) override;
    void STDMETHODCALLTYPE CSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                ID3D11Buffer* const* ppConstantBuffers) override;

  private:
    static constexpr UINT kStages = 4; // indexed by platform::ShaderStage
    static constexpr UINT kConstantSlots = D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT;
    static constexpr UINT kUavSlots = D3D11_PS_CS_UAV_REGISTER_COUNT;

    explicit Context(Device* device) : DeviceChild(device, "ID3D11DeviceContext") {}
    ~Context() override;

    void SetConstantBuffers(platform::ShaderStage stage, UINT start, UINT count,
                            ID3D11Buffer* const* buffers);
    // The current frame's command buffer; false, logged, when recording cannot begin.
    bool OpenCommands(VkCommandBuffer* cmd);
    // Puts the barriers for, and pushes, every descriptor `pipeline` declares.
    void BindResources(VkCommandBuffer cmd, VkPipelineBindPoint bindPoint, const Pipeline& pipeline);
    bool VertexInputsCovered() const;

    VertexShader* vs_ = nullptr;
    GeometryShader* gs_ = nullptr;
    PixelShader* ps_ = nullptr;
    ComputeShader* cs_ = nullptr;
    Buffer* constantBuffers_[kStages][kConstantSlots] = {};
    UnorderedAccessView* csUavs_[kUavSlots] = {};
    UnorderedAccessView* omUavs_[kUavSlots] = {};
    RenderTargetView* renderTargets_[kMaxRenderTargets] = {};
    InputLayout* inputLayout_ = nullptr;
    Buffer* vertexBuffers_[kMaxVertexSlots] = {};
    UINT strides_[kMaxVertexSlots] = {};
    UINT offsets_[kMaxVertexSlots] = {};
    Buffer* indexBuffer_ = nullptr;
    DXGI_FORMAT indexFormat_ = DXGI_FORMAT_UNKNOWN;
    UINT indexOffset_ = 0;
    D3D11_PRIMITIVE_TOPOLOGY topology_ = D3D_PRIMITIVE_TOPOLOGY_UNDEFINED;
    D3D11_VIEWPORT viewports_[D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
    UINT viewportCount_ = 0;
};

} // namespace d3d11
