// The conformance cases, each a function of no arguments that makes its own device; and the
// differences of a second implementation that their checks name.
#pragma once

#include "check.h"

namespace conformance {

void BufferDescriptions();
void BufferContents();
void UnorderedAccessViews();
void References();
void ShaderCode();
void ClearsAndDraws();
void Dispatches();
void SwapChainBackBuffer();
void TextureCopies();

} // namespace conformance
