#include "targets.h"

#include "hooks.h"

#include <cstdlib>
#include <cstring>

namespace platform {

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

shaderc_shader_kind ToShadercKind(ShaderStage stage) {
    switch (stage) {
    case ShaderStage::Vertex:
        return shaderc_vertex_shader;
    case ShaderStage::Pixel:
        return shaderc_fragment_shader;
    case ShaderStage::Geometry:
        return shaderc_geometry_shader;
    case ShaderStage::Compute:
        return shaderc_compute_shader;
    }
    // Stages only come from ParseTarget, so this is a broken invariant, not a user error.
    LogFailure("ToShadercKind", "unknown shader stage");
    std::abort();
}

} // namespace platform
