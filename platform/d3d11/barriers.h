// The hazards Direct3D 11 resolves implicitly: each resource remembers its last write and the reads
// since, and a use that conflicts with them records the pipeline barrier that orders the two.
// No queue ownership transfers: there is one queue.
#pragma once

#include <vulkan/vulkan.h>

namespace d3d11 {

struct Hazard {
    VkPipelineStageFlags2 writeStages = VK_PIPELINE_STAGE_2_NONE;
    VkAccessFlags2 writeAccess = VK_ACCESS_2_NONE;
    VkPipelineStageFlags2 readStages = VK_PIPELINE_STAGE_2_NONE;
    VkAccessFlags2 readAccess = VK_ACCESS_2_NONE;
    VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
};

void UseBuffer(VkCommandBuffer cmd, VkBuffer buffer, Hazard* hazard, VkPipelineStageFlags2 stage,
               VkAccessFlags2 access);

// Also moves the image to `layout`; its contents are kept unless `discard`.
void UseImage(VkCommandBuffer cmd, VkImage image, Hazard* hazard, VkPipelineStageFlags2 stage,
              VkAccessFlags2 access, VkImageLayout layout, bool discard = false);

} // namespace d3d11
