// Global `const` variables are uniforms, as Windows' compiler takes them: members of the globals'
// constant buffer, read from it, their initializer only a default that Direct3D 11 never uploads.
// Glslang folds them as constants instead, so their `const` is blanked; `static const` stays a
// constant, and so do integer and boolean ones (through their typedefs), which array sizes and
// [numthreads] take as constants here. Blanking keeps every line and column.
#pragma once

#include <string>

namespace platform::d3dcompiler {

void MakeGlobalConstantsUniform(std::string* text);

} // namespace platform::d3dcompiler
