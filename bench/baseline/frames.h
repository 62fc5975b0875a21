// One frame of fxview's work, recorded afresh each time into one of two command buffers in flight:
// upload the constant block, dispatch the compute stage, clear and draw the quad into the acquired
// swapchain image, present. Nothing is allocated per frame.
#pragma once

#include "pipelines.h"
#include "swapchain.h"

namespace baseline {

// What every frame uses; made once at start-up.
struct Scene {
    Buffer constants;
    Buffer screen;
    Buffer quad;
    Pipeline compute;
    Bindings computeBindings;
    Pipeline draw;
    Bindings drawBindings;
};

class Frames {
  public:
    static constexpr uint32_t kInFlight = 2;

    void Create(const Device& d);
    // Waits for the GPU, then destroys the command buffers and their fences and semaphores.
    void Destroy(const Device& d);

    // `constants` is the whole block fxview uploads, `size` bytes.
    void Run(const Device& d, const Swapchain& s, const Scene& scene, const void* constants, uint32_t size);

  private:
    struct Slot {
        VkCommandPool pool = VK_NULL_HANDLE;
        VkCommandBuffer cmd = VK_NULL_HANDLE;
        VkFence done = VK_NULL_HANDLE;
        VkSemaphore acquired = VK_NULL_HANDLE;
    };

    void Record(VkCommandBuffer cmd, const Swapchain& s, uint32_t image, const Scene& scene,
                const void* constants, uint32_t size);

    Slot slots_[kInFlight];
    uint32_t current_ = 0;
};

} // namespace baseline
