#include "barriers.h"

namespace platform::d3d11 {

void UseBuffer(VkCommandBuffer cmd, VkBuffer buffer, Hazard* hazard, VkPipelineStageFlags2 stage,
               VkAccessFlags2 access) {
    const Wait wait = NextUse(hazard, stage, access, VK_IMAGE_LAYOUT_UNDEFINED);
    if (!wait.needed)
        return;
    VkBufferMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2};
    barrier.srcStageMask = wait.stages;
    barrier.srcAccessMask = wait.access;
    barrier.dstStageMask = stage;
    barrier.dstAccessMask = access;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.buffer = buffer;
    barrier.size = VK_WHOLE_SIZE;
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.bufferMemoryBarrierCount = 1;
    dependency.pBufferMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

void UseImage(VkCommandBuffer cmd, VkImage image, Hazard* hazard, VkPipelineStageFlags2 stage,
              VkAccessFlags2 access, VkImageLayout layout, bool discard) {
    const VkImageLayout oldLayout = hazard->layout;
    const Wait wait = NextUse(hazard, stage, access, layout);
    if (!wait.needed)
        return;
    VkImageMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = wait.stages;
    barrier.srcAccessMask = wait.access;
    barrier.dstStageMask = stage;
    barrier.dstAccessMask = access;
    barrier.oldLayout = discard ? VK_IMAGE_LAYOUT_UNDEFINED : oldLayout;
    barrier.newLayout = layout;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

} // namespace platform::d3d11
