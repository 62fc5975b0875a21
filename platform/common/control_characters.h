// Text from a shader (an include's name, a macro's text, an #error line) on its way to the user's
// terminal: its control characters are shown as \xNN, so that a downloaded shader cannot clear,
// retitle or otherwise drive the terminal. Line feeds and tabs are kept.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

std::string EscapeControlCharacters(std::string_view text);
// `prefix` as it is, then `text` escaped, then a line feed, written to `out` without allocating.
void WriteEscapedLine(std::FILE* out, std::string_view prefix, std::string_view text);

} // namespace platform
