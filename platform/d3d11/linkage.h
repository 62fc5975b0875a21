// How the pixel stage's inputs reach the outputs of the stage before it: by semantic name and index,
// as in Direct3D, not by the locations glslang numbers in each stage in the order it meets the
// variables. A pipeline built from the pair takes the pixel module with its inputs' Location
// decorations moved to the locations of the outputs of the same semantics.
#pragma once

#include "pipelines.h"

#include <string>
#include <vector>

namespace platform::d3d11 {

// Fills `moved` with `spirv`, the pixel stage's module, whose inputs take the locations of the
// outputs of `from` (the vertex or geometry stage) of the same semantic name and index; leaves it
// empty when every input is already there. False, with `why` naming the semantic, when `from` does not
// write an input the pixel stage reads, writes fewer of its components, or the pixel stage reads one
// twice. System values are built-in variables and take no part.
bool LinkPixelInputs(const ShaderCode& from, const ShaderCode& ps, const std::vector<uint32_t>& spirv,
                     std::vector<uint32_t>* moved, std::string* why);

} // namespace platform::d3d11
