#include "spirv_comparison_textures.h"

#include "registers.h"
#include "spirv_module.h"

#include <map>

namespace platform::d3dcompiler {

namespace {

constexpr uint32_t kTextures = BindingOf(RegisterClass::ShaderResource, 0);
constexpr uint32_t kTexturesEnd = BindingOf(
    RegisterClass::ShaderResource, kRegisterCount[static_cast<uint32_t>(RegisterClass::ShaderResource)]);

// True when `variable` is a texture: a pointer to an image that is not a storage image.
bool IsTexture(const SpirvModule& m, uint32_t variable) {
    const SpirvInstruction* pointer = m.Global(m.TypeOf(variable));
    const SpirvInstruction* image =
        pointer && pointer->op == spv::OpTypePointer ? m.Global(pointer->words[3]) : nullptr;
    return image && image->op == spv::OpTypeImage && image->words[7] == 1;
}

} // namespace

bool BindComparisonTextures(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [](SpirvModule& m) {
        std::map<uint32_t, std::string> names;
        std::map<uint32_t, uint32_t*> bindings;
        for (SpirvInstruction& ins : m.globals) {
            if (ins.op == spv::OpName)
                names[ins.words[1]] = ins.String(2);
            else if (ins.op == spv::OpDecorate && ins.words[2] == spv::DecorationBinding)
                bindings[ins.words[1]] = &ins.words[3];
        }
        // The texture of each name that is in place, and those of the same name that are not.
        std::map<std::string, uint32_t> placed;
        std::vector<std::pair<uint32_t*, std::string>> misplaced;
        for (const auto& [id, binding] : bindings) {
            auto name = names.find(id);
            if (name == names.end() || !IsTexture(m, id))
                continue;
            if (*binding >= kTextures && *binding < kTexturesEnd)
                placed[name->second] = *binding;
            else
                misplaced.emplace_back(binding, name->second);
        }
        for (const auto& [binding, name] : misplaced) {
            auto it = placed.find(name);
            if (it != placed.end())
                *binding = it->second;
        }
        return true;
    });
}

} // namespace platform::d3dcompiler
