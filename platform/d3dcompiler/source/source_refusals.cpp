#include "source_refusals.h"

#include "source_checks.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

namespace platform::d3dcompiler {

namespace {

// Windows' limit on each dimension of an array.
constexpr unsigned long long kMaxArrayDimension = 65536;

bool HasQualifier(const Tokens& t, const Declaration& d, std::string_view word) {
    return std::any_of(d.qualifiers.begin(), d.qualifiers.end(), [&](size_t q) { return t.Text(q) == word; });
}

// A swizzle of one set, `xyzw` or `rgba`, that names a component twice.
bool RepeatsComponent(std::string_view s) {
    if (s.size() < 2 || s.size() > 4)
        return false;
    const std::string_view set =
        std::string_view("xyzw").find(s[0]) != std::string_view::npos ? "xyzw" : "rgba";
    bool seen[4] = {};
    bool repeated = false;
    for (char c : s) {
        const size_t k = set.find(c);
        if (k == std::string_view::npos)
            return false;
        repeated = repeated || seen[k];
        seen[k] = true;
    }
    return repeated;
}

void CheckDeclaration(const Tokens& t, const Declaration& v, std::vector<SourceWarning>* out) {
    const std::string name = "'" + std::string(v.name) + "': ";
    const bool isStatic = HasQualifier(t, v, "static");
    if (isStatic && HasQualifier(t, v, "uniform"))
        out->push_back({v.first, name + "a variable is either static or uniform, not both"});
    if (HasQualifier(t, v, "const") && v.initializer.empty() &&
        (v.kind == DeclarationKind::Local || (v.kind == DeclarationKind::Global && isStatic)) &&
        !t.Is(v.nameToken + 1, "{"))
        out->push_back({v.nameToken, name + "a const variable needs an initial value"});
    for (const TokenRange& size : v.arraySizes) {
        if (size.end != size.begin + 1 || t[size.begin].kind != TokenKind::Number)
            continue;
        const std::string digits(t.Text(size.begin));
        const unsigned long long n = std::strtoull(digits.c_str(), nullptr, 0);
        if (n > kMaxArrayDimension)
            out->push_back({size.begin, name + "an array dimension is " + digits +
                                            "; each may have at most 65536 elements"});
    }
}

// `v.xx = ...`: Windows refuses a swizzle written to that names a component twice; glslang writes
// one of the values. A member of a structure spelled like a swizzle is not one.
void CheckSwizzleTargets(const Tokens& t, const std::unordered_set<std::string_view>& members,
                         std::vector<SourceWarning>* out) {
    for (size_t i = 1; i + 2 < t.size(); ++i) {
        if (!t.Is(i, ".") || !t.IsIdentifier(i + 1) || !IsAssignment(t.Text(i + 2)))
            continue;
        const std::string_view swizzle = t.Text(i + 1);
        if (RepeatsComponent(swizzle) && !members.count(swizzle))
            out->push_back({i + 1, "'." + std::string(swizzle) +
                                       "': a swizzle assigned to may not name a component twice"});
    }
}

// An entry point returning a value must say with a semantic where it goes; a prototype may say it.
void CheckEntryReturn(const Tokens& t, const Declarations& d, std::string_view entry,
                      std::vector<SourceWarning>* out) {
    const Declaration* defined = nullptr;
    for (const Declaration& f : d.all()) {
        if (f.kind != DeclarationKind::Function || f.owner >= 0 || f.name != entry)
            continue;
        const size_t close = t.Close(f.nameToken + 1);
        if (!IsNumericType(d.TypeName(f)) || close >= t.size() || t.Is(close + 1, ":"))
            return;
        defined = f.body ? &f : defined;
    }
    if (defined)
        out->push_back({defined->nameToken,
                        "'" + std::string(entry) + "': the entry point's return value has no semantic"});
}

} // namespace

std::string FindRefusals(const Tokens& t, const Declarations& d, const LineMap& lines,
                         std::string_view entry) {
    std::vector<SourceWarning> found;
    std::unordered_set<std::string_view> members;
    for (const Declaration& v : d.all()) {
        if (v.kind == DeclarationKind::Member)
            members.insert(v.name);
        if (v.kind == DeclarationKind::Global || v.kind == DeclarationKind::Local ||
            v.kind == DeclarationKind::Parameter || v.kind == DeclarationKind::Member ||
            v.kind == DeclarationKind::BufferMember)
            CheckDeclaration(t, v, &found);
    }
    CheckSwizzleTargets(t, members, &found);
    CheckEntryReturn(t, d, entry, &found);
    std::stable_sort(found.begin(), found.end(),
                     [](const SourceWarning& a, const SourceWarning& b) { return a.token < b.token; });
    std::string out;
    for (const SourceWarning& refusal : found)
        out += lines.Where(t[refusal.token]) + refusal.text + "\n";
    return out;
}

} // namespace platform::d3dcompiler
