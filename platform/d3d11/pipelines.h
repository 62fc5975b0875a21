// Pipelines built once per combination of shaders, input layout, topology and render-target formats,
// then cached; each has a push-descriptor set layout made of exactly the bindings its shaders use.
// No depth, blending or multisampling: Direct3D 11's default states throughout.
#pragma once

#include "frames.h"
#include "registers.h"
#include "shader_blob.h"

#include <memory>
#include <string>
#include <vector>

namespace d3d11 {

constexpr uint32_t kMaxRenderTargets = 8;
constexpr uint32_t kMaxVertexSlots = 32;
constexpr uint32_t kMaxPipelineBindings = 32;

// A resource a shader declares, with the Vulkan binding the device gave it (its register's binding
// from the shared table, moved into the range of its stage).
struct ShaderBinding {
    uint32_t binding;
    VkDescriptorType type;
    platform::RegisterClass registerClass;
    uint32_t reg;
};

// What the device keeps of a compiled shader.
struct ShaderCode {
    uint64_t id = 0;
    platform::ShaderStage stage = platform::ShaderStage::Vertex;
    VkShaderModule module = VK_NULL_HANDLE;
    std::string entry;
    std::vector<ShaderBinding> bindings;
    std::vector<platform::ShaderInput> inputs;
};

struct VertexInputs {
    uint64_t id = 0;
    uint32_t attributeCount = 0;
    VkVertexInputAttributeDescription attributes[kMaxVertexSlots] = {};
    uint32_t bindingCount = 0;
    VkVertexInputBindingDescription bindings[kMaxVertexSlots] = {};
    uint32_t extent[kMaxVertexSlots] = {}; // per slot: the end of the last element the shader reads
};

// The first binding of each stage's range: stages bind their registers independently, as in Direct3D.
uint32_t StageBindingBase(platform::ShaderStage stage);
VkShaderStageFlagBits ToVkShaderStage(platform::ShaderStage stage);

struct PipelineBinding {
    ShaderBinding resource;
    platform::ShaderStage stage;
};

struct Pipeline {
    VkPipeline pipeline = VK_NULL_HANDLE;
    VkPipelineLayout layout = VK_NULL_HANDLE;
    VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
    uint32_t bindingCount = 0;
    PipelineBinding bindings[kMaxPipelineBindings] = {};
};

struct GraphicsState {
    const ShaderCode* vs = nullptr;
    const ShaderCode* gs = nullptr;
    const ShaderCode* ps = nullptr;
    const VertexInputs* input = nullptr;
    VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    uint32_t targetCount = 0;
    VkFormat targets[kMaxRenderTargets] = {};
};

class PipelineCache {
  public:
    void Init(const Vulkan* vk, FrameRing* frames);
    void Destroy();

    VkResult Graphics(const GraphicsState& state, const Pipeline** out);
    VkResult Compute(const ShaderCode& cs, const Pipeline** out);

    // A shader or input layout is gone: the pipelines made with it go after the current frame.
    void Forget(uint64_t id);

  private:
    struct Entry {
        uint64_t vs = 0, gs = 0, ps = 0, cs = 0, input = 0;
        VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
        uint32_t targetCount = 0;
        VkFormat targets[kMaxRenderTargets] = {};
        Pipeline pipeline;
    };

    VkResult MakeLayout(const ShaderCode* const* stages, uint32_t stageCount, Pipeline* pipeline);
    void Release(const Pipeline& pipeline);

    const Vulkan* vk_ = nullptr;
    FrameRing* frames_ = nullptr;
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace d3d11
