#include "source_checks.h"

#include "source_refusals.h"
#include "source_warnings.h"

#include <algorithm>

namespace platform::d3dcompiler {

bool IsAssignment(std::string_view op) {
    return op == "=" || op == "+=" || op == "-=" || op == "*=" || op == "/=" || op == "%=" || op == "<<=" ||
           op == ">>=" || op == "&=" || op == "|=" || op == "^=";
}

size_t ExpressionEnd(const Tokens& t, size_t at, size_t end) {
    end = std::min(end, t.size());
    for (; at < end; ++at) {
        const std::string_view s = t.Text(at);
        if (s == "(" || s == "[" || s == "{") {
            at = t.Close(at);
            if (at >= end)
                return end;
        } else if (s == ";" || s == "," || s == ")" || s == "]" || s == "}") {
            return at;
        }
    }
    return end;
}

SourceFindings CheckPreprocessedSource(const std::string& text, const std::string& name,
                                       const std::string& entry) {
    const Tokens t(text);
    const Declarations declarations(t);
    const LineMap lines(t, name);
    return {FindRefusals(t, declarations, lines, entry), FindWarnings(t, declarations, lines, entry)};
}

} // namespace platform::d3dcompiler
