// Finds the entry point's [numthreads] in preprocessed HLSL and folds its arguments, with a tokenizer
// and an expression evaluator just fine enough for integer constant expressions.
#include "attributes.h"

#include "targets.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <map>
#include <string_view>
#include <vector>

namespace platform {

namespace {

enum class Kind { Identifier, Number, String, Punctuation };

struct Token {
    Kind kind;
    std::string_view text; // into the preprocessed text
    size_t line;           // index into Source::lines
};

struct Source {
    std::vector<Token> tokens;
    std::vector<std::string> files;
    // The file (index into files) and line number of each line of the text.
    std::vector<std::pair<size_t, unsigned>> lines;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_';
}

// `#line N "file"` makes the next line N of file; other directives were consumed by the preprocessor.
void LineDirective(const std::string& directive, std::string* file, unsigned* next) {
    const char* at = directive.c_str() + 1;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (std::strncmp(at, "line", 4) != 0)
        return;
    char* end = nullptr;
    const unsigned long number = std::strtoul(at + 4, &end, 10);
    if (end == at + 4)
        return;
    *next = static_cast<unsigned>(number);
    const char* quote = std::strchr(end, '"');
    const char* close = quote ? std::strchr(quote + 1, '"') : nullptr;
    if (close)
        *file = std::string(quote + 1, close);
}

Source Tokenize(const std::string& text, const std::string& name) {
    Source s;
    std::string file = name;
    s.files.push_back(file);
    unsigned number = 1;
    s.lines.push_back({0, number});
    const std::string_view view(text);
    s.tokens.reserve(text.size() / 4);
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        const size_t start = at;
        const size_t line = s.lines.size() - 1;
        if (c == '\n') {
            ++at;
            s.lines.push_back({s.files.size() - 1, ++number});
        } else if (c == '#' && (at == 0 || text[at - 1] == '\n')) {
            while (at < text.size() && text[at] != '\n')
                ++at;
            unsigned next = number + 1;
            LineDirective(text.substr(start, at - start), &file, &next);
            number = next - 1;
            if (file != s.files.back())
                s.files.push_back(file);
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
            ++at;
        } else if (IsDigit(c)) {
            while (at < text.size() && (IsIdentifierChar(text[at]) || text[at] == '.'))
                ++at;
            s.tokens.push_back({Kind::Number, view.substr(start, at - start), line});
        } else if (IsIdentifierChar(c)) {
            while (at < text.size() && IsIdentifierChar(text[at]))
                ++at;
            s.tokens.push_back({Kind::Identifier, view.substr(start, at - start), line});
        } else if (c == '"') {
            for (++at; at < text.size() && text[at] != '"' && text[at] != '\n'; ++at) {
                if (text[at] == '\\')
                    ++at;
            }
            at = std::min(at + 1, text.size());
            s.tokens.push_back({Kind::String, view.substr(start, at - start), line});
        } else {
            // Two-character operators the evaluator reads.
            static const char* const kPairs[] = {"==", "!=", "<=", ">=", "&&", "||", "<<", ">>"};
            size_t length = 1;
            for (const char* pair : kPairs) {
                if (text.compare(at, 2, pair) == 0)
                    length = 2;
            }
            at += length;
            s.tokens.push_back({Kind::Punctuation, view.substr(start, length), line});
        }
    }
    return s;
}

bool IsIntegerType(std::string_view name, size_t* components) {
    static const char* const kScalars[] = {"int", "uint", "dword", "min16int", "min16uint", "bool"};
    for (const char* scalar : kScalars) {
        const size_t n = std::strlen(scalar);
        if (name.compare(0, n, scalar) != 0)
            continue;
        if (name.size() == n) {
            *components = 1;
            return true;
        }
        if (name.size() == n + 1 && name[n] >= '1' && name[n] <= '4') {
            *components = name[n] - '0';
            return true;
        }
    }
    return false;
}

using Value = std::vector<long long>;

// A recursive-descent evaluator of integer constant expressions over literals and the constants
// declared before; it stops at the first thing it cannot fold and says what that was.
class Evaluator {
  public:
    Evaluator(const std::vector<Token>& tokens, const std::map<std::string, Value, std::less<>>& constants)
        : tokens_(tokens), constants_(constants) {}

    // Evaluates tokens [at, end) as one expression.
    bool Evaluate(size_t at, size_t end, Value* value, std::string* error) {
        at_ = at;
        end_ = end;
        error_.clear();
        if (!Conditional(value) ||
            (at_ != end_ && Fail("unexpected '" + std::string(tokens_[at_].text) + "'"))) {
            *error = error_;
            return false;
        }
        return true;
    }

    // The token where evaluation stopped.
    size_t at() const { return at_ < end_ ? at_ : end_ - 1; }

  private:
    const std::vector<Token>& tokens_;
    const std::map<std::string, Value, std::less<>>& constants_;
    size_t at_ = 0;
    size_t end_ = 0;
    std::string error_;

    bool Fail(const std::string& what) {
        if (error_.empty())
            error_ = what;
        return false;
    }
    bool Peek(const char* text) const { return at_ < end_ && tokens_[at_].text == text; }
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

    bool Conditional(Value* v) {
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
                r = b >= 0 && b < 63 ? a << b : 0;
            else if (op == ">>")
                r = b >= 0 && b < 63 ? a >> b : 0;
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
            *v = {r};
        }
    }

    bool Unary(Value* v) {
        for (const char* op : {"-", "+", "!", "~"}) {
            if (!Take(op))
                continue;
            long long a;
            if (!Unary(v) || !Scalar(*v, &a))
                return false;
            *v = {op[0] == '-' ? -a : op[0] == '!' ? !a : op[0] == '~' ? ~a : a};
            return true;
        }
        size_t components;
        // A cast: `(uint)8`.
        if (Peek("(") && at_ + 2 < end_ && IsIntegerType(tokens_[at_ + 1].text, &components) &&
            tokens_[at_ + 2].text == ")") {
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
                if (at_ >= end_ || tokens_[at_].kind != Kind::Identifier)
                    return Fail("a component name expected after '.'");
                const std::string swizzle(tokens_[at_++].text);
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
        if (Take("(")) {
            return Conditional(v) && (Take(")") || Fail("')' expected"));
        }
        if (t.kind == Kind::Number) {
            const bool hex = t.text.size() > 2 && t.text[0] == '0' && (t.text[1] == 'x' || t.text[1] == 'X');
            const char* allowed = hex ? "0123456789abcdefABCDEFuUlL" : "0123456789uUlL";
            if (t.text.find_first_not_of(allowed, hex ? 2 : 0) != std::string::npos)
                return Fail(std::string(t.text).insert(0, 1, '\'') + "' is not a whole number");
            *v = {std::strtoll(std::string(t.text).c_str(), nullptr, 0)};
            ++at_;
            return true;
        }
        if (t.kind != Kind::Identifier)
            return Fail("unexpected '" + std::string(t.text) + "'");
        if (t.text == "true" || t.text == "false") {
            *v = {t.text == "true"};
            ++at_;
            return true;
        }
        size_t components;
        if (IsIntegerType(t.text, &components)) {
            // A constructor or function-style cast: `uint(8)`, `uint2(8, 4)`.
            ++at_;
            if (!Take("("))
                return Fail("'(' expected after '" + std::string(t.text) + "'");
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
                return Fail("'" + std::string(t.text) + "' takes " + std::to_string(components) +
                            " components");
            v->resize(components, v->front());
            return true;
        }
        auto it = constants_.find(t.text);
        if (it == constants_.end())
            return Fail("'" + std::string(t.text) + "' is not an integer constant");
        *v = it->second;
        ++at_;
        return true;
    }
};

// Counts `t` into the depth of braces and parentheses; true when it is one of them.
bool Nest(std::string_view t, int* depth) {
    if (t == "{" || t == "(")
        ++*depth;
    else if (t == "}" || t == ")")
        --*depth;
    else
        return false;
    return true;
}

// The file-scope constants `static const T name = ...;` and `const T name = ...;` of an integer
// scalar or vector type T, in declaration order, whose initializer folds.
std::map<std::string, Value, std::less<>> IntegerConstants(const std::vector<Token>& tokens) {
    std::map<std::string, Value, std::less<>> constants;
    int depth = 0; // of braces and parentheses: parameters and members are not at file scope
    for (size_t at = 0; at < tokens.size(); ++at) {
        const std::string_view t = tokens[at].text;
        size_t components;
        if (Nest(t, &depth) || depth != 0 || t != "const" || at + 3 >= tokens.size() ||
            !IsIntegerType(tokens[at + 1].text, &components) || tokens[at + 2].kind != Kind::Identifier ||
            tokens[at + 3].text != "=")
            continue;
        size_t end = at + 4;
        while (end < tokens.size() && tokens[end].text != ";")
            ++end;
        Value value;
        std::string ignored;
        if (Evaluator(tokens, constants).Evaluate(at + 4, end, &value, &ignored) &&
            value.size() == components)
            constants[std::string(tokens[at + 2].text)] = value;
    }
    return constants;
}

std::string Where(const Source& s, const Token& t) {
    const auto& [file, line] = s.lines[t.line];
    return s.files[file] + ":" + std::to_string(line) + ": error: ";
}

// The token of `[` opening the [numthreads] attribute before the function name at `name`, or 0.
size_t FindAttribute(const std::vector<Token>& tokens, size_t name) {
    size_t at = name;
    // Back over the return type and its qualifiers, then over each attribute `[...]`.
    while (at > 0 && tokens[at - 1].kind == Kind::Identifier)
        --at;
    while (at > 0 && tokens[at - 1].text == "]") {
        size_t open = at - 1;
        int depth = 0;
        for (; open > 0; --open) {
            if (tokens[open].text == "]")
                ++depth;
            else if (tokens[open].text == "[" && --depth == 0)
                break;
        }
        size_t first = open + 1;
        if (first < tokens.size() && tokens[first].text == "[")
            ++first;
        if (first < tokens.size() && tokens[first].text == "numthreads")
            return first;
        at = open > 0 && tokens[open - 1].text == "[" ? open - 1 : open;
    }
    return 0;
}

// The first file-scope declaration of function `entry`, and the [numthreads] before the first of its
// declarations that has one; 0 where there is none.
void FindEntryPoint(const std::vector<Token>& tokens, const std::string& entry, size_t* declared,
                    size_t* attribute) {
    int depth = 0;
    for (size_t at = 0; at < tokens.size(); ++at) {
        const std::string_view t = tokens[at].text;
        if (!Nest(t, &depth) && depth == 0 && t == entry && at > 0 &&
            tokens[at - 1].kind == Kind::Identifier && at + 1 < tokens.size() && tokens[at + 1].text == "(") {
            *declared = *declared ? *declared : at;
            *attribute = *attribute ? *attribute : FindAttribute(tokens, at);
        }
    }
}

// Where the three arguments of the attribute at `attribute` lie: argument i is tokens [bounds[i],
// bounds[i + 1] - 1). False when they are not three within parentheses.
bool SplitArguments(const std::vector<Token>& tokens, size_t attribute, size_t bounds[4]) {
    if (attribute + 1 >= tokens.size() || tokens[attribute + 1].text != "(")
        return false;
    std::vector<size_t> commas;
    size_t close = attribute + 2;
    for (int level = 1; close < tokens.size(); ++close) {
        const std::string_view t = tokens[close].text;
        if (t == "(")
            ++level;
        else if (t == ")" && --level == 0)
            break;
        else if (t == "," && level == 1)
            commas.push_back(close);
    }
    if (close >= tokens.size() || commas.size() != 2)
        return false;
    bounds[0] = attribute + 2;
    bounds[1] = commas[0] + 1;
    bounds[2] = commas[1] + 1;
    bounds[3] = close + 1;
    return true;
}

// Folds the attribute's arguments into the thread group size, each dimension at least 1.
bool FoldThreadGroupSize(const Source& s, size_t attribute, const size_t bounds[4], uint32_t size[3],
                         std::string* error) {
    const std::vector<Token>& tokens = s.tokens;
    const Token& at = tokens[attribute];
    const std::map<std::string, Value, std::less<>> constants = IntegerConstants(tokens);
    for (int i = 0; i < 3; ++i) {
        Evaluator evaluator(tokens, constants);
        Value value;
        std::string why;
        if (bounds[i] == bounds[i + 1] - 1 ||
            !evaluator.Evaluate(bounds[i], bounds[i + 1] - 1, &value, &why) || value.size() != 1) {
            const Token& where = bounds[i] == bounds[i + 1] - 1 ? at : tokens[evaluator.at()];
            *error = Where(s, where) + "[numthreads(x, y, z)] takes three integer constants: " +
                     (why.empty() ? "an integer constant expected" : why) + "\n";
            return false;
        }
        if (value[0] < 1 || value[0] > 0xffffffffll) {
            *error = Where(s, at) + "[numthreads] " + std::string(1, "xyz"[i]) + " is " +
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
    if (stage != ShaderStage::Compute)
        return true;
    const Source s = Tokenize(text, name);
    size_t declared = 0, attribute = 0;
    FindEntryPoint(s.tokens, entry, &declared, &attribute);
    if (!declared)
        return true; // the compile says the entry point is missing
    if (!attribute) {
        *error = Where(s, s.tokens[declared]) + "compute entry point '" + entry +
                 "' has no [numthreads(x, y, z)] attribute\n";
        return false;
    }
    const Token& at = s.tokens[attribute];
    size_t bounds[4];
    if (!SplitArguments(s.tokens, attribute, bounds)) {
        *error = Where(s, at) + "[numthreads(x, y, z)] takes three whole numbers\n";
        return false;
    }
    uint32_t size[3];
    if (!FoldThreadGroupSize(s, attribute, bounds, size, error))
        return false;
    std::string why;
    if (!CheckThreadGroupSize(target, size, &why)) {
        *error = Where(s, at) + "[numthreads] " + why + "\n";
        return false;
    }
    return true;
}

} // namespace platform
