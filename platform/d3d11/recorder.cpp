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

VkResult Recorder::Clear(Texture2D* texture, const FLOAT color[4]) {
    VkCommandBuffer cmd;
    VkResult result = Begin(&cmd);
    if (result != VK_SUCCESS)
        return result;
    // The clear overwrites the whole back buffer: the frame may be drawn in the window's own image.
    if (texture->presenter)
        texture->presenter->TryLend(texture);
    UseImage(cmd, texture->Image(), &texture->hazard, VK_PIPELINE_STAGE_2_CLEAR_BIT,
             VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    VkClearColorValue value;
    std::memcpy(value.float32, color, sizeof(value.float32));
    VkImageSubresourceRange range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdClearColorImage(cmd, texture->Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &value, 1, &range);
    return VK_SUCCESS;
}

VkResult Recorder::UpdateBuffer(Buffer* buffer, UINT offset, UINT size, const void* data) {
    // Small aligned updates travel inside the command buffer; the rest through an upload buffer.
    if (size > 65536 || size % 4 != 0 || offset % 4 != 0) {
        BufferMemory upload;
        VkResult result =
            Note("vkCreateBuffer (upload)",
                 CreateBufferMemory(device_->vk, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload));
        if (result != VK_SUCCESS)
            return result;
        std::memcpy(upload.mapped, data, size);
        DeferDestroy(device_->frames, upload);
        CopyEnd src;
        src.buffer = upload.buffer;
        src.bytes = size;
        return Copy(src, CopyEnd::Of(buffer), D3D11_BOX{offset, 0, 0, offset + size, 1, 1});
    }
    VkCommandBuffer cmd;
    VkResult result = Begin(&cmd);
    if (result != VK_SUCCESS)
        return result;
    UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_TRANSFER_BIT,
              VK_ACCESS_2_TRANSFER_WRITE_BIT);
    vkCmdUpdateBuffer(cmd, buffer->Handle(), offset, size, data);
    return VK_SUCCESS;
}

VkResult Recorder::UpdateTexture(Texture2D* texture, const D3D11_BOX& box, const void* data, UINT rowPitch) {
    const UINT texel = texture->RowPitch() / texture->Desc().Width;
    const UINT rowBytes = (box.right - box.left) * texel;
    const UINT rows = box.bottom - box.top;
    BufferMemory upload;
    VkResult result =
        Note("vkCreateBuffer (upload)", CreateBufferMemory(device_->vk, VkDeviceSize(rowBytes) * rows,
                                                           VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload));
    if (result != VK_SUCCESS)
        return result;
    for (UINT y = 0; y < rows; ++y)
        std::memcpy(static_cast<char*>(upload.mapped) + y * rowBytes,
                    static_cast<const char*>(data) + y * rowPitch, rowBytes);
    DeferDestroy(device_->frames, upload);
    CopyEnd src;
    src.buffer = upload.buffer;
    src.bytes = VkDeviceSize(rowBytes) * rows;
    return Copy(src, CopyEnd::Of(texture), box);
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
