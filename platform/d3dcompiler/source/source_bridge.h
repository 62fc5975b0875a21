// A pass over the HLSL source before glslang's preprocessor, rewriting what Windows' compiler takes and
// glslang's HLSL front end does not into what both take alike. Every rewrite keeps the number of
// lines and the line each token is on, so that messages and `#line` stay true.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// Rewrites `text` in place: a UTF-8 byte-order mark, a last line without its newline, `unsigned int`,
// `DWORD`, `export`, the `texture2D` spellings, `lu` suffixes, apostrophes outside strings and
// comments, effect-file blocks and state objects (pipeline states without a block too), for-loop
// variables used after their loop, brace-elided array initializers, calls of msad4, the conversions
// of source_conversions.h, the initializers of source_initializers.h, the resources of
// source_buffer_resources.h, the samplers of
// source_legacy_samplers.h, the intrinsic calls of source_intrinsics.h, the wide literals of
// source_literals.h and the pastes of source_token_paste.h.
void BridgeSource(std::string* text);

} // namespace platform::d3dcompiler
