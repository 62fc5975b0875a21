// Integer literals wider than 32 bits, which glslang refuses ("numeric literal too big"), as Windows'
// compiler reads them: their low 32 bits, as its constant arithmetic wraps at 32 bits too. Literals
// in preprocessor lines are left to the preprocessor. Every line is kept.
#pragma once

#include "source_edits.h"
#include "tokens.h"

namespace platform::d3dcompiler {

// Rewrites the number token `i` of `t`, when it is such a literal, its suffix kept.
void WrapWideLiteral(const Tokens& t, size_t i, SourceEdits* edits);

} // namespace platform::d3dcompiler
