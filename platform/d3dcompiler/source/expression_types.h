// The type of a name as an expression uses it, through members, indices and swizzles
// (`data.normal[2].xy`), from what the file declares (declarations.h): what a rewrite asks before it
// converts a value as Windows would.
#pragma once

#include "declarations.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

struct ExpressionType {
    std::string name;     // through typedefs: `float2`, `Texture2D`, or a structure's name
    size_t arrayDims = 0; // dimensions not yet indexed
    size_t end = 0;       // the token after the expression
    std::string element;  // a buffer's element type (`S` of `StructuredBuffer<S>`), else ""
    const Declaration* declaration = nullptr; // the variable or member last named
};

// The type of the expression that starts with the name at token `at` and goes on while members,
// indices, swizzles and buffer elements follow, up to token `until` at most; false where a part of it
// is not known.
bool TypeOfPath(const Tokens& t, const Declarations& d, size_t at, ExpressionType* type,
                size_t until = SIZE_MAX);

// The first token of the name path whose last token is `last` (names, `.`, bracketed indices), or
// t.size() where it does not start with a name.
size_t PathStart(const Tokens& t, size_t last);

// The structure named `name` as seen at token `at`, or nullptr.
const Declaration* FindStruct(const Tokens& t, const Declarations& d, std::string_view name, size_t at);

// The members of the structure `s`, in order.
std::vector<const Declaration*> MembersOf(const Declarations& d, const Declaration& s);

// The size an array dimension spells as a number literal; false for any other spelling.
bool LiteralSize(const Tokens& t, const TokenRange& size, size_t* count);

// A scalar of a value: its path from the value (`.position[2]`) and its scalar type.
struct ScalarPath {
    std::string path;
    std::string scalar;
};

// The scalars of a value of type `type` seen at token `at`, in order, as paths after `path`; false
// where a part of it has no known size.
bool ScalarPaths(const Tokens& t, const Declarations& d, const std::string& type, size_t at,
                 const std::string& path, std::vector<ScalarPath>* out);

// The paths of every element of an array `path` of dimensions `sizes`, in order (`a[0][0]`,
// `a[0][1]` ...); `path` alone for no dimension.
std::vector<std::string> ElementPaths(const std::string& path, const std::vector<size_t>& sizes);

// The scalar type of a numeric type name: `float` for `float3x4`; "" for other names.
std::string_view ScalarOf(std::string_view numeric);

} // namespace platform::d3dcompiler
