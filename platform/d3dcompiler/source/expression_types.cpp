#include "expression_types.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform::d3dcompiler {

namespace {

// Swizzle letters of one set: `xyzw` or `rgba`.
bool IsSwizzle(std::string_view s) {
    if (s.empty() || s.size() > 4)
        return false;
    const std::string_view set =
        std::string_view("xyzw").find(s[0]) != std::string_view::npos ? "xyzw" : "rgba";
    for (char c : s)
        if (set.find(c) == std::string_view::npos)
            return false;
    return true;
}

// `type` becomes what a declaration of it, member or variable, holds.
void Take(const Tokens& t, const Declarations& d, const Declaration& declaration, ExpressionType* type) {
    type->name = std::string(d.TypeName(declaration));
    type->arrayDims = declaration.arraySizes.size();
    type->declaration = &declaration;
    const TokenRange& spelled = declaration.type;
    type->element =
        spelled.end == spelled.begin + 4 && t.Is(spelled.begin + 1, "<") && t.Is(spelled.begin + 3, ">")
            ? std::string(t.Text(spelled.begin + 2))
            : std::string();
    const Declaration* alias = d.Find(t.Text(declaration.type.begin), declaration.nameToken);
    if (alias && alias->kind == DeclarationKind::Typedef)
        type->arrayDims += alias->arraySizes.size();
}

} // namespace

std::vector<const Declaration*> MembersOf(const Declarations& d, const Declaration& s) {
    std::vector<const Declaration*> members;
    const int owner = static_cast<int>(&s - d.all().data());
    for (const Declaration& m : d.all())
        if (m.kind == DeclarationKind::Member && m.owner == owner)
            members.push_back(&m);
    return members;
}

bool LiteralSize(const Tokens& t, const TokenRange& size, size_t* count) {
    if (size.end != size.begin + 1 || t[size.begin].kind != TokenKind::Number)
        return false;
    const std::string text(t.Text(size.begin));
    char* end = nullptr;
    *count = std::strtoul(text.c_str(), &end, 0);
    // Beyond what any shader declares, a size is taken for a fault rather than written out.
    return end != text.c_str() && *count > 0 && *count <= 4096;
}

std::vector<std::string> ElementPaths(const std::string& path, const std::vector<size_t>& sizes) {
    std::vector<std::string> paths = {path};
    for (size_t n : sizes) {
        std::vector<std::string> indexed;
        for (const std::string& p : paths)
            for (size_t k = 0; k < n; ++k)
                indexed.push_back(p + "[" + std::to_string(k) + "]");
        paths.swap(indexed);
    }
    return paths;
}

size_t PathStart(const Tokens& t, size_t last) {
    size_t i = last;
    for (;;) {
        if (t.Is(i, "]")) {
            size_t open = i;
            while (open > 0 && t.Close(open) != i)
                --open;
            if (open == 0)
                return t.size();
            i = open - 1;
        } else if (t.IsIdentifier(i) && i >= 2 && t.Is(i - 1, ".")) {
            i -= 2;
        } else {
            return t.IsIdentifier(i) ? i : t.size();
        }
    }
}

bool ScalarPaths(const Tokens& t, const Declarations& d, const std::string& type, size_t at,
                 const std::string& path, std::vector<ScalarPath>* out) {
    // Structures nest no deeper in real code; a loop through both sides of an `#if` ends here.
    if (std::count(path.begin(), path.end(), '.') > 16)
        return false;
    size_t n = 0;
    if (IsNumericType(type, &n)) {
        const std::string scalar(ScalarOf(type));
        if (IsMatrixType(type)) {
            const size_t x = type.rfind('x');
            // `matrix` alone names no shape.
            if (x == std::string::npos || x + 2 != type.size())
                return false;
            const size_t rows = type[x - 1] - '0', columns = type[x + 1] - '0';
            for (size_t r = 0; r < rows; ++r)
                for (size_t c = 0; c < columns; ++c)
                    out->push_back({path + "[" + std::to_string(r) + "][" + std::to_string(c) + "]", scalar});
        } else if (n == 1) {
            out->push_back({path, scalar});
        } else {
            for (size_t c = 0; c < n; ++c)
                out->push_back({path + "[" + std::to_string(c) + "]", scalar});
        }
        return true;
    }
    const Declaration* s = FindStruct(t, d, type, at);
    if (!s)
        return false;
    for (const Declaration* m : MembersOf(d, *s)) {
        std::vector<size_t> sizes;
        for (const TokenRange& size : m->arraySizes) {
            if (!LiteralSize(t, size, &sizes.emplace_back()))
                return false;
        }
        for (const std::string& p : ElementPaths(path + "." + std::string(m->name), sizes))
            if (!ScalarPaths(t, d, std::string(d.TypeName(*m)), at, p, out))
                return false;
    }
    return true;
}

std::string_view ScalarOf(std::string_view numeric) {
    if (!IsNumericType(numeric))
        return {};
    size_t n = numeric.size();
    while (n > 0 && (std::isdigit(static_cast<unsigned char>(numeric[n - 1])) || numeric[n - 1] == 'x'))
        --n;
    return numeric.substr(0, n);
}

const Declaration* FindStruct(const Tokens&, const Declarations& d, std::string_view name, size_t at) {
    const Declaration* s = d.Find(name, at);
    return s && s->kind == DeclarationKind::Struct ? s : nullptr;
}

bool TypeOfPath(const Tokens& t, const Declarations& d, size_t at, ExpressionType* type, size_t until) {
    const Declaration* named = t.IsIdentifier(at) ? d.Find(t.Text(at), at) : nullptr;
    if (!named || named->kind == DeclarationKind::Struct || named->kind == DeclarationKind::Function ||
        named->kind == DeclarationKind::Typedef || named->kind == DeclarationKind::Buffer ||
        named->kind == DeclarationKind::Effect)
        return false;
    Take(t, d, *named, type);
    size_t i = at + 1;
    for (;;) {
        if (i >= until) {
            type->end = i;
            return true;
        }
        if (t.Is(i, "[")) {
            const size_t close = t.Close(i);
            if (close >= t.size())
                return false;
            size_t components = 0;
            if (type->arrayDims > 0) {
                --type->arrayDims;
            } else if (!type->element.empty()) {
                type->name = type->element;
                type->element.clear();
                type->declaration = nullptr;
            } else if (IsMatrixType(type->name) || !IsNumericType(type->name, &components) ||
                       components == 1) {
                return false; // a matrix row, or a resource's element, is not read here
            } else {
                type->name = std::string(ScalarOf(type->name));
                type->declaration = nullptr;
            }
            i = close + 1;
        } else if (t.Is(i, ".") && t.IsIdentifier(i + 1) && !t.Is(i + 2, "(")) {
            if (type->arrayDims > 0)
                return false;
            const std::string_view field = t.Text(i + 1);
            if (const Declaration* s = FindStruct(t, d, type->name, at)) {
                const Declaration* member = d.Member(*s, field);
                if (!member)
                    return false;
                Take(t, d, *member, type);
            } else if (IsNumericType(type->name) && !IsMatrixType(type->name) && IsSwizzle(field)) {
                const std::string scalar(ScalarOf(type->name));
                type->name = field.size() == 1 ? scalar : scalar + std::to_string(field.size());
                type->declaration = nullptr;
            } else {
                return false;
            }
            i += 2;
        } else {
            type->end = i;
            return true;
        }
    }
}

} // namespace platform::d3dcompiler
