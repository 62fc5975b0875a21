#include "vk_result.h"

#include "hooks.h"

#include <dxgi.h>

#include <cstdio>

namespace platform::d3d11 {

const char* VkResultName(VkResult result) {
    switch (result) {
    case VK_SUCCESS:
        return "VK_SUCCESS";
    case VK_NOT_READY:
        return "VK_NOT_READY";
    case VK_TIMEOUT:
        return "VK_TIMEOUT";
    case VK_INCOMPLETE:
        return "VK_INCOMPLETE";
    case VK_SUBOPTIMAL_KHR:
        return "VK_SUBOPTIMAL_KHR";
    case VK_ERROR_OUT_OF_HOST_MEMORY:
        return "VK_ERROR_OUT_OF_HOST_MEMORY";
    case VK_ERROR_OUT_OF_DEVICE_MEMORY:
        return "VK_ERROR_OUT_OF_DEVICE_MEMORY";
    case VK_ERROR_INITIALIZATION_FAILED:
        return "VK_ERROR_INITIALIZATION_FAILED";
    case VK_ERROR_DEVICE_LOST:
        return "VK_ERROR_DEVICE_LOST";
    case VK_ERROR_MEMORY_MAP_FAILED:
        return "VK_ERROR_MEMORY_MAP_FAILED";
    case VK_ERROR_LAYER_NOT_PRESENT:
        return "VK_ERROR_LAYER_NOT_PRESENT";
    case VK_ERROR_EXTENSION_NOT_PRESENT:
        return "VK_ERROR_EXTENSION_NOT_PRESENT";
    case VK_ERROR_FEATURE_NOT_PRESENT:
        return "VK_ERROR_FEATURE_NOT_PRESENT";
    case VK_ERROR_INCOMPATIBLE_DRIVER:
        return "VK_ERROR_INCOMPATIBLE_DRIVER";
    case VK_ERROR_TOO_MANY_OBJECTS:
        return "VK_ERROR_TOO_MANY_OBJECTS";
    case VK_ERROR_FORMAT_NOT_SUPPORTED:
        return "VK_ERROR_FORMAT_NOT_SUPPORTED";
    case VK_ERROR_SURFACE_LOST_KHR:
        return "VK_ERROR_SURFACE_LOST_KHR";
    case VK_ERROR_NATIVE_WINDOW_IN_USE_KHR:
        return "VK_ERROR_NATIVE_WINDOW_IN_USE_KHR";
    case VK_ERROR_OUT_OF_DATE_KHR:
        return "VK_ERROR_OUT_OF_DATE_KHR";
    case VK_ERROR_INVALID_SHADER_NV:
        return "VK_ERROR_INVALID_SHADER_NV";
    default:
        return "VkResult (unnamed)";
    }
}

HRESULT ToHresult(VkResult result) {
    switch (result) {
    case VK_SUCCESS:
        return S_OK;
    case VK_ERROR_OUT_OF_HOST_MEMORY:
        return E_OUTOFMEMORY;
    case VK_ERROR_OUT_OF_DEVICE_MEMORY:
        return E_OUTOFMEMORY;
    case VK_ERROR_TOO_MANY_OBJECTS:
        return E_OUTOFMEMORY;
    case VK_ERROR_DEVICE_LOST:
        return DXGI_ERROR_DEVICE_REMOVED;
    case VK_ERROR_INITIALIZATION_FAILED:
        return DXGI_ERROR_UNSUPPORTED;
    case VK_ERROR_INCOMPATIBLE_DRIVER:
        return DXGI_ERROR_UNSUPPORTED;
    case VK_ERROR_LAYER_NOT_PRESENT:
        return DXGI_ERROR_UNSUPPORTED;
    case VK_ERROR_EXTENSION_NOT_PRESENT:
        return DXGI_ERROR_UNSUPPORTED;
    case VK_ERROR_FEATURE_NOT_PRESENT:
        return DXGI_ERROR_UNSUPPORTED;
    case VK_ERROR_FORMAT_NOT_SUPPORTED:
        return E_INVALIDARG;
    case VK_ERROR_SURFACE_LOST_KHR:
        return DXGI_ERROR_INVALID_CALL;
    case VK_ERROR_NATIVE_WINDOW_IN_USE_KHR:
        return DXGI_ERROR_INVALID_CALL;
    default:
        return E_FAIL;
    }
}

HRESULT Fail(const platform::VkStatus& status) {
    platform::LogFailure(status.call, VkResultName(status.result));
    return ToHresult(status.result);
}

void ReportRemoval(VkResult cause, unsigned long long seconds) {
    if (cause == VK_TIMEOUT)
        std::fprintf(stderr,
                     "fxview platform: the GPU has not finished a frame in %llu s: the shader probably never "
                     "ends; the device is removed. Fix the shader and restart fxview.\n",
                     seconds);
    else
        std::fprintf(stderr,
                     "fxview platform: the GPU lost the device (%s): the shader probably faulted or never "
                     "ends; the device is removed. Fix the shader and restart fxview.\n",
                     VkResultName(cause));
}

HRESULT Refuse(const char* call, const char* why, HRESULT hr) {
    platform::LogFailure(call, why);
    return hr;
}

} // namespace platform::d3d11
