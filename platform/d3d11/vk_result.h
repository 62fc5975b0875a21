// Turns Vulkan results into what the Direct3D 11 caller sees: the HRESULT Direct3D would return, and
// one line on standard error naming the failed Vulkan call. Helpers return a VkStatus
// (vk_status.h); only the API boundary calls Fail.
#pragma once

#include <windows.h>

#include "vk_status.h"

#include <vulkan/vulkan.h>

namespace platform::d3d11 {

const char* VkResultName(VkResult result);

// The HRESULT Direct3D 11 gives for the same kind of failure.
HRESULT ToHresult(VkResult result);

// Logs "call failed: VK_..." once and returns ToHresult(status.result).
HRESULT Fail(const platform::VkStatus& status);

// Tells the user that the device is removed, why (VK_TIMEOUT: a frame unfinished after `seconds`;
// VK_ERROR_DEVICE_LOST: Vulkan lost it) and what to do.
void ReportRemoval(VkResult cause, unsigned long long seconds);

// Logs a failure that is not a VkResult (a missing extension, a refused description) and returns hr.
HRESULT Refuse(const char* call, const char* why, HRESULT hr);

} // namespace platform::d3d11
