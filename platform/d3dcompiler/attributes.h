// Checks of entry-point attributes that glslang's HLSL front end takes on trust: it reads the
// arguments of [numthreads(x, y, z)] as constants without checking, and crashes when one is not.
#pragma once

#include <string>

namespace platform {

// `text` is the preprocessed source. False, with the reason, when a [numthreads] attribute does not
// have exactly three integer constant arguments: whole-number literals, or integer constants
// declared `static const` or `const` from them.
bool CheckNumThreads(const std::string& text, std::string* error);

} // namespace platform
