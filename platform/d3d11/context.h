// The immediate context: Direct3D 11's state and rules. It holds references to everything bound, as
// Direct3D 11 does, ignores what Direct3D 11 ignores, draws nothing where it draws nothing, and hands
// each admitted call to its Recorder, which records it in Vulkan. Every Vulkan failure comes back
// through Report. No deferred contexts, no state objects (rasterizer, blend, depth: the defaults),
// no queries.
#pragma once

#include "recorder.h"
#include "view_kinds.h"

namespace platform::d3d11 {

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
    explicit Context(Device* device) : DeviceChild(device, "ID3D11DeviceContext"), recorder_(device) {}
    ~Context() override;

    void SetConstantBuffers(platform::ShaderStage stage, UINT start, UINT count,
                            ID3D11Buffer* const* buffers);
    // The one place a Vulkan failure reaches the API: the HRESULT Direct3D 11 gives, the device
    // removed where Vulkan lost it, and one line naming the failed call (not repeated frame after frame).
    HRESULT Report(const platform::VkStatus& status);
    bool VertexInputsCovered() const;
    // The pipeline key and render area of a draw; false where Direct3D 11 draws nothing.
    bool DescribeDraw(DrawCall* draw) const;
    BoundResources Bound() const;

    VertexShader* vs_ = nullptr;
    GeometryShader* gs_ = nullptr;
    PixelShader* ps_ = nullptr;
    ComputeShader* cs_ = nullptr;
    Buffer* constantBuffers_[kShaderStages][kConstantSlots] = {};
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
    Recorder recorder_;
    ViewKindCheck viewKinds_;
};

} // namespace platform::d3d11
