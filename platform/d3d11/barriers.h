// Records the pipeline barrier that hazard.h decides a use needs. No queue ownership transfers:
// there is one queue.
#pragma once

#include "hazard.h"

namespace platform::d3d11 {

void UseBuffer(VkCommandBuffer cmd, VkBuffer buffer, Hazard* hazard, VkPipelineStageFlags2 stage,
               VkAccessFlags2 access);

// Also moves the image to `layout`; its contents are kept unless `discard`.
void UseImage(VkCommandBuffer cmd, VkImage image, Hazard* hazard, VkPipelineStageFlags2 stage,
              VkAccessFlags2 access, VkImageLayout layout, bool discard = false);

// A barrier on the whole colour image, after `wait`, before `access` at `stage`, moving it from
// `from` to `to`, for an image no Hazard follows (a swapchain image); RecordBarrier records it.
VkImageMemoryBarrier2 ImageBarrier(VkImage image, const Wait& wait, VkPipelineStageFlags2 stage,
                                   VkAccessFlags2 access, VkImageLayout from, VkImageLayout to);
void RecordBarrier(VkCommandBuffer cmd, const VkImageMemoryBarrier2& barrier);

} // namespace platform::d3d11
