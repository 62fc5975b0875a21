#include "view_kinds.h"

#include <cstdio>

namespace {

// How HLSL names the resource behind a descriptor, and how Direct3D 11 names the view that gives it.
struct KindNames {
    const char* declared;
    const char* view;
};

KindNames NamesOf(VkDescriptorType type) {
    switch (type) {
    case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER:
        return {"a structured or byte-address buffer (RWStructuredBuffer, RWByteAddressBuffer)",
                "a structured buffer view"};
    case VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER:
        return {"a typed buffer (RWBuffer)", "a typed buffer view"};
    case VK_DESCRIPTOR_TYPE_STORAGE_IMAGE:
        return {"a texture (RWTexture)", "a texture view"};
    default:
        return {"a resource of another kind", "a view of another kind"};
    }
}

const char* StageName(platform::ShaderStage stage) {
    switch (stage) {
    case platform::ShaderStage::Vertex:
        return "vertex";
    case platform::ShaderStage::Pixel:
        return "pixel";
    case platform::ShaderStage::Compute:
        return "compute";
    case platform::ShaderStage::Geometry:
        return "geometry";
    }
    return "unknown";
}

} // namespace

namespace platform::d3d11 {

void ViewKindCheck::Check(const char* call, const ShaderCode& code, UnorderedAccessView* const* uavs) {
    if (!uavs)
        return;
    for (const ShaderBinding& b : code.bindings) {
        if (b.registerClass != platform::RegisterClass::UnorderedAccess || b.reg >= kUavSlots)
            continue;
        const UnorderedAccessView* view = uavs[b.reg];
        if (!view || view->Kind() == b.type)
            continue;
        const size_t said = static_cast<size_t>(code.stage) * kUavSlots + b.reg;
        if (said_.test(said))
            continue;
        said_.set(said);
        std::fprintf(stderr,
                     "fxview platform: %s: the %s shader declares %s at u%u, but %s is bound there; the "
                     "shader sees no resource in that slot\n",
                     call, StageName(code.stage), NamesOf(b.type).declared, b.reg,
                     NamesOf(view->Kind()).view);
    }
}

} // namespace platform::d3d11
