#include "source_lines.h"

#include "tokens.h"

#include <strings.h>

namespace platform::d3dcompiler {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The token where the construct a message is about is declared, or t.size().
size_t Find(const Tokens& t, const std::string& message) {
    std::string_view m = message;
    if (m.compare(0, 9, "register ") == 0) {
        // "register s3 ...": `register(s3)` or `register(s3, space0)`.
        const std::string_view name = m.substr(9, m.find(' ', 9) - 9);
        for (size_t i = 0; i + 3 < t.size(); ++i) {
            if (t.Is(i, "register") && t.Is(i + 1, "(") && SameLetters(t.Text(i + 2), name) &&
                (t.Is(i + 3, ")") || t.Is(i + 3, ",")))
                return i;
        }
    } else if (m.compare(0, 11, "packoffset(") == 0 && m.find(')') != std::string_view::npos) {
        // "packoffset(c2.y) ...": `packoffset(c2.y)`.
        const std::string_view at = m.substr(11, m.find(')') - 11);
        const size_t dot = at.find('.');
        if (dot == std::string_view::npos)
            return t.size();
        for (size_t i = 0; i + 4 < t.size(); ++i) {
            if (t.Is(i, "packoffset") && t.Is(i + 1, "(") && SameLetters(t.Text(i + 2), at.substr(0, dot)) &&
                t.Is(i + 3, ".") && SameLetters(t.Text(i + 4), at.substr(dot + 1)))
                return i;
        }
    } else if (m.compare(0, 11, "groupshared") == 0) {
        for (size_t i = 0; i < t.size(); ++i) {
            if (t.Is(i, "groupshared"))
                return i;
        }
    }
    return t.size();
}

} // namespace

std::string WhereInSource(const std::string& source, const std::string& name, const std::string& message) {
    const Tokens t(source);
    const size_t at = Find(t, message);
    if (at == t.size())
        return name + ": error: ";
    return name + ":" + std::to_string(t[at].line) + ": error: ";
}

} // namespace platform::d3dcompiler
