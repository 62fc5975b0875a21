// The hazards Direct3D 11 resolves implicitly: each resource remembers its last write and the reads
// that have seen it, and a use that conflicts with them must wait for them behind a pipeline barrier.
// The decision alone, without Vulkan calls; barriers.h records the barrier it asks for.
#pragma once

#include <vulkan/vulkan.h>

namespace platform::d3d11 {

struct Hazard {
    VkPipelineStageFlags2 writeStages = VK_PIPELINE_STAGE_2_NONE;
    VkAccessFlags2 writeAccess = VK_ACCESS_2_NONE;
    // Reads ordered after the last write, its results visible to them.
    VkPipelineStageFlags2 readStages = VK_PIPELINE_STAGE_2_NONE;
    VkAccessFlags2 readAccess = VK_ACCESS_2_NONE;
    VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
};

// What the barrier ahead of a use waits for; `needed` is false when the use is already ordered.
struct Wait {
    bool needed = false;
    VkPipelineStageFlags2 stages = VK_PIPELINE_STAGE_2_NONE;
    VkAccessFlags2 access = VK_ACCESS_2_NONE;
};

// Decides the barrier ahead of `access` at `stage` with the resource in `layout`, and records the
// use in `hazard`. Buffers pass VK_IMAGE_LAYOUT_UNDEFINED, which never changes.
Wait NextUse(Hazard* hazard, VkPipelineStageFlags2 stage, VkAccessFlags2 access, VkImageLayout layout);

} // namespace platform::d3d11
