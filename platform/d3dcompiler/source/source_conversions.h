// Conversions Windows' compiler makes where glslang's HLSL front end finds no function or refuses the
// types, written out in the source as conversions both compilers take. Each keeps every line:
// - GetDimensions with outputs of other types than its results' (`tex.GetDimensions(0, size.x,
//   size.y, levels)` with a float2 `size` and a uint `levels`, a buffer's count in a float): Windows
//   converts each result into its output; glslang finds the float and the uint overloads equally
//   good, or stores a uint in a float. The results go through uint temporaries.
// - `tex.Length`, the size of a global texture as a property: Windows has it, glslang not; it becomes
//   a call of a function written after the texture's declaration, which asks GetDimensions.
// - The value of a byte-address buffer's Store2, Store3 and Store4, converted to the vector stored: a
//   scalar is replicated, as Windows does; glslang crashes on it.
// - A `switch` on a floating-point scalar: Windows converts it to int; glslang refuses it.
// - A structure returned where the function returns another structure of as many components
//   (`Interpolants main(Vertex v) { return v; }`): Windows copies it component by component, so a
//   function doing that is put before the one that returns it.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void ConvertAsWindows(std::string* text);

} // namespace platform::d3dcompiler
