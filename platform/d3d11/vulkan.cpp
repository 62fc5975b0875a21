#include "vulkan.h"

#include "enumerate.h"
#include "vk_result.h"

#include "window_system.h"

#include <testing.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Process-wide: messages are counted across every device the process makes.
struct ValidationState {
    std::atomic<long> messages{0};
};

ValidationState& Validation() {
    static ValidationState state;
    return state;
}

// Best-practices hints are shown but not counted as faults: some remain by design, as the small
// allocations of small buffers.
VKAPI_ATTR VkBool32 VKAPI_CALL OnValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT,
                                                   VkDebugUtilsMessageTypeFlagsEXT,
                                                   const VkDebugUtilsMessengerCallbackDataEXT* data, void*) {
    const bool hint = data->pMessageIdName && std::strstr(data->pMessageIdName, "BestPractices");
    if (!hint)
        ++Validation().messages;
    std::fprintf(stderr, "fxview vulkan %s: %s\n", hint ? "best practices" : "validation", data->pMessage);
    return VK_FALSE;
}

// What FXVIEW_VALIDATION asks for: `1` the validation layer with synchronization validation, `all`
// best practices too; unset, empty or `0` none.
enum class Checks { None, Sync, All };

// Said once per process, however many devices are made.
void SayOnce(std::atomic<bool>* said, const std::string& line) {
    if (!said->exchange(true))
        std::fprintf(stderr, "fxview platform: %s\n", line.c_str());
}

Checks RequestedChecks() {
    const char* value = std::getenv("FXVIEW_VALIDATION");
    if (!value || !*value || std::strcmp(value, "0") == 0)
        return Checks::None;
    if (std::strcmp(value, "all") == 0)
        return Checks::All;
    static std::atomic<bool> said{false};
    if (std::strcmp(value, "1") != 0)
        SayOnce(&said, std::string("FXVIEW_VALIDATION=") + value + " is not 0, 1 or all; taken as 1");
    return Checks::Sync;
}

bool HasLayer(const char* name) {
    std::vector<VkLayerProperties> layers;
    const platform::VkStatus status{
        "vkEnumerateInstanceLayerProperties",
        d3d11::Enumerate<VkLayerProperties>(vkEnumerateInstanceLayerProperties, &layers)};
    if (!status.Ok()) {
        d3d11::Fail(status);
        return false;
    }
    for (const VkLayerProperties& layer : layers) {
        if (std::strcmp(layer.layerName, name) == 0)
            return true;
    }
    return false;
}

// The checks the validation layer can be asked for, None when it is missing; the layer's absence
// is said, since a run asked to validate would otherwise pass unchecked.
Checks AvailableChecks() {
    const Checks wanted = RequestedChecks();
    static std::atomic<bool> said{false};
    if (wanted != Checks::None && !HasLayer("VK_LAYER_KHRONOS_validation")) {
        SayOnce(&said, "FXVIEW_VALIDATION is set but VK_LAYER_KHRONOS_validation is not installed "
                       "(Debian: vulkan-validationlayers); running without validation");
        return Checks::None;
    }
    return wanted;
}

bool HasDeviceExtension(VkPhysicalDevice physical, const char* name) {
    std::vector<VkExtensionProperties> extensions;
    const platform::VkStatus status{"vkEnumerateDeviceExtensionProperties",
                                    d3d11::Enumerate<VkExtensionProperties>(
                                        [&](uint32_t* count, VkExtensionProperties* data) {
                                            return vkEnumerateDeviceExtensionProperties(physical, nullptr,
                                                                                        count, data);
                                        },
                                        &extensions)};
    // A device whose extensions cannot be read is taken to have none.
    if (!status.Ok())
        d3d11::Fail(status);
    for (const VkExtensionProperties& extension : extensions) {
        if (std::strcmp(extension.extensionName, name) == 0)
            return true;
    }
    return false;
}

// Discrete before integrated before virtual before CPU; anything else last.
int Preference(VkPhysicalDeviceType type) {
    switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU:
        return 4;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU:
        return 3;
    case VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU:
        return 2;
    case VK_PHYSICAL_DEVICE_TYPE_CPU:
        return 1;
    case VK_PHYSICAL_DEVICE_TYPE_OTHER:
        return 0;
    case VK_PHYSICAL_DEVICE_TYPE_MAX_ENUM:
        return 0;
    }
    return 0;
}

const char* TypeName(VkPhysicalDeviceType type) {
    switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU:
        return "discrete GPU";
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU:
        return "integrated GPU";
    case VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU:
        return "virtual GPU";
    case VK_PHYSICAL_DEVICE_TYPE_CPU:
        return "CPU";
    case VK_PHYSICAL_DEVICE_TYPE_OTHER:
        return "other";
    case VK_PHYSICAL_DEVICE_TYPE_MAX_ENUM:
        return "other";
    }
    return "other";
}

struct Candidate {
    VkPhysicalDevice physical = VK_NULL_HANDLE;
    uint32_t family = 0;
    bool fragmentStores = false;
    bool geometryShader = false;
    VkPhysicalDeviceFeatures offered = {};
};

// Features a test hides from the devices made after it; names as in VkPhysicalDeviceFeatures.
std::vector<std::string>& HiddenFeatures() {
    static std::vector<std::string> hidden;
    return hidden;
}

// The shader features HLSL code may need, each enabled when the device offers it and no test hides it.
VkPhysicalDeviceFeatures ShaderFeatures(const VkPhysicalDeviceFeatures& offered) {
    VkPhysicalDeviceFeatures enabled = {};
    const std::vector<std::string>& hidden = HiddenFeatures();
    auto take = [&](const char* name, VkBool32 offer, VkBool32* out) {
        *out = offer && std::find(hidden.begin(), hidden.end(), name) == hidden.end();
    };
    take("shaderFloat64", offered.shaderFloat64, &enabled.shaderFloat64);
    take("shaderInt64", offered.shaderInt64, &enabled.shaderInt64);
    take("shaderInt16", offered.shaderInt16, &enabled.shaderInt16);
    take("shaderStorageImageExtendedFormats", offered.shaderStorageImageExtendedFormats,
         &enabled.shaderStorageImageExtendedFormats);
    take("shaderStorageImageReadWithoutFormat", offered.shaderStorageImageReadWithoutFormat,
         &enabled.shaderStorageImageReadWithoutFormat);
    take("shaderStorageImageWriteWithoutFormat", offered.shaderStorageImageWriteWithoutFormat,
         &enabled.shaderStorageImageWriteWithoutFormat);
    return enabled;
}

// Why the layer cannot drive a device, or an empty string when it can: it needs Vulkan 1.3, push
// descriptors, robust and null descriptors, the swapchain extension when presenting, and one queue
// family with graphics, compute and present.
std::string Refusal(VkPhysicalDevice physical, VkSurfaceKHR surface, Candidate* out) {
    VkPhysicalDeviceProperties properties;
    vkGetPhysicalDeviceProperties(physical, &properties);
    if (properties.apiVersion < VK_API_VERSION_1_3)
        return "Vulkan " + std::to_string(VK_API_VERSION_MAJOR(properties.apiVersion)) + "." +
               std::to_string(VK_API_VERSION_MINOR(properties.apiVersion)) + " only, 1.3 needed";
    for (const char* extension :
         {VK_KHR_PUSH_DESCRIPTOR_EXTENSION_NAME, VK_EXT_ROBUSTNESS_2_EXTENSION_NAME}) {
        if (!HasDeviceExtension(physical, extension))
            return std::string("no ") + extension;
    }
    if (surface && !HasDeviceExtension(physical, VK_KHR_SWAPCHAIN_EXTENSION_NAME))
        return "no " VK_KHR_SWAPCHAIN_EXTENSION_NAME;

    VkPhysicalDeviceRobustness2FeaturesEXT robustness = {
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ROBUSTNESS_2_FEATURES_EXT};
    VkPhysicalDeviceVulkan12Features v12 = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES,
                                            &robustness};
    VkPhysicalDeviceVulkan13Features v13 = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES, &v12};
    VkPhysicalDeviceFeatures2 features = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &v13};
    vkGetPhysicalDeviceFeatures2(physical, &features);
    // Structured buffers are packed as Direct3D packs them, which only scalar block layout allows.
    if (!v12.scalarBlockLayout)
        return "no scalarBlockLayout";
    if (!robustness.nullDescriptor || !robustness.robustBufferAccess2 ||
        !features.features.robustBufferAccess)
        return "no nullDescriptor, robustBufferAccess or robustBufferAccess2";
    if (!v13.dynamicRendering || !v13.synchronization2)
        return "no dynamicRendering or synchronization2";

    std::vector<VkQueueFamilyProperties> families;
    d3d11::Enumerate<VkQueueFamilyProperties>(
        [&](uint32_t* count, VkQueueFamilyProperties* data) {
            vkGetPhysicalDeviceQueueFamilyProperties(physical, count, data);
        },
        &families);
    const VkQueueFlags needed = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
    for (uint32_t i = 0; i < families.size(); ++i) {
        if ((families[i].queueFlags & needed) != needed)
            continue;
        VkBool32 present = VK_TRUE;
        const VkResult result =
            surface ? vkGetPhysicalDeviceSurfaceSupportKHR(physical, i, surface, &present) : VK_SUCCESS;
        // A family whose support cannot be learnt is passed over, as one that cannot present.
        if (result != VK_SUCCESS) {
            d3d11::Fail({"vkGetPhysicalDeviceSurfaceSupportKHR", result});
            present = VK_FALSE;
        }
        if (!present)
            continue;
        out->physical = physical;
        out->family = i;
        out->fragmentStores = features.features.fragmentStoresAndAtomics;
        out->geometryShader = features.features.geometryShader;
        out->offered = features.features;
        return "";
    }
    return "no queue family with graphics, compute and present";
}

// One physical device as the choice sees it.
struct Listed {
    VkPhysicalDeviceProperties properties;
    Candidate candidate;
    std::string refusal;
};

// The device FXVIEW_DEVICE names, by index or by a part of its name; -1 when it names none.
int Named(const char* name, const std::vector<Listed>& listed) {
    const bool index = *name && std::strspn(name, "0123456789") == std::strlen(name);
    for (size_t i = 0; i < listed.size(); ++i) {
        if (index ? std::strtoul(name, nullptr, 10) == i
                  : std::strstr(listed[i].properties.deviceName, name) != nullptr)
            return static_cast<int>(i);
    }
    return -1;
}

// `fxview platform: using <name> (<type>, Vulkan x.y, driver <name> <info>)`, once per process, and
// a warning when a GPU was passed over for a CPU device, which draws a few frames a second.
void Announce(const Listed& chosen, const std::vector<Listed>& listed) {
    static std::atomic<bool> announced{false};
    if (announced.exchange(true))
        return;
    VkPhysicalDeviceDriverProperties driver = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES};
    VkPhysicalDeviceProperties2 properties = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &driver};
    vkGetPhysicalDeviceProperties2(chosen.candidate.physical, &properties);
    const uint32_t api = chosen.properties.apiVersion;
    std::fprintf(stderr, "fxview platform: using %s (%s, Vulkan %u.%u, driver %s %s)\n",
                 chosen.properties.deviceName, TypeName(chosen.properties.deviceType),
                 VK_API_VERSION_MAJOR(api), VK_API_VERSION_MINOR(api), driver.driverName, driver.driverInfo);
    if (chosen.properties.deviceType != VK_PHYSICAL_DEVICE_TYPE_CPU)
        return;
    for (const Listed& other : listed) {
        if (!other.refusal.empty() && other.properties.deviceType != VK_PHYSICAL_DEVICE_TYPE_CPU)
            std::fprintf(stderr, "fxview platform: warning: %s refused (%s); drawing on the CPU instead\n",
                         other.properties.deviceName, other.refusal.c_str());
    }
}

platform::VkStatus CreateInstance(d3d11::Vulkan* vk, bool present) {
    const Checks checks = AvailableChecks();
    const bool validate = checks != Checks::None;
    std::vector<const char*> extensions;
    if (present) {
        extensions.push_back(VK_KHR_SURFACE_EXTENSION_NAME);
        extensions.push_back(platform::WindowSurfaceExtension());
    }
    if (validate) {
        extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
        extensions.push_back(VK_EXT_VALIDATION_FEATURES_EXTENSION_NAME);
    }
    const char* layer = "VK_LAYER_KHRONOS_validation";
    // Hazards between commands are what the validation layer misses by default and what lavapipe,
    // running commands in order, never shows.
    const VkValidationFeatureEnableEXT enables[] = {
        VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT,
        VK_VALIDATION_FEATURE_ENABLE_BEST_PRACTICES_EXT};
    VkValidationFeaturesEXT features = {VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT};
    features.enabledValidationFeatureCount = checks == Checks::All ? 2 : 1;
    features.pEnabledValidationFeatures = enables;

    VkApplicationInfo app = {VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "fxview";
    app.pEngineName = "fxview d3d11";
    app.apiVersion = VK_API_VERSION_1_3;
    VkDebugUtilsMessengerCreateInfoEXT messenger = {VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    messenger.messageSeverity =
        VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    messenger.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    messenger.pfnUserCallback = OnValidationMessage;
    features.pNext = &messenger;
    VkInstanceCreateInfo info = {VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    info.pNext = validate ? &features : nullptr;
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
    return {"vkCreateDebugUtilsMessengerEXT", create(vk->instance, &messenger, nullptr, &vk->messenger)};
}

platform::VkStatus ChoosePhysicalDevice(d3d11::Vulkan* vk, VkSurfaceKHR surface, Candidate* chosen) {
    std::vector<VkPhysicalDevice> devices;
    const platform::VkStatus listing{"vkEnumeratePhysicalDevices",
                                     d3d11::Enumerate<VkPhysicalDevice>(
                                         [&](uint32_t* count, VkPhysicalDevice* data) {
                                             return vkEnumeratePhysicalDevices(vk->instance, count, data);
                                         },
                                         &devices)};
    if (!listing.Ok())
        return listing;
    std::vector<Listed> listed(devices.size());
    int best = -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        vkGetPhysicalDeviceProperties(devices[i], &listed[i].properties);
        listed[i].refusal = Refusal(devices[i], surface, &listed[i].candidate);
        if (listed[i].refusal.empty() && (best < 0 || Preference(listed[i].properties.deviceType) >
                                                          Preference(listed[best].properties.deviceType)))
            best = static_cast<int>(i);
    }
    const char* name = std::getenv("FXVIEW_DEVICE");
    if (name && *name) {
        best = Named(name, listed);
        if (best < 0 || !listed[best].refusal.empty()) {
            std::fprintf(stderr, "fxview platform: FXVIEW_DEVICE=%s %s; the devices are:\n", name,
                         best < 0 ? "names no Vulkan device" : "names a device the layer cannot use");
            for (size_t i = 0; i < listed.size(); ++i)
                std::fprintf(stderr, "fxview platform:   %zu: %s (%s)%s%s\n", i,
                             listed[i].properties.deviceName, TypeName(listed[i].properties.deviceType),
                             listed[i].refusal.empty() ? "" : ", ", listed[i].refusal.c_str());
            return {"vkEnumeratePhysicalDevices (FXVIEW_DEVICE names no usable device)",
                    VK_ERROR_INITIALIZATION_FAILED};
        }
    }
    if (best < 0) {
        for (const Listed& device : listed)
            std::fprintf(stderr, "fxview platform: %s refused: %s\n", device.properties.deviceName,
                         device.refusal.c_str());
        return {"vkEnumeratePhysicalDevices (no Vulkan 1.3 device with push descriptors, null "
                "descriptors and one graphics, compute and present queue)",
                VK_ERROR_INCOMPATIBLE_DRIVER};
    }
    Announce(listed[best], listed);
    *chosen = listed[best].candidate;
    return {};
}

platform::VkStatus CreateDevice(d3d11::Vulkan* vk, const Candidate& chosen, bool present) {
    vk->physical = chosen.physical;
    vk->queueFamily = chosen.family;
    vk->fragmentStores = chosen.fragmentStores;
    vk->geometryShader = chosen.geometryShader;
    vk->shaderFeatures = ShaderFeatures(chosen.offered);
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

namespace d3d11 {

platform::VkStatus CreateVulkan(Vulkan* vk, PresentTarget* target) {
    const bool present = target != nullptr;
    vk->debugChecks = RequestedChecks() != Checks::None;
    platform::VkStatus status = CreateInstance(vk, present);
    if (status.Ok() && present)
        status = platform::CreateWindowSurface(target->window, vk->instance, &target->surface);
    Candidate chosen;
    if (status.Ok())
        status = ChoosePhysicalDevice(vk, present ? target->surface : VK_NULL_HANDLE, &chosen);
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

} // namespace d3d11

namespace fxtest {

long ValidationMessages() {
    return Validation().messages.load();
}

void HideDeviceFeature(const char* name) {
    if (name)
        HiddenFeatures().push_back(name);
    else
        HiddenFeatures().clear();
}

} // namespace fxtest
