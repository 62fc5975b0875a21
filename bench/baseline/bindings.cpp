// Set layouts from the registers each stage uses, and their one-time descriptor writes.
#include "bindings.h"

#include "check.h"

#include <map>

namespace baseline {

namespace {

constexpr uint32_t kMostDescriptors = 2 * platform::kMostRegisters;

struct Slot {
    VkDescriptorType type;
    VkShaderStageFlags stages;
    VkBuffer buffer;
    VkDeviceSize size;
};

} // namespace

VkDescriptorPool CreateDescriptorPool(const Device& d) {
    VkDescriptorPoolSize sizes[2] = {{VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, kMostDescriptors},
                                     {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, kMostDescriptors}};
    VkDescriptorPoolCreateInfo info = {VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
    info.maxSets = 2;
    info.poolSizeCount = 2;
    info.pPoolSizes = sizes;
    VkDescriptorPool pool;
    Check(vkCreateDescriptorPool(d.device, &info, nullptr, &pool), "vkCreateDescriptorPool");
    return pool;
}

Bindings CreateBindings(const Device& d, VkDescriptorPool pool, const std::vector<StageUse>& stages,
                        const Buffer& constants, const Buffer& screen) {
    using platform::RegisterClass;
    std::map<uint32_t, Slot> slots;
    for (const StageUse& use : stages) {
        for (uint32_t cls = 0; cls < platform::kRegisterClassCount; ++cls) {
            for (uint32_t reg = 0; reg < platform::kRegisterCount[cls]; ++reg) {
                if (!use.shader->usedRegisters[cls].test(reg))
                    continue;
                Slot slot;
                if (cls == static_cast<uint32_t>(RegisterClass::ConstantBuffer) && reg == 0)
                    slot = {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 0, constants.buffer, constants.size};
                else if (cls == static_cast<uint32_t>(RegisterClass::UnorderedAccess) &&
                         reg == use.screenRegister)
                    slot = {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, 0, screen.buffer, screen.size};
                else
                    Fail(use.shader->entryPoint.c_str(), "uses a register that fxview leaves unbound");
                uint32_t binding = platform::BindingOf(static_cast<RegisterClass>(cls), reg);
                auto [it, added] = slots.emplace(binding, slot);
                if (!added && it->second.buffer != slot.buffer)
                    Fail(use.shader->entryPoint.c_str(), "one register holds two different buffers");
                it->second.stages |= use.stage;
            }
        }
    }

    std::vector<VkDescriptorSetLayoutBinding> layoutBindings;
    for (const auto& [binding, slot] : slots)
        layoutBindings.push_back({binding, slot.type, 1, slot.stages, nullptr});
    Bindings b;
    VkDescriptorSetLayoutCreateInfo layoutInfo = {VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
    layoutInfo.bindingCount = static_cast<uint32_t>(layoutBindings.size());
    layoutInfo.pBindings = layoutBindings.data();
    Check(vkCreateDescriptorSetLayout(d.device, &layoutInfo, nullptr, &b.layout),
          "vkCreateDescriptorSetLayout");
    VkDescriptorSetAllocateInfo allocation = {VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
    allocation.descriptorPool = pool;
    allocation.descriptorSetCount = 1;
    allocation.pSetLayouts = &b.layout;
    Check(vkAllocateDescriptorSets(d.device, &allocation, &b.set), "vkAllocateDescriptorSets");

    std::vector<VkDescriptorBufferInfo> infos;
    infos.reserve(slots.size());
    std::vector<VkWriteDescriptorSet> writes;
    for (const auto& [binding, slot] : slots) {
        infos.push_back({slot.buffer, 0, slot.size});
        VkWriteDescriptorSet write = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        write.dstSet = b.set;
        write.dstBinding = binding;
        write.descriptorCount = 1;
        write.descriptorType = slot.type;
        write.pBufferInfo = &infos.back();
        writes.push_back(write);
    }
    vkUpdateDescriptorSets(d.device, static_cast<uint32_t>(writes.size()), writes.data(), 0, nullptr);
    return b;
}

} // namespace baseline
