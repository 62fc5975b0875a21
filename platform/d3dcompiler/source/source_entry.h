// An entry point whose name has several definitions (a helper `float3 ToneMap(float3 c)` beside the
// entry `float4 ToneMap(PSInput i) : SV_Target`), which Windows' compiler compiles and glslang fails
// on without a message. The entry is the definition that can be one, whose result and parameters all
// carry semantics (or are structures or uniforms), the last such where several can; the other
// definitions, their declarations and every call are renamed, so that the name is the entry's alone.
#pragma once

#include <string>
#include <string_view>

namespace platform::d3dcompiler {

// Rewrites `text` in place; a name defined once, or not at all, or with an `#if` between its
// definitions, is left as it is.
void SingleOutEntryPoint(std::string* text, std::string_view entry);

} // namespace platform::d3dcompiler
