#include "formats.h"

namespace platform::d3d11 {

namespace {

struct FormatInfo {
    DXGI_FORMAT dxgi;
    VkFormat vk;
    uint32_t size;
};

// The formats the program's resources and vertex inputs use; any other is unknown to the layer.
constexpr FormatInfo kFormats[] = {
    {DXGI_FORMAT_R32G32B32A32_FLOAT, VK_FORMAT_R32G32B32A32_SFLOAT, 16},
    {DXGI_FORMAT_R32G32B32A32_UINT, VK_FORMAT_R32G32B32A32_UINT, 16},
    {DXGI_FORMAT_R32G32B32_FLOAT, VK_FORMAT_R32G32B32_SFLOAT, 12},
    {DXGI_FORMAT_R32G32_FLOAT, VK_FORMAT_R32G32_SFLOAT, 8},
    {DXGI_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_R8G8B8A8_UNORM, 4},
    {DXGI_FORMAT_R32_FLOAT, VK_FORMAT_R32_SFLOAT, 4},
    {DXGI_FORMAT_R32_UINT, VK_FORMAT_R32_UINT, 4},
    {DXGI_FORMAT_R16_UINT, VK_FORMAT_R16_UINT, 2},
    {DXGI_FORMAT_B8G8R8A8_UNORM, VK_FORMAT_B8G8R8A8_UNORM, 4},
};

constexpr FormatInfo kUnknown = {DXGI_FORMAT_UNKNOWN, VK_FORMAT_UNDEFINED, 0};

const FormatInfo& Find(DXGI_FORMAT format) {
    for (const FormatInfo& info : kFormats) {
        if (info.dxgi == format)
            return info;
    }
    return kUnknown;
}

} // namespace

VkFormat ToVkFormat(DXGI_FORMAT format) {
    return Find(format).vk;
}

uint32_t FormatSize(DXGI_FORMAT format) {
    return Find(format).size;
}

} // namespace platform::d3d11
