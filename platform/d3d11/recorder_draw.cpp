// Draws and dispatches: pipeline lookup, descriptor pushes, vertex buffers and dynamic rendering.
#include "recorder.h"

namespace {

using platform::RegisterClass;
using platform::ShaderStage;

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

// The buffer a binding reads, after the barrier for that use; {null, 0, whole} where none is bound.
VkDescriptorBufferInfo UseBinding(VkCommandBuffer cmd, const platform::d3d11::PipelineBinding& b,
                                  const platform::d3d11::BoundResources& bound) {
    const uint32_t reg = b.resource.reg;
    const UINT stage = static_cast<UINT>(b.stage);
    if (b.resource.type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER &&
        b.resource.registerClass == RegisterClass::ConstantBuffer && reg < platform::d3d11::kConstantSlots) {
        if (platform::d3d11::Buffer* buffer = bound.constantBuffers[stage][reg]) {
            platform::d3d11::UseBuffer(cmd, buffer->Handle(), &buffer->hazard, ToVkPipelineStage(b.stage),
                                       VK_ACCESS_2_UNIFORM_READ_BIT);
            return {buffer->Handle(), 0, buffer->Desc().ByteWidth};
        }
    }
    if (b.resource.type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER &&
        b.resource.registerClass == RegisterClass::UnorderedAccess && reg < platform::d3d11::kUavSlots) {
        platform::d3d11::UnorderedAccessView* view = bound.uavs[stage] ? bound.uavs[stage][reg] : nullptr;
        if (view) {
            platform::d3d11::Buffer* buffer = view->Target();
            platform::d3d11::UseBuffer(cmd, buffer->Handle(), &buffer->hazard, ToVkPipelineStage(b.stage),
                                       VK_ACCESS_2_SHADER_STORAGE_READ_BIT |
                                           VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
            return {buffer->Handle(), view->Offset(), view->Range()};
        }
    }
    return {VK_NULL_HANDLE, 0, VK_WHOLE_SIZE};
}

} // namespace

namespace platform::d3d11 {

void Recorder::PushDescriptors(VkCommandBuffer cmd, VkPipelineBindPoint bindPoint, const Pipeline& pipeline,
                               const BoundResources& bound) {
    VkWriteDescriptorSet writes[kMaxPipelineBindings];
    VkDescriptorBufferInfo buffers[kMaxPipelineBindings];
    VkDescriptorImageInfo images[kMaxPipelineBindings];
    VkBufferView texels[kMaxPipelineBindings];
    for (uint32_t i = 0; i < pipeline.bindingCount; ++i) {
        const PipelineBinding& b = pipeline.bindings[i];
        writes[i] = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        writes[i].dstBinding = b.resource.binding;
        writes[i].descriptorCount = 1;
        writes[i].descriptorType = b.resource.type;
        buffers[i] = UseBinding(cmd, b, bound);
        images[i] = {device_->defaultSampler, VK_NULL_HANDLE, VK_IMAGE_LAYOUT_GENERAL};
        texels[i] = VK_NULL_HANDLE;
        writes[i].pBufferInfo = &buffers[i];
        writes[i].pImageInfo = &images[i];
        writes[i].pTexelBufferView = &texels[i];
    }
    if (pipeline.bindingCount)
        device_->vk.cmdPushDescriptorSet(cmd, bindPoint, pipeline.layout, 0, pipeline.bindingCount, writes);
}

void Recorder::BindVertexBuffers(VkCommandBuffer cmd, const DrawCall& draw) {
    const VertexInputs* input = draw.key.input;
    for (uint32_t i = 0; input && i < input->bindingCount; ++i) {
        const uint32_t slot = input->bindings[i].binding;
        Buffer* buffer = draw.vertexBuffers[slot];
        if (buffer)
            UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT,
                      VK_ACCESS_2_VERTEX_ATTRIBUTE_READ_BIT);
        const VkBuffer handle = buffer ? buffer->Handle() : VK_NULL_HANDLE;
        const VkDeviceSize offset = buffer ? draw.offsets[slot] : 0;
        // An empty slot reads zeros through a null buffer, whose stride must still span its elements.
        const VkDeviceSize stride = buffer ? draw.strides[slot] : input->extent[slot];
        vkCmdBindVertexBuffers2(cmd, slot, 1, &handle, &offset, nullptr, &stride);
    }
}

void Recorder::BeginRendering(VkCommandBuffer cmd, const DrawCall& draw) {
    VkRenderingAttachmentInfo attachments[kMaxRenderTargets];
    for (UINT i = 0; i < draw.key.targetCount; ++i) {
        Texture2D* texture = draw.targets[i]->Target();
        // A clear still to be made over the whole render area is this pass's load operation.
        VkClearColorValue clearColor = {};
        const bool clears = texture->TakeClearAsLoad(draw.area, &clearColor);
        texture->Use(cmd, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                     VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT,
                     VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, clears);
        attachments[i] = {VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        attachments[i].imageView = draw.targets[i]->Handle();
        attachments[i].imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        attachments[i].loadOp = clears ? VK_ATTACHMENT_LOAD_OP_CLEAR : VK_ATTACHMENT_LOAD_OP_LOAD;
        attachments[i].clearValue.color = clearColor;
        attachments[i].storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    }
    VkRenderingInfo rendering = {VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, draw.area};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = draw.key.targetCount;
    rendering.pColorAttachments = attachments;
    vkCmdBeginRendering(cmd, &rendering);
}

platform::VkStatus Recorder::Draw(const DrawCall& draw, const BoundResources& bound) {
    const Pipeline* pipeline = nullptr;
    const platform::VkStatus built = device_->pipelines.Graphics(draw.key, &pipeline);
    // No pipeline: stages that do not link draw nothing.
    if (!built.Ok() || !pipeline)
        return built;
    VkCommandBuffer cmd;
    const platform::VkStatus status = Begin(&cmd);
    if (!status.Ok())
        return status;
    // Barriers go before the render pass begins.
    PushDescriptors(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, *pipeline, bound);
    BindVertexBuffers(cmd, draw);
    BeginRendering(cmd, draw);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline->pipeline);
    // Clip-space y points up in Direct3D: a viewport of negative height maps it the same way.
    const D3D11_VIEWPORT& v = draw.viewport;
    VkViewport viewport = {v.TopLeftX, v.TopLeftY + v.Height, v.Width, -v.Height, v.MinDepth, v.MaxDepth};
    vkCmdSetViewport(cmd, 0, 1, &viewport);
    VkRect2D scissor = {{0, 0}, draw.area};
    vkCmdSetScissor(cmd, 0, 1, &scissor);
    vkCmdDraw(cmd, draw.vertexCount, 1, draw.startVertex, 0);
    vkCmdEndRendering(cmd);
    return status;
}

platform::VkStatus Recorder::Dispatch(const ShaderCode& cs, const BoundResources& bound, UINT x, UINT y,
                                      UINT z) {
    const Pipeline* pipeline;
    VkCommandBuffer cmd;
    const platform::VkStatus status =
        BeginWith("vkCreateComputePipelines", device_->pipelines.Compute(cs, &pipeline), &cmd);
    if (!status.Ok())
        return status;
    PushDescriptors(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, *pipeline, bound);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, pipeline->pipeline);
    vkCmdDispatch(cmd, x, y, z);
    return status;
}

} // namespace platform::d3d11
