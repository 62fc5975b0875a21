// Implicit truncation of a vector: a wider vector assigned to a narrower vector or a scalar, in a
// declaration, an assignment, a return or an argument (`float3 v = float4(...)`), and vectors of two
// widths met in arithmetic (`a4 - b3`). Only values whose width is read from the source are
// judged: constructors, casts, variables and their members and swizzles, literals, the user's
// functions, textures' Sample and Load, and arithmetic between them; the result of an intrinsic or
// of an overloaded function is not, so it never warns.
#pragma once

#include "declarations.h"
#include "source_checks.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::d3dcompiler {

// The widths a user function's name stands for, where every declaration of the name agrees: the
// components it returns and those of each parameter, 0 for anything else than a scalar or vector
// and for `out` parameters.
struct FunctionWidths {
    size_t returned = 0;
    std::vector<size_t> parameters;
    bool overloaded = false; // declarations of the name disagree: nothing is read from it
};
using Functions = std::unordered_map<std::string_view, FunctionWidths>;
Functions UserFunctions(const Tokens& t, const Declarations& d);

// The truncations in the body of `function`.
void FindTruncations(const Tokens& t, const Declarations& d, const Functions& functions,
                     const Declaration& function, std::vector<SourceWarning>* out);

} // namespace platform::d3dcompiler
