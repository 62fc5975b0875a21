#include "context.h"

#include "presenter.h"
#include "vk_result.h"

#include <algorithm>
#include <cstring>

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

VkPipelineStageFlags2 ToVkPipelineStage(ShaderStage stage) {
    switch (stage) {
    case ShaderStage::Vertex:
        return VK_PIPELINE_STAGE_2_VERTEX_SHADER_BIT;
    case ShaderStage::Pixel:
        return VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;
    case ShaderStage::Geometry:
        return VK_PIPELINE_STAGE_2_GEOMETRY_SHADER_BIT;
    case ShaderStage::Compute:
        return VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;
    }
    return VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
}

template <class Concrete, class Interface> Concrete* Impl(Interface* object) {
    return static_cast<Concrete*>(object);
}

} // namespace

namespace d3d11 {

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

bool Context::OpenCommands(VkCommandBuffer* cmd) {
    VkResult result = device_->frames.Commands(cmd);
    if (result != VK_SUCCESS) {
        device_->Failed("vkBeginCommandBuffer", result);
        return false;
    }
    return true;
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

void Context::BindResources(VkCommandBuffer cmd, VkPipelineBindPoint bindPoint, const Pipeline& pipeline) {
    VkWriteDescriptorSet writes[kMaxPipelineBindings];
    VkDescriptorBufferInfo buffers[kMaxPipelineBindings];
    VkDescriptorImageInfo images[kMaxPipelineBindings];
    VkBufferView texels[kMaxPipelineBindings];
    for (uint32_t i = 0; i < pipeline.bindingCount; ++i) {
        const PipelineBinding& b = pipeline.bindings[i];
        const ShaderStage stage = b.stage;
        const VkPipelineStageFlags2 stageMask = ToVkPipelineStage(stage);
        writes[i] = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        writes[i].dstBinding = b.resource.binding;
        writes[i].descriptorCount = 1;
        writes[i].descriptorType = b.resource.type;
        buffers[i] = {VK_NULL_HANDLE, 0, VK_WHOLE_SIZE};
        images[i] = {device_->defaultSampler, VK_NULL_HANDLE, VK_IMAGE_LAYOUT_GENERAL};
        texels[i] = VK_NULL_HANDLE;
        writes[i].pBufferInfo = &buffers[i];
        writes[i].pImageInfo = &images[i];
        writes[i].pTexelBufferView = &texels[i];
        const uint32_t reg = b.resource.reg;
        if (b.resource.type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER &&
            b.resource.registerClass == RegisterClass::ConstantBuffer && reg < kConstantSlots) {
            Buffer* buffer = constantBuffers_[static_cast<UINT>(stage)][reg];
            if (buffer && (buffer->Desc().BindFlags & D3D11_BIND_CONSTANT_BUFFER)) {
                UseBuffer(cmd, buffer->Handle(), &buffer->hazard, stageMask, VK_ACCESS_2_UNIFORM_READ_BIT);
                buffers[i] = {buffer->Handle(), 0, buffer->Desc().ByteWidth};
            }
        }
        if (b.resource.type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER &&
            b.resource.registerClass == RegisterClass::UnorderedAccess && reg < kUavSlots) {
            UnorderedAccessView* view = stage == ShaderStage::Compute ? csUavs_[reg]
                                        : stage == ShaderStage::Pixel ? omUavs_[reg]
                                                                      : nullptr;
            if (view) {
                Buffer* buffer = view->Target();
                UseBuffer(cmd, buffer->Handle(), &buffer->hazard, stageMask,
                          VK_ACCESS_2_SHADER_STORAGE_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
                buffers[i] = {buffer->Handle(), view->Offset(), view->Range()};
            }
        }
    }
    if (pipeline.bindingCount)
        device_->vk.cmdPushDescriptorSet(cmd, bindPoint, pipeline.layout, 0, pipeline.bindingCount, writes);
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

void Context::Draw(UINT VertexCount, UINT StartVertexLocation) {
    // What Direct3D 11 draws nothing for: a removed device, no vertex stage, no topology, no
    // viewport, or inputs the bound layout does not feed.
    VkPrimitiveTopology topology;
    if (FAILED(device_->Removed()) || !vs_ || VertexCount == 0 || viewportCount_ == 0 ||
        !ToVkTopology(topology_, &topology) || !VertexInputsCovered())
        return;
    GraphicsState state;
    state.vs = &vs_->Code();
    state.gs = gs_ ? &gs_->Code() : nullptr;
    state.ps = ps_ ? &ps_->Code() : nullptr;
    state.input = inputLayout_ ? &inputLayout_->Inputs() : nullptr;
    state.topology = topology;
    VkRenderingAttachmentInfo attachments[kMaxRenderTargets];
    VkExtent2D area = {static_cast<uint32_t>(viewports_[0].TopLeftX + viewports_[0].Width + 0.5f),
                       static_cast<uint32_t>(viewports_[0].TopLeftY + viewports_[0].Height + 0.5f)};
    for (UINT i = 0; i < kMaxRenderTargets && renderTargets_[i]; ++i) {
        const Texture2D* texture = renderTargets_[i]->Target();
        state.targets[state.targetCount++] = texture->Format();
        area = i == 0 ? VkExtent2D{texture->Desc().Width, texture->Desc().Height}
                      : VkExtent2D{std::min(area.width, texture->Desc().Width),
                                   std::min(area.height, texture->Desc().Height)};
    }
    if (area.width == 0 || area.height == 0)
        return;
    const Pipeline* pipeline;
    VkResult result = device_->pipelines.Graphics(state, &pipeline);
    if (result != VK_SUCCESS) {
        Fail("vkCreateGraphicsPipelines", result);
        return;
    }
    VkCommandBuffer cmd;
    if (!OpenCommands(&cmd))
        return;

    BindResources(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, *pipeline);
    VkBuffer vertexHandles[kMaxVertexSlots];
    VkDeviceSize vertexOffsets[kMaxVertexSlots];
    VkDeviceSize vertexStrides[kMaxVertexSlots];
    const uint32_t bindingCount = state.input ? state.input->bindingCount : 0;
    for (uint32_t i = 0; i < bindingCount; ++i) {
        const uint32_t slot = state.input->bindings[i].binding;
        Buffer* buffer = vertexBuffers_[slot];
        if (buffer && !(buffer->Desc().BindFlags & D3D11_BIND_VERTEX_BUFFER))
            buffer = nullptr;
        if (buffer)
            UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT,
                      VK_ACCESS_2_VERTEX_ATTRIBUTE_READ_BIT);
        vertexHandles[i] = buffer ? buffer->Handle() : VK_NULL_HANDLE;
        vertexOffsets[i] = buffer ? offsets_[slot] : 0;
        // An empty slot reads zeros through a null buffer, whose stride must still span its elements.
        vertexStrides[i] = buffer ? strides_[slot] : state.input->extent[slot];
    }
    for (UINT i = 0; i < state.targetCount; ++i) {
        Texture2D* texture = renderTargets_[i]->Target();
        UseImage(cmd, texture->Image(), &texture->hazard, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
        attachments[i] = {VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        attachments[i].imageView = renderTargets_[i]->Handle();
        attachments[i].imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        attachments[i].loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
        attachments[i].storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    }

    VkRenderingInfo rendering = {VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, area};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = state.targetCount;
    rendering.pColorAttachments = attachments;
    vkCmdBeginRendering(cmd, &rendering);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline->pipeline);
    // Clip-space y points up in Direct3D: a viewport of negative height maps it the same way.
    const D3D11_VIEWPORT& v = viewports_[0];
    VkViewport viewport = {v.TopLeftX, v.TopLeftY + v.Height, v.Width, -v.Height, v.MinDepth, v.MaxDepth};
    vkCmdSetViewport(cmd, 0, 1, &viewport);
    VkRect2D scissor = {{0, 0}, area};
    vkCmdSetScissor(cmd, 0, 1, &scissor);
    for (uint32_t i = 0; i < bindingCount; ++i) {
        vkCmdBindVertexBuffers2(cmd, state.input->bindings[i].binding, 1, &vertexHandles[i],
                                &vertexOffsets[i], nullptr, &vertexStrides[i]);
    }
    vkCmdDraw(cmd, VertexCount, 1, StartVertexLocation, 0);
    vkCmdEndRendering(cmd);
}

void Context::Dispatch(UINT ThreadGroupCountX, UINT ThreadGroupCountY, UINT ThreadGroupCountZ) {
    // A removed device does nothing, as in Direct3D 11.
    if (FAILED(device_->Removed()) || !cs_ || ThreadGroupCountX > kMaxGroups ||
        ThreadGroupCountY > kMaxGroups || ThreadGroupCountZ > kMaxGroups)
        return;
    const Pipeline* pipeline;
    VkResult result = device_->pipelines.Compute(cs_->Code(), &pipeline);
    if (result != VK_SUCCESS) {
        Fail("vkCreateComputePipelines", result);
        return;
    }
    VkCommandBuffer cmd;
    if (!OpenCommands(&cmd))
        return;
    BindResources(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, *pipeline);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, pipeline->pipeline);
    vkCmdDispatch(cmd, ThreadGroupCountX, ThreadGroupCountY, ThreadGroupCountZ);
}

void Context::ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView, const FLOAT ColorRGBA[4]) {
    if (!pRenderTargetView)
        return;
    VkCommandBuffer cmd;
    if (!OpenCommands(&cmd))
        return;
    Texture2D* texture = Impl<RenderTargetView>(pRenderTargetView)->Target();
    // The clear overwrites the whole back buffer: the frame may be drawn in the window's own image.
    if (texture->presenter)
        texture->presenter->TryLend(texture);
    UseImage(cmd, texture->Image(), &texture->hazard, VK_PIPELINE_STAGE_2_CLEAR_BIT,
             VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    VkClearColorValue color;
    std::memcpy(color.float32, ColorRGBA, sizeof(color.float32));
    VkImageSubresourceRange range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdClearColorImage(cmd, texture->Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &color, 1, &range);
}

void Context::UpdateSubresource(ID3D11Resource* pDstResource, UINT DstSubresource, const D3D11_BOX* pDstBox,
                                const void* pSrcData, UINT SrcRowPitch, UINT) {
    if (!pDstResource || !pSrcData || DstSubresource != 0)
        return;
    VkCommandBuffer cmd;
    Buffer* buffer = AsBuffer(pDstResource);
    if (buffer) {
        const D3D11_BUFFER_DESC& d = buffer->Desc();
        if (d.Usage != D3D11_USAGE_DEFAULT || ((d.BindFlags & D3D11_BIND_CONSTANT_BUFFER) && pDstBox))
            return;
        const UINT begin = pDstBox ? pDstBox->left : 0;
        const UINT end = pDstBox ? pDstBox->right : d.ByteWidth;
        if (begin >= end || end > d.ByteWidth || !OpenCommands(&cmd))
            return;
        UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_TRANSFER_BIT,
                  VK_ACCESS_2_TRANSFER_WRITE_BIT);
        const UINT size = end - begin;
        // Small aligned updates travel inside the command buffer; the rest through an upload buffer.
        if (size <= 65536 && size % 4 == 0 && begin % 4 == 0) {
            vkCmdUpdateBuffer(cmd, buffer->Handle(), begin, size, pSrcData);
            return;
        }
        BufferMemory upload;
        VkResult result =
            CreateBufferMemory(device_->vk, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload);
        if (result != VK_SUCCESS) {
            Fail("vkCreateBuffer (upload)", result);
            return;
        }
        std::memcpy(upload.mapped, pSrcData, size);
        VkBufferCopy region = {0, begin, size};
        vkCmdCopyBuffer(cmd, upload.buffer, buffer->Handle(), 1, &region);
        DeferDestroy(device_->frames, upload);
        return;
    }
    Texture2D* texture = AsTexture2D(pDstResource);
    if (!texture || texture->Desc().Usage != D3D11_USAGE_DEFAULT)
        return;
    const D3D11_TEXTURE2D_DESC& d = texture->Desc();
    D3D11_BOX box = pDstBox ? *pDstBox : D3D11_BOX{0, 0, 0, d.Width, d.Height, 1};
    if (box.left >= box.right || box.top >= box.bottom || box.right > d.Width || box.bottom > d.Height ||
        !OpenCommands(&cmd))
        return;
    const UINT texel = texture->RowPitch() / d.Width;
    const UINT rowBytes = (box.right - box.left) * texel;
    const UINT rows = box.bottom - box.top;
    BufferMemory upload;
    VkResult result = CreateBufferMemory(device_->vk, VkDeviceSize(rowBytes) * rows,
                                         VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload);
    if (result != VK_SUCCESS) {
        Fail("vkCreateBuffer (upload)", result);
        return;
    }
    for (UINT y = 0; y < rows; ++y)
        std::memcpy(static_cast<char*>(upload.mapped) + y * rowBytes,
                    static_cast<const char*>(pSrcData) + y * SrcRowPitch, rowBytes);
    UseImage(cmd, texture->Image(), &texture->hazard, VK_PIPELINE_STAGE_2_TRANSFER_BIT,
             VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL);
    DeferDestroy(device_->frames, upload);
    if (texture->Swapped()) {
        result = texture->RecordReorderingCopy(cmd, upload.buffer, box, true);
        if (result != VK_SUCCESS)
            Fail("vkCreateImage (channel reordering)", result);
        return;
    }
    VkBufferImageCopy region = {};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageOffset = {static_cast<int32_t>(box.left), static_cast<int32_t>(box.top), 0};
    region.imageExtent = {box.right - box.left, rows, 1};
    vkCmdCopyBufferToImage(cmd, upload.buffer, texture->Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                           &region);
}

void Context::CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) {
    if (!pDstResource || !pSrcResource || pDstResource == pSrcResource)
        return;
    VkCommandBuffer cmd;
    Buffer* dstBuffer = AsBuffer(pDstResource);
    Buffer* srcBuffer = AsBuffer(pSrcResource);
    if (dstBuffer && srcBuffer) {
        // Direct3D 11 copies only between resources of the same size.
        if (dstBuffer->Desc().ByteWidth != srcBuffer->Desc().ByteWidth || !OpenCommands(&cmd))
            return;
        UseBuffer(cmd, srcBuffer->Handle(), &srcBuffer->hazard, VK_PIPELINE_STAGE_2_COPY_BIT,
                  VK_ACCESS_2_TRANSFER_READ_BIT);
        UseBuffer(cmd, dstBuffer->Handle(), &dstBuffer->hazard, VK_PIPELINE_STAGE_2_COPY_BIT,
                  VK_ACCESS_2_TRANSFER_WRITE_BIT);
        VkBufferCopy region = {0, 0, (srcBuffer->Desc().ByteWidth + 3u) & ~3u};
        vkCmdCopyBuffer(cmd, srcBuffer->Handle(), dstBuffer->Handle(), 1, &region);
        return;
    }
    Texture2D* dst = AsTexture2D(pDstResource);
    Texture2D* src = AsTexture2D(pSrcResource);
    if (!dst || !src || dst->Desc().Width != src->Desc().Width || dst->Desc().Height != src->Desc().Height ||
        dst->Desc().Format != src->Desc().Format || !OpenCommands(&cmd))
        return;
    // Blits as well as copies run in the transfer stages: a back buffer keeping its channels in the
    // window's order is copied through a blit that reorders them.
    const VkPipelineStageFlags2 copy = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    // Staging textures are tightly packed buffers; everything else is an image.
    if (src->Staging()) {
        UseBuffer(cmd, src->StagingBuffer(), &src->hazard, copy, VK_ACCESS_2_TRANSFER_READ_BIT);
    } else {
        UseImage(cmd, src->Image(), &src->hazard, copy, VK_ACCESS_2_TRANSFER_READ_BIT,
                 VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL);
    }
    if (dst->Staging()) {
        UseBuffer(cmd, dst->StagingBuffer(), &dst->hazard, copy, VK_ACCESS_2_TRANSFER_WRITE_BIT);
    } else {
        UseImage(cmd, dst->Image(), &dst->hazard, copy, VK_ACCESS_2_TRANSFER_WRITE_BIT,
                 VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    }
    const VkExtent3D extent = {src->Desc().Width, src->Desc().Height, 1};
    const D3D11_BOX box = {0, 0, 0, extent.width, extent.height, 1};
    VkBufferImageCopy bufferImage = {};
    bufferImage.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    bufferImage.imageExtent = extent;
    VkResult result = VK_SUCCESS;
    if (src->Staging() && dst->Staging()) {
        VkBufferCopy region = {0, 0, VkDeviceSize(src->RowPitch()) * extent.height};
        vkCmdCopyBuffer(cmd, src->StagingBuffer(), dst->StagingBuffer(), 1, &region);
    } else if (src->Staging() && dst->Swapped()) {
        result = dst->RecordReorderingCopy(cmd, src->StagingBuffer(), box, true);
    } else if (src->Staging()) {
        vkCmdCopyBufferToImage(cmd, src->StagingBuffer(), dst->Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                               1, &bufferImage);
    } else if (dst->Staging() && src->Swapped()) {
        result = src->RecordReorderingCopy(cmd, dst->StagingBuffer(), box, false);
    } else if (dst->Staging()) {
        vkCmdCopyImageToBuffer(cmd, src->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst->StagingBuffer(),
                               1, &bufferImage);
    } else if (src->Format() != dst->Format()) {
        // Same texels, channels kept in the other order: a blit of the same size reorders them exactly.
        VkImageBlit region = {};
        region.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
        region.dstSubresource = region.srcSubresource;
        region.srcOffsets[1] = {static_cast<int32_t>(extent.width), static_cast<int32_t>(extent.height), 1};
        region.dstOffsets[1] = region.srcOffsets[1];
        vkCmdBlitImage(cmd, src->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst->Image(),
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region, VK_FILTER_NEAREST);
    } else {
        VkImageCopy region = {};
        region.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
        region.dstSubresource = region.srcSubresource;
        region.extent = extent;
        vkCmdCopyImage(cmd, src->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst->Image(),
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
    }
    if (result != VK_SUCCESS)
        Fail("vkCreateImage (channel reordering)", result);
}

HRESULT Context::Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                     D3D11_MAPPED_SUBRESOURCE* pMappedResource) {
    HRESULT hr;
    if (platform::TakeInjectedFailure("Map", &hr))
        return hr;
    if (!pResource || !pMappedResource || Subresource != 0 || MapFlags)
        return E_INVALIDARG;
    Buffer* buffer = AsBuffer(pResource);
    Texture2D* texture = AsTexture2D(pResource);
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
    Hazard* hazard = buffer ? &buffer->hazard : &texture->hazard;
    VkCommandBuffer cmd;
    if (!OpenCommands(&cmd))
        return E_OUTOFMEMORY;
    UseBuffer(cmd, handle, hazard, VK_PIPELINE_STAGE_2_HOST_BIT,
              VK_ACCESS_2_HOST_READ_BIT | (needed & D3D11_CPU_ACCESS_WRITE ? VK_ACCESS_2_HOST_WRITE_BIT : 0));
    VkResult result = device_->frames.Finish();
    if (result != VK_SUCCESS)
        return device_->Failed("vkWaitForFences", result);
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

} // namespace d3d11
