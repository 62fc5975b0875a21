#include "hazard.h"

namespace {

constexpr VkAccessFlags2 kWrites = VK_ACCESS_2_SHADER_WRITE_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT |
                                   VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT |
                                   VK_ACCESS_2_HOST_WRITE_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;

} // namespace

namespace platform::d3d11 {

Wait NextUse(Hazard* hazard, VkPipelineStageFlags2 stage, VkAccessFlags2 access, VkImageLayout layout) {
    const Hazard before = *hazard;
    const VkAccessFlags2 writes = access & kWrites;
    Wait wait;
    if (writes || layout != before.layout) {
        // A write, or a layout transition, which writes the image: it waits for the last write and
        // for every read since, and later reads must wait for it.
        wait.stages = before.writeStages | before.readStages;
        wait.access = before.writeAccess;
        wait.needed = wait.stages != VK_PIPELINE_STAGE_2_NONE || layout != before.layout;
        hazard->layout = layout;
        hazard->writeStages = stage;
        hazard->writeAccess = writes;
        // A use that writes has not seen its own write; one that only reads has seen the transition.
        hazard->readStages = writes ? VK_PIPELINE_STAGE_2_NONE : stage;
        hazard->readAccess = writes ? VK_ACCESS_2_NONE : access;
        return wait;
    }
    // A read waits for the last write unless an earlier barrier already made it visible here.
    wait.stages = before.writeStages;
    wait.access = before.writeAccess;
    wait.needed = before.writeStages != VK_PIPELINE_STAGE_2_NONE &&
                  ((before.readStages & stage) != stage || (before.readAccess & access) != access);
    hazard->readStages |= stage;
    hazard->readAccess |= access;
    return wait;
}

} // namespace platform::d3d11
