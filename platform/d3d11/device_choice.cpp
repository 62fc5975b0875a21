#include "device_choice.h"

#include "enumerate.h"
#include "vk_result.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool HasDeviceExtension(VkPhysicalDevice physical, const char* name) {
    std::vector<VkExtensionProperties> extensions;
    const platform::VkStatus status{"vkEnumerateDeviceExtensionProperties",
                                    platform::d3d11::Enumerate<VkExtensionProperties>(
                                        [&](uint32_t* count, VkExtensionProperties* data) {
                                            return vkEnumerateDeviceExtensionProperties(physical, nullptr,
                                                                                        count, data);
                                        },
                                        &extensions)};
    // A device whose extensions cannot be read is taken to have none.
    if (!status.Ok())
        platform::d3d11::Fail(status);
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

// Why the layer cannot drive a device, or an empty string when it can: it needs Vulkan 1.3, push
// descriptors, robust and null descriptors, the swapchain extension when presenting, and one queue
// family with graphics, compute and present.
std::string Refusal(VkPhysicalDevice physical, VkSurfaceKHR surface, platform::d3d11::Candidate* out) {
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
    platform::d3d11::Enumerate<VkQueueFamilyProperties>(
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
            platform::d3d11::Fail({"vkGetPhysicalDeviceSurfaceSupportKHR", result});
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
    platform::d3d11::Candidate candidate;
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

} // namespace

namespace platform::d3d11 {

std::vector<std::string>& HiddenFeatures() {
    static std::vector<std::string> hidden;
    return hidden;
}

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

platform::VkStatus ChoosePhysicalDevice(VkInstance instance, VkSurfaceKHR surface, Candidate* chosen) {
    std::vector<VkPhysicalDevice> devices;
    const platform::VkStatus listing{"vkEnumeratePhysicalDevices",
                                     Enumerate<VkPhysicalDevice>(
                                         [&](uint32_t* count, VkPhysicalDevice* data) {
                                             return vkEnumeratePhysicalDevices(instance, count, data);
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

} // namespace platform::d3d11
