#include "vulkan.h"

#include "device_choice.h"
#include "validation.h"

#include "window_system.h"

#include <vector>

namespace {

platform::VkStatus CreateInstance(platform::d3d11::Vulkan* vk, bool present) {
    const platform::d3d11::Checks checks = platform::d3d11::AvailableChecks();
    const bool validate = checks != platform::d3d11::Checks::None;
    std::vector<const char*> extensions;
    if (present) {
        extensions.push_back(VK_KHR_SURFACE_EXTENSION_NAME);
        extensions.push_back(platform::win32::WindowSurfaceExtension());
    }
    if (validate) {
        extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
        extensions.push_back(VK_EXT_VALIDATION_FEATURES_EXTENSION_NAME);
    }
    const char* layer = "VK_LAYER_KHRONOS_validation";
    const platform::d3d11::ValidationSetup setup(checks);

    VkApplicationInfo app = {VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "fxview";
    app.pEngineName = "fxview d3d11";
    app.apiVersion = VK_API_VERSION_1_3;
    VkInstanceCreateInfo info = {VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    info.pNext = validate ? &setup.features : nullptr;
    info.pApplicationInfo = &app;
    info.enabledLayerCount = validate ? 1 : 0;
    info.ppEnabledLayerNames = &layer;
    info.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
    info.ppEnabledExtensionNames = extensions.data();
    const platform::VkStatus status{"vkCreateInstance", vkCreateInstance(&info, nullptr, &vk->instance)};
    if (!status.Ok() || !validate)
        return status;
    auto create = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(vk->instance, "vkCreateDebugUtilsMessengerEXT"));
    return {"vkCreateDebugUtilsMessengerEXT",
            create(vk->instance, &setup.messenger, nullptr, &vk->messenger)};
}

platform::VkStatus CreateDevice(platform::d3d11::Vulkan* vk, const platform::d3d11::Candidate& chosen,
                                bool present) {
    vk->physical = chosen.physical;
    vk->queueFamily = chosen.family;
    vk->fragmentStores = chosen.fragmentStores;
    vk->geometryShader = chosen.geometryShader;
    vk->shaderFeatures = platform::d3d11::ShaderFeatures(chosen.offered);
    vkGetPhysicalDeviceProperties(vk->physical, &vk->properties);
    vkGetPhysicalDeviceMemoryProperties(vk->physical, &vk->memory);
    VkPhysicalDevicePushDescriptorPropertiesKHR push = {
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PUSH_DESCRIPTOR_PROPERTIES_KHR};
    VkPhysicalDeviceProperties2 properties = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &push};
    vkGetPhysicalDeviceProperties2(vk->physical, &properties);
    vk->pushDescriptorLimit = push.maxPushDescriptors;

    float priority = 1.0f;
    VkDeviceQueueCreateInfo queue = {VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queue.queueFamilyIndex = vk->queueFamily;
    queue.queueCount = 1;
    queue.pQueuePriorities = &priority;

    VkPhysicalDeviceRobustness2FeaturesEXT robustness = {
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ROBUSTNESS_2_FEATURES_EXT};
    robustness.nullDescriptor = VK_TRUE;
    // Structured-buffer accesses past the end read zero and write nothing, as in Direct3D 11; the
    // compiler clamps every index so that none wraps back into the buffer.
    robustness.robustBufferAccess2 = VK_TRUE;
    VkPhysicalDeviceVulkan12Features v12 = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES,
                                            &robustness};
    v12.scalarBlockLayout = VK_TRUE;
    VkPhysicalDeviceVulkan13Features v13 = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES, &v12};
    v13.dynamicRendering = VK_TRUE;
    v13.synchronization2 = VK_TRUE;
    VkPhysicalDeviceFeatures2 features = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &v13};
    features.features = vk->shaderFeatures;
    features.features.robustBufferAccess = VK_TRUE;
    features.features.fragmentStoresAndAtomics = vk->fragmentStores;
    features.features.geometryShader = vk->geometryShader;

    const char* extensions[3] = {VK_KHR_PUSH_DESCRIPTOR_EXTENSION_NAME, VK_EXT_ROBUSTNESS_2_EXTENSION_NAME,
                                 VK_KHR_SWAPCHAIN_EXTENSION_NAME};
    VkDeviceCreateInfo info = {VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, &features};
    info.queueCreateInfoCount = 1;
    info.pQueueCreateInfos = &queue;
    info.enabledExtensionCount = present ? 3 : 2;
    info.ppEnabledExtensionNames = extensions;
    const platform::VkStatus status{"vkCreateDevice",
                                    vkCreateDevice(vk->physical, &info, nullptr, &vk->device)};
    if (!status.Ok())
        return status;
    vkGetDeviceQueue(vk->device, vk->queueFamily, 0, &vk->queue);
    vk->cmdPushDescriptorSet = reinterpret_cast<PFN_vkCmdPushDescriptorSetKHR>(
        vkGetDeviceProcAddr(vk->device, "vkCmdPushDescriptorSetKHR"));
    return status;
}

} // namespace

namespace platform::d3d11 {

platform::VkStatus CreateVulkan(Vulkan* vk, PresentTarget* target) {
    const bool present = target != nullptr;
    vk->debugChecks = RequestedChecks() != Checks::None;
    platform::VkStatus status = CreateInstance(vk, present);
    if (status.Ok() && present)
        status = platform::win32::CreateWindowSurface(target->window, vk->instance, &target->surface);
    Candidate chosen;
    if (status.Ok())
        status = ChoosePhysicalDevice(vk->instance, present ? target->surface : VK_NULL_HANDLE, &chosen);
    if (status.Ok())
        status = CreateDevice(vk, chosen, present);
    if (!status.Ok()) {
        if (present && target->surface) {
            vkDestroySurfaceKHR(vk->instance, target->surface, nullptr);
            target->surface = VK_NULL_HANDLE;
        }
        DestroyVulkan(vk);
    }
    return status;
}

void DestroyVulkan(Vulkan* vk) {
    if (vk->device)
        vkDestroyDevice(vk->device, nullptr);
    if (vk->messenger) {
        auto destroy = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(vk->instance, "vkDestroyDebugUtilsMessengerEXT"));
        destroy(vk->instance, vk->messenger, nullptr);
    }
    if (vk->instance)
        vkDestroyInstance(vk->instance, nullptr);
    *vk = Vulkan{};
}

int FindMemoryType(const Vulkan& vk, uint32_t typeBits, VkMemoryPropertyFlags required,
                   VkMemoryPropertyFlags preferred) {
    int fallback = -1;
    for (uint32_t i = 0; i < vk.memory.memoryTypeCount; ++i) {
        VkMemoryPropertyFlags flags = vk.memory.memoryTypes[i].propertyFlags;
        if (!(typeBits & (1u << i)) || (flags & required) != required)
            continue;
        if ((flags & preferred) == preferred)
            return static_cast<int>(i);
        if (fallback < 0)
            fallback = static_cast<int>(i);
    }
    return fallback;
}

} // namespace platform::d3d11
