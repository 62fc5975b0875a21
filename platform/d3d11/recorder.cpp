// Recording: its start, the failed call it names, clears, and the host's turn at staging memory.
#include "recorder.h"

#include "presenter.h"

#include <cstring>

namespace d3d11 {

VkResult Recorder::Note(const char* call, VkResult result) {
    if (result != VK_SUCCESS)
        failedCall_ = call;
    return result;
}

VkResult Recorder::Begin(VkCommandBuffer* cmd) {
    return Note("vkBeginCommandBuffer", device_->frames.Commands(cmd));
}

VkResult Recorder::BeginWith(const char* call, VkResult lookup, VkCommandBuffer* cmd) {
    VkResult result = Note(call, lookup);
    return result == VK_SUCCESS ? Begin(cmd) : result;
}

VkResult Recorder::Clear(Texture2D* texture, const FLOAT color[4]) {
    VkCommandBuffer cmd;
    VkResult result = Begin(&cmd);
    if (result != VK_SUCCESS)
        return result;
    // The clear overwrites the whole back buffer: the frame may be drawn in the window's own image.
    if (texture->presenter)
        texture->presenter->TryLend(texture);
    // Left to the texture's next use, which a draw into it makes its load operation.
    std::memcpy(texture->clearColor.float32, color, sizeof(texture->clearColor.float32));
    texture->clearPending = true;
    return VK_SUCCESS;
}

VkResult Recorder::AccessFromHost(VkBuffer buffer, Hazard* hazard, bool write) {
    VkCommandBuffer cmd;
    VkResult result = Begin(&cmd);
    if (result != VK_SUCCESS)
        return result;
    UseBuffer(cmd, buffer, hazard, VK_PIPELINE_STAGE_2_HOST_BIT,
              VK_ACCESS_2_HOST_READ_BIT | (write ? VK_ACCESS_2_HOST_WRITE_BIT : 0));
    return Note("vkWaitForFences", device_->frames.Finish());
}

} // namespace d3d11
