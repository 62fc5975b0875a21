#include "pipelines.h"

#include "hooks.h"
#include "linkage.h"
#include "slow_build.h"

#include <algorithm>

namespace platform::d3d11 {

uint32_t StageBindingBase(platform::ShaderStage stage) {
    const uint32_t range = platform::kBindingsPerStage;
    switch (stage) {
    case platform::ShaderStage::Vertex:
        return 0;
    case platform::ShaderStage::Pixel:
        return range;
    case platform::ShaderStage::Geometry:
        return 2 * range;
    case platform::ShaderStage::Compute:
        return 0;
    }
    return 0;
}

VkShaderStageFlagBits ToVkShaderStage(platform::ShaderStage stage) {
    switch (stage) {
    case platform::ShaderStage::Vertex:
        return VK_SHADER_STAGE_VERTEX_BIT;
    case platform::ShaderStage::Pixel:
        return VK_SHADER_STAGE_FRAGMENT_BIT;
    case platform::ShaderStage::Geometry:
        return VK_SHADER_STAGE_GEOMETRY_BIT;
    case platform::ShaderStage::Compute:
        return VK_SHADER_STAGE_COMPUTE_BIT;
    }
    return VK_SHADER_STAGE_ALL;
}

void PipelineCache::Init(const Vulkan* vk, FrameRing* frames) {
    vk_ = vk;
    frames_ = frames;
}

void PipelineCache::Destroy() {
    for (const std::unique_ptr<Entry>& entry : entries_)
        Release(*entry);
    entries_.clear();
    codes_.clear();
}

void PipelineCache::Release(const Entry& entry) {
    if (!entry.linked)
        return;
    const Pipeline& pipeline = entry.pipeline;
    platform::CountLive("VkPipeline", -1);
    frames_->Defer(GarbageKind::Pipeline, reinterpret_cast<uint64_t>(pipeline.pipeline));
    frames_->Defer(GarbageKind::PipelineLayout, reinterpret_cast<uint64_t>(pipeline.layout));
    frames_->Defer(GarbageKind::SetLayout, reinterpret_cast<uint64_t>(pipeline.setLayout));
}

uint64_t PipelineCache::CodeId(platform::ShaderStage stage, const std::string& entry,
                               const std::vector<uint32_t>& spirv, uint64_t fresh) {
    for (Code& code : codes_) {
        if (code.stage == stage && code.entry == entry && code.spirv == spirv) {
            ++code.users;
            code.releasedAt = 0;
            return code.id;
        }
    }
    codes_.push_back({fresh, stage, entry, spirv, 1, 0});
    return fresh;
}

void PipelineCache::ReleaseCode(uint64_t id) {
    auto code = std::find_if(codes_.begin(), codes_.end(), [id](const Code& c) { return c.id == id; });
    if (code == codes_.end() || --code->users > 0)
        return;
    code->releasedAt = ++releases_;
    const auto released = [](const Code& c) { return c.users == 0; };
    if (size_t(std::count_if(codes_.begin(), codes_.end(), released)) <= kKeptCodes)
        return;
    // The code released longest ago goes, with its pipelines.
    auto oldest = codes_.end();
    for (auto c = codes_.begin(); c != codes_.end(); ++c) {
        if (released(*c) && (oldest == codes_.end() || c->releasedAt < oldest->releasedAt))
            oldest = c;
    }
    Forget(oldest->id);
    codes_.erase(oldest);
}

void PipelineCache::Forget(uint64_t id) {
    for (size_t i = 0; i < entries_.size();) {
        const Entry& e = *entries_[i];
        if (e.vs == id || e.gs == id || e.ps == id || e.cs == id || e.input == id) {
            Release(e);
            entries_[i] = std::move(entries_.back());
            entries_.pop_back();
        } else {
            ++i;
        }
    }
}

VkResult PipelineCache::MakeLayout(const ShaderCode* const* stages, uint32_t stageCount, Pipeline* pipeline) {
    VkDescriptorSetLayoutBinding bindings[kMaxPipelineBindings];
    uint32_t count = 0;
    for (uint32_t s = 0; s < stageCount; ++s) {
        if (!stages[s])
            continue;
        for (const ShaderBinding& b : stages[s]->bindings) {
            if (count == kMaxPipelineBindings || count == vk_->pushDescriptorLimit)
                return VK_ERROR_TOO_MANY_OBJECTS;
            bindings[count] = {b.binding, b.type, 1,
                               static_cast<VkShaderStageFlags>(ToVkShaderStage(stages[s]->stage)), nullptr};
            pipeline->bindings[count] = {b, stages[s]->stage};
            ++count;
        }
    }
    pipeline->bindingCount = count;
    VkDescriptorSetLayoutCreateInfo setInfo = {VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
    setInfo.flags = VK_DESCRIPTOR_SET_LAYOUT_CREATE_PUSH_DESCRIPTOR_BIT_KHR;
    setInfo.bindingCount = count;
    setInfo.pBindings = bindings;
    VkResult result = vkCreateDescriptorSetLayout(vk_->device, &setInfo, nullptr, &pipeline->setLayout);
    if (result != VK_SUCCESS)
        return result;
    VkPipelineLayoutCreateInfo layoutInfo = {VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    layoutInfo.setLayoutCount = 1;
    layoutInfo.pSetLayouts = &pipeline->setLayout;
    result = vkCreatePipelineLayout(vk_->device, &layoutInfo, nullptr, &pipeline->layout);
    if (result != VK_SUCCESS) {
        vkDestroyDescriptorSetLayout(vk_->device, pipeline->setLayout, nullptr);
        pipeline->setLayout = VK_NULL_HANDLE;
    }
    return result;
}

namespace {

// Direct3D 11's default state for everything but the shaders, filled in place: its parts point at
// one another.
struct FixedFunction {
    VkPipelineVertexInputStateCreateInfo vertexInput;
    VkPipelineInputAssemblyStateCreateInfo assembly;
    VkPipelineViewportStateCreateInfo viewport;
    VkPipelineRasterizationStateCreateInfo raster;
    VkPipelineMultisampleStateCreateInfo multisample;
    VkPipelineColorBlendAttachmentState blend[kMaxRenderTargets] = {};
    VkPipelineColorBlendStateCreateInfo colorBlend;
    VkPipelineDynamicStateCreateInfo dynamic;
    VkPipelineRenderingCreateInfo rendering;
};

constexpr VkDynamicState kDynamics[3] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR,
                                         VK_DYNAMIC_STATE_VERTEX_INPUT_BINDING_STRIDE};

void FillFixedFunction(const GraphicsState& state, FixedFunction* f) {
    f->vertexInput = {VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    if (state.input) {
        f->vertexInput.vertexBindingDescriptionCount = state.input->bindingCount;
        f->vertexInput.pVertexBindingDescriptions = state.input->bindings;
        f->vertexInput.vertexAttributeDescriptionCount = state.input->attributeCount;
        f->vertexInput.pVertexAttributeDescriptions = state.input->attributes;
    }
    f->assembly = {VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    f->assembly.topology = state.topology;
    f->viewport = {VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    f->viewport.viewportCount = 1;
    f->viewport.scissorCount = 1;
    // Direct3D 11's default rasterizer state: solid, back faces culled, clockwise triangles in front.
    // With the viewport flipped to make clip-space y point up, clockwise on screen stays clockwise.
    f->raster = {VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    f->raster.polygonMode = VK_POLYGON_MODE_FILL;
    f->raster.cullMode = VK_CULL_MODE_BACK_BIT;
    f->raster.frontFace = VK_FRONT_FACE_CLOCKWISE;
    f->raster.lineWidth = 1.0f;
    f->multisample = {VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    f->multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    // Without a pixel stage Direct3D 11 leaves the targets as they are; a GPU would write undefined
    // values through a pipeline that writes colour with no fragment shader.
    for (uint32_t i = 0; i < state.targetCount && state.ps; ++i)
        f->blend[i].colorWriteMask = VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT |
                                     VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
    f->colorBlend = {VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    f->colorBlend.attachmentCount = state.targetCount;
    f->colorBlend.pAttachments = f->blend;
    f->dynamic = {VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    f->dynamic.dynamicStateCount = 3;
    f->dynamic.pDynamicStates = kDynamics;
    f->rendering = {VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    f->rendering.colorAttachmentCount = state.targetCount;
    f->rendering.pColorAttachmentFormats = state.targets;
}

// The stages present among `stages`, and their entry points quoted for a slow build's notice.
uint32_t StageInfos(const ShaderCode* const (&stages)[3], VkPipelineShaderStageCreateInfo* stageInfo,
                    std::string* entries) {
    uint32_t stageCount = 0;
    for (const ShaderCode* code : stages) {
        if (!code)
            continue;
        *entries += (entries->empty() ? "'" : "' and '") + code->entry;
        stageInfo[stageCount] = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
        stageInfo[stageCount].stage = ToVkShaderStage(code->stage);
        stageInfo[stageCount].module = code->module;
        stageInfo[stageCount].pName = code->entry.c_str();
        ++stageCount;
    }
    return stageCount;
}

} // namespace

platform::VkStatus PipelineCache::LinkedPixelModule(const GraphicsState& state, VkShaderModule* module,
                                                    VkShaderModule* linked, bool* unlinked) {
    *module = state.ps->module;
    const ShaderCode* from = state.gs ? state.gs : state.vs;
    auto code =
        std::find_if(codes_.begin(), codes_.end(), [&](const Code& c) { return c.id == state.ps->id; });
    if (!from || code == codes_.end())
        return {};
    std::vector<uint32_t> moved;
    std::string why;
    if (!LinkPixelInputs(*from, *state.ps, code->spirv, &moved, &why)) {
        platform::LogFailure("Draw", (why + "; nothing is drawn").c_str());
        *unlinked = true;
        return {};
    }
    if (moved.empty())
        return {};
    VkShaderModuleCreateInfo info = {VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = moved.size() * sizeof(uint32_t);
    info.pCode = moved.data();
    const VkResult result = vkCreateShaderModule(vk_->device, &info, nullptr, linked);
    if (result == VK_SUCCESS)
        *module = *linked;
    return {"vkCreateShaderModule", result};
}

platform::VkStatus PipelineCache::Graphics(const GraphicsState& state, const Pipeline** out) {
    const uint64_t vs = state.vs ? state.vs->id : 0;
    const uint64_t gs = state.gs ? state.gs->id : 0;
    const uint64_t ps = state.ps ? state.ps->id : 0;
    const uint64_t input = state.input ? state.input->id : 0;
    for (const std::unique_ptr<Entry>& e : entries_) {
        if (e->vs == vs && e->gs == gs && e->ps == ps && e->cs == 0 && e->input == input &&
            e->topology == state.topology && e->targetCount == state.targetCount &&
            std::equal(e->targets, e->targets + e->targetCount, state.targets)) {
            *out = e->linked ? &e->pipeline : nullptr;
            return {};
        }
    }

    auto entry = std::make_unique<Entry>();
    entry->vs = vs;
    entry->gs = gs;
    entry->ps = ps;
    entry->input = input;
    entry->topology = state.topology;
    entry->targetCount = state.targetCount;
    std::copy(state.targets, state.targets + state.targetCount, entry->targets);
    VkShaderModule psModule = VK_NULL_HANDLE, linked = VK_NULL_HANDLE;
    bool unlinked = false;
    if (state.ps) {
        const platform::VkStatus status = LinkedPixelModule(state, &psModule, &linked, &unlinked);
        if (!status.Ok())
            return status;
    }
    if (unlinked) {
        // Kept, so that the next draws of the pair find it and draw nothing without a word.
        entry->linked = false;
        entries_.push_back(std::move(entry));
        *out = nullptr;
        return {};
    }
    const ShaderCode* stages[3] = {state.vs, state.gs, state.ps};
    VkResult result = MakeLayout(stages, 3, &entry->pipeline);
    if (result != VK_SUCCESS) {
        vkDestroyShaderModule(vk_->device, linked, nullptr);
        return {"vkCreateGraphicsPipelines", result};
    }

    VkPipelineShaderStageCreateInfo stageInfo[3];
    std::string entries;
    const uint32_t stageCount = StageInfos(stages, stageInfo, &entries);
    if (state.ps)
        stageInfo[stageCount - 1].module = psModule;
    FixedFunction f;
    FillFixedFunction(state, &f);

    VkGraphicsPipelineCreateInfo info = {VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO, &f.rendering};
    info.stageCount = stageCount;
    info.pStages = stageInfo;
    info.pVertexInputState = &f.vertexInput;
    info.pInputAssemblyState = &f.assembly;
    info.pViewportState = &f.viewport;
    info.pRasterizationState = &f.raster;
    info.pMultisampleState = &f.multisample;
    info.pColorBlendState = &f.colorBlend;
    info.pDynamicState = &f.dynamic;
    info.layout = entry->pipeline.layout;
    {
        SlowBuildNotice notice("the graphics pipeline of " + entries + "'");
        result = vkCreateGraphicsPipelines(vk_->device, VK_NULL_HANDLE, 1, &info, nullptr,
                                           &entry->pipeline.pipeline);
    }
    // A pipeline keeps what it needs of its modules: the moved one is not needed past its build.
    vkDestroyShaderModule(vk_->device, linked, nullptr);
    return {"vkCreateGraphicsPipelines", Keep(std::move(entry), result, out)};
}

VkResult PipelineCache::Keep(std::unique_ptr<Entry> entry, VkResult result, const Pipeline** out) {
    if (result != VK_SUCCESS) {
        vkDestroyPipelineLayout(vk_->device, entry->pipeline.layout, nullptr);
        vkDestroyDescriptorSetLayout(vk_->device, entry->pipeline.setLayout, nullptr);
        return result;
    }
    platform::CountLive("VkPipeline", +1);
    entries_.push_back(std::move(entry));
    *out = &entries_.back()->pipeline;
    return VK_SUCCESS;
}

VkResult PipelineCache::Compute(const ShaderCode& cs, const Pipeline** out) {
    for (const std::unique_ptr<Entry>& e : entries_) {
        if (e->cs == cs.id) {
            *out = &e->pipeline;
            return VK_SUCCESS;
        }
    }
    auto entry = std::make_unique<Entry>();
    entry->cs = cs.id;
    const ShaderCode* stages[1] = {&cs};
    VkResult result = MakeLayout(stages, 1, &entry->pipeline);
    if (result != VK_SUCCESS)
        return result;
    VkComputePipelineCreateInfo info = {VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    info.stage.stage = VK_SHADER_STAGE_COMPUTE_BIT;
    info.stage.module = cs.module;
    info.stage.pName = cs.entry.c_str();
    info.layout = entry->pipeline.layout;
    {
        SlowBuildNotice notice("the compute pipeline of '" + cs.entry + "'");
        result = vkCreateComputePipelines(vk_->device, VK_NULL_HANDLE, 1, &info, nullptr,
                                          &entry->pipeline.pipeline);
    }
    return Keep(std::move(entry), result, out);
}

} // namespace platform::d3d11
