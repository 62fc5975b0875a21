#include "frames.h"

#include <algorithm>
#include <ctime>

namespace platform::d3d11 {

namespace {

uint64_t Nanoseconds(clockid_t clock) {
    timespec now = {};
    clock_gettime(clock, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000 + static_cast<uint64_t>(now.tv_nsec);
}

} // namespace

platform::VkStatus FrameRing::Create(const Vulkan* vk) {
    vk_ = vk;
    for (Frame& frame : frames_) {
        VkCommandPoolCreateInfo pool = {VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        pool.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
        pool.queueFamilyIndex = vk->queueFamily;
        platform::VkStatus status{"vkCreateCommandPool",
                                  vkCreateCommandPool(vk->device, &pool, nullptr, &frame.pool)};
        if (!status.Ok())
            return status;
        VkCommandBufferAllocateInfo alloc = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        alloc.commandPool = frame.pool;
        alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        alloc.commandBufferCount = 1;
        status = {"vkAllocateCommandBuffers", vkAllocateCommandBuffers(vk->device, &alloc, &frame.cmd)};
        if (!status.Ok())
            return status;
        VkFenceCreateInfo fence = {VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
        status = {"vkCreateFence", vkCreateFence(vk->device, &fence, nullptr, &frame.fence)};
        if (!status.Ok())
            return status;
        frame.garbage.reserve(64);
    }
    return {};
}

void FrameRing::Destroy() {
    if (!vk_)
        return;
    if (Finish() != VK_SUCCESS && removedBy_ != VK_SUCCESS) {
        for (Frame& frame : frames_)
            frame = Frame{};
        vk_ = nullptr;
        return;
    }
    for (Frame& frame : frames_) {
        FreeGarbage(frame);
        if (frame.fence)
            vkDestroyFence(vk_->device, frame.fence, nullptr);
        if (frame.pool)
            vkDestroyCommandPool(vk_->device, frame.pool, nullptr);
        frame = Frame{};
    }
    vk_ = nullptr;
}

VkResult FrameRing::Commands(VkCommandBuffer* cmd) {
    if (removedBy_ != VK_SUCCESS)
        return VK_ERROR_DEVICE_LOST;
    Frame& frame = frames_[current_];
    if (!frame.recording) {
        VkCommandBufferBeginInfo begin = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        VkResult result = vkBeginCommandBuffer(frame.cmd, &begin);
        if (result != VK_SUCCESS)
            return result;
        frame.recording = true;
    }
    *cmd = frame.cmd;
    return VK_SUCCESS;
}

VkResult FrameRing::Submit(VkSemaphore signal) {
    if (removedBy_ != VK_SUCCESS)
        return VK_ERROR_DEVICE_LOST;
    Frame& frame = frames_[current_];
    const bool hasCommands = frame.recording;
    if (frame.recording) {
        frame.recording = false;
        VkResult result = vkEndCommandBuffer(frame.cmd);
        if (result != VK_SUCCESS)
            return result;
    }
    VkCommandBufferSubmitInfo cmd = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
    cmd.commandBuffer = frame.cmd;
    VkSemaphoreSubmitInfo signalInfo = {VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
    signalInfo.semaphore = signal;
    signalInfo.stageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    VkSubmitInfo2 submit = {VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
    // A frame that recorded nothing still submits, so that its fence orders the garbage it holds.
    submit.commandBufferInfoCount = hasCommands ? 1 : 0;
    submit.pCommandBufferInfos = &cmd;
    submit.signalSemaphoreInfoCount = signal ? 1 : 0;
    submit.pSignalSemaphoreInfos = &signalInfo;
    VkResult result = vkResetFences(vk_->device, 1, &frame.fence);
    if (result == VK_SUCCESS)
        result = vkQueueSubmit2(vk_->queue, 1, &submit, frame.fence);
    if (result != VK_SUCCESS)
        return Lose(result);
    frame.submitted = true;
    return VK_SUCCESS;
}

VkResult FrameRing::Advance() {
    current_ = (current_ + 1) % kFramesInFlight;
    return WaitFrame(frames_[current_]);
}

VkResult FrameRing::Finish() {
    VkResult result = Submit(VK_NULL_HANDLE);
    if (result == VK_SUCCESS)
        result = Advance();
    for (Frame& frame : frames_) {
        if (result == VK_SUCCESS)
            result = WaitFrame(frame);
    }
    return result;
}

void FrameRing::Defer(GarbageKind kind, uint64_t handle) {
    // After a removal the object is left alone: work that never ends may still use it.
    if (removedBy_ == VK_SUCCESS)
        frames_[current_].garbage.push_back({kind, handle});
}

VkResult FrameRing::WaitSubmitted() {
    return WaitFence(frames_[current_]);
}

VkResult FrameRing::Lose(VkResult result) {
    if (result == VK_ERROR_DEVICE_LOST && removedBy_ == VK_SUCCESS)
        removedBy_ = VK_ERROR_DEVICE_LOST;
    return removedBy_ != VK_SUCCESS ? VK_ERROR_DEVICE_LOST : result;
}

VkResult FrameRing::WaitFence(Frame& frame) {
    if (removedBy_ != VK_SUCCESS)
        return VK_ERROR_DEVICE_LOST;
    if (!frame.submitted)
        return VK_SUCCESS;
    // The watchdog counts only time in which the GPU could run. The wait is cut in slices, and a slice
    // that overran its length by far was a stop (SIGSTOP, a debugger, a suspend) and counts two slices
    // at most: a real GPU that went on has finished the frame by then. On a CPU device (lavapipe) the
    // GPU is this process's threads, so a slice counts no more than the CPU time the process had in
    // it: they are stopped with it, and slowed by a starved scheduler or heavy swapping.
    constexpr uint64_t kSliceNs = 100'000'000;
    const bool cpuDevice = vk_->properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU;
    uint64_t counted = 0;
    VkResult result = VK_TIMEOUT;
    while (result == VK_TIMEOUT && counted < kFrameTimeoutNs) {
        const uint64_t wallStart = Nanoseconds(CLOCK_MONOTONIC);
        const uint64_t cpuStart = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
        result = vkWaitForFences(vk_->device, 1, &frame.fence, VK_TRUE, kSliceNs);
        uint64_t slice = std::min(Nanoseconds(CLOCK_MONOTONIC) - wallStart, 2 * kSliceNs);
        if (cpuDevice)
            slice = std::min(slice, Nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
        counted += slice;
    }
    if (result == VK_TIMEOUT)
        removedBy_ = VK_TIMEOUT;
    if (result != VK_SUCCESS)
        return Lose(result);
    frame.submitted = false;
    return VK_SUCCESS;
}

VkResult FrameRing::WaitFrame(Frame& frame) {
    VkResult result = WaitFence(frame);
    if (result != VK_SUCCESS)
        return result;
    FreeGarbage(frame);
    if (!frame.recording)
        return vkResetCommandPool(vk_->device, frame.pool, 0);
    return VK_SUCCESS;
}

void FrameRing::FreeGarbage(Frame& frame) {
    VkDevice device = vk_->device;
    for (const Garbage& g : frame.garbage) {
        switch (g.kind) {
        case GarbageKind::Buffer:
            vkDestroyBuffer(device, reinterpret_cast<VkBuffer>(g.handle), nullptr);
            break;
        case GarbageKind::Image:
            vkDestroyImage(device, reinterpret_cast<VkImage>(g.handle), nullptr);
            break;
        case GarbageKind::ImageView:
            vkDestroyImageView(device, reinterpret_cast<VkImageView>(g.handle), nullptr);
            break;
        case GarbageKind::Memory:
            vkFreeMemory(device, reinterpret_cast<VkDeviceMemory>(g.handle), nullptr);
            break;
        case GarbageKind::Pipeline:
            vkDestroyPipeline(device, reinterpret_cast<VkPipeline>(g.handle), nullptr);
            break;
        case GarbageKind::PipelineLayout:
            vkDestroyPipelineLayout(device, reinterpret_cast<VkPipelineLayout>(g.handle), nullptr);
            break;
        case GarbageKind::SetLayout:
            vkDestroyDescriptorSetLayout(device, reinterpret_cast<VkDescriptorSetLayout>(g.handle), nullptr);
            break;
        case GarbageKind::ShaderModule:
            vkDestroyShaderModule(device, reinterpret_cast<VkShaderModule>(g.handle), nullptr);
            break;
        }
    }
    frame.garbage.clear();
}

} // namespace platform::d3d11
