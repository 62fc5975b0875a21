#include "line_map.h"

#include <algorithm>
#include <cstdlib>

namespace platform::d3dcompiler {

LineMap::LineMap(const Tokens& t, const std::string& name) {
    marks_.push_back({1, 1, name});
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != TokenKind::Directive)
            continue;
        const Tokens d(t, i);
        if (!d.Is(0, "line") || d.size() < 2 || d[1].kind != TokenKind::Number)
            continue;
        std::string file = marks_.back().file;
        if (d.size() > 2 && d[2].kind == TokenKind::String)
            file = std::string(d.Text(2).substr(1, d.Text(2).size() - 2));
        // The directive's last line is followed by line N.
        const std::string_view directive = t.Text(i);
        const uint32_t next =
            t[i].line + static_cast<uint32_t>(std::count(directive.begin(), directive.end(), '\n')) + 1;
        marks_.push_back({next,
                          static_cast<uint32_t>(std::strtoul(std::string(d.Text(1)).c_str(), nullptr, 10)),
                          std::move(file)});
    }
}

std::string LineMap::Place(const Token& token) const {
    auto it = std::upper_bound(marks_.begin(), marks_.end(), token.line,
                               [](uint32_t line, const Mark& m) { return line < m.line; });
    const Mark& m = *(it - 1);
    return m.file + ":" + std::to_string(m.number + (token.line - m.line));
}

} // namespace platform::d3dcompiler
