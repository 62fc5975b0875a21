// Two frames in flight: each has a command buffer that the context and the swap chain record into,
// a fence, and the objects released while it was recorded, destroyed once its fence has signalled.
// Every wait is bounded: a frame unfinished after kFrameTimeoutNs of the process's running time
// removes the device, as a lost device does. No threads: all runs on the caller's.
#pragma once

#include "vulkan.h"

#include <vector>

namespace platform::d3d11 {

enum class GarbageKind {
    Buffer,
    Image,
    ImageView,
    Memory,
    Pipeline,
    PipelineLayout,
    SetLayout,
    ShaderModule
};

struct Garbage {
    GarbageKind kind;
    uint64_t handle;
};

class FrameRing {
  public:
    static constexpr uint32_t kFramesInFlight = 2;
    // Direct3D's own limit before it removes a device whose work does not end.
    static constexpr uint64_t kFrameTimeoutNs = 2'000'000'000;

    platform::VkStatus Create(const Vulkan* vk);
    // Waits for the GPU and frees everything still deferred.
    void Destroy();

    // The current frame's command buffer, begun on first use.
    VkResult Commands(VkCommandBuffer* cmd);
    // Submits the current frame, signalling `signal` (when not null). Advance must follow before
    // anything more is recorded.
    VkResult Submit(VkSemaphore signal);
    // Moves to the next frame and waits until its previous submission has finished.
    VkResult Advance();
    // Submits and waits until every frame has finished: for Map and teardown.
    VkResult Finish();

    // Destroys the object after the GPU is done with the current frame, which is the last that can use it.
    void Defer(GarbageKind kind, uint64_t handle);

    // Waits until the current frame's submission has finished; Advance must still follow.
    VkResult WaitSubmitted();

    // VK_SUCCESS while the device works; VK_TIMEOUT once a frame did not finish in time, or
    // VK_ERROR_DEVICE_LOST once Vulkan said so. From then on every call returns
    // VK_ERROR_DEVICE_LOST at once and nothing is waited for or destroyed any more: a shader that
    // never ends may still be using all of it.
    VkResult RemovedBy() const { return removedBy_; }
    // Records a VK_ERROR_DEVICE_LOST met outside the ring (acquire, present); returns
    // VK_ERROR_DEVICE_LOST once the device is removed, else `result`.
    VkResult Lose(VkResult result);

  private:
    struct Frame {
        VkCommandPool pool = VK_NULL_HANDLE;
        VkCommandBuffer cmd = VK_NULL_HANDLE;
        VkFence fence = VK_NULL_HANDLE;
        bool recording = false;
        bool submitted = false;
        std::vector<Garbage> garbage;
    };

    // Waits, within kFrameTimeoutNs, for the frame's submission; a timeout removes the device.
    VkResult WaitFence(Frame& frame);
    // Also frees the frame's garbage and makes its command pool ready for recording.
    VkResult WaitFrame(Frame& frame);
    void FreeGarbage(Frame& frame);

    const Vulkan* vk_ = nullptr;
    Frame frames_[kFramesInFlight];
    uint32_t current_ = 0;
    VkResult removedBy_ = VK_SUCCESS;
};

} // namespace platform::d3d11
