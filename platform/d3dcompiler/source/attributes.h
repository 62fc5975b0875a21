// The [numthreads] of the entry point being compiled, read from the preprocessed source. Glslang's
// HLSL front end takes its arguments on trust (it crashes on some that are not constants) and checks
// none of Direct3D's limits, so they are folded and checked here first.
#pragma once

#include "shader_blob.h"

#include <cstdint>
#include <string>

namespace platform::d3dcompiler {

// `text` is the preprocessed source, whose `#line` directives name the file of each line; `name` the
// file of the lines before the first. False, with a message naming file and line, when the entry
// point's attribute does not fold to three integer constants within `target`'s limits, or when a
// compute entry point has none, or a geometry entry point no [maxvertexcount]. Attributes of other
// functions and of other stages are not read.
bool CheckNumThreads(const std::string& text, const std::string& name, const std::string& entry,
                     ShaderStage stage, const char* target, std::string* error);

} // namespace platform::d3dcompiler
