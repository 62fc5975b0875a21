// Compiles one entry point of a shader file with the project's own HLSL compiler, with the flags fxview
// uses, and hands back the SPIR-V with what the code blob says about it. No caching, no reflection.
#pragma once

#include "shader_blob.h"

#include <string>

namespace baseline {

// The whole file, or exits with status 1 when it cannot be read.
std::string ReadShaderFile(const char* path);

// Compiles `entry` for `target` ("vs_5_0", "ps_5_0", "cs_5_0"); exits with the compiler's messages
// on standard error when the source does not compile.
platform::ShaderInfo CompileStage(const std::string& source, const char* entry, const char* target);

} // namespace baseline
