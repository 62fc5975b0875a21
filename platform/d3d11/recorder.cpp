// Recording: its start, clears, and the host's turn at staging memory.
#include "recorder.h"

namespace platform::d3d11 {

platform::VkStatus Recorder::Begin(VkCommandBuffer* cmd) {
    return {"vkBeginCommandBuffer", device_->frames.Commands(cmd)};
}

platform::VkStatus Recorder::BeginWith(const char* call, VkResult lookup, VkCommandBuffer* cmd) {
    const platform::VkStatus status{call, lookup};
    return status.Ok() ? Begin(cmd) : status;
}

platform::VkStatus Recorder::Clear(Texture2D* texture, const FLOAT color[4]) {
    VkCommandBuffer cmd;
    const platform::VkStatus status = Begin(&cmd);
    if (!status.Ok())
        return status;
    texture->ClearWhole(color);
    return status;
}

platform::VkStatus Recorder::AccessFromHost(VkBuffer buffer, Hazard* hazard, bool write) {
    VkCommandBuffer cmd;
    const platform::VkStatus status = Begin(&cmd);
    if (!status.Ok())
        return status;
    UseBuffer(cmd, buffer, hazard, VK_PIPELINE_STAGE_2_HOST_BIT,
              VK_ACCESS_2_HOST_READ_BIT | (write ? VK_ACCESS_2_HOST_WRITE_BIT : 0));
    return {"vkWaitForFences", device_->frames.Finish()};
}

} // namespace platform::d3d11
