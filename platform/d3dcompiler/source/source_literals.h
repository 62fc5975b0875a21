// Integer literals wider than 32 bits, which glslang refuses ("numeric literal too big"), as Windows'
// compiler reads them: their low 32 bits, as its constant arithmetic wraps at 32 bits too. Literals
// in preprocessor lines are left to the preprocessor. Every line is kept.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place.
void WrapIntegerLiterals(std::string* text);

} // namespace platform::d3dcompiler
