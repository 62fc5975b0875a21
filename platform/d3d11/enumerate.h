// Vulkan's two-call enumeration, `query(&count, data)`, for every list the layer reads. Entries added
// between the two calls (VK_INCOMPLETE) are left out; those read are kept.
#pragma once

#include <vulkan/vulkan.h>

#include <type_traits>
#include <vector>

namespace platform::d3d11 {

template <typename T, typename Query> VkResult Enumerate(Query query, std::vector<T>* out) {
    uint32_t count = 0;
    // Some queries cannot fail and return nothing.
    if constexpr (std::is_void_v<decltype(query(&count, static_cast<T*>(nullptr)))>) {
        query(&count, nullptr);
        out->resize(count);
        query(&count, out->data());
        out->resize(count);
        return VK_SUCCESS;
    } else {
        VkResult result = query(&count, nullptr);
        if (result != VK_SUCCESS)
            return result;
        out->resize(count);
        result = query(&count, out->data());
        out->resize(count);
        return result == VK_INCOMPLETE ? VK_SUCCESS : result;
    }
}

} // namespace platform::d3d11
