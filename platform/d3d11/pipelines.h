// Pipelines built once per combination of shaders, input layout, topology and render-target formats,
// then cached; each has a push-descriptor set layout made of exactly the bindings its shaders use.
// Shaders of identical code share an id, and the pipelines of the last few released shader codes are
// kept: an F5 reload that changes one stage builds pipelines for that stage only, as a driver's
// shader cache would, instead of having the device compile the unchanged one again.
// No depth, blending or multisampling: Direct3D 11's default states throughout.
#pragma once

#include "frames.h"
#include "registers.h"
#include "shader_blob.h"
#include "vk_status.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::d3d11 {

constexpr uint32_t kMaxRenderTargets = 8;
constexpr uint32_t kMaxVertexSlots = 32;
constexpr uint32_t kMaxPipelineBindings = 32;
constexpr uint32_t kShaderStages = 4; // indexed by platform::ShaderStage

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
    std::vector<platform::ShaderInput> outputs;
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

    // Null in `out`, with success, when the pixel stage reads an input the stage before it does not
    // write: such a pair draws nothing, and the first build says so once on standard error.
    platform::VkStatus Graphics(const GraphicsState& state, const Pipeline** out);
    VkResult Compute(const ShaderCode& cs, const Pipeline** out);

    // The id for shader code: that of identical code (stage, entry point and SPIR-V) still known,
    // live or among the last released, else `fresh`. Each call is matched by a ReleaseCode.
    uint64_t CodeId(platform::ShaderStage stage, const std::string& entry, const std::vector<uint32_t>& spirv,
                    uint64_t fresh);
    // A shader with this code id is gone; once no shader has the code, its pipelines are kept for
    // kKeptCodes more released codes, then go after the current frame.
    void ReleaseCode(uint64_t id);
    // An input layout is gone: the pipelines made with it go after the current frame.
    void Forget(uint64_t id);

    static constexpr size_t kKeptCodes = 8;

  private:
    struct Entry {
        uint64_t vs = 0, gs = 0, ps = 0, cs = 0, input = 0;
        VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
        uint32_t targetCount = 0;
        VkFormat targets[kMaxRenderTargets] = {};
        Pipeline pipeline;
        bool linked = true; // false: the stages do not link, and `pipeline` is empty
    };

    VkResult MakeLayout(const ShaderCode* const* stages, uint32_t stageCount, Pipeline* pipeline);
    // Keeps a new entry whose pipeline was made with `result`, or frees its layouts when that failed.
    VkResult Keep(std::unique_ptr<Entry> entry, VkResult result, const Pipeline** out);
    void Release(const Entry& entry);
    // The pixel module of `state` as the pipeline takes it: its own, or `*linked`, made with its inputs
    // moved to the outputs of the stage before it; `*unlinked` when they do not link.
    platform::VkStatus LinkedPixelModule(const GraphicsState& state, VkShaderModule* module,
                                         VkShaderModule* linked, bool* unlinked);

    struct Code {
        uint64_t id;
        platform::ShaderStage stage;
        std::string entry;
        std::vector<uint32_t> spirv;
        uint32_t users;
        uint64_t releasedAt; // when the last shader with the code went; 0 while one lives
    };

    const Vulkan* vk_ = nullptr;
    FrameRing* frames_ = nullptr;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<Code> codes_;
    uint64_t releases_ = 0;
};

} // namespace platform::d3d11
