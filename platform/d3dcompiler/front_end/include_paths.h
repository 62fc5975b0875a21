// Include paths as Windows reads them: backslashes separate folders, and names match whatever their
// case when no file has the exact name.
#pragma once

#include <string>

namespace platform::d3dcompiler {

// `path` with every backslash a slash.
std::string ForwardSlashes(std::string path);

// Replaces `*path` with the existing path that matches it ignoring case, folder by folder; false,
// leaving it as it is, when there is none.
bool FindIgnoringCase(std::string* path);

} // namespace platform::d3dcompiler
