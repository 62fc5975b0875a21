#include "source_uninitialized.h"

#include <algorithm>

namespace platform::d3dcompiler {

namespace {

// Locals that start with a value of their own, or are not of a numeric type, are not followed.
bool Followed(const Tokens& t, const Declarations& d, const Declaration& v) {
    if (!v.initializer.empty() || !v.arraySizes.empty() || !IsNumericType(d.TypeName(v)))
        return false;
    return std::none_of(v.qualifiers.begin(), v.qualifiers.end(), [&](size_t q) {
        const std::string_view w = t.Text(q);
        return w == "static" || w == "groupshared" || w == "uniform" || w == "extern";
    });
}

// The token after the members, indices and swizzles that follow the name at `at`.
size_t PathEnd(const Tokens& t, size_t at) {
    size_t i = at + 1;
    for (;;) {
        if (t.Is(i, ".") && t.IsIdentifier(i + 1))
            i += 2;
        else if (t.Is(i, "[") && t.Close(i) < t.size())
            i = t.Close(i) + 1;
        else
            return i;
    }
}

// A whole argument of a call, which may be an `out` parameter: `f(x)`, `f(a, x.y)`.
bool IsArgument(const Tokens& t, size_t at, size_t after) {
    if (!t.Is(after, ",") && !t.Is(after, ")"))
        return false;
    if (t.Is(at - 1, ","))
        return true;
    if (!t.Is(at - 1, "(") || !t.IsIdentifier(at - 2))
        return false;
    const std::string_view callee = t.Text(at - 2);
    return callee != "if" && callee != "while" && callee != "switch" && callee != "return";
}

// The first mention of `v` at or after `from` and before `end`, or `end`.
size_t NextMention(const Tokens& t, const Declarations& d, const Declaration& v, size_t from, size_t end) {
    for (size_t i = from; i < end; ++i)
        if (t.IsIdentifier(i) && t.Text(i) == v.name && !t.Is(i - 1, ".") && d.Find(v.name, i) == &v)
            return i;
    return end;
}

void Follow(const Tokens& t, const Declarations& d, const Declaration& v, std::vector<SourceWarning>* out) {
    const size_t end = std::min(v.visibleUntil, t.size());
    const size_t first = NextMention(t, d, v, v.nameToken + 1, end);
    if (first == end)
        return;
    const std::string message = "use of potentially uninitialized variable '" + std::string(v.name) + "'";
    const size_t after = PathEnd(t, first);
    if (IsArgument(t, first, after))
        return;
    if (!IsAssignment(t.Text(after)) || (after == first + 1 && t.Text(after) != "=")) {
        out->push_back({first, message});
        return;
    }
    if (after != first + 1)
        return; // a part assigned: the rest may be assigned before it is read
    const size_t valueEnd = ExpressionEnd(t, after + 1, end);
    const size_t inValue = NextMention(t, d, v, after + 1, valueEnd);
    if (inValue != valueEnd)
        out->push_back({inValue, message});
}

} // namespace

void FindUninitializedReads(const Tokens& t, const Declarations& d, int function,
                            std::vector<SourceWarning>* out) {
    for (const Declaration& v : d.all())
        if (v.kind == DeclarationKind::Local && v.owner == function && Followed(t, d, v))
            Follow(t, d, v, out);
}

} // namespace platform::d3dcompiler
