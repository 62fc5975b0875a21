// `##` beside punctuation in a macro (`#define REG(r) : register(##r##)`, `#define X(a) a##.x`):
// Windows' preprocessor pastes the two spellings and reads them again, which gives the same tokens as
// no paste at all; glslang's refuses to paste them. Such a `##` becomes a space. A paste of two
// punctuators (`+##=`), which can make one operator, and pastes of names and numbers are left to
// glslang. Every line and column is kept.
#pragma once

#include "source_edits.h"
#include "tokens.h"

namespace platform::d3dcompiler {

// Rewrites the preprocessor line whose tokens are `directive`, when it is a `#define`.
void PasteAsWindows(const Tokens& directive, SourceEdits* edits);

} // namespace platform::d3dcompiler
