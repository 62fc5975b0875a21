// Shader model 3's samplers as shader model 4 and later compile them: a `sampler2D s` (or `sampler`,
// `sampler1D`, `sampler3D`, `samplerCUBE`) read by `tex2D(s, uv)` and the rest is a texture and a
// sampler state, both in the sampler's register number (`register(s2)` gives t2 and s2), and each
// call the texture's method: tex2D to Sample (SampleGrad with derivatives), tex2Dlod to SampleLevel,
// tex2Dbias to SampleBias, tex2Dgrad to SampleGrad, tex2Dproj to Sample of the projected coordinates.
// Glslang makes invalid SPIR-V of them. The texture's dimension is the calls'; a sampler no call reads
// is left as it is. Every line is kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void SplitLegacySamplers(std::string* text);

} // namespace platform::d3dcompiler
