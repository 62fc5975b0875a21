// Buffers and images with their own memory: device-local for what the GPU uses, host-visible and
// persistently mapped for staging and uploads. One allocation per resource: the program makes few.
#pragma once

#include "barriers.h"
#include "frames.h"
#include "vulkan.h"

namespace platform::d3d11 {

struct BufferMemory {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    void* mapped = nullptr; // host-visible buffers only
};

VkResult CreateBufferMemory(const Vulkan& vk, VkDeviceSize size, VkBufferUsageFlags usage, bool hostVisible,
                            BufferMemory* out);
// Destroys the buffer and its memory after the current frame; empty handles are skipped.
void DeferDestroy(FrameRing& frames, const BufferMemory& memory);

// The last large device-local buffer released, kept for the next buffer of the same size and usage:
// its pages already belong to the process, so that making that buffer again (each reload makes the
// program's 14 MB buffer anew) costs a fill instead of thousands of page faults on a CPU device.
class SpareBuffer {
  public:
    static constexpr VkDeviceSize kMinSize = VkDeviceSize(1) << 20;

    // Keeps the buffer, whose last uses `hazard` records, and lets the one kept before go after the
    // current frame; a buffer under kMinSize goes after the current frame itself.
    void Keep(FrameRing& frames, const BufferMemory& memory, VkDeviceSize size, VkBufferUsageFlags usage,
              const Hazard& hazard);
    // Hands the kept buffer over when it matches; its hazard orders its new uses after its old ones.
    bool Take(VkDeviceSize size, VkBufferUsageFlags usage, BufferMemory* memory, Hazard* hazard);
    void Release(FrameRing& frames);

  private:
    BufferMemory memory_;
    VkDeviceSize size_ = 0;
    VkBufferUsageFlags usage_ = 0;
    Hazard hazard_;
};

struct ImageMemory {
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
};

VkResult CreateImageMemory(const Vulkan& vk, VkFormat format, uint32_t width, uint32_t height,
                           VkImageUsageFlags usage, ImageMemory* out);
void DeferDestroy(FrameRing& frames, const ImageMemory& memory);

} // namespace platform::d3d11
