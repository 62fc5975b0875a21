#include "spirv_validation.h"

#include "spirv_lines.h"

#include <spirv-tools/libspirv.hpp>

namespace platform::d3dcompiler {

namespace {

// The HLSL a failing instruction was made from, for the instructions validation refuses in code
// that glslang takes: texture operations with operands Vulkan wants constant, atomics, barriers.
const char* ConstructOf(spv::Op op) {
    static const struct {
        spv::Op first, last;
        const char* construct;
    } kConstructs[] = {
        {spv::OpExtInst, spv::OpExtInst, "an intrinsic function"},
        {spv::OpFunctionCall, spv::OpFunctionCall, "a function call"},
        {spv::OpStore, spv::OpStore, "an assignment"},
        {spv::OpAccessChain, spv::OpAccessChain, "an element or member access"},
        {spv::OpImageSampleImplicitLod, spv::OpImageSampleProjDrefExplicitLod,
         "a texture sample (Sample, SampleLevel, SampleGrad, SampleBias, SampleCmp)"},
        {spv::OpImageFetch, spv::OpImageFetch, "a texture load (Load, [])"},
        {spv::OpImageGather, spv::OpImageDrefGather, "a texture gather (Gather...)"},
        {spv::OpImageRead, spv::OpImageRead, "a texture load (Load, [])"},
        {spv::OpImageWrite, spv::OpImageWrite, "a texture store"},
        {spv::OpAny, spv::OpAll, "any() or all()"},
        {spv::OpImageQuerySizeLod, spv::OpImageQuerySamples, "GetDimensions"},
        {spv::OpControlBarrier, spv::OpMemoryBarrier, "a barrier"},
        {spv::OpAtomicLoad, spv::OpAtomicXor, "an atomic operation (Interlocked...)"},
    };
    for (const auto& c : kConstructs)
        if (op >= c.first && op <= c.last)
            return c.construct;
    return nullptr;
}

// Validates `spirv` with `options` for `environment`; false, with the failure placed on the line of
// the failing instruction, when the validator refuses it. `what` says what was checked.
bool Validate(const std::vector<uint32_t>& spirv, spv_target_env environment,
              const spvtools::ValidatorOptions& options, const char* what, SpirvStageFailure* failure) {
    spvtools::SpirvTools tools(environment);
    std::string said;
    size_t ordinal = 0;
    tools.SetMessageConsumer(
        [&](spv_message_level_t level, const char*, const spv_position_t& position, const char* message) {
            if (level <= SPV_MSG_ERROR && said.empty()) {
                said = message;
                ordinal = position.index;
            }
        });
    if (tools.Validate(spirv.data(), spirv.size(), options))
        return true;
    SpirvModule module;
    std::string unread;
    const bool read = module.Read(spirv, &unread);
    const SpirvSourceLine where = read ? LineOfInstruction(module, ordinal) : SpirvSourceLine{};
    failure->file = where.file;
    failure->line = where.line;
    const size_t at = ordinal - 1 - module.globals.size();
    const spv::Op op = read && ordinal > module.globals.size() && at < module.functions.size()
                           ? module.functions[at].op
                           : spv::OpNop;
    const char* construct = ConstructOf(op);
    // The validator's first line says what is wrong; the rest shows SPIR-V the author never wrote.
    const std::string reason = said.substr(0, said.find('\n'));
    failure->message = std::string(construct ? construct : "this code") + " " + what +
                       " (the SPIR-V validator says: " + (reason.empty() ? "nothing more" : reason) + ")";
    return false;
}

} // namespace

bool ValidateGlslangOutput(const std::vector<uint32_t>& spirv, SpirvStageFailure* failure) {
    spvtools::ValidatorOptions options;
    // The rules HLSL compilers check before legalisation: resources may still be in function
    // parameters and locals, and layouts are fixed only later.
    options.SetBeforeHlslLegalization(true);
    options.SetRelaxLogicalPointer(true);
    options.SetSkipBlockLayout(true);
    return Validate(spirv, SPV_ENV_VULKAN_1_1, options,
                    "is compiled wrongly by glslang: its SPIR-V is invalid even before legalisation",
                    failure);
}

bool ValidateForDevice(const std::vector<uint32_t>& spirv, SpirvStageFailure* failure) {
    spvtools::ValidatorOptions options;
    // Constant and structured buffers are laid out as Direct3D lays them out, which the device allows
    // by enabling scalarBlockLayout; every other layout rule is checked.
    options.SetScalarBlockLayout(true);
    return Validate(spirv, SPV_ENV_VULKAN_1_3, options,
                    "cannot run on the device: its SPIR-V is not valid for Vulkan 1.3", failure);
}

} // namespace platform::d3dcompiler
