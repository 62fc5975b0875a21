// Matrices as Windows' compiler takes them where glslang's HLSL front end does not, written out in the
// source as what both compilers take. Each keeps every line:
// - A swizzle of several components of a matrix read as a value (`m._m00_m11`, `m._11_22`): glslang
//   has none, so it becomes a vector of the components, `float2(m[0][0], m[1][1])`.
// - One-row and one-column matrices (`float1x4`, `float4x1`): glslang constructs, converts and
//   returns none, and SPIR-V has no such matrices. Outside constant buffers, where a vector is laid
//   out otherwise, each is the vector of its components: the index of the one row or column is
//   dropped and its `_m02` members are vector components. What a vector would compute otherwise is
//   written out: `mul(column, row)` as their outer product, `(float4x1)m` of a wider matrix as its
//   first column; `transpose` of one is the same vector.
// - Intrinsics that apply to each component (`abs(m)`, `clamp(m, 0, 1)`, `sign(m)`) of matrices:
//   glslang gives them SPIR-V that applies them to the matrix whole, which SPIR-V cannot, so each
//   becomes the matrix of the intrinsic of each row, `float2x2(abs(m[0]), abs(m[1]))`.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void LowerMatrices(std::string* text);

} // namespace platform::d3dcompiler
