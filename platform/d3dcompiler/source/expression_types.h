// The type of a name as an expression uses it, through members, indices and swizzles
// (`data.normal[2].xy`), from what the file declares (declarations.h): what a rewrite asks before it
// converts a value as Windows would.
#pragma once

#include "declarations.h"

#include <string>

namespace platform::d3dcompiler {

struct ExpressionType {
    std::string name;     // through typedefs: `float2`, `Texture2D`, or a structure's name
    size_t arrayDims = 0; // dimensions not yet indexed
    size_t end = 0;       // the token after the expression
};

// The type of the expression that starts with the name at token `at` and goes on while members,
// indices and swizzles follow; false where a part of it is not known.
bool TypeOfPath(const Tokens& t, const Declarations& d, size_t at, ExpressionType* type);

// The structure named `name` as seen at token `at`, or nullptr.
const Declaration* FindStruct(const Tokens& t, const Declarations& d, std::string_view name, size_t at);

// The scalar type of a numeric type name: `float` for `float3x4`; "" for other names.
std::string_view ScalarOf(std::string_view numeric);

} // namespace platform::d3dcompiler
