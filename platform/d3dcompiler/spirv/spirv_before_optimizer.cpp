// Windows' arithmetic is given to glslang's SPIR-V before shaderc's optimiser sees it, so that the
// optimiser folds constants as Windows computes them: with `int x = 42, y = 5`, `-x % y` folds to
// -2, not to SPIR-V's 3. Shaderc runs the optimiser on every HLSL module (legalisation at least) and
// offers no hook before it, so its call is wrapped at link time, as main is for the compile server.
#include "spirv_arithmetic.h"

#include <spirv-tools/optimizer.hpp>

#define OPTIMIZER_RUN _ZNK8spvtools9Optimizer3RunEPKjmPSt6vectorIjSaIjEEP23spv_optimizer_options_t
#define WRAPPED(prefix, name) WRAPPED_(prefix, name)
#define WRAPPED_(prefix, name) prefix##name

extern "C" bool WRAPPED(__real_, OPTIMIZER_RUN)(const spvtools::Optimizer* optimizer, const uint32_t* binary,
                                                size_t words, std::vector<uint32_t>* optimized,
                                                spv_optimizer_options options);

extern "C" bool WRAPPED(__wrap_, OPTIMIZER_RUN)(const spvtools::Optimizer* optimizer, const uint32_t* binary,
                                                size_t words, std::vector<uint32_t>* optimized,
                                                spv_optimizer_options options) {
    std::vector<uint32_t> rewritten(binary, binary + words);
    std::string error;
    if (!platform::ComputeAsWindows(&rewritten, &error)) {
        // The optimiser reports the same fault in its own words.
        return WRAPPED(__real_, OPTIMIZER_RUN)(optimizer, binary, words, optimized, options);
    }
    return WRAPPED(__real_, OPTIMIZER_RUN)(optimizer, rewritten.data(), rewritten.size(), optimized, options);
}
