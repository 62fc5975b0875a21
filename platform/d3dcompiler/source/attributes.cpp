// Finds the entry point's [numthreads] in preprocessed HLSL through the shared tokens and declarations,
// and folds its arguments with an evaluator just fine enough for integer constant expressions.
#include "attributes.h"

#include "declarations.h"
#include "line_map.h"
#include "targets.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace platform::d3dcompiler {

namespace {

using Value = std::vector<long long>;

// Windows' compiler folds integer constants in 32 bits: `65536 * 65536 + 8` is 8.
long long Wrap(long long v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// How deep the readers of a source nest their calls at the most.
constexpr int kMaxNesting = 256;

// A recursive-descent evaluator of integer constant expressions over literals and the constants
// declared before; it stops at the first thing it cannot fold and says what that was.
class Evaluator {
  public:
    Evaluator(const Tokens& tokens, const std::map<std::string, Value, std::less<>>& constants)
        : tokens_(tokens), constants_(constants) {}

    // Evaluates tokens [at, end) as one expression.
    bool Evaluate(size_t at, size_t end, Value* value, std::string* error) {
        at_ = at;
        end_ = end;
        error_.clear();
        if (!Conditional(value) ||
            (at_ != end_ && Fail("unexpected '" + std::string(tokens_.Text(at_)) + "'"))) {
            *error = error_;
            return false;
        }
        return true;
    }

    // The token where evaluation stopped.
    size_t at() const { return at_ < end_ ? at_ : end_ - 1; }

  private:
    const Tokens& tokens_;
    const std::map<std::string, Value, std::less<>>& constants_;
    size_t at_ = 0;
    size_t end_ = 0;
    std::string error_;
    int depth_ = 0;

    bool Fail(const std::string& what) {
        if (error_.empty())
            error_ = what;
        return false;
    }
    bool Peek(const char* text) const { return at_ < end_ && tokens_.Text(at_) == text; }
    bool Take(const char* text) {
        if (!Peek(text))
            return false;
        ++at_;
        return true;
    }
    bool Scalar(const Value& v, long long* out) {
        if (v.size() != 1)
            return Fail("a vector where one integer is needed");
        *out = v[0];
        return true;
    }

    // Each nesting of parentheses or unary operators is a call: it stops at a depth the stack holds.
    struct Nested {
        explicit Nested(int* depth) : depth(depth) { ++*depth; }
        ~Nested() { --*depth; }
        bool TooDeep() const { return *depth > kMaxNesting; }
        int* depth;
    };

    bool Conditional(Value* v) {
        const Nested nested(&depth_);
        if (nested.TooDeep())
            return Fail("nested more than " + std::to_string(kMaxNesting) + " deep");
        if (!Binary(0, v))
            return false;
        if (!Take("?"))
            return true;
        long long condition;
        Value a, b;
        if (!Scalar(*v, &condition) || !Conditional(&a) || (!Take(":") && Fail("':' expected")) ||
            !Conditional(&b))
            return false;
        *v = condition ? a : b;
        return true;
    }

    // Binary operators by precedence level, loosest first.
    bool Binary(int level, Value* v) {
        static const std::vector<std::vector<std::string>> kLevels = {
            {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == static_cast<int>(kLevels.size()))
            return Unary(v);
        if (!Binary(level + 1, v))
            return false;
        for (;;) {
            std::string op;
            for (const std::string& candidate : kLevels[level]) {
                if (Peek(candidate.c_str()))
                    op = candidate;
            }
            if (op.empty())
                return true;
            ++at_;
            Value right;
            long long a, b;
            if (!Binary(level + 1, &right) || !Scalar(*v, &a) || !Scalar(right, &b))
                return false;
            if ((op == "/" || op == "%") && b == 0)
                return Fail("division by zero");
            long long r = 0;
            if (op == "||")
                r = a || b;
            else if (op == "&&")
                r = a && b;
            else if (op == "|")
                r = a | b;
            else if (op == "^")
                r = a ^ b;
            else if (op == "&")
                r = a & b;
            else if (op == "==")
                r = a == b;
            else if (op == "!=")
                r = a != b;
            else if (op == "<")
                r = a < b;
            else if (op == ">")
                r = a > b;
            else if (op == "<=")
                r = a <= b;
            else if (op == ">=")
                r = a >= b;
            else if (op == "<<")
                r = static_cast<long long>(static_cast<uint32_t>(a) << (b & 31));
            else if (op == ">>")
                r = static_cast<int32_t>(a) >> (b & 31);
            else if (op == "+")
                r = a + b;
            else if (op == "-")
                r = a - b;
            else if (op == "*")
                r = a * b;
            else if (op == "/")
                r = a / b;
            else
                r = a % b;
            *v = {Wrap(r)};
        }
    }

    bool Unary(Value* v) {
        const Nested nested(&depth_);
        if (nested.TooDeep())
            return Fail("nested more than " + std::to_string(kMaxNesting) + " deep");
        for (const char* op : {"-", "+", "!", "~"}) {
            if (!Take(op))
                continue;
            long long a;
            if (!Unary(v) || !Scalar(*v, &a))
                return false;
            *v = {Wrap(op[0] == '-' ? -a : op[0] == '!' ? !a : op[0] == '~' ? ~a : a)};
            return true;
        }
        size_t components;
        // A cast: `(uint)8`.
        if (Peek("(") && at_ + 2 < end_ && IsIntegerType(tokens_.Text(at_ + 1), &components) &&
            tokens_.Is(at_ + 2, ")")) {
            at_ += 3;
            return Unary(v);
        }
        return Postfix(v);
    }

    bool Postfix(Value* v) {
        if (!Primary(v))
            return false;
        for (;;) {
            if (Take(".")) {
                if (at_ >= end_ || tokens_[at_].kind != TokenKind::Identifier)
                    return Fail("a component name expected after '.'");
                const std::string swizzle(tokens_.Text(at_++));
                Value picked;
                for (char c : swizzle) {
                    const char* names = std::strchr("xyzw", c) ? "xyzw" : "rgba";
                    const char* found = std::strchr(names, c);
                    if (!found || size_t(found - names) >= v->size())
                        return Fail("'" + swizzle + "' is not a component of the constant");
                    picked.push_back((*v)[found - names]);
                }
                *v = picked;
            } else if (Take("[")) {
                Value index;
                long long i;
                if (!Conditional(&index) || !Scalar(index, &i) || (!Take("]") && Fail("']' expected")))
                    return false;
                if (i < 0 || size_t(i) >= v->size())
                    return Fail("index " + std::to_string(i) + " out of range");
                *v = {(*v)[i]};
            } else {
                return true;
            }
        }
    }

    bool Primary(Value* v) {
        if (at_ >= end_)
            return Fail("an expression expected");
        const Token& t = tokens_[at_];
        const std::string_view text = tokens_.Text(at_);
        if (Take("(")) {
            return Conditional(v) && (Take(")") || Fail("')' expected"));
        }
        if (t.kind == TokenKind::Number) {
            const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
            const char* allowed = hex ? "0123456789abcdefABCDEFuUlL" : "0123456789uUlL";
            if (text.find_first_not_of(allowed, hex ? 2 : 0) != std::string::npos)
                return Fail(std::string(text).insert(0, 1, '\'') + "' is not a whole number");
            *v = {Wrap(static_cast<long long>(std::strtoull(std::string(text).c_str(), nullptr, 0)))};
            ++at_;
            return true;
        }
        if (t.kind != TokenKind::Identifier)
            return Fail("unexpected '" + std::string(text) + "'");
        if (text == "true" || text == "false") {
            *v = {text == "true"};
            ++at_;
            return true;
        }
        if ((text == "min" || text == "max" || text == "abs") && tokens_.Is(at_ + 1, "(")) {
            // The integer intrinsics Windows folds in constants: `max(STEP, 32)`.
            at_ += 2;
            std::vector<long long> args;
            do {
                Value part;
                long long a;
                if (!Conditional(&part) || !Scalar(part, &a))
                    return false;
                args.push_back(a);
            } while (Take(","));
            if (!Take(")") || args.size() != (text == "abs" ? 1u : 2u))
                return Fail("'" + std::string(text) + "' takes " +
                            (text == "abs" ? "one argument" : "two arguments"));
            *v = {text == "abs"   ? std::llabs(args[0])
                  : text == "min" ? std::min(args[0], args[1])
                                  : std::max(args[0], args[1])};
            return true;
        }
        size_t components;
        if (IsIntegerType(text, &components)) {
            // A constructor or function-style cast: `uint(8)`, `uint2(8, 4)`.
            ++at_;
            if (!Take("("))
                return Fail("'(' expected after '" + std::string(text) + "'");
            v->clear();
            do {
                Value part;
                if (!Conditional(&part))
                    return false;
                v->insert(v->end(), part.begin(), part.end());
            } while (Take(","));
            if (!Take(")"))
                return Fail("')' expected");
            if (v->size() != components && !(v->size() == 1 && components > 0))
                return Fail("'" + std::string(text) + "' takes " + std::to_string(components) +
                            " components");
            v->resize(components, v->front());
            return true;
        }
        auto it = constants_.find(text);
        if (it == constants_.end())
            return Fail("'" + std::string(text) + "' is not an integer constant");
        *v = it->second;
        ++at_;
        return true;
    }
};

// The file-scope constants `static const T name = ...;` and `const T name = ...;` of an integer
// scalar or vector type T, in declaration order, whose initializer folds. Glslang crashes on
// `const static T` in an attribute, so that order is no constant here.
std::map<std::string, Value, std::less<>> IntegerConstants(const Tokens& t,
                                                           const Declarations& declarations) {
    std::map<std::string, Value, std::less<>> constants;
    for (const Declaration& d : declarations.all()) {
        size_t components;
        if (d.kind != DeclarationKind::Global || d.initializer.empty() || !d.arraySizes.empty() ||
            !IsIntegerType(declarations.TypeName(d), &components) || d.qualifiers.empty() ||
            !t.Is(d.qualifiers.back(), "const") || d.qualifiers.back() + 1 != d.type.begin)
            continue;
        Value value;
        std::string ignored;
        if (Evaluator(t, constants).Evaluate(d.initializer.begin, d.initializer.end, &value, &ignored) &&
            value.size() == components)
            constants[std::string(d.name)] = value;
    }
    return constants;
}

// The token naming the attribute `name` before the function whose first token is at `first`, or 0.
size_t FindAttribute(const Tokens& t, size_t first, std::string_view name) {
    size_t at = first;
    while (at > 0 && t.Is(at - 1, "]")) {
        size_t open = at - 1;
        int depth = 0;
        for (; open > 0; --open) {
            if (t.Is(open, "]"))
                ++depth;
            else if (t.Is(open, "[") && --depth == 0)
                break;
        }
        size_t named = open + 1;
        if (t.Is(named, "["))
            ++named;
        if (t.Is(named, name))
            return named;
        at = open > 0 && t.Is(open - 1, "[") ? open - 1 : open;
    }
    return 0;
}

// The first declaration of function `entry`, and the attribute `name` before the first of its
// declarations that has one; 0 where there is none.
void FindEntryPoint(const Tokens& t, const Declarations& declarations, const std::string& entry,
                    std::string_view name, size_t* declared, size_t* attribute) {
    for (const Declaration& d : declarations.all()) {
        if (d.kind != DeclarationKind::Function || d.owner >= 0 || d.name != entry)
            continue;
        *declared = *declared ? *declared : d.nameToken;
        *attribute = *attribute ? *attribute : FindAttribute(t, d.first, name);
    }
}

// Where the three arguments of the attribute at `attribute` lie: argument i is tokens [bounds[i],
// bounds[i + 1] - 1). False when they are not three within parentheses.
bool SplitArguments(const Tokens& t, size_t attribute, size_t bounds[4]) {
    if (!t.Is(attribute + 1, "("))
        return false;
    std::vector<size_t> commas;
    size_t close = attribute + 2;
    for (int level = 1; close < t.size(); ++close) {
        if (t.Is(close, "("))
            ++level;
        else if (t.Is(close, ")") && --level == 0)
            break;
        else if (t.Is(close, ",") && level == 1)
            commas.push_back(close);
    }
    if (close >= t.size() || commas.size() != 2)
        return false;
    bounds[0] = attribute + 2;
    bounds[1] = commas[0] + 1;
    bounds[2] = commas[1] + 1;
    bounds[3] = close + 1;
    return true;
}

// Folds the attribute's arguments into the thread group size, each dimension at least 1.
bool FoldThreadGroupSize(const Tokens& t, const Declarations& declarations, const LineMap& lines,
                         size_t attribute, const size_t bounds[4], uint32_t size[3], std::string* error) {
    const Token& at = t[attribute];
    const std::map<std::string, Value, std::less<>> constants = IntegerConstants(t, declarations);
    for (int i = 0; i < 3; ++i) {
        Evaluator evaluator(t, constants);
        Value value;
        std::string why;
        if (bounds[i] == bounds[i + 1] - 1 ||
            !evaluator.Evaluate(bounds[i], bounds[i + 1] - 1, &value, &why) || value.size() != 1) {
            const Token& where = bounds[i] == bounds[i + 1] - 1 ? at : t[evaluator.at()];
            *error = lines.Where(where) + "[numthreads(x, y, z)] takes three integer constants: " +
                     (why.empty() ? "an integer constant expected" : why) + "\n";
            return false;
        }
        if (value[0] < 1 || value[0] > 0xffffffffll) {
            *error = lines.Where(at) + "[numthreads] " + std::string(1, "xyz"[i]) + " is " +
                     std::to_string(value[0]) +
                     ": each dimension of a thread group is at least 1 and at most " + "1024\n";
            return false;
        }
        size[i] = static_cast<uint32_t>(value[0]);
    }
    return true;
}

} // namespace

bool CheckNumThreads(const std::string& text, const std::string& name, const std::string& entry,
                     ShaderStage stage, const char* target, std::string* error) {
    if (stage != ShaderStage::Compute && stage != ShaderStage::Geometry)
        return true;
    const Tokens t(text);
    const Declarations declarations(t);
    const LineMap lines(t, name);
    size_t declared = 0, attribute = 0;
    const bool geometry = stage == ShaderStage::Geometry;
    FindEntryPoint(t, declarations, entry, geometry ? "maxvertexcount" : "numthreads", &declared, &attribute);
    if (!declared)
        return true; // the compile says the entry point is missing
    if (geometry) {
        // Glslang crashes on a geometry stage without it, or asks for a GLSL layout.
        if (!attribute)
            *error = lines.Where(t[declared]) + "geometry entry point '" + entry +
                     "' has no [maxvertexcount(n)] attribute\n";
        return attribute != 0;
    }
    if (!attribute) {
        *error = lines.Where(t[declared]) + "compute entry point '" + entry +
                 "' has no [numthreads(x, y, z)] attribute\n";
        return false;
    }
    const Token& at = t[attribute];
    size_t bounds[4];
    if (!SplitArguments(t, attribute, bounds)) {
        *error = lines.Where(at) + "[numthreads(x, y, z)] takes three whole numbers\n";
        return false;
    }
    uint32_t size[3];
    if (!FoldThreadGroupSize(t, declarations, lines, attribute, bounds, size, error))
        return false;
    std::string why;
    if (!CheckThreadGroupSize(target, size, &why)) {
        *error = lines.Where(at) + "[numthreads] " + why + "\n";
        return false;
    }
    return true;
}

} // namespace platform::d3dcompiler
