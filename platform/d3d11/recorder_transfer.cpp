// Uploads and copies between buffers and images. Blits as well as copies run in the transfer
// stages: an image keeping its channels in the window's order is copied through a blit that
// reorders them.
#include "recorder.h"

#include <cstring>

namespace {

constexpr VkPipelineStageFlags2 kCopyStages = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
constexpr VkImageSubresourceLayers kColorLayer = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};

VkBufferImageCopy BufferImageRegion(const D3D11_BOX& box) {
    VkBufferImageCopy region = {};
    region.imageSubresource = kColorLayer;
    region.imageOffset = {static_cast<int32_t>(box.left), static_cast<int32_t>(box.top), 0};
    region.imageExtent = {box.right - box.left, box.bottom - box.top, 1};
    return region;
}

void CopyImage(VkCommandBuffer cmd, const platform::d3d11::Texture2D* src,
               const platform::d3d11::Texture2D* dst, const D3D11_BOX& box) {
    if (src->Format() != dst->Format()) {
        // Same texels, channels kept in the other order: a blit of the same size reorders them exactly.
        VkImageBlit region = {};
        region.srcSubresource = kColorLayer;
        region.dstSubresource = kColorLayer;
        region.srcOffsets[1] = {static_cast<int32_t>(box.right), static_cast<int32_t>(box.bottom), 1};
        region.dstOffsets[1] = region.srcOffsets[1];
        vkCmdBlitImage(cmd, src->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst->Image(),
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region, VK_FILTER_NEAREST);
        return;
    }
    VkImageCopy region = {};
    region.srcSubresource = kColorLayer;
    region.dstSubresource = kColorLayer;
    region.extent = {box.right, box.bottom, 1};
    vkCmdCopyImage(cmd, src->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst->Image(),
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
}

// Between packed rows in `buffer` and `box` of the texture's image.
VkResult CopyRows(VkCommandBuffer cmd, VkBuffer buffer, platform::d3d11::Texture2D* texture,
                  const D3D11_BOX& box, bool toImage) {
    if (texture->Swapped())
        return texture->RecordReorderingCopy(cmd, buffer, box, toImage);
    const VkBufferImageCopy rows = BufferImageRegion(box);
    if (toImage)
        vkCmdCopyBufferToImage(cmd, buffer, texture->Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &rows);
    else
        vkCmdCopyImageToBuffer(cmd, texture->Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer, 1, &rows);
    return VK_SUCCESS;
}

} // namespace

namespace platform::d3d11 {

CopyEnd CopyEnd::Of(Buffer* buffer) {
    CopyEnd end;
    end.buffer = buffer->Handle();
    end.bytes = (buffer->Desc().ByteWidth + 3u) & ~3u;
    end.hazard = &buffer->hazard;
    return end;
}

CopyEnd CopyEnd::Of(Texture2D* texture) {
    // Staging textures are tightly packed buffers; everything else is an image.
    CopyEnd end;
    if (texture->Staging()) {
        end.buffer = texture->StagingBuffer();
        end.bytes = VkDeviceSize(texture->RowPitch()) * texture->Desc().Height;
        end.hazard = texture->StagingHazard();
    } else {
        end.image = texture;
    }
    return end;
}

void Recorder::UseForCopy(VkCommandBuffer cmd, const CopyEnd& end, bool write, bool discard) {
    const VkAccessFlags2 access = write ? VK_ACCESS_2_TRANSFER_WRITE_BIT : VK_ACCESS_2_TRANSFER_READ_BIT;
    if (end.image) {
        end.image->Use(cmd, kCopyStages, access,
                       write ? VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL : VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                       discard);
        return;
    }
    // A fresh upload, written by the host before submission, needs no barrier.
    if (end.hazard)
        UseBuffer(cmd, end.buffer, end.hazard, kCopyStages, access);
}

platform::VkStatus Recorder::Copy(const CopyEnd& src, const CopyEnd& dst, const D3D11_BOX& box) {
    VkCommandBuffer cmd;
    const platform::VkStatus status = Begin(&cmd);
    if (!status.Ok())
        return status;
    // A copy over the whole image need not keep what it held.
    const bool whole = dst.image && box.left == 0 && box.top == 0 && box.right == dst.image->Desc().Width &&
                       box.bottom == dst.image->Desc().Height;
    UseForCopy(cmd, src, false, false);
    UseForCopy(cmd, dst, true, whole);
    return {"vkCreateImage (channel reordering)", RecordCopy(cmd, src, dst, box)};
}

VkResult Recorder::RecordCopy(VkCommandBuffer cmd, const CopyEnd& src, const CopyEnd& dst,
                              const D3D11_BOX& box) {
    if (src.buffer && dst.buffer) {
        VkBufferCopy region = {0, box.left, src.bytes};
        vkCmdCopyBuffer(cmd, src.buffer, dst.buffer, 1, &region);
        return VK_SUCCESS;
    }
    if (src.buffer)
        return CopyRows(cmd, src.buffer, dst.image, box, true);
    if (dst.buffer)
        return CopyRows(cmd, dst.buffer, src.image, box, false);
    CopyImage(cmd, src.image, dst.image, box);
    return VK_SUCCESS;
}

platform::VkStatus Recorder::Upload(VkDeviceSize size, CopyEnd* src, char** mapped) {
    BufferMemory upload;
    const platform::VkStatus status{
        "vkCreateBuffer (upload)",
        CreateBufferMemory(device_->vk, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload)};
    if (!status.Ok())
        return status;
    DeferDestroy(device_->frames, upload);
    src->buffer = upload.buffer;
    src->bytes = size;
    *mapped = static_cast<char*>(upload.mapped);
    return status;
}

platform::VkStatus Recorder::UpdateBuffer(Buffer* buffer, UINT offset, UINT size, const void* data) {
    // Small aligned updates travel inside the command buffer; the rest through an upload buffer.
    if (size > 65536 || size % 4 != 0 || offset % 4 != 0) {
        CopyEnd src;
        char* mapped;
        const platform::VkStatus status = Upload(size, &src, &mapped);
        if (!status.Ok())
            return status;
        std::memcpy(mapped, data, size);
        return Copy(src, CopyEnd::Of(buffer), D3D11_BOX{offset, 0, 0, offset + size, 1, 1});
    }
    VkCommandBuffer cmd;
    const platform::VkStatus status = Begin(&cmd);
    if (!status.Ok())
        return status;
    UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_TRANSFER_BIT,
              VK_ACCESS_2_TRANSFER_WRITE_BIT);
    vkCmdUpdateBuffer(cmd, buffer->Handle(), offset, size, data);
    return status;
}

platform::VkStatus Recorder::UpdateTexture(Texture2D* texture, const D3D11_BOX& box, const void* data,
                                           UINT rowPitch) {
    const UINT texel = texture->RowPitch() / texture->Desc().Width;
    const UINT rowBytes = (box.right - box.left) * texel;
    const UINT rows = box.bottom - box.top;
    CopyEnd src;
    char* mapped;
    const platform::VkStatus status = Upload(VkDeviceSize(rowBytes) * rows, &src, &mapped);
    if (!status.Ok())
        return status;
    for (UINT y = 0; y < rows; ++y)
        std::memcpy(mapped + y * rowBytes, static_cast<const char*>(data) + y * rowPitch, rowBytes);
    return Copy(src, CopyEnd::Of(texture), box);
}

} // namespace platform::d3d11
