// Glslang's own steps on one job: the preprocessor, then the parser, the linker and the SPIR-V
// generator, with D3DCompile2's registers, macros, entry point and includes. Run in the isolated
// child; PrepareGlslang runs in the process that forks it.
#pragma once

#include "front_end.h"

#include <string>
#include <vector>

namespace platform {

// Sets up glslang for this process and builds its table of built-in functions for `stage`, once
// each: every child forked afterwards starts with them.
// False when glslang could not be set up.
bool PrepareGlslang(ShaderStage stage);

// The preprocessed text; false when the preprocessor failed. `messages` get our format either way.
bool Preprocess(const FrontEndJob& job, std::string* text, std::string* messages);

// Parses and links the job and makes SPIR-V of it; false when glslang refused the source.
// `entryFound` is false when the source has no function of the entry point's name.
bool CompileToSpirv(const FrontEndJob& job, std::vector<uint32_t>* spirv, std::string* messages,
                    bool* entryFound);

} // namespace platform
