#include "source_token_paste.h"

#include "source_edits.h"
#include "tokens.h"

namespace platform::d3dcompiler {

void PasteAsWindows(const Tokens& directive, SourceEdits* edits) {
    if (!directive.Is(0, "define"))
        return;
    for (size_t k = 2; k + 1 < directive.size(); ++k) {
        if (!directive.Is(k, "##") || directive.Is(k - 1, "#"))
            continue;
        const bool left = directive[k - 1].kind == TokenKind::Punctuation;
        const bool right = directive[k + 1].kind == TokenKind::Punctuation;
        if (left != right)
            edits->Blank(directive[k].begin, directive[k].end);
    }
}

} // namespace platform::d3dcompiler
