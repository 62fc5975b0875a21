#include "formats.h"

namespace d3d11 {

VkFormat ToVkFormat(DXGI_FORMAT format) {
    switch (format) {
    case DXGI_FORMAT_UNKNOWN:
        return VK_FORMAT_UNDEFINED;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        return VK_FORMAT_R32G32B32A32_SFLOAT;
    case DXGI_FORMAT_R32G32B32A32_UINT:
        return VK_FORMAT_R32G32B32A32_UINT;
    case DXGI_FORMAT_R32G32B32_FLOAT:
        return VK_FORMAT_R32G32B32_SFLOAT;
    case DXGI_FORMAT_R32G32_FLOAT:
        return VK_FORMAT_R32G32_SFLOAT;
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        return VK_FORMAT_R8G8B8A8_UNORM;
    case DXGI_FORMAT_R32_FLOAT:
        return VK_FORMAT_R32_SFLOAT;
    case DXGI_FORMAT_R32_UINT:
        return VK_FORMAT_R32_UINT;
    case DXGI_FORMAT_R16_UINT:
        return VK_FORMAT_R16_UINT;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        return VK_FORMAT_B8G8R8A8_UNORM;
    }
    return VK_FORMAT_UNDEFINED;
}

uint32_t FormatSize(DXGI_FORMAT format) {
    switch (format) {
    case DXGI_FORMAT_UNKNOWN:
        return 0;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        return 16;
    case DXGI_FORMAT_R32G32B32A32_UINT:
        return 16;
    case DXGI_FORMAT_R32G32B32_FLOAT:
        return 12;
    case DXGI_FORMAT_R32G32_FLOAT:
        return 8;
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        return 4;
    case DXGI_FORMAT_R32_FLOAT:
        return 4;
    case DXGI_FORMAT_R32_UINT:
        return 4;
    case DXGI_FORMAT_R16_UINT:
        return 2;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        return 4;
    }
    return 0;
}

} // namespace d3d11
