// The source lines that glslang marks in a module (OpLine, with the file in an OpString), read to
// place a message about an instruction.
#pragma once

#include "spirv_module.h"

#include <string>

namespace platform::d3dcompiler {

struct SpirvSourceLine {
    std::string file; // empty when no line is marked
    unsigned line = 0;
};

// The line of the instruction at `ordinal` (1 for the first after the header, as SPIRV-Tools counts).
SpirvSourceLine LineOfInstruction(const SpirvModule& module, size_t ordinal);

// The line of the instruction that defines `id`, or of the first that uses it in a function.
SpirvSourceLine LineOfId(const SpirvModule& module, uint32_t id);

} // namespace platform::d3dcompiler
