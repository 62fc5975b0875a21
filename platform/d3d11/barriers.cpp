#include "barriers.h"

namespace {

constexpr VkAccessFlags2 kWrites = VK_ACCESS_2_SHADER_WRITE_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT |
                                   VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT |
                                   VK_ACCESS_2_HOST_WRITE_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;

// Returns true when `access` at `stage` must wait for what the hazard recorded, and updates it.
bool Order(d3d11::Hazard* h, VkPipelineStageFlags2 stage, VkAccessFlags2 access,
           VkPipelineStageFlags2* srcStage, VkAccessFlags2* srcAccess) {
    bool needed;
    if (access & kWrites) {
        *srcStage = h->writeStages | h->readStages;
        *srcAccess = h->writeAccess;
        needed = *srcStage != VK_PIPELINE_STAGE_2_NONE;
        h->writeStages = stage;
        h->writeAccess = access & kWrites;
        h->readStages = VK_PIPELINE_STAGE_2_NONE;
        h->readAccess = VK_ACCESS_2_NONE;
        if (access & ~kWrites) {
            h->readStages = stage;
            h->readAccess = access & ~kWrites;
        }
        return needed;
    }
    *srcStage = h->writeStages;
    *srcAccess = h->writeAccess;
    needed = h->writeStages != VK_PIPELINE_STAGE_2_NONE &&
             ((h->readStages & stage) != stage || (h->readAccess & access) != access);
    h->readStages |= stage;
    h->readAccess |= access;
    return needed;
}

} // namespace

namespace d3d11 {

void UseBuffer(VkCommandBuffer cmd, VkBuffer buffer, Hazard* hazard, VkPipelineStageFlags2 stage,
               VkAccessFlags2 access) {
    VkBufferMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2};
    if (!Order(hazard, stage, access, &barrier.srcStageMask, &barrier.srcAccessMask))
        return;
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
    VkImageMemoryBarrier2 barrier = {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    const Hazard before = *hazard;
    bool needed = Order(hazard, stage, access, &barrier.srcStageMask, &barrier.srcAccessMask);
    if (before.layout != layout) {
        // A layout transition writes the image: it waits for the reads before it too, and later
        // reads must wait for it, whatever they are.
        needed = true;
        barrier.srcStageMask = before.writeStages | before.readStages;
        barrier.srcAccessMask = before.writeAccess;
        hazard->layout = layout;
        hazard->writeStages = stage;
        hazard->writeAccess = access & kWrites;
        hazard->readStages = stage;
        hazard->readAccess = access & ~kWrites;
    }
    if (!needed)
        return;
    barrier.dstStageMask = stage;
    barrier.dstAccessMask = access;
    barrier.oldLayout = discard ? VK_IMAGE_LAYOUT_UNDEFINED : before.layout;
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

} // namespace d3d11
