// Shader modules, pipeline layouts and the two pipelines.
#include "pipelines.h"

#include "check.h"

namespace baseline {

namespace {

VkShaderModule CreateModule(const Device& d, const platform::ShaderInfo& shader) {
    VkShaderModuleCreateInfo info = {VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = shader.spirv.size() * sizeof(uint32_t);
    info.pCode = shader.spirv.data();
    VkShaderModule module;
    Check(vkCreateShaderModule(d.device, &info, nullptr, &module), "vkCreateShaderModule");
    return module;
}

VkPipelineLayout CreateLayout(const Device& d, VkDescriptorSetLayout set) {
    VkPipelineLayoutCreateInfo info = {VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    info.setLayoutCount = 1;
    info.pSetLayouts = &set;
    VkPipelineLayout layout;
    Check(vkCreatePipelineLayout(d.device, &info, nullptr, &layout), "vkCreatePipelineLayout");
    return layout;
}

VkPipelineShaderStageCreateInfo Stage(VkShaderStageFlagBits stage, VkShaderModule module,
                                      const platform::ShaderInfo& shader) {
    VkPipelineShaderStageCreateInfo info = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    info.stage = stage;
    info.module = module;
    info.pName = shader.entryPoint.c_str();
    return info;
}

} // namespace

Pipeline CreateComputePipeline(const Device& d, const platform::ShaderInfo& cs, VkDescriptorSetLayout set) {
    Pipeline p;
    p.layout = CreateLayout(d, set);
    VkShaderModule module = CreateModule(d, cs);
    VkComputePipelineCreateInfo info = {VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = Stage(VK_SHADER_STAGE_COMPUTE_BIT, module, cs);
    info.layout = p.layout;
    Check(vkCreateComputePipelines(d.device, VK_NULL_HANDLE, 1, &info, nullptr, &p.pipeline),
          "vkCreateComputePipelines");
    vkDestroyShaderModule(d.device, module, nullptr);
    return p;
}

Pipeline CreateQuadPipeline(const Device& d, const platform::ShaderInfo& vs, const platform::ShaderInfo& ps,
                            VkDescriptorSetLayout set, VkFormat target, VkExtent2D extent) {
    Pipeline p;
    p.layout = CreateLayout(d, set);
    VkShaderModule modules[2] = {CreateModule(d, vs), CreateModule(d, ps)};
    VkPipelineShaderStageCreateInfo stages[2] = {Stage(VK_SHADER_STAGE_VERTEX_BIT, modules[0], vs),
                                                 Stage(VK_SHADER_STAGE_FRAGMENT_BIT, modules[1], ps)};

    VkVertexInputBindingDescription vertexBinding = {0, 12, VK_VERTEX_INPUT_RATE_VERTEX};
    VkVertexInputAttributeDescription position = {0, 0, VK_FORMAT_R32G32B32_SFLOAT, 0};
    uint32_t attributeCount = 0;
    for (const platform::ShaderInput& input : vs.inputs) {
        if (input.semantic == "POSITION" && input.semanticIndex == 0) {
            position.location = input.location;
            attributeCount = 1;
        } else {
            Fail(vs.entryPoint.c_str(), "reads a vertex input other than POSITION");
        }
    }
    VkPipelineVertexInputStateCreateInfo vertexInput = {
        VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    vertexInput.vertexBindingDescriptionCount = 1;
    vertexInput.pVertexBindingDescriptions = &vertexBinding;
    vertexInput.vertexAttributeDescriptionCount = attributeCount;
    vertexInput.pVertexAttributeDescriptions = &position;

    VkPipelineInputAssemblyStateCreateInfo assembly = {
        VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    assembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP;

    const float width = static_cast<float>(extent.width);
    const float height = static_cast<float>(extent.height);
    VkViewport viewport = {0.0f, height, width, -height, 0.0f, 1.0f};
    VkRect2D scissor = {{0, 0}, extent};
    VkPipelineViewportStateCreateInfo viewportState = {VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    viewportState.viewportCount = 1;
    viewportState.pViewports = &viewport;
    viewportState.scissorCount = 1;
    viewportState.pScissors = &scissor;

    VkPipelineRasterizationStateCreateInfo raster = {
        VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    raster.polygonMode = VK_POLYGON_MODE_FILL;
    raster.cullMode = VK_CULL_MODE_BACK_BIT;
    // The flipped viewport keeps on-screen winding, so Direct3D's clockwise front stays clockwise.
    raster.frontFace = VK_FRONT_FACE_CLOCKWISE;
    raster.lineWidth = 1.0f;

    VkPipelineMultisampleStateCreateInfo multisample = {
        VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;

    VkPipelineColorBlendAttachmentState blendTarget = {};
    blendTarget.colorWriteMask = VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT |
                                 VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
    VkPipelineColorBlendStateCreateInfo blend = {VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    blend.attachmentCount = 1;
    blend.pAttachments = &blendTarget;

    VkPipelineRenderingCreateInfo rendering = {VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachmentFormats = &target;

    VkGraphicsPipelineCreateInfo info = {VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO, &rendering};
    info.stageCount = 2;
    info.pStages = stages;
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &assembly;
    info.pViewportState = &viewportState;
    info.pRasterizationState = &raster;
    info.pMultisampleState = &multisample;
    info.pColorBlendState = &blend;
    info.layout = p.layout;
    Check(vkCreateGraphicsPipelines(d.device, VK_NULL_HANDLE, 1, &info, nullptr, &p.pipeline),
          "vkCreateGraphicsPipelines");
    for (VkShaderModule module : modules)
        vkDestroyShaderModule(d.device, module, nullptr);
    return p;
}

void DestroyPipeline(const Device& d, Pipeline& p) {
    vkDestroyPipeline(d.device, p.pipeline, nullptr);
    vkDestroyPipelineLayout(d.device, p.layout, nullptr);
    p = {};
}

} // namespace baseline
