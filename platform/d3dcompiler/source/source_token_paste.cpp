#include "source_token_paste.h"

#include "source_edits.h"
#include "tokens.h"

namespace platform::d3dcompiler {

void PasteAsWindows(std::string* text) {
    const Tokens t(*text);
    SourceEdits edits(*text);
    bool changed = false;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != TokenKind::Directive)
            continue;
        const Tokens directive(t, i);
        if (!directive.Is(0, "define"))
            continue;
        for (size_t k = 2; k + 1 < directive.size(); ++k) {
            if (!directive.Is(k, "##") || directive.Is(k - 1, "#"))
                continue;
            const bool left = directive[k - 1].kind == TokenKind::Punctuation;
            const bool right = directive[k + 1].kind == TokenKind::Punctuation;
            if (left != right) {
                edits.Blank(directive[k].begin, directive[k].end);
                changed = true;
            }
        }
    }
    if (changed)
        *text = edits.Apply();
}

} // namespace platform::d3dcompiler
