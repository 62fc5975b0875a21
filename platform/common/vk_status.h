// The one way a Vulkan step of the layer fails: the VkResult together with the name of the Vulkan
// call that gave it, carried up unchanged to the API boundary, which logs the name once and returns
// the HRESULT Direct3D would. It logs nothing itself and holds no other state.
#pragma once

#include <vulkan/vulkan.h>

namespace platform {

struct VkStatus {
    VkResult result = VK_SUCCESS;
    const char* call = nullptr; // the Vulkan call that gave `result`; null for VK_SUCCESS

    VkStatus() = default;
    VkStatus(const char* failed, VkResult r) : result(r), call(r == VK_SUCCESS ? nullptr : failed) {}

    bool Ok() const { return result == VK_SUCCESS; }
};

} // namespace platform
