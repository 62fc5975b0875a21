// DXGI formats in Vulkan terms, for textures, views and vertex attributes. Only the formats
// dxgiformat.h declares.
#pragma once

#include <dxgiformat.h>

#include <vulkan/vulkan.h>

namespace platform::d3d11 {

// VK_FORMAT_UNDEFINED for DXGI_FORMAT_UNKNOWN.
VkFormat ToVkFormat(DXGI_FORMAT format);
// Bytes per texel or per vertex element; 0 for DXGI_FORMAT_UNKNOWN.
uint32_t FormatSize(DXGI_FORMAT format);

} // namespace platform::d3d11
