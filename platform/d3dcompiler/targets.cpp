#include "targets.h"

#include <cstdio>
#include <cstring>

namespace platform::d3dcompiler {

bool ParseTarget(const char* target, ShaderStage* stage) {
    static const struct {
        const char* prefix;
        ShaderStage stage;
    } kStages[] = {
        {"vs_", ShaderStage::Vertex},
        {"ps_", ShaderStage::Pixel},
        {"gs_", ShaderStage::Geometry},
        {"cs_", ShaderStage::Compute},
    };
    static const char* const kModels[] = {"4_0", "4_1", "5_0", "5_1"};
    for (const auto& s : kStages) {
        if (std::strncmp(target, s.prefix, 3) != 0)
            continue;
        for (const char* model : kModels) {
            if (std::strcmp(target + 3, model) == 0) {
                *stage = s.stage;
                return true;
            }
        }
    }
    return false;
}

uint32_t ShaderModelOf(const char* target) {
    return uint32_t(target[3] - '0') * 10 + uint32_t(target[5] - '0');
}

bool CheckThreadGroupSize(const char* target, const uint32_t size[3], std::string* error) {
    const bool model4 = std::strncmp(target + 3, "4_", 2) == 0;
    const uint64_t maxXY = model4 ? 768 : 1024, maxZ = model4 ? 1 : 64, maxTotal = model4 ? 768 : 1024;
    const uint64_t total = uint64_t(size[0]) * size[1] * size[2];
    if (size[0] <= maxXY && size[1] <= maxXY && size[2] <= maxZ && total <= maxTotal)
        return true;
    char text[256];
    std::snprintf(
        text, sizeof text,
        "thread group size (%u, %u, %u) is %llu threads; %s allows at most %llu in all, with x and y "
        "at most %llu and z at most %llu",
        size[0], size[1], size[2], static_cast<unsigned long long>(total), target,
        static_cast<unsigned long long>(maxTotal), static_cast<unsigned long long>(maxXY),
        static_cast<unsigned long long>(maxZ));
    *error = text;
    return false;
}

} // namespace platform::d3dcompiler
