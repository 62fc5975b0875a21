// Casts Windows' compiler makes component by component where glslang's HLSL front end constructs
// nothing, written out in the source as functions both compilers take. Each keeps every line:
// - to array types, `(uint[4])uint4(4, 5, 6, 7)`, and from arrays;
// - to and from structures, `(Colors)v`, `(float4)s`, between values of as many components, or
//   of more components in the value cast, whose first components are taken, as in casts of vectors;
// - a cast on the left of an assignment, `(float4)m = v`, which assigns the value's components, cast
//   to the type named, to those of the variable, in order.
// Components are taken in order: structure members as declared, array elements by index, matrices
// row by row, whatever their packing.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void CastAsWindows(std::string* text);

} // namespace platform::d3dcompiler
