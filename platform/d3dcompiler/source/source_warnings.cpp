#include "source_warnings.h"

#include "source_checks.h"
#include "source_truncation.h"
#include "source_uninitialized.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace platform::d3dcompiler {

namespace {

// Tokens the search for uninitialised reads may look at in one source, far more than a large real
// shader needs: about 80 ms of a source made of nothing but locals read late.
constexpr size_t kUninitializedBudget = size_t(1) << 22;

using FunctionsByName = std::unordered_map<std::string_view, std::vector<size_t>>;

// The functions with a body, by name; overloads share one.
FunctionsByName DefinedFunctions(const Declarations& d) {
    FunctionsByName functions;
    for (size_t i = 0; i < d.all().size(); ++i) {
        const Declaration& f = d.all()[i];
        if (f.kind == DeclarationKind::Function && f.body)
            functions[f.name].push_back(i);
    }
    return functions;
}

// The functions the entry point calls, directly or through others, itself included: every overload
// of a name called, since which one a call takes is not worked out here.
std::vector<size_t> CallTree(const Tokens& t, const Declarations& d, const FunctionsByName& functions,
                             std::string_view entry) {
    std::vector<size_t> reached;
    std::vector<bool> seen(d.all().size());
    const auto reach = [&](std::string_view name) {
        const auto it = functions.find(name);
        if (it == functions.end())
            return;
        for (size_t f : it->second)
            if (!seen[f]) {
                seen[f] = true;
                reached.push_back(f);
            }
    };
    reach(entry);
    for (size_t next = 0; next < reached.size(); ++next) {
        const Declaration& f = d.all()[reached[next]];
        const size_t end = std::min(t.Close(f.body), t.size());
        for (size_t i = f.body + 1; i < end; ++i)
            if (t.IsIdentifier(i) && t.Is(i + 1, "(") && !t.Is(i - 1, "."))
                reach(t.Text(i));
    }
    return reached;
}

// A number literal whose value is zero: `0`, `0.0`, `0.f`, `0u`, `0x0`.
bool IsZero(std::string_view number) {
    std::string digits(number);
    while (!digits.empty() && std::string_view("uUlLfFhH").find(digits.back()) != std::string_view::npos &&
           !(digits.size() > 2 && (digits[1] == 'x' || digits[1] == 'X')))
        digits.pop_back();
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    return end != digits.c_str() && *end == '\0' && value == 0.0;
}

// `x / 0`, `x % 0.0`, `x /= 0`: a literal zero that is the whole divisor.
void FindDivisionsByZero(const Tokens& t, size_t begin, size_t end, std::vector<SourceWarning>* out) {
    for (size_t i = begin; i + 1 < end; ++i) {
        const std::string_view op = t.Text(i);
        if ((op == "/" || op == "%" || op == "/=" || op == "%=") && t[i + 1].kind == TokenKind::Number &&
            IsZero(t.Text(i + 1)) && !t.Is(i + 2, ".") && !t.Is(i + 2, "[") && !t.Is(i + 2, "("))
            out->push_back({i, "division by zero"});
    }
}

} // namespace

std::string FindWarnings(const Tokens& t, const Declarations& d, const LineMap& lines,
                         std::string_view entry) {
    const FunctionsByName functions = DefinedFunctions(d);
    const std::vector<size_t> reached = CallTree(t, d, functions, entry);
    if (reached.empty())
        return {};
    const Functions widths = UserFunctions(t, d);
    std::vector<SourceWarning> found;
    size_t budget = kUninitializedBudget;
    for (size_t f : reached) {
        const Declaration& function = d.all()[f];
        const size_t end = std::min(t.Close(function.body), t.size());
        FindDivisionsByZero(t, function.body, end, &found);
        FindTruncations(t, d, widths, function, &found);
        FindUninitializedReads(t, d, static_cast<int>(f), &budget, &found);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const SourceWarning& a, const SourceWarning& b) { return a.token < b.token; });
    std::string out, last;
    for (const SourceWarning& w : found) {
        std::string line = lines.Place(t[w.token]) + ": warning: " + w.text + "\n";
        if (line != last)
            out += line;
        last = std::move(line);
    }
    return out;
}

} // namespace platform::d3dcompiler
