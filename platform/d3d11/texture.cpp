#include "texture.h"

#include "formats.h"
#include "usage.h"
#include "vk_result.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT kMaxDimension = 16384;

VkImageUsageFlags ToVkImageUsage(D3D11_BIND_FLAG flag) {
    switch (flag) {
    case D3D11_BIND_VERTEX_BUFFER:
        return 0;
    case D3D11_BIND_INDEX_BUFFER:
        return 0;
    case D3D11_BIND_CONSTANT_BUFFER:
        return 0;
    case D3D11_BIND_SHADER_RESOURCE:
        return VK_IMAGE_USAGE_SAMPLED_BIT;
    case D3D11_BIND_STREAM_OUTPUT:
        return 0;
    case D3D11_BIND_RENDER_TARGET:
        return VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    case D3D11_BIND_DEPTH_STENCIL:
        return 0;
    case D3D11_BIND_UNORDERED_ACCESS:
        return VK_IMAGE_USAGE_STORAGE_BIT;
    }
    return 0;
}

HRESULT Validate(const D3D11_TEXTURE2D_DESC* d, const D3D11_SUBRESOURCE_DATA* initial) {
    if (!d || d->Width == 0 || d->Height == 0 || d->Width > kMaxDimension || d->Height > kMaxDimension ||
        d->ArraySize == 0 || d->SampleDesc.Count == 0)
        return E_INVALIDARG;
    if (initial && !initial->pSysMem)
        return E_INVALIDARG;
    if (platform::d3d11::FormatSize(d->Format) == 0)
        return E_INVALIDARG;
    if (d->MipLevels > 1 || d->ArraySize > 1 || d->SampleDesc.Count > 1 || d->MiscFlags ||
        (d->MipLevels == 0 && (d->Width > 1 || d->Height > 1)))
        return platform::d3d11::Refuse("CreateTexture2D",
                                       "mip chains, arrays, multisampling and misc flags are not "
                                       "implemented by this layer",
                                       E_INVALIDARG);
    const UINT allowedBind =
        D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET | D3D11_BIND_UNORDERED_ACCESS;
    if (d->BindFlags & ~allowedBind)
        return E_INVALIDARG;
    return platform::d3d11::ValidateUsage("CreateTexture2D", d->Usage, d->CPUAccessFlags, d->BindFlags,
                                          initial != nullptr, D3D11_BIND_SHADER_RESOURCE);
}

} // namespace

namespace platform::d3d11 {

Texture2D::Texture2D(Device* device, const D3D11_TEXTURE2D_DESC& desc, VkFormat storage)
    : Resource(device, "ID3D11Texture2D", desc), format_(storage),
      swapped_(storage != ToVkFormat(desc.Format)), rowPitch_(desc.Width * FormatSize(desc.Format)) {
    desc_.MipLevels = 1;
}

Texture2D::~Texture2D() {
    FrameRing& frames = device_->frames;
    DeferDestroy(frames, image_);
    DeferDestroy(frames, staging_);
}

void Texture2D::Lend(VkImage image, VkImageView view, const Hazard& fresh) {
    lent_.image = image;
    lent_.view = view;
    lent_.ownHazard = hazard_;
    hazard_ = fresh;
}

void Texture2D::ClearWhole(const FLOAT color[4]) {
    // The clear overwrites the whole image: a back buffer's frame may be drawn in the window's own.
    if (lender_)
        lender_->TryLend(this);
    std::memcpy(clearColor_.float32, color, sizeof(clearColor_.float32));
    clearPending_ = true;
}

bool Texture2D::TakeClearAsLoad(VkExtent2D area, VkClearColorValue* color) {
    if (!clearPending_ || area.width != desc_.Width || area.height != desc_.Height)
        return false;
    clearPending_ = false;
    *color = clearColor_;
    return true;
}

void Texture2D::Use(VkCommandBuffer cmd, VkPipelineStageFlags2 stage, VkAccessFlags2 access,
                    VkImageLayout layout, bool discard) {
    RecordPendingClear(cmd);
    UseImage(cmd, Image(), &hazard_, stage, access, layout, discard);
}

void Texture2D::RecordPendingClear(VkCommandBuffer cmd) {
    if (!clearPending_)
        return;
    clearPending_ = false;
    UseImage(cmd, Image(), &hazard_, VK_PIPELINE_STAGE_2_CLEAR_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT,
             VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    const VkImageSubresourceRange range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdClearColorImage(cmd, Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &clearColor_, 1, &range);
}

void Texture2D::Reclaim() {
    if (!lent_.image)
        return;
    hazard_ = lent_.ownHazard;
    lent_.image = VK_NULL_HANDLE;
    lent_.view = VK_NULL_HANDLE;
}

HRESULT Texture2D::Create(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                          const D3D11_SUBRESOURCE_DATA* initial, ID3D11Texture2D** out) {
    HRESULT hr = Validate(desc, initial);
    if (FAILED(hr))
        return hr;
    if (!out)
        return S_FALSE;
    return Make(device, desc, initial, ToVkFormat(desc->Format), out);
}

HRESULT Texture2D::CreateBackBuffer(Device* device, const D3D11_TEXTURE2D_DESC* desc, VkFormat storage,
                                    ID3D11Texture2D** out) {
    HRESULT hr = Validate(desc, nullptr);
    if (FAILED(hr))
        return hr;
    return Make(device, desc, nullptr, storage, out);
}

HRESULT Texture2D::Make(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                        const D3D11_SUBRESOURCE_DATA* initial, VkFormat storage, ID3D11Texture2D** out) {
    *out = nullptr;
    Texture2D* texture = new Texture2D(device, *desc, storage);
    const platform::VkStatus status =
        texture->Staging() ? texture->FillStaging(initial) : texture->FillImage(initial);
    if (!status.Ok()) {
        texture->Release();
        return Fail(status);
    }
    *out = texture;
    return S_OK;
}

platform::VkStatus Texture2D::FillStaging(const D3D11_SUBRESOURCE_DATA* initial) {
    const UINT pitch = rowPitch_;
    const platform::VkStatus status{
        "vkCreateBuffer",
        CreateBufferMemory(device_->vk, VkDeviceSize(pitch) * desc_.Height,
                           VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT, true,
                           &staging_)};
    if (!status.Ok())
        return status;
    auto* rows = static_cast<char*>(staging_.mapped);
    for (UINT y = 0; y < desc_.Height; ++y) {
        if (initial)
            std::memcpy(rows + y * pitch,
                        static_cast<const char*>(initial->pSysMem) + y * initial->SysMemPitch, pitch);
        else
            std::memset(rows + y * pitch, 0, pitch);
    }
    return status;
}

platform::VkStatus Texture2D::FillImage(const D3D11_SUBRESOURCE_DATA* initial) {
    const UINT pitch = rowPitch_;
    VkImageUsageFlags usage = VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    for (UINT bit = 1; bit <= desc_.BindFlags; bit <<= 1) {
        if (desc_.BindFlags & bit)
            usage |= ToVkImageUsage(static_cast<D3D11_BIND_FLAG>(bit));
    }
    platform::VkStatus status{
        "vkGetPhysicalDeviceImageFormatProperties or vkCreateImage",
        CreateImageMemory(device_->vk, format_, desc_.Width, desc_.Height, usage, &image_)};
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    if (status.Ok())
        status = {"vkBeginCommandBuffer", device_->frames.Commands(&cmd)};
    BufferMemory upload;
    if (status.Ok() && initial)
        status = {"vkCreateBuffer (upload)",
                  CreateBufferMemory(device_->vk, VkDeviceSize(pitch) * desc_.Height,
                                     VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload)};
    if (!status.Ok())
        return status;
    UseImage(cmd, Image(), &hazard_, VK_PIPELINE_STAGE_2_TRANSFER_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT,
             VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    if (initial) {
        auto* rows = static_cast<char*>(upload.mapped);
        for (UINT y = 0; y < desc_.Height; ++y)
            std::memcpy(rows + y * pitch,
                        static_cast<const char*>(initial->pSysMem) + y * initial->SysMemPitch, pitch);
        VkBufferImageCopy region = {};
        region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
        region.imageExtent = {desc_.Width, desc_.Height, 1};
        vkCmdCopyBufferToImage(cmd, upload.buffer, Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
        DeferDestroy(device_->frames, upload);
    } else {
        VkClearColorValue zero = {};
        VkImageSubresourceRange range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
        vkCmdClearColorImage(cmd, Image(), VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &zero, 1, &range);
    }
    return status;
}

VkResult Texture2D::RecordReorderingCopy(VkCommandBuffer cmd, VkBuffer buffer, const D3D11_BOX& box,
                                         bool toImage) {
    const uint32_t width = box.right - box.left;
    const uint32_t height = box.bottom - box.top;
    ImageMemory scratch;
    VkResult result =
        CreateImageMemory(device_->vk, ToVkFormat(desc_.Format), width, height,
                          VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT, &scratch);
    if (result != VK_SUCCESS)
        return result;
    DeferDestroy(device_->frames, scratch);

    const VkPipelineStageFlags2 transfer = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    const VkImageSubresourceLayers layers = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    VkBufferImageCopy rows = {};
    rows.imageSubresource = layers;
    rows.imageExtent = {width, height, 1};
    const VkOffset3D whole[2] = {{0, 0, 0}, {static_cast<int32_t>(width), static_cast<int32_t>(height), 1}};
    const VkOffset3D part[2] = {{static_cast<int32_t>(box.left), static_cast<int32_t>(box.top), 0},
                                {static_cast<int32_t>(box.right), static_cast<int32_t>(box.bottom), 1}};
    VkImageBlit blit = {};
    blit.srcSubresource = layers;
    blit.dstSubresource = layers;
    Hazard scratchHazard;
    UseImage(cmd, scratch.image, &scratchHazard, transfer, VK_ACCESS_2_TRANSFER_WRITE_BIT,
             VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, true);
    if (toImage) {
        vkCmdCopyBufferToImage(cmd, buffer, scratch.image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &rows);
        UseImage(cmd, scratch.image, &scratchHazard, transfer, VK_ACCESS_2_TRANSFER_READ_BIT,
                 VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL);
        std::copy(whole, whole + 2, blit.srcOffsets);
        std::copy(part, part + 2, blit.dstOffsets);
        vkCmdBlitImage(cmd, scratch.image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, Image(),
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &blit, VK_FILTER_NEAREST);
    } else {
        std::copy(part, part + 2, blit.srcOffsets);
        std::copy(whole, whole + 2, blit.dstOffsets);
        vkCmdBlitImage(cmd, Image(), VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, scratch.image,
                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &blit, VK_FILTER_NEAREST);
        UseImage(cmd, scratch.image, &scratchHazard, transfer, VK_ACCESS_2_TRANSFER_READ_BIT,
                 VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL);
        vkCmdCopyImageToBuffer(cmd, scratch.image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer, 1, &rows);
    }
    return VK_SUCCESS;
}

} // namespace platform::d3d11
