// The SPIR-V stage of a compile, in the order its passes run, written in one place (spirv_stage.cpp):
// 0. any() and all() of a scalar as Windows computes them (spirv_scalar_reductions.h), atomics on a
//    byte-address buffer with signed values (spirv_atomics.h), the binding of a texture also read
//    through a comparison sampler (spirv_comparison_textures.h), then a check
//    of glslang's module by the rules for HLSL before legalisation (spirv_validation.h),
//    whose failure is handed on at once, as legalisation may crash on such a module;
// 1. Windows' arithmetic (spirv_arithmetic.h) on glslang's module as it comes, so that the passes
//    after it fold constants as Windows computes them;
// 2. SPIRV-Tools' legalisation, as HLSL compilers run it: glslang's HLSL leaves resources in
//    function parameters and locals, which inlining, scalar replacement and copy propagation remove;
// 3. SPIRV-Tools' optimisation for speed, when the compile flags ask for it, in the same run;
// 4. Direct3D's buffer rules: constant-buffer packing (spirv_cbuffer_layout.h), structured-buffer
//    packing (spirv_layout.h), then clamped structured-buffer indices (spirv_bounds.h);
// 5. validation of the final module for the device's Vulkan (spirv_validation.h), so that what
//    compiles also makes a pipeline.
// A module that fails is made again with glslang's line marks (OpLine) and passed again, so that the
// failure is placed on its line; a module that passes never pays for the marks.
// Reflection (reflection/spirv_reflect.h) follows in the calling process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Why the stage refused a module: our message, with the third-party tool's words, if any, after it.
struct SpirvStageFailure {
    std::string file; // where the failing code came from; empty when the module does not say
    unsigned line = 0;
    std::string message;
};

// Runs the passes on glslang's module in place; false, with the failure, when one refuses it.
// `withLines` makes glslang's module again with line marks. `flawed` gets what the check before legalisation
// found, before legalisation starts; the passes go on, since legalisation may yet make a valid module of it.
bool RunSpirvStage(std::vector<uint32_t>* spirv, const std::function<std::vector<uint32_t>()>& withLines,
                   bool optimize, const std::function<void(const SpirvStageFailure&)>& flawed,
                   SpirvStageFailure* failure);

} // namespace platform::d3dcompiler
