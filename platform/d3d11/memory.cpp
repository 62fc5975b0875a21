#include "memory.h"

namespace platform::d3d11 {

namespace {

// Memory of a type with the `required` properties, the `preferred` ones too where a type has them;
// any type the resource takes when none has the required properties.
VkResult Allocate(const Vulkan& vk, const VkMemoryRequirements& requirements, VkMemoryPropertyFlags required,
                  VkMemoryPropertyFlags preferred, VkDeviceMemory* memory) {
    int type = FindMemoryType(vk, requirements.memoryTypeBits, required, preferred);
    if (type < 0)
        type = FindMemoryType(vk, requirements.memoryTypeBits, 0, 0);
    if (type < 0)
        return VK_ERROR_OUT_OF_DEVICE_MEMORY;
    VkMemoryAllocateInfo alloc = {VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    alloc.allocationSize = requirements.size;
    alloc.memoryTypeIndex = static_cast<uint32_t>(type);
    return vkAllocateMemory(vk.device, &alloc, nullptr, memory);
}

} // namespace

VkResult CreateBufferMemory(const Vulkan& vk, VkDeviceSize size, VkBufferUsageFlags usage, bool hostVisible,
                            BufferMemory* out) {
    VkBufferCreateInfo info = {VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = size;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    VkResult result = vkCreateBuffer(vk.device, &info, nullptr, &out->buffer);
    if (result != VK_SUCCESS)
        return result;
    VkMemoryRequirements requirements;
    vkGetBufferMemoryRequirements(vk.device, out->buffer, &requirements);
    const VkMemoryPropertyFlags required =
        hostVisible ? VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT
                    : VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT;
    const VkMemoryPropertyFlags preferred = hostVisible ? VK_MEMORY_PROPERTY_HOST_CACHED_BIT : 0;
    result = Allocate(vk, requirements, required, preferred, &out->memory);
    if (result == VK_SUCCESS)
        result = vkBindBufferMemory(vk.device, out->buffer, out->memory, 0);
    if (result == VK_SUCCESS && hostVisible)
        result = vkMapMemory(vk.device, out->memory, 0, VK_WHOLE_SIZE, 0, &out->mapped);
    if (result != VK_SUCCESS) {
        vkDestroyBuffer(vk.device, out->buffer, nullptr);
        if (out->memory)
            vkFreeMemory(vk.device, out->memory, nullptr);
        *out = BufferMemory{};
    }
    return result;
}

void DeferDestroy(FrameRing& frames, const BufferMemory& memory) {
    if (memory.buffer)
        frames.Defer(GarbageKind::Buffer, reinterpret_cast<uint64_t>(memory.buffer));
    if (memory.memory)
        frames.Defer(GarbageKind::Memory, reinterpret_cast<uint64_t>(memory.memory));
}

void DeferDestroy(FrameRing& frames, const ImageMemory& memory) {
    if (memory.image)
        frames.Defer(GarbageKind::Image, reinterpret_cast<uint64_t>(memory.image));
    if (memory.memory)
        frames.Defer(GarbageKind::Memory, reinterpret_cast<uint64_t>(memory.memory));
}

void SpareBuffer::Keep(FrameRing& frames, const BufferMemory& memory, VkDeviceSize size,
                       VkBufferUsageFlags usage, const Hazard& hazard) {
    if (!memory.buffer)
        return;
    if (size < kMinSize) {
        DeferDestroy(frames, memory);
        return;
    }
    Release(frames);
    memory_ = memory;
    size_ = size;
    usage_ = usage;
    hazard_ = hazard;
}

bool SpareBuffer::Take(VkDeviceSize size, VkBufferUsageFlags usage, BufferMemory* memory, Hazard* hazard) {
    if (!memory_.buffer || size != size_ || usage != usage_)
        return false;
    *memory = memory_;
    *hazard = hazard_;
    memory_ = BufferMemory{};
    return true;
}

void SpareBuffer::Release(FrameRing& frames) {
    DeferDestroy(frames, memory_);
    memory_ = BufferMemory{};
}

VkResult CreateImageMemory(const Vulkan& vk, VkFormat format, uint32_t width, uint32_t height,
                           VkImageUsageFlags usage, ImageMemory* out) {
    VkImageCreateInfo info = {VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
    info.imageType = VK_IMAGE_TYPE_2D;
    info.format = format;
    info.extent = {width, height, 1};
    info.mipLevels = 1;
    info.arrayLayers = 1;
    info.samples = VK_SAMPLE_COUNT_1_BIT;
    info.tiling = VK_IMAGE_TILING_OPTIMAL;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    // Asked first: a format or size the device cannot make with these uses is an invalid image to
    // vkCreateImage, not a failure it reports.
    VkImageFormatProperties supported;
    VkResult result = vkGetPhysicalDeviceImageFormatProperties(vk.physical, format, info.imageType,
                                                               info.tiling, usage, 0, &supported);
    if (result == VK_SUCCESS && (width > supported.maxExtent.width || height > supported.maxExtent.height))
        result = VK_ERROR_FORMAT_NOT_SUPPORTED;
    if (result != VK_SUCCESS)
        return result;
    result = vkCreateImage(vk.device, &info, nullptr, &out->image);
    if (result != VK_SUCCESS)
        return result;
    VkMemoryRequirements requirements;
    vkGetImageMemoryRequirements(vk.device, out->image, &requirements);
    result = Allocate(vk, requirements, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, 0, &out->memory);
    if (result == VK_SUCCESS)
        result = vkBindImageMemory(vk.device, out->image, out->memory, 0);
    if (result != VK_SUCCESS) {
        vkDestroyImage(vk.device, out->image, nullptr);
        if (out->memory)
            vkFreeMemory(vk.device, out->memory, nullptr);
        *out = ImageMemory{};
    }
    return result;
}

} // namespace platform::d3d11
