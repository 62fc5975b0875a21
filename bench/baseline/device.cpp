// Instance, surface, physical device, logical device and queue.
#include "device.h"

#include "check.h"

#include <vector>

namespace baseline {

namespace {

int Rank(VkPhysicalDeviceType type) {
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

// The first family with graphics, compute and present to `surface`, or -1.
int QueueFamily(VkPhysicalDevice physical, VkSurfaceKHR surface) {
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(physical, &count, nullptr);
    std::vector<VkQueueFamilyProperties> families(count);
    vkGetPhysicalDeviceQueueFamilyProperties(physical, &count, families.data());
    const VkQueueFlags needed = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
    for (uint32_t i = 0; i < count; ++i) {
        VkBool32 present = VK_FALSE;
        Check(vkGetPhysicalDeviceSurfaceSupportKHR(physical, i, surface, &present),
              "vkGetPhysicalDeviceSurfaceSupportKHR");
        if ((families[i].queueFlags & needed) == needed && present)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

Device CreateDevice(Display* display, Window window) {
    Device d;
    VkApplicationInfo app = {VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "fxview baseline";
    app.apiVersion = VK_API_VERSION_1_3;
    const char* instanceExtensions[] = {VK_KHR_SURFACE_EXTENSION_NAME, VK_KHR_XLIB_SURFACE_EXTENSION_NAME};
    VkInstanceCreateInfo instanceInfo = {VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    instanceInfo.pApplicationInfo = &app;
    instanceInfo.enabledExtensionCount = 2;
    instanceInfo.ppEnabledExtensionNames = instanceExtensions;
    Check(vkCreateInstance(&instanceInfo, nullptr, &d.instance), "vkCreateInstance");

    VkXlibSurfaceCreateInfoKHR surfaceInfo = {VK_STRUCTURE_TYPE_XLIB_SURFACE_CREATE_INFO_KHR};
    surfaceInfo.dpy = display;
    surfaceInfo.window = window;
    Check(vkCreateXlibSurfaceKHR(d.instance, &surfaceInfo, nullptr, &d.surface), "vkCreateXlibSurfaceKHR");

    uint32_t count = 0;
    Check(vkEnumeratePhysicalDevices(d.instance, &count, nullptr), "vkEnumeratePhysicalDevices");
    std::vector<VkPhysicalDevice> physicals(count);
    Check(vkEnumeratePhysicalDevices(d.instance, &count, physicals.data()), "vkEnumeratePhysicalDevices");
    int bestRank = -1;
    for (VkPhysicalDevice physical : physicals) {
        VkPhysicalDeviceProperties properties;
        vkGetPhysicalDeviceProperties(physical, &properties);
        int family = QueueFamily(physical, d.surface);
        if (properties.apiVersion < VK_API_VERSION_1_3 || family < 0 ||
            Rank(properties.deviceType) <= bestRank)
            continue;
        bestRank = Rank(properties.deviceType);
        d.physical = physical;
        d.queueFamily = static_cast<uint32_t>(family);
    }
    if (!d.physical)
        Fail("vkEnumeratePhysicalDevices", "no Vulkan 1.3 device can draw and present to the window");
    vkGetPhysicalDeviceMemoryProperties(d.physical, &d.memory);

    float priority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo = {VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = d.queueFamily;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &priority;
    VkPhysicalDeviceVulkan13Features features13 = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    features13.dynamicRendering = VK_TRUE;
    features13.synchronization2 = VK_TRUE;
    VkPhysicalDeviceFeatures2 features = {VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &features13};
    // The pixel stage reads the screen buffer through a writable binding.
    features.features.fragmentStoresAndAtomics = VK_TRUE;
    const char* deviceExtensions[] = {VK_KHR_SWAPCHAIN_EXTENSION_NAME};
    VkDeviceCreateInfo deviceInfo = {VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, &features};
    deviceInfo.queueCreateInfoCount = 1;
    deviceInfo.pQueueCreateInfos = &queueInfo;
    deviceInfo.enabledExtensionCount = 1;
    deviceInfo.ppEnabledExtensionNames = deviceExtensions;
    Check(vkCreateDevice(d.physical, &deviceInfo, nullptr, &d.device), "vkCreateDevice");
    vkGetDeviceQueue(d.device, d.queueFamily, 0, &d.queue);
    return d;
}

void DestroyDevice(Device& d) {
    vkDestroyDevice(d.device, nullptr);
    vkDestroySurfaceKHR(d.instance, d.surface, nullptr);
    vkDestroyInstance(d.instance, nullptr);
    d = {};
}

uint32_t FindMemoryType(const Device& d, uint32_t typeBits, VkMemoryPropertyFlags flags) {
    for (uint32_t i = 0; i < d.memory.memoryTypeCount; ++i) {
        if ((typeBits & (1u << i)) && (d.memory.memoryTypes[i].propertyFlags & flags) == flags)
            return i;
    }
    Fail("FindMemoryType", "no memory type fits the buffer");
}

} // namespace baseline
