// The folders D3D_COMPILE_STANDARD_FILE_INCLUDE searches last, after the including file's folder and
// the current directory, as Windows' command-line compiler's /I adds them. D3DCompile2 has no
// parameter for them, so the command line sets them once for its process.
#pragma once

#include <string>
#include <vector>

namespace platform::d3dcompiler {

void SetIncludeDirectories(std::vector<std::string> directories);
const std::vector<std::string>& IncludeDirectories();

} // namespace platform::d3dcompiler
