// Finds the [numthreads] attributes in preprocessed HLSL and checks that their arguments fold to
// integer constants, with a tokenizer just fine enough for attributes and constant declarations.
#include "attributes.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace platform {

namespace {

enum class Kind { Identifier, Number, String, Punctuation };

struct Token {
    Kind kind;
    std::string text;
};

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::vector<Token> Tokenize(const std::string& text) {
    std::vector<Token> tokens;
    for (size_t at = 0; at < text.size();) {
        char c = text[at];
        size_t start = at;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++at;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            while (at < text.size() && (IsIdentifierChar(text[at]) || text[at] == '.'))
                ++at;
            tokens.push_back({Kind::Number, text.substr(start, at - start)});
        } else if (IsIdentifierChar(c)) {
            while (at < text.size() && IsIdentifierChar(text[at]))
                ++at;
            tokens.push_back({Kind::Identifier, text.substr(start, at - start)});
        } else if (c == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\')
                    ++at;
            }
            at = std::min(at + 1, text.size());
            tokens.push_back({Kind::String, text.substr(start, at - start)});
        } else {
            ++at;
            tokens.push_back({Kind::Punctuation, std::string(1, c)});
        }
    }
    return tokens;
}

bool Is(const std::vector<Token>& tokens, size_t at, const char* text) {
    return at < tokens.size() && tokens[at].text == text;
}

bool IsIntegerType(const std::string& name) {
    static const std::set<std::string> kTypes = {"int", "uint", "dword", "min16int", "min16uint"};
    return kTypes.count(name) != 0;
}

// An integer literal: decimal or hexadecimal digits with integer suffixes only, so no float.
bool IsIntegerLiteral(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* allowed = hex ? "0123456789abcdefABCDEFuUlL" : "0123456789uUlL";
    return text.find_first_not_of(allowed, hex ? 2 : 0) == std::string::npos;
}

// True when tokens [begin, end) are one integer constant expression glslang folds on parsing.
bool IsConstantExpression(const std::vector<Token>& tokens, size_t begin, size_t end,
                          const std::set<std::string>& constants) {
    if (begin == end)
        return false;
    for (size_t at = begin; at < end; ++at) {
        const Token& t = tokens[at];
        bool ok = false;
        switch (t.kind) {
        case Kind::Number:
            ok = IsIntegerLiteral(t.text);
            break;
        case Kind::Identifier:
            ok = constants.count(t.text) != 0;
            break;
        case Kind::String:
            break;
        case Kind::Punctuation:
            ok = t.text.find_first_of("+-*/%()<>&|^~") != std::string::npos;
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

// The names declared at file scope `static const T name = ...;` or `const T name = ...;`, with an
// integer type T and an initializer made of literals and the names declared before.
std::set<std::string> IntegerConstants(const std::vector<Token>& tokens) {
    std::set<std::string> constants;
    int depth = 0; // of braces and parentheses: parameters and members are not at file scope
    for (size_t at = 0; at < tokens.size(); ++at) {
        const std::string& t = tokens[at].text;
        if (t == "{" || t == "(")
            ++depth;
        else if (t == "}" || t == ")")
            --depth;
        if (depth != 0 || t != "const")
            continue;
        // Glslang folds `static const` and `const` but not `const static`, which stays out.
        size_t type = at + 1;
        if (type + 2 >= tokens.size() || !IsIntegerType(tokens[type].text) ||
            tokens[type + 1].kind != Kind::Identifier || !Is(tokens, type + 2, "="))
            continue;
        size_t end = type + 3;
        while (end < tokens.size() && tokens[end].text != ";")
            ++end;
        if (end < tokens.size() && IsConstantExpression(tokens, type + 3, end, constants))
            constants.insert(tokens[type + 1].text);
    }
    return constants;
}

} // namespace

bool CheckNumThreads(const std::string& text, std::string* error) {
    const std::vector<Token> tokens = Tokenize(text);
    const std::set<std::string> constants = IntegerConstants(tokens);
    for (size_t at = 0; at < tokens.size(); ++at) {
        // An attribute: "[" or "[[", its name, and no namespace after it.
        if (!Is(tokens, at, "[") || (at > 0 && tokens[at - 1].text == "["))
            continue;
        size_t name = Is(tokens, at + 1, "[") ? at + 2 : at + 1;
        if (!Is(tokens, name, "numthreads") || Is(tokens, name + 1, ":"))
            continue;
        std::vector<size_t> commas;
        size_t close = name + 2;
        if (Is(tokens, name + 1, "(")) {
            for (int depth = 1; close < tokens.size(); ++close) {
                const std::string& t = tokens[close].text;
                if (t == "(")
                    ++depth;
                else if (t == ")" && --depth == 0)
                    break;
                else if (t == "," && depth == 1)
                    commas.push_back(close);
            }
        }
        bool ok = Is(tokens, name + 1, "(") && close < tokens.size() && commas.size() == 2 &&
                  IsConstantExpression(tokens, name + 2, commas[0], constants) &&
                  IsConstantExpression(tokens, commas[0] + 1, commas[1], constants) &&
                  IsConstantExpression(tokens, commas[1] + 1, close, constants);
        if (!ok) {
            *error = "[numthreads(x, y, z)] takes three whole numbers: literals, macros, or integers "
                     "declared static const";
            return false;
        }
    }
    return true;
}

} // namespace platform
