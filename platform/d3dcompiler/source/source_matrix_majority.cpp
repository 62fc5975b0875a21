#include "source_matrix_majority.h"

#include "declarations.h"
#include "source_edits.h"

#include <algorithm>
#include <set>

namespace platform::d3dcompiler {

namespace {

bool IsMajority(std::string_view word) {
    return word == "row_major" || word == "column_major";
}

// The majority a declaration gives itself, or "".
std::string_view OwnMajority(const Tokens& t, const Declaration& d) {
    for (size_t q : d.qualifiers) {
        if (IsMajority(t.Text(q)))
            return t.Text(q);
    }
    return {};
}

// The `#pragma pack_matrix(...)` lines: the token of each and the majority it sets.
std::vector<std::pair<size_t, std::string_view>> Pragmas(const Tokens& t) {
    std::vector<std::pair<size_t, std::string_view>> pragmas;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != TokenKind::Directive)
            continue;
        const Tokens d(t, i);
        if (d.Is(0, "pragma") && d.Is(1, "pack_matrix") && d.Is(2, "(") && d.size() > 3 &&
            IsMajority(d.Text(3)) && d.Is(4, ")"))
            pragmas.emplace_back(i, d.Text(3));
    }
    return pragmas;
}

} // namespace

void WriteOutMatrixMajority(std::string* text) {
    if (text->find("typedef") == std::string::npos && text->find("pack_matrix") == std::string::npos)
        return;
    const Tokens t(*text);
    const Declarations declarations(t);
    const auto pragmas = Pragmas(t);
    SourceEdits edits(*text);
    std::set<size_t> written; // declarators of one declaration share its type
    for (const Declaration& d : declarations.all()) {
        if (d.kind == DeclarationKind::Struct || d.kind == DeclarationKind::Function ||
            d.kind == DeclarationKind::Buffer || d.kind == DeclarationKind::Effect ||
            !OwnMajority(t, d).empty() || written.count(d.type.begin))
            continue;
        std::string_view majority;
        const Declaration* named = declarations.Find(t.Text(d.type.begin), d.nameToken);
        if (named && named->kind == DeclarationKind::Typedef) {
            majority = OwnMajority(t, *named);
        } else if (IsMatrixType(t.Text(d.type.begin))) {
            const auto after = std::find_if(pragmas.begin(), pragmas.end(),
                                            [&](const auto& p) { return p.first > d.first; });
            if (after != pragmas.begin())
                majority = (after - 1)->second;
        }
        if (majority.empty())
            continue;
        written.insert(d.type.begin);
        edits.Insert(t[d.type.begin].begin, std::string(majority) + " ");
    }
    *text = edits.Apply();
}

} // namespace platform::d3dcompiler
