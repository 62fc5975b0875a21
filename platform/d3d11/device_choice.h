// Which physical device a Direct3D 11 device runs on: the first usable one by kind (discrete, then
// integrated, virtual, CPU), or the one FXVIEW_DEVICE names by index or by part of its name; said once
// per process, with a warning when a GPU was passed over for the CPU. A device is usable with Vulkan
// 1.3, push and null descriptors, robust buffer access, scalar block layout, dynamic rendering,
// synchronization2, and one queue family for graphics, compute and (with a surface) present.
// Creation of the logical device is vulkan.cpp's.
#pragma once

#include "vk_status.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

namespace platform::d3d11 {

struct Candidate {
    VkPhysicalDevice physical = VK_NULL_HANDLE;
    uint32_t family = 0;
    bool fragmentStores = false;
    bool geometryShader = false;
    VkPhysicalDeviceFeatures offered = {};
};

// The device to use for presenting to `surface` (or to none when null).
platform::VkStatus ChoosePhysicalDevice(VkInstance instance, VkSurfaceKHR surface, Candidate* chosen);

// The shader features HLSL code may need, each enabled when the device offers it and no test hides it.
VkPhysicalDeviceFeatures ShaderFeatures(const VkPhysicalDeviceFeatures& offered);

// Features a test hides from the devices made after it; names as in VkPhysicalDeviceFeatures.
std::vector<std::string>& HiddenFeatures();

} // namespace platform::d3d11
