// Device-local buffers: fxview's three (constant block, screen buffer, quad), with the same sizes.
#pragma once

#include "device.h"

namespace baseline {

struct Buffer {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkDeviceSize size = 0;
};

Buffer CreateBuffer(const Device& d, VkDeviceSize size, VkBufferUsageFlags usage);
void DestroyBuffer(const Device& d, Buffer& b);

// Fills the buffer through a one-off command buffer and waits for it: for the quad at start-up.
void UploadOnce(const Device& d, const Buffer& b, const void* data, VkDeviceSize size);

} // namespace baseline
