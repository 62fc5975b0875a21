// Textures, buffers and samplers declared inside a cbuffer or tbuffer (`cbuffer M { float4 tint;
// sampler2D map; }`): Windows' compiler takes them out, as they cannot live in a buffer; glslang makes
// invalid SPIR-V of them. Each such declaration is moved after the buffer's closing brace, on the same
// line, with its register and annotations. Every line is kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void MoveResourcesOutOfBuffers(std::string* text);

} // namespace platform::d3dcompiler
