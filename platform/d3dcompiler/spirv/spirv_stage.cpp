#include "spirv_stage.h"

#include "spirv_arithmetic.h"
#include "spirv_atomics.h"
#include "spirv_bounds.h"
#include "spirv_cbuffer_layout.h"
#include "spirv_comparison_textures.h"
#include "spirv_layout.h"
#include "spirv_scalar_reductions.h"
#include "spirv_lines.h"
#include "spirv_validation.h"

#include <spirv-tools/optimizer.hpp>

#include <cctype>
#include <cstdlib>

namespace platform::d3dcompiler {

namespace {

// Glslang's HLSL modules are SPIR-V 1.3 for Vulkan 1.1 (glslang_compile.cpp says why).
constexpr spv_target_env kGlslangEnvironment = SPV_ENV_VULKAN_1_1;

// Where the first instruction a SPIRV-Tools message names ("%42", or "ID '42[%name]'") came from.
SpirvSourceLine LineOfMessage(const std::vector<uint32_t>& spirv, const std::string& message) {
    size_t at = message.find_first_of("%'");
    while (at != std::string::npos && !(at + 1 < message.size() && std::isdigit(uint8_t(message[at + 1]))))
        at = message.find_first_of("%'", at + 1);
    SpirvModule module;
    std::string unread;
    if (at == std::string::npos || !module.Read(spirv, &unread))
        return {};
    return LineOfId(module, static_cast<uint32_t>(std::strtoul(message.c_str() + at + 1, nullptr, 10)));
}

// SPIRV-Tools' legalisation, and its optimisation for speed when `optimize`, in one run, as its
// set-up and its view of the module are made once. The module is not valid until legalised, so the
// optimiser does not validate it; ValidateForDevice does at the end.
bool Legalise(std::vector<uint32_t>* spirv, bool optimize, SpirvStageFailure* failure) {
    spvtools::Optimizer optimizer(kGlslangEnvironment);
    std::string said;
    optimizer.SetMessageConsumer(
        [&said](spv_message_level_t level, const char*, const spv_position_t&, const char* message) {
            if (level <= SPV_MSG_ERROR && said.empty())
                said = message;
        });
    optimizer.RegisterLegalizationPasses();
    if (optimize)
        optimizer.RegisterPerformancePasses();
    spvtools::OptimizerOptions options;
    options.set_run_validator(false);
    std::vector<uint32_t> out;
    if (optimizer.Run(spirv->data(), spirv->size(), &out, options)) {
        *spirv = std::move(out);
        return true;
    }
    const SpirvSourceLine where = LineOfMessage(*spirv, said);
    failure->file = where.file;
    failure->line = where.line;
    failure->message = std::string(optimize ? "legalisation or optimisation" : "legalisation") +
                       " failed on the SPIR-V glslang made of this code (SPIRV-Tools says: " +
                       (said.empty() ? "nothing more" : said.substr(0, said.find('\n'))) + ")";
    return false;
}

// Every pass after the check, in order.
bool RunPasses(std::vector<uint32_t>* spirv, bool optimize, SpirvStageFailure* failure) {
    return ComputeAsWindows(spirv, &failure->message) && Legalise(spirv, optimize, failure) &&
           PackConstantBuffers(spirv, &failure->message) && PackStructuredBuffers(spirv, &failure->message) &&
           ClampBufferIndices(spirv, &failure->message) && ValidateForDevice(*spirv, failure);
}

} // namespace

bool RunSpirvStage(std::vector<uint32_t>* spirv, const std::function<std::vector<uint32_t>()>& withLines,
                   bool optimize, const std::function<void(const SpirvStageFailure&)>& flawed,
                   SpirvStageFailure* failure) {
    // Scalar reductions and atomics are mended before the check, which would refuse them.
    const auto mendedWithLines = [&withLines] {
        std::vector<uint32_t> marked = withLines();
        // It reads as the module without marks did, so there is no message to keep.
        std::string unread;
        ReduceScalarsAsWindows(&marked, &unread);
        TypeAtomicsAsWindows(&marked, &unread);
        BindComparisonTextures(&marked, &unread);
        return marked;
    };
    if (!ReduceScalarsAsWindows(spirv, &failure->message) ||
        !TypeAtomicsAsWindows(spirv, &failure->message) || !BindComparisonTextures(spirv, &failure->message))
        return false;
    SpirvStageFailure flaw;
    if (!ValidateGlslangOutput(*spirv, &flaw)) {
        ValidateGlslangOutput(mendedWithLines(), &flaw);
        flawed(flaw);
    }
    if (RunPasses(spirv, optimize, failure))
        return true;
    // The same passes on the module with line marks fail the same way, on a line.
    std::vector<uint32_t> marked = mendedWithLines();
    SpirvStageFailure placed;
    if (!RunPasses(&marked, optimize, &placed)) {
        failure->file = placed.file;
        failure->line = placed.line;
    }
    return false;
}

} // namespace platform::d3dcompiler
