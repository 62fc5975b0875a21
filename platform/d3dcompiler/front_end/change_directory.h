// chdir for a folder of any depth: a path longer than PATH_MAX is entered a part at a time. Nothing
// else; the path is taken as it is, with no resolving of links or "..".
#pragma once

#include <string>

namespace platform::d3dcompiler {

// False, with errno, when a part cannot be entered; the process may then be in a folder between.
bool ChangeDirectory(const std::string& path);

} // namespace platform::d3dcompiler
