// Buffers and images with their own memory: device-local for what the GPU uses, host-visible and
// persistently mapped for staging and uploads. One allocation per resource: the program makes few.
#pragma once

#include "vulkan.h"

namespace d3d11 {

struct BufferMemory {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    void* mapped = nullptr; // host-visible buffers only
};

VkResult CreateBufferMemory(const Vulkan& vk, VkDeviceSize size, VkBufferUsageFlags usage, bool hostVisible,
                            BufferMemory* out);

struct ImageMemory {
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
};

VkResult CreateImageMemory(const Vulkan& vk, VkFormat format, uint32_t width, uint32_t height,
                           VkImageUsageFlags usage, ImageMemory* out);

} // namespace d3d11
