#include "matrix_hints.h"

#include "declarations.h"

namespace platform::d3dcompiler {

namespace {

bool IsThinMatrix(std::string_view type) {
    const size_t x = type.rfind('x');
    if (!IsMatrixType(type) || x == std::string_view::npos || x + 2 != type.size())
        return false;
    return type[x - 1] == '1' || type[x + 1] == '1';
}

// The first integer or boolean matrix type the source names, or t.size().
size_t IntegerMatrix(const Tokens& t) {
    for (size_t i = 0; i < t.size(); ++i)
        if (t.IsIdentifier(i) && IsMatrixType(t.Text(i)) && IsIntegerType(t.Text(i)))
            return i;
    return t.size();
}

// The type of the first one-row or one-column matrix a constant buffer holds, else of the first a
// structure holds (which a constant buffer may hold), or t.size().
size_t ThinUniform(const Tokens& t, const Declarations& d) {
    size_t member = t.size();
    for (const Declaration& v : d.all()) {
        if (v.type.empty() || !IsThinMatrix(t.Text(v.type.begin)))
            continue;
        if (v.kind == DeclarationKind::Member && member == t.size())
            member = v.type.begin;
        if (v.kind != DeclarationKind::BufferMember && v.kind != DeclarationKind::Global)
            continue;
        bool uniform = true;
        for (size_t q : v.qualifiers)
            uniform = uniform && !t.Is(q, "static") && !t.Is(q, "groupshared");
        if (uniform)
            return v.type.begin;
    }
    return member;
}

} // namespace

std::string MatrixHint(const std::string& source, const std::string& name, const std::string& said) {
    const bool integer =
        said.empty() || said.find("parameterized with floating-point types") != std::string::npos;
    const bool thin = said.find("parameterized as having only 2, 3, or 4 columns") != std::string::npos ||
                      said.find("vector of 2, 3, or 4 components") != std::string::npos;
    if (!integer && !thin)
        return "";
    const Tokens t(source);
    size_t at = integer ? IntegerMatrix(t) : ThinUniform(t, Declarations(t));
    // The sign of a float matrix is an integer matrix that the source need not name.
    for (size_t i = 0; integer && at >= t.size() && i + 1 < t.size(); ++i)
        if (t.Is(i, "sign") && t.Is(i + 1, "("))
            return name + ":" + std::to_string(t[i].line) +
                   ": error: the sign of a matrix is an integer matrix, which has no SPIR-V type, and "
                   "glslang " +
                   "lowers those only when constructed and indexed: take the sign of each row\n";
    if (at >= t.size())
        return "";
    const std::string type(t.Text(at));
    const std::string where = name + ":" + std::to_string(t[at].line) + ": error: ";
    if (integer)
        return where + "integer and boolean matrices such as this '" + type +
               "' have no SPIR-V type, and glslang lowers them only when constructed and indexed: " +
               "use an array of vectors, or a float matrix\n";
    return where + "a one-row or one-column matrix such as this '" + type +
           "' in a constant buffer has no SPIR-V type: declare a vector, or an array of scalars for a " +
           "matrix laid out one component a register\n";
}

} // namespace platform::d3dcompiler
