#include "include_directories.h"

namespace platform::d3dcompiler {

namespace {

std::vector<std::string>& Directories() {
    static std::vector<std::string> directories;
    return directories;
}

} // namespace

void SetIncludeDirectories(std::vector<std::string> directories) {
    Directories() = std::move(directories);
}

const std::vector<std::string>& IncludeDirectories() {
    return Directories();
}

} // namespace platform::d3dcompiler
