#include "source_global_constants.h"

#include "declarations.h"
#include "source_edits.h"

#include <algorithm>

namespace platform::d3dcompiler {

void MakeGlobalConstantsUniform(std::string* text) {
    const Tokens t(*text);
    const Declarations declarations(t);
    SourceEdits edits(*text);
    for (const Declaration& d : declarations.all()) {
        if (d.kind != DeclarationKind::Global || IsIntegerType(declarations.TypeName(d)))
            continue;
        const auto isStatic = [&](size_t q) { return t.Is(q, "static"); };
        if (std::any_of(d.qualifiers.begin(), d.qualifiers.end(), isStatic))
            continue;
        // Declarators of one declaration share its qualifiers; the edits blank each once.
        for (size_t q : d.qualifiers) {
            if (t.Is(q, "const"))
                edits.Blank(t[q].begin, t[q].end);
        }
    }
    *text = edits.Apply();
}

} // namespace platform::d3dcompiler
