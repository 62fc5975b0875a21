#include "crash_hints.h"

#include <algorithm>
#include <regex>

namespace platform {

std::string CrashHint(const std::string& source, const std::string& name) {
    // Shifting an integer matrix: an integer matrix type anywhere, and a shift anywhere.
    static const std::regex kIntegerMatrix("\\b(u?int|dword|min16u?int|min12int)[1-4]x[1-4]\\b");
    if (source.find("<<") == std::string::npos && source.find(">>") == std::string::npos)
        return "";
    for (auto it = std::sregex_iterator(source.begin(), source.end(), kIntegerMatrix);
         it != std::sregex_iterator(); ++it) {
        const size_t at = static_cast<size_t>(it->position(0));
        const size_t lineStart = source.rfind('\n', at) == std::string::npos ? 0 : source.rfind('\n', at) + 1;
        if (source.substr(lineStart, at - lineStart).find("//") != std::string::npos)
            continue; // in a comment
        const long line = 1 + std::count(source.begin(), source.begin() + at, '\n');
        return name + ":" + std::to_string(line) +
               ": error: glslang crashes on shifts of integer matrices such as this '" + it->str(0) +
               "': shift its rows one by one\n";
    }
    return "";
}

} // namespace platform
