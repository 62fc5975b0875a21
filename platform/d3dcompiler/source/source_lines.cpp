#include "source_lines.h"

#include <algorithm>
#include <regex>

namespace platform {

std::string WhereInSource(const std::string& source, const std::string& name, const std::string& message) {
    std::regex pattern;
    std::smatch reg;
    static const std::regex kRegister("^register ([a-z][0-9]+) ");
    if (std::regex_search(message, reg, kRegister))
        pattern = std::regex("register\\s*\\(\\s*" + reg.str(1) + "\\s*[,)]", std::regex::icase);
    else if (std::regex_search(message, reg, std::regex("^packoffset\\((c[0-9]+)\\.([xyzw])\\)")))
        pattern =
            std::regex("packoffset\\s*\\(\\s*" + reg.str(1) + "\\s*\\.\\s*" + reg.str(2), std::regex::icase);
    else if (message.compare(0, 11, "groupshared") == 0)
        pattern = std::regex("\\bgroupshared\\b");
    else
        return name + ": error: ";
    std::smatch found;
    if (!std::regex_search(source, found, pattern))
        return name + ": error: ";
    const auto at = source.begin() + found.position(0);
    return name + ":" + std::to_string(1 + std::count(source.begin(), at, '\n')) + ": error: ";
}

} // namespace platform
