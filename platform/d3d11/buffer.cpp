#include "buffer.h"

#include "usage.h"
#include "vk_result.h"

#include <cstring>

namespace {

constexpr UINT kConstantBufferMax = D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT * 16;
constexpr UINT kKnownBindFlags = D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_INDEX_BUFFER |
                                 D3D11_BIND_CONSTANT_BUFFER | D3D11_BIND_SHADER_RESOURCE |
                                 D3D11_BIND_UNORDERED_ACCESS;
constexpr UINT kKnownMiscFlags =
    D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS | D3D11_RESOURCE_MISC_BUFFER_STRUCTURED;

// Only the bind flags Validate admits (kKnownBindFlags) reach here.
VkBufferUsageFlags ToVkBufferUsage(UINT bindFlags) {
    VkBufferUsageFlags usage = 0;
    if (bindFlags & D3D11_BIND_VERTEX_BUFFER)
        usage |= VK_BUFFER_USAGE_VERTEX_BUFFER_BIT;
    if (bindFlags & D3D11_BIND_INDEX_BUFFER)
        usage |= VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
    if (bindFlags & D3D11_BIND_CONSTANT_BUFFER)
        usage |= VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT;
    if (bindFlags & (D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS))
        usage |= VK_BUFFER_USAGE_STORAGE_BUFFER_BIT;
    return usage;
}

// The checks Direct3D 11 makes on a buffer description, plus what this layer does not implement.
HRESULT Validate(const D3D11_BUFFER_DESC* d, const D3D11_SUBRESOURCE_DATA* initial) {
    if (!d || d->ByteWidth == 0)
        return E_INVALIDARG;
    if (initial && !initial->pSysMem)
        return E_INVALIDARG;
    if ((d->BindFlags & ~kKnownBindFlags) || (d->MiscFlags & ~kKnownMiscFlags))
        return platform::d3d11::Refuse("CreateBuffer", "bind or misc flags this layer does not implement",
                                       E_INVALIDARG);
    HRESULT hr = platform::d3d11::ValidateUsage("CreateBuffer", d->Usage, d->CPUAccessFlags, d->BindFlags,
                                                initial != nullptr, ~0u);
    if (FAILED(hr))
        return hr;
    if (d->BindFlags & D3D11_BIND_CONSTANT_BUFFER) {
        if (d->BindFlags != D3D11_BIND_CONSTANT_BUFFER || d->ByteWidth % 16 ||
            d->ByteWidth > kConstantBufferMax)
            return E_INVALIDARG;
    }
    if (d->MiscFlags & D3D11_RESOURCE_MISC_BUFFER_STRUCTURED) {
        const UINT stride = d->StructureByteStride;
        if (stride == 0 || stride % 4 || stride > 2048 || d->ByteWidth % stride ||
            (d->MiscFlags & D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS) ||
            (d->BindFlags & (D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_INDEX_BUFFER)))
            return E_INVALIDARG;
    }
    return S_OK;
}

} // namespace

namespace platform::d3d11 {

Buffer::Buffer(Device* device, const D3D11_BUFFER_DESC& desc) : Resource(device, "ID3D11Buffer", desc) {}

Buffer::~Buffer() {
    FrameRing& frames = device_->frames;
    if (desc_.Usage != D3D11_USAGE_STAGING) {
        device_->spareBuffer.Keep(frames, memory_, size_, usage_, hazard);
        return;
    }
    DeferDestroy(frames, memory_);
}

HRESULT Buffer::Create(Device* device, const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                       ID3D11Buffer** out) {
    HRESULT hr = Validate(desc, initial);
    if (FAILED(hr))
        return hr;
    if (!out)
        return S_FALSE;
    *out = nullptr;

    const bool staging = desc->Usage == D3D11_USAGE_STAGING;
    const VkBufferUsageFlags usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
                                     ToVkBufferUsage(desc->BindFlags);
    // Rounded up so that whole-size fills and copies cover every byte.
    const VkDeviceSize size = (desc->ByteWidth + 3u) & ~3u;

    Buffer* buffer = new Buffer(device, *desc);
    buffer->size_ = size;
    buffer->usage_ = usage;
    VkResult result = VK_SUCCESS;
    if (staging || !device->spareBuffer.Take(size, usage, &buffer->memory_, &buffer->hazard))
        result = CreateBufferMemory(device->vk, size, usage, staging, &buffer->memory_);
    if (result != VK_SUCCESS) {
        buffer->Release();
        return Fail({"vkCreateBuffer", result});
    }
    if (staging) {
        if (initial)
            std::memcpy(buffer->memory_.mapped, initial->pSysMem, desc->ByteWidth);
        else
            std::memset(buffer->memory_.mapped, 0, size);
        *out = buffer;
        return S_OK;
    }

    VkCommandBuffer cmd;
    result = device->frames.Commands(&cmd);
    BufferMemory upload;
    if (result == VK_SUCCESS && initial) {
        result = CreateBufferMemory(device->vk, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT, true, &upload);
        if (result == VK_SUCCESS) {
            std::memcpy(upload.mapped, initial->pSysMem, desc->ByteWidth);
            std::memset(static_cast<char*>(upload.mapped) + desc->ByteWidth, 0, size - desc->ByteWidth);
            DeferDestroy(device->frames, upload);
        }
    }
    if (result != VK_SUCCESS) {
        buffer->Release();
        return Fail({initial ? "vkCreateBuffer (upload)" : "vkBeginCommandBuffer", result});
    }
    UseBuffer(cmd, buffer->Handle(), &buffer->hazard, VK_PIPELINE_STAGE_2_TRANSFER_BIT,
              VK_ACCESS_2_TRANSFER_WRITE_BIT);
    if (initial) {
        VkBufferCopy region = {0, 0, size};
        vkCmdCopyBuffer(cmd, upload.buffer, buffer->Handle(), 1, &region);
    } else {
        vkCmdFillBuffer(cmd, buffer->Handle(), 0, VK_WHOLE_SIZE, 0);
    }
    *out = buffer;
    return S_OK;
}

} // namespace platform::d3d11
