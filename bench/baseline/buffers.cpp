// Buffer creation and the one start-up upload.
#include "buffers.h"

#include "check.h"

namespace baseline {

Buffer CreateBuffer(const Device& d, VkDeviceSize size, VkBufferUsageFlags usage) {
    Buffer b;
    b.size = size;
    VkBufferCreateInfo info = {VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = size;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    Check(vkCreateBuffer(d.device, &info, nullptr, &b.buffer), "vkCreateBuffer");
    VkMemoryRequirements needs;
    vkGetBufferMemoryRequirements(d.device, b.buffer, &needs);
    VkMemoryAllocateInfo allocation = {VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    allocation.allocationSize = needs.size;
    allocation.memoryTypeIndex = FindMemoryType(d, needs.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    Check(vkAllocateMemory(d.device, &allocation, nullptr, &b.memory), "vkAllocateMemory");
    Check(vkBindBufferMemory(d.device, b.buffer, b.memory, 0), "vkBindBufferMemory");
    return b;
}

void DestroyBuffer(const Device& d, Buffer& b) {
    vkDestroyBuffer(d.device, b.buffer, nullptr);
    vkFreeMemory(d.device, b.memory, nullptr);
    b = {};
}

void UploadOnce(const Device& d, const Buffer& b, const void* data, VkDeviceSize size) {
    VkCommandPoolCreateInfo poolInfo = {VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
    poolInfo.queueFamilyIndex = d.queueFamily;
    VkCommandPool pool;
    Check(vkCreateCommandPool(d.device, &poolInfo, nullptr, &pool), "vkCreateCommandPool");
    VkCommandBufferAllocateInfo allocation = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocation.commandPool = pool;
    allocation.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocation.commandBufferCount = 1;
    VkCommandBuffer cmd;
    Check(vkAllocateCommandBuffers(d.device, &allocation, &cmd), "vkAllocateCommandBuffers");
    VkCommandBufferBeginInfo begin = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    Check(vkBeginCommandBuffer(cmd, &begin), "vkBeginCommandBuffer");
    vkCmdUpdateBuffer(cmd, b.buffer, 0, size, data);
    Check(vkEndCommandBuffer(cmd), "vkEndCommandBuffer");
    VkCommandBufferSubmitInfo command = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
    command.commandBuffer = cmd;
    VkSubmitInfo2 submit = {VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
    submit.commandBufferInfoCount = 1;
    submit.pCommandBufferInfos = &command;
    Check(vkQueueSubmit2(d.queue, 1, &submit, VK_NULL_HANDLE), "vkQueueSubmit2");
    Check(vkQueueWaitIdle(d.queue), "vkQueueWaitIdle");
    vkDestroyCommandPool(d.device, pool, nullptr);
}

} // namespace baseline
