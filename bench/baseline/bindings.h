// Descriptor sets for the two pipelines, made of exactly the registers the shaders use and written
// once: b0 is the constant block in every stage, u0 the screen buffer for the compute stage and u1
// the same buffer for the pixel stage, as fxview binds them. Registers fxview does not bind are refused.
#pragma once

#include "buffers.h"
#include "shader_blob.h"

#include <vector>

namespace baseline {

// One shader as the binding table sees it: which registers it uses, in which Vulkan stage, and at
// which u register fxview binds the screen buffer for it.
struct StageUse {
    const platform::ShaderInfo* shader;
    VkShaderStageFlagBits stage;
    uint32_t screenRegister;
};

struct Bindings {
    VkDescriptorSetLayout layout = VK_NULL_HANDLE;
    VkDescriptorSet set = VK_NULL_HANDLE;
};

// A pool big enough for the compute and the graphics set.
VkDescriptorPool CreateDescriptorPool(const Device& d);

Bindings CreateBindings(const Device& d, VkDescriptorPool pool, const std::vector<StageUse>& stages,
                        const Buffer& constants, const Buffer& screen);

} // namespace baseline
