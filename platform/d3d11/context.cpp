#include "context.h"

#include "vk_result.h"

#include <algorithm>

namespace {

using platform::RegisterClass;
using platform::ShaderStage;

constexpr UINT kMaxGroups = 65535; // D3D11_CS_DISPATCH_MAX_THREAD_GROUPS_PER_DIMENSION

// Topologies the layer draws; UNDEFINED draws nothing, as on Direct3D 11.
bool ToVkTopology(D3D11_PRIMITIVE_TOPOLOGY topology, VkPrimitiveTopology* out) {
    switch (topology) {
    case D3D_PRIMITIVE_TOPOLOGY_UNDEFINED:
        return false;
    case D3D_PRIMITIVE_TOPOLOGY_POINTLIST:
        *out = VK_PRIMITIVE_TOPOLOGY_POINT_LIST;
        return true;
    case D3D_PRIMITIVE_TOPOLOGY_LINELIST:
        *out = VK_PRIMITIVE_TOPOLOGY_LINE_LIST;
        return true;
    case D3D_PRIMITIVE_TOPOLOGY_LINESTRIP:
        *out = VK_PRIMITIVE_TOPOLOGY_LINE_STRIP;
        return true;
    case D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST:
        *out = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
        return true;
    case D3D_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP:
        *out = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP;
        return true;
    }
    return false;
}

template <class Concrete, class Interface> Concrete* Impl(Interface* object) {
    return static_cast<Concrete*>(object);
}

} // namespace

namespace platform::d3d11 {

HRESULT Context::Create(Device* device, ID3D11DeviceContext** out) {
    *out = new Context(device);
    return S_OK;
}

Context::~Context() {
    ReleaseRef(vs_);
    ReleaseRef(gs_);
    ReleaseRef(ps_);
    ReleaseRef(cs_);
    for (auto& stage : constantBuffers_) {
        for (Buffer*& buffer : stage)
            ReleaseRef(buffer);
    }
    for (UnorderedAccessView*& view : csUavs_)
        ReleaseRef(view);
    for (UnorderedAccessView*& view : omUavs_)
        ReleaseRef(view);
    for (RenderTargetView*& view : renderTargets_)
        ReleaseRef(view);
    ReleaseRef(inputLayout_);
    for (Buffer*& buffer : vertexBuffers_)
        ReleaseRef(buffer);
    ReleaseRef(indexBuffer_);
}

HRESULT Context::QueryInterface(REFIID riid, void** ppvObject) {
    return Query(riid, ppvObject, {&IID_IUnknown, &IID_ID3D11DeviceChild, &IID_ID3D11DeviceContext});
}

HRESULT Context::Report(const platform::VkStatus& status) {
    return status.Ok() ? S_OK : device_->Failed(status);
}

void Context::SetConstantBuffers(ShaderStage stage, UINT start, UINT count, ID3D11Buffer* const* buffers) {
    if (start >= kConstantSlots || count > kConstantSlots - start)
        return;
    for (UINT i = 0; i < count; ++i)
        HoldRef(constantBuffers_[static_cast<UINT>(stage)][start + i],
                buffers ? Impl<Buffer>(buffers[i]) : nullptr);
}

void Context::VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
    SetConstantBuffers(ShaderStage::Vertex, StartSlot, NumBuffers, ppConstantBuffers);
}

void Context::GSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
    SetConstantBuffers(ShaderStage::Geometry, StartSlot, NumBuffers, ppConstantBuffers);
}

void Context::PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
    SetConstantBuffers(ShaderStage::Pixel, StartSlot, NumBuffers, ppConstantBuffers);
}

void Context::CSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
    SetConstantBuffers(ShaderStage::Compute, StartSlot, NumBuffers, ppConstantBuffers);
}

void Context::VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const*, UINT) {
    HoldRef(vs_, Impl<VertexShader>(pVertexShader));
}

void Context::GSSetShader(ID3D11GeometryShader* pShader, ID3D11ClassInstance* const*, UINT) {
    HoldRef(gs_, Impl<GeometryShader>(pShader));
}

void Context::PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const*, UINT) {
    HoldRef(ps_, Impl<PixelShader>(pPixelShader));
}

void Context::CSSetShader(ID3D11ComputeShader* pComputeShader, ID3D11ClassInstance* const*, UINT) {
    HoldRef(cs_, Impl<ComputeShader>(pComputeShader));
}

void Context::CSSetUnorderedAccessViews(UINT StartSlot, UINT NumUAVs,
                                        ID3D11UnorderedAccessView* const* ppUnorderedAccessViews,
                                        const UINT*) {
    if (StartSlot >= kUavSlots || NumUAVs > kUavSlots - StartSlot)
        return;
    for (UINT i = 0; i < NumUAVs; ++i) {
        HoldRef(csUavs_[StartSlot + i],
                ppUnorderedAccessViews ? Impl<UnorderedAccessView>(ppUnorderedAccessViews[i]) : nullptr);
    }
}

void Context::OMSetRenderTargetsAndUnorderedAccessViews(
    UINT NumRTVs, ID3D11RenderTargetView* const* ppRenderTargetViews, ID3D11DepthStencilView*,
    UINT UAVStartSlot, UINT NumUAVs, ID3D11UnorderedAccessView* const* ppUnorderedAccessViews, const UINT*) {
    const bool keepTargets = NumRTVs == D3D11_KEEP_RENDER_TARGETS_AND_DEPTH_STENCIL;
    const bool keepUavs = NumUAVs == D3D11_KEEP_UNORDERED_ACCESS_VIEWS;
    // Direct3D 11 ignores the whole call when the render targets and the views overlap or overflow.
    if (!keepTargets && NumRTVs > kMaxRenderTargets)
        return;
    if (!keepUavs && (UAVStartSlot >= kUavSlots || NumUAVs > kUavSlots - UAVStartSlot ||
                      (!keepTargets && NumUAVs && UAVStartSlot < NumRTVs)))
        return;
    if (!keepTargets) {
        for (UINT i = 0; i < kMaxRenderTargets; ++i) {
            ID3D11RenderTargetView* view =
                i < NumRTVs && ppRenderTargetViews ? ppRenderTargetViews[i] : nullptr;
            HoldRef(renderTargets_[i], Impl<RenderTargetView>(view));
        }
    }
    if (!keepUavs) {
        for (UINT i = 0; i < kUavSlots; ++i) {
            const bool inRange = i >= UAVStartSlot && i < UAVStartSlot + NumUAVs;
            ID3D11UnorderedAccessView* view =
                inRange && ppUnorderedAccessViews ? ppUnorderedAccessViews[i - UAVStartSlot] : nullptr;
            HoldRef(omUavs_[i], Impl<UnorderedAccessView>(view));
        }
    }
}

void Context::IASetInputLayout(ID3D11InputLayout* pInputLayout) {
    HoldRef(inputLayout_, Impl<InputLayout>(pInputLayout));
}

void Context::IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                 const UINT* pStrides, const UINT* pOffsets) {
    if (StartSlot >= kMaxVertexSlots || NumBuffers > kMaxVertexSlots - StartSlot)
        return;
    for (UINT i = 0; i < NumBuffers; ++i) {
        HoldRef(vertexBuffers_[StartSlot + i], ppVertexBuffers ? Impl<Buffer>(ppVertexBuffers[i]) : nullptr);
        strides_[StartSlot + i] = pStrides ? pStrides[i] : 0;
        offsets_[StartSlot + i] = pOffsets ? pOffsets[i] : 0;
    }
}

void Context::IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) {
    HoldRef(indexBuffer_, Impl<Buffer>(pIndexBuffer));
    indexFormat_ = Format;
    indexOffset_ = Offset;
}

void Context::IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) {
    topology_ = Topology;
}

void Context::RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) {
    if (NumViewports > D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE ||
        (NumViewports && !pViewports))
        return;
    std::copy(pViewports, pViewports + NumViewports, viewports_);
    viewportCount_ = NumViewports;
}

bool Context::VertexInputsCovered() const {
    for (const platform::ShaderInput& input : vs_->Code().inputs) {
        if (!inputLayout_)
            return false;
        const VertexInputs& inputs = inputLayout_->Inputs();
        bool found = false;
        for (uint32_t a = 0; a < inputs.attributeCount; ++a)
            found = found || inputs.attributes[a].location == input.location;
        if (!found)
            return false;
    }
    return true;
}

bool Context::DescribeDraw(DrawCall* draw) const {
    GraphicsState& key = draw->key;
    if (!ToVkTopology(topology_, &key.topology))
        return false;
    key.vs = &vs_->Code();
    key.gs = gs_ ? &gs_->Code() : nullptr;
    key.ps = ps_ ? &ps_->Code() : nullptr;
    key.input = inputLayout_ ? &inputLayout_->Inputs() : nullptr;
    const D3D11_VIEWPORT& v = viewports_[0];
    VkExtent2D area = {static_cast<uint32_t>(v.TopLeftX + v.Width + 0.5f),
                       static_cast<uint32_t>(v.TopLeftY + v.Height + 0.5f)};
    for (UINT i = 0; i < kMaxRenderTargets && renderTargets_[i]; ++i) {
        const Texture2D* texture = renderTargets_[i]->Target();
        key.targets[key.targetCount++] = texture->Format();
        area = i == 0 ? VkExtent2D{texture->Desc().Width, texture->Desc().Height}
                      : VkExtent2D{std::min(area.width, texture->Desc().Width),
                                   std::min(area.height, texture->Desc().Height)};
    }
    draw->targets = renderTargets_;
    draw->viewport = v;
    draw->area = area;
    return area.width != 0 && area.height != 0;
}

BoundResources Context::Bound() const {
    // A buffer bound without the constant-buffer flag is read as no buffer.
    BoundResources bound;
    for (UINT stage = 0; stage < kShaderStages; ++stage) {
        for (UINT slot = 0; slot < kConstantSlots; ++slot) {
            Buffer* buffer = constantBuffers_[stage][slot];
            if (buffer && (buffer->Desc().BindFlags & D3D11_BIND_CONSTANT_BUFFER))
                bound.constantBuffers[stage][slot] = buffer;
        }
    }
    bound.uavs[static_cast<UINT>(ShaderStage::Compute)] = csUavs_;
    bound.uavs[static_cast<UINT>(ShaderStage::Pixel)] = omUavs_;
    return bound;
}

void Context::Draw(UINT VertexCount, UINT StartVertexLocation) {
    // What Direct3D 11 draws nothing for: a removed device, no vertex stage, no topology, no
    // viewport, an empty render area, or inputs the bound layout does not feed.
    DrawCall draw;
    if (FAILED(device_->Removed()) || !vs_ || VertexCount == 0 || viewportCount_ == 0 ||
        !VertexInputsCovered() || !DescribeDraw(&draw))
        return;
    // A buffer bound without the vertex-buffer flag is read as no buffer.
    Buffer* vertexBuffers[kMaxVertexSlots];
    for (UINT i = 0; i < kMaxVertexSlots; ++i) {
        Buffer* buffer = vertexBuffers_[i];
        vertexBuffers[i] = buffer && (buffer->Desc().BindFlags & D3D11_BIND_VERTEX_BUFFER) ? buffer : nullptr;
    }
    draw.vertexBuffers = vertexBuffers;
    draw.strides = strides_;
    draw.offsets = offsets_;
    draw.vertexCount = VertexCount;
    draw.startVertex = StartVertexLocation;
    if (device_->vk.debugChecks && ps_)
        viewKinds_.Check("Draw", ps_->Code(), omUavs_);
    Report(recorder_.Draw(draw, Bound()));
}

void Context::Dispatch(UINT ThreadGroupCountX, UINT ThreadGroupCountY, UINT ThreadGroupCountZ) {
    // A removed device does nothing, as in Direct3D 11.
    if (FAILED(device_->Removed()) || !cs_ || ThreadGroupCountX > kMaxGroups ||
        ThreadGroupCountY > kMaxGroups || ThreadGroupCountZ > kMaxGroups)
        return;
    if (device_->vk.debugChecks)
        viewKinds_.Check("Dispatch", cs_->Code(), csUavs_);
    Report(recorder_.Dispatch(cs_->Code(), Bound(), ThreadGroupCountX, ThreadGroupCountY, ThreadGroupCountZ));
}

void Context::ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView, const FLOAT ColorRGBA[4]) {
    if (pRenderTargetView)
        Report(recorder_.Clear(Impl<RenderTargetView>(pRenderTargetView)->Target(), ColorRGBA));
}

void Context::UpdateSubresource(ID3D11Resource* pDstResource, UINT DstSubresource, const D3D11_BOX* pDstBox,
                                const void* pSrcData, UINT SrcRowPitch, UINT) {
    if (!pDstResource || !pSrcData || DstSubresource != 0)
        return;
    if (Buffer* buffer = As<Buffer>(pDstResource)) {
        const D3D11_BUFFER_DESC& d = buffer->Desc();
        if (d.Usage != D3D11_USAGE_DEFAULT || ((d.BindFlags & D3D11_BIND_CONSTANT_BUFFER) && pDstBox))
            return;
        const UINT begin = pDstBox ? pDstBox->left : 0;
        const UINT end = pDstBox ? pDstBox->right : d.ByteWidth;
        if (begin < end && end <= d.ByteWidth)
            Report(recorder_.UpdateBuffer(buffer, begin, end - begin, pSrcData));
        return;
    }
    Texture2D* texture = As<Texture2D>(pDstResource);
    if (!texture || texture->Desc().Usage != D3D11_USAGE_DEFAULT)
        return;
    const D3D11_TEXTURE2D_DESC& d = texture->Desc();
    const D3D11_BOX box = pDstBox ? *pDstBox : D3D11_BOX{0, 0, 0, d.Width, d.Height, 1};
    if (box.left < box.right && box.top < box.bottom && box.right <= d.Width && box.bottom <= d.Height)
        Report(recorder_.UpdateTexture(texture, box, pSrcData, SrcRowPitch));
}

void Context::CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) {
    if (!pDstResource || !pSrcResource || pDstResource == pSrcResource)
        return;
    // Direct3D 11 copies only between resources of the same kind, size and format.
    Buffer* dstBuffer = As<Buffer>(pDstResource);
    Buffer* srcBuffer = As<Buffer>(pSrcResource);
    if (dstBuffer && srcBuffer) {
        if (dstBuffer->Desc().ByteWidth == srcBuffer->Desc().ByteWidth)
            Report(recorder_.Copy(CopyEnd::Of(srcBuffer), CopyEnd::Of(dstBuffer), D3D11_BOX{}));
        return;
    }
    Texture2D* dst = As<Texture2D>(pDstResource);
    Texture2D* src = As<Texture2D>(pSrcResource);
    if (!dst || !src || dst->Desc().Width != src->Desc().Width || dst->Desc().Height != src->Desc().Height ||
        dst->Desc().Format != src->Desc().Format)
        return;
    const D3D11_BOX whole = {0, 0, 0, src->Desc().Width, src->Desc().Height, 1};
    Report(recorder_.Copy(CopyEnd::Of(src), CopyEnd::Of(dst), whole));
}

HRESULT Context::Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                     D3D11_MAPPED_SUBRESOURCE* pMappedResource) {
    HRESULT hr;
    if (platform::TakeInjectedFailure("Map", &hr))
        return hr;
    if (!pResource || !pMappedResource || Subresource != 0 || MapFlags)
        return E_INVALIDARG;
    Buffer* buffer = As<Buffer>(pResource);
    Texture2D* texture = As<Texture2D>(pResource);
    const D3D11_USAGE usage = buffer    ? buffer->Desc().Usage
                              : texture ? texture->Desc().Usage
                                        : D3D11_USAGE_DEFAULT;
    const UINT access = buffer ? buffer->Desc().CPUAccessFlags : texture ? texture->Desc().CPUAccessFlags : 0;
    UINT needed = 0;
    switch (MapType) {
    case D3D11_MAP_READ:
        needed = D3D11_CPU_ACCESS_READ;
        break;
    case D3D11_MAP_WRITE:
        needed = D3D11_CPU_ACCESS_WRITE;
        break;
    case D3D11_MAP_READ_WRITE:
        needed = D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE;
        break;
    default: // WRITE_DISCARD and WRITE_NO_OVERWRITE are for dynamic resources only
        return E_INVALIDARG;
    }
    if (usage != D3D11_USAGE_STAGING || (access & needed) != needed)
        return E_INVALIDARG;
    hr = device_->Removed();
    if (FAILED(hr))
        return hr;

    // A staging resource is read or written by the CPU only once the GPU has finished with it.
    VkBuffer handle = buffer ? buffer->Handle() : texture->StagingBuffer();
    Hazard* hazard = buffer ? &buffer->hazard : texture->StagingHazard();
    hr = Report(recorder_.AccessFromHost(handle, hazard, needed & D3D11_CPU_ACCESS_WRITE));
    if (FAILED(hr))
        return hr;
    if (buffer) {
        pMappedResource->pData = buffer->Mapped();
        pMappedResource->RowPitch = buffer->Desc().ByteWidth;
        pMappedResource->DepthPitch = buffer->Desc().ByteWidth;
    } else {
        pMappedResource->pData = texture->Mapped();
        pMappedResource->RowPitch = texture->RowPitch();
        pMappedResource->DepthPitch = texture->RowPitch() * texture->Desc().Height;
    }
    return S_OK;
}

void Context::Unmap(ID3D11Resource*, UINT) {
    // Staging memory is host-coherent: what the CPU wrote is seen by the next submission.
}

} // namespace platform::d3d11
