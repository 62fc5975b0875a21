// Frame recording, submission and present, with the barriers between upload, dispatch and draw.
#include "frames.h"

#include "check.h"
#include "fps_meter.h"

namespace baseline {

namespace {

constexpr uint32_t kGroupsX = 40;
constexpr uint32_t kGroupsY = 22;
constexpr VkClearColorValue kClearColour = {{0.0f, 0.125f, 0.3f, 1.0f}};

constexpr VkPipelineStageFlags2 kShaderStages = VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT |
                                                VK_PIPELINE_STAGE_2_VERTEX_SHADER_BIT |
                                                VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;

void MemoryBarrier(VkCommandBuffer cmd, VkPipelineStageFlags2 srcStage, VkAccessFlags2 srcAccess,
                   VkPipelineStageFlags2 dstStage, VkAccessFlags2 dstAccess) {
    VkMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
    barrier.srcStageMask = srcStage;
    barrier.srcAccessMask = srcAccess;
    barrier.dstStageMask = dstStage;
    barrier.dstAccessMask = dstAccess;
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.memoryBarrierCount = 1;
    dependency.pMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

void ImageBarrier(VkCommandBuffer cmd, VkImage image, VkImageLayout from, VkImageLayout to,
                  VkPipelineStageFlags2 srcStage, VkAccessFlags2 srcAccess, VkPipelineStageFlags2 dstStage,
                  VkAccessFlags2 dstAccess) {
    VkImageMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = srcStage;
    barrier.srcAccessMask = srcAccess;
    barrier.dstStageMask = dstStage;
    barrier.dstAccessMask = dstAccess;
    barrier.oldLayout = from;
    barrier.newLayout = to;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

} // namespace

void Frames::Create(const Device& d) {
    for (Slot& slot : slots_) {
        VkCommandPoolCreateInfo poolInfo = {VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
        poolInfo.queueFamilyIndex = d.queueFamily;
        Check(vkCreateCommandPool(d.device, &poolInfo, nullptr, &slot.pool), "vkCreateCommandPool");
        VkCommandBufferAllocateInfo allocation = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        allocation.commandPool = slot.pool;
        allocation.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        allocation.commandBufferCount = 1;
        Check(vkAllocateCommandBuffers(d.device, &allocation, &slot.cmd), "vkAllocateCommandBuffers");
        VkFenceCreateInfo fence = {VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
        fence.flags = VK_FENCE_CREATE_SIGNALED_BIT;
        Check(vkCreateFence(d.device, &fence, nullptr, &slot.done), "vkCreateFence");
        VkSemaphoreCreateInfo semaphore = {VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
        Check(vkCreateSemaphore(d.device, &semaphore, nullptr, &slot.acquired), "vkCreateSemaphore");
    }
}

void Frames::Destroy(const Device& d) {
    Check(vkDeviceWaitIdle(d.device), "vkDeviceWaitIdle");
    for (Slot& slot : slots_) {
        vkDestroySemaphore(d.device, slot.acquired, nullptr);
        vkDestroyFence(d.device, slot.done, nullptr);
        vkDestroyCommandPool(d.device, slot.pool, nullptr);
        slot = {};
    }
}

void Frames::Run(const Device& d, const Swapchain& s, const Scene& scene, const void* constants,
                 uint32_t size) {
    Slot& slot = slots_[current_];
    current_ = (current_ + 1) % kInFlight;
    Check(vkWaitForFences(d.device, 1, &slot.done, VK_TRUE, UINT64_MAX), "vkWaitForFences");
    uint32_t image = 0;
    Check(vkAcquireNextImageKHR(d.device, s.swapchain, UINT64_MAX, slot.acquired, VK_NULL_HANDLE, &image),
          "vkAcquireNextImageKHR");
    Check(vkResetFences(d.device, 1, &slot.done), "vkResetFences");
    Check(vkResetCommandPool(d.device, slot.pool, 0), "vkResetCommandPool");
    Record(slot.cmd, s, image, scene, constants, size);

    VkSemaphoreSubmitInfo wait = {VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
    wait.semaphore = slot.acquired;
    wait.stageMask = VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT;
    VkSemaphoreSubmitInfo signal = {VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
    signal.semaphore = s.drawn[image];
    signal.stageMask = VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT;
    VkCommandBufferSubmitInfo command = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
    command.commandBuffer = slot.cmd;
    VkSubmitInfo2 submit = {VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
    submit.waitSemaphoreInfoCount = 1;
    submit.pWaitSemaphoreInfos = &wait;
    submit.commandBufferInfoCount = 1;
    submit.pCommandBufferInfos = &command;
    submit.signalSemaphoreInfoCount = 1;
    submit.pSignalSemaphoreInfos = &signal;
    Check(vkQueueSubmit2(d.queue, 1, &submit, slot.done), "vkQueueSubmit2");

    VkPresentInfoKHR present = {VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &s.drawn[image];
    present.swapchainCount = 1;
    present.pSwapchains = &s.swapchain;
    present.pImageIndices = &image;
    Check(vkQueuePresentKHR(d.queue, &present), "vkQueuePresentKHR");
}

void Frames::Record(VkCommandBuffer cmd, const Swapchain& s, uint32_t image, const Scene& scene,
                    const void* constants, uint32_t size) {
    VkCommandBufferBeginInfo begin = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    Check(vkBeginCommandBuffer(cmd, &begin), "vkBeginCommandBuffer");

    // The previous frame's shaders are done reading the constant block and the screen buffer before
    // this frame overwrites them.
    MemoryBarrier(cmd, kShaderStages, VK_ACCESS_2_NONE,
                  VK_PIPELINE_STAGE_2_COPY_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_NONE);
    vkCmdUpdateBuffer(cmd, scene.constants.buffer, 0, size, constants);
    MemoryBarrier(cmd, VK_PIPELINE_STAGE_2_COPY_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT, kShaderStages,
                  VK_ACCESS_2_UNIFORM_READ_BIT);

    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, scene.compute.pipeline);
    vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, scene.compute.layout, 0, 1,
                            &scene.computeBindings.set, 0, nullptr);
    PrintDispatch(kGroupsX, kGroupsY);
    vkCmdDispatch(cmd, kGroupsX, kGroupsY, 1);

    MemoryBarrier(cmd, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT,
                  VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_READ_BIT);
    ImageBarrier(cmd, s.images[image], VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);

    VkRenderingAttachmentInfo target = {VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    target.imageView = s.views[image];
    target.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    target.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    target.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    target.clearValue.color = kClearColour;
    VkRenderingInfo rendering = {VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, s.extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &target;
    vkCmdBeginRendering(cmd, &rendering);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, scene.draw.pipeline);
    vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, scene.draw.layout, 0, 1,
                            &scene.drawBindings.set, 0, nullptr);
    VkDeviceSize offset = 0;
    vkCmdBindVertexBuffers(cmd, 0, 1, &scene.quad.buffer, &offset);
    vkCmdDraw(cmd, 4, 1, 0, 0);
    vkCmdEndRendering(cmd);

    ImageBarrier(cmd, s.images[image], VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_NONE, VK_ACCESS_2_NONE);
    Check(vkEndCommandBuffer(cmd), "vkEndCommandBuffer");
}

} // namespace baseline
