// Implicit truncation of a vector: a wider vector assigned to a narrower vector or a scalar, in a
// declaration, an assignment or a return (`float3 v = float4(...)`). Only values whose width is
// read from the source are judged: constructors, casts, variables and their members and swizzles,
// literals, the user's functions, and arithmetic between them; a call of an intrinsic or a method
// is not, so it never warns.
#pragma once

#include "declarations.h"
#include "source_checks.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::d3dcompiler {

// The number of components each user function returns, 0 where it is not a scalar or vector, or
// where overloads of one name return different widths.
using ReturnWidths = std::unordered_map<std::string_view, size_t>;
ReturnWidths FunctionReturnWidths(const Declarations& d);

// The truncations in the body of `function`.
void FindTruncations(const Tokens& t, const Declarations& d, const ReturnWidths& returns,
                     const Declaration& function, std::vector<SourceWarning>* out);

} // namespace platform::d3dcompiler
