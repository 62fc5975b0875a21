// The compute pipeline and the full-screen-quad graphics pipeline, built once from the compiled
// stages with Direct3D 11's default states: no blending, no depth, back faces culled, clockwise
// front faces, and a viewport flipped so that clip-space y points up as it does in Direct3D.
#pragma once

#include "bindings.h"

namespace baseline {

struct Pipeline {
    VkPipelineLayout layout = VK_NULL_HANDLE;
    VkPipeline pipeline = VK_NULL_HANDLE;
};

Pipeline CreateComputePipeline(const Device& d, const platform::ShaderInfo& cs, VkDescriptorSetLayout set);

// Vertex input: one float3 POSITION per 12-byte vertex in binding 0, as fxview's input layout says.
Pipeline CreateQuadPipeline(const Device& d, const platform::ShaderInfo& vs, const platform::ShaderInfo& ps,
                            VkDescriptorSetLayout set, VkFormat target, VkExtent2D extent);

void DestroyPipeline(const Device& d, Pipeline& p);

} // namespace baseline
