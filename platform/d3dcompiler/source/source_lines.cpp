#include "source_lines.h"

#include <algorithm>
#include <regex>

namespace platform {

namespace {

// `source` with its comments, strings and preprocessor lines blanked, newlines kept: a declaration is
// looked for in code, never in a comment or a `#define` that only mentions it.
std::string CodeOnly(const std::string& source) {
    std::string code = source;
    bool lineStart = true; // nothing but blanks before, on this line
    size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        const char next = i + 1 < code.size() ? code[i + 1] : '\0';
        size_t end = i; // the span [i, end) is blanked
        if ((lineStart && c == '#') || (c == '/' && next == '/')) {
            end = code.find('\n', i);
        } else if (c == '/' && next == '*') {
            const size_t close = code.find("*/", i + 2);
            end = close == std::string::npos ? close : close + 2;
        } else if (c == '"') {
            const size_t close = code.find('"', i + 1);
            end = close == std::string::npos ? close : close + 1;
        }
        if (end == i) {
            lineStart = c == '\n' || (lineStart && (c == ' ' || c == '\t' || c == '\r'));
            ++i;
            continue;
        }
        end = std::min(end, code.size());
        for (; i < end; ++i) {
            if (code[i] != '\n')
                code[i] = ' ';
        }
        lineStart = false;
    }
    return code;
}

} // namespace

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
    const std::string code = CodeOnly(source);
    std::smatch found;
    if (!std::regex_search(code, found, pattern))
        return name + ": error: ";
    const auto at = code.begin() + found.position(0);
    return name + ":" + std::to_string(1 + std::count(code.begin(), at, '\n')) + ": error: ";
}

} // namespace platform
