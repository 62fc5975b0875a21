#include "barriers.h"

namespace {

// The fields every barrier of a use shares: what it waits for, what it makes wait, one queue.
template <class Barrier>
Barrier BarrierFor(VkStructureType type, const platform::d3d11::Wait& wait, VkPipelineStageFlags2 stage,
                   VkAccessFlags2 access) {
    Barrier barrier = {type};
    barrier.srcStageMask = wait.stages;
    barrier.srcAccessMask = wait.access;
    barrier.dstStageMask = stage;
    barrier.dstAccessMask = access;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    return barrier;
}

} // namespace

namespace platform::d3d11 {

void UseBuffer(VkCommandBuffer cmd, VkBuffer buffer, Hazard* hazard, VkPipelineStageFlags2 stage,
               VkAccessFlags2 access) {
    const Wait wait = NextUse(hazard, stage, access, VK_IMAGE_LAYOUT_UNDEFINED);
    if (!wait.needed)
        return;
    auto barrier =
        BarrierFor<VkBufferMemoryBarrier2>(VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2, wait, stage, access);
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
    if (wait.needed)
        RecordBarrier(cmd, ImageBarrier(image, wait, stage, access,
                                        discard ? VK_IMAGE_LAYOUT_UNDEFINED : oldLayout, layout));
}

VkImageMemoryBarrier2 ImageBarrier(VkImage image, const Wait& wait, VkPipelineStageFlags2 stage,
                                   VkAccessFlags2 access, VkImageLayout from, VkImageLayout to) {
    auto barrier =
        BarrierFor<VkImageMemoryBarrier2>(VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2, wait, stage, access);
    barrier.oldLayout = from;
    barrier.newLayout = to;
    barrier.image = image;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    return barrier;
}

void RecordBarrier(VkCommandBuffer cmd, const VkImageMemoryBarrier2& barrier) {
    VkDependencyInfo dependency = {VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
}

} // namespace platform::d3d11
