#include "source_entry.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

#include <algorithm>

namespace platform::d3dcompiler {

namespace {

// True when the declaration ending before token `end` carries a semantic: `: TEXCOORD0`.
bool HasSemantic(const Tokens& t, size_t end) {
    return t.Is(end, ":") && t.IsIdentifier(end + 1);
}

// True when the function `f` (at index `index`) can be an entry point: a void result, a structure or
// one with a semantic, and each parameter with a semantic, a structure's type, or uniform.
bool CanBeEntry(const Tokens& t, const Declarations& d, const Declaration& f, int index) {
    const size_t close = t.Close(f.nameToken + 1);
    if (!t.Is(f.type.begin, "void") && !HasSemantic(t, close + 1) &&
        !FindStruct(t, d, t.Text(f.type.begin), f.nameToken))
        return false;
    for (const Declaration& p : d.all()) {
        if (p.kind != DeclarationKind::Parameter || p.owner != index)
            continue;
        const size_t end = p.arraySizes.empty() ? p.nameToken + 1 : p.arraySizes.back().end + 1;
        bool uniform = false;
        for (size_t q : p.qualifiers)
            uniform = uniform || t.Is(q, "uniform");
        if (!uniform && !HasSemantic(t, end) && !FindStruct(t, d, d.TypeName(p), p.nameToken))
            return false;
    }
    return true;
}

// True when a conditional directive lies at file scope between tokens `begin` (at file scope) and
// `end`: definitions on two sides of an `#if` may never meet, and which one remains is the
// preprocessor's to say. Directives inside function bodies choose no definition.
bool Conditional(const Tokens& t, size_t begin, size_t end) {
    int depth = 0;
    for (size_t i = begin; i < end && i < t.size(); ++i) {
        depth += t.Is(i, "{") ? 1 : t.Is(i, "}") ? -1 : 0;
        if (t[i].kind != TokenKind::Directive || depth > 0)
            continue;
        const Tokens directive(t, i);
        if (directive.Is(0, "if") || directive.Is(0, "ifdef") || directive.Is(0, "ifndef") ||
            directive.Is(0, "elif") || directive.Is(0, "else") || directive.Is(0, "endif"))
            return true;
    }
    return false;
}

} // namespace

void SingleOutEntryPoint(std::string* text, std::string_view entry) {
    const Tokens t(*text);
    const Declarations d(t);
    int definitions = 0;
    const Declaration* chosen = nullptr;
    const Declaration* last = nullptr;
    size_t first = t.size();
    for (size_t i = 0; i < d.all().size(); ++i) {
        const Declaration& f = d.all()[i];
        if (f.kind != DeclarationKind::Function || f.name != entry || f.body == 0)
            continue;
        ++definitions;
        first = std::min(first, f.first);
        last = &f;
        if (CanBeEntry(t, d, f, static_cast<int>(i)))
            chosen = &f;
    }
    if (definitions < 2 || Conditional(t, first, last->first))
        return;
    if (!chosen)
        chosen = last;
    SourceEdits edits(*text);
    for (size_t i = 0; i < t.size(); ++i) {
        if (t.IsIdentifier(i) && t.Text(i) == entry && i != chosen->nameToken && !t.Is(i - 1, "."))
            edits.Insert(t[i].begin, "fxview_overload_");
    }
    *text = edits.Apply();
}

} // namespace platform::d3dcompiler
