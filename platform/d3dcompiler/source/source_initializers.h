// Initializers of structures and arrays of structures as Windows' compiler reads them: the list is
// flattened to scalars, braces or not, and fills the value's scalars in order (`SH4 s = { a, b, c, d }`
// for a `float c[4]` member, `{ { -1, -1, 1, 1 }, { 0, 1 }, ... }` for an array of structures of a
// float4 and a float2), and multi-dimensional arrays of numbers (`float2 a[][3] = { 1, 2, ..., 12 }`).
// Glslang wants one item per member and element, so the list is written out so; an implicit array
// size is counted from the list. Every line is kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void FlattenInitializers(std::string* text);

} // namespace platform::d3dcompiler
