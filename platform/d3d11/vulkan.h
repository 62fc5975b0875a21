// The Vulkan objects behind one Direct3D 11 device: the instance (with the checks validation.h says
// FXVIEW_VALIDATION asks for), the physical device device_choice.h picks, the logical device and its
// one queue. Creation only; recording and submission live in frames.h, presentation in presenter.h.
#pragma once

#include <windows.h>

#include "vk_status.h"

#include <vulkan/vulkan.h>

namespace platform::d3d11 {

struct Vulkan {
    VkInstance instance = VK_NULL_HANDLE;
    VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
    VkPhysicalDevice physical = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    uint32_t queueFamily = 0;
    VkPhysicalDeviceProperties properties = {};
    VkPhysicalDeviceMemoryProperties memory = {};
    bool fragmentStores = false;
    bool geometryShader = false;
    // The shader features enabled on the device, those it offers among the ones HLSL code may need.
    VkPhysicalDeviceFeatures shaderFeatures = {};
    uint32_t pushDescriptorLimit = 0;
    // FXVIEW_VALIDATION is set: the device also reports what Direct3D 11's debug layer reports.
    bool debugChecks = false;
    PFN_vkCmdPushDescriptorSetKHR cmdPushDescriptorSet = nullptr;
};

// The window a swap chain will present to; a device made without one needs no present support.
struct PresentTarget {
    HWND window = nullptr;
    VkSurfaceKHR surface = VK_NULL_HANDLE; // out: created on the new instance
};

// Creates everything or nothing.
platform::VkStatus CreateVulkan(Vulkan* vk, PresentTarget* target);
void DestroyVulkan(Vulkan* vk);

// Index of a memory type with all `required` flags among `typeBits`, preferring one that also has
// `preferred`; -1 when there is none.
int FindMemoryType(const Vulkan& vk, uint32_t typeBits, VkMemoryPropertyFlags required,
                   VkMemoryPropertyFlags preferred);

} // namespace platform::d3d11
