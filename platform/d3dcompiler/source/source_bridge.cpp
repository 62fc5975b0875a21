// The source pass of source_bridge.h: one tokenizer over the raw text, then rewrites collected as
// edits and applied in one sweep. Regions that are blanked keep their line breaks.
#include "source_bridge.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <vector>

namespace platform {

namespace {

enum class Kind { Identifier, Number, Punctuation };

struct Token {
    Kind kind;
    size_t begin;
    size_t end;
};

struct Edit {
    size_t at;
    size_t length;
    std::string text;
};

// Glslang crashes on msad4, so calls go to this definition of it, put before the source once for
// every file that calls it; `#line` keeps the file's numbering.
constexpr char kMsad4Name[] = "msad4_fxview";
const std::string kMsad4 =
    "#ifndef MSAD4_FXVIEW\n"
    "#define MSAD4_FXVIEW\n"
    "uint4 msad4_fxview(uint reference, uint2 source, uint4 accum) {\n"
    "    for (uint i = 0; i < 4; ++i) {\n"
    "        uint s = i == 0 ? source.x : (source.x >> (8 * i)) | (source.y << (32 - 8 * i));\n"
    "        for (uint b = 0; b < 32; b += 8) {\n"
    "            uint r = (reference >> b) & 0xFF, v = (s >> b) & 0xFF;\n"
    "            accum[i] += r == 0 ? 0 : (r > v ? r - v : v - r);\n"
    "        }\n"
    "    }\n"
    "    return accum;\n"
    "}\n"
    "#endif\n"
    "#line 1\n";

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

class Bridge {
  public:
    explicit Bridge(std::string text) : text_(std::move(text)) {}

    // Spellings are rewritten first, so that the structures read the rewritten words.
    std::string Run() {
        Tokenize();
        for (size_t i = 0; i < tokens_.size(); ++i)
            Respell(i);
        for (size_t i = 0; i < tokens_.size(); ++i)
            Visit(i);
        return usesMsad4_ ? kMsad4 + Apply() : Apply();
    }

  private:
    // Rewrites of the same length are made here at once; the others are edits_, applied last.
    std::string text_;
    std::vector<Token> tokens_;
    std::vector<Edit> edits_;
    // The for-loop variables moved before their loop, per open brace: name and type text.
    std::vector<std::map<std::string, std::string>> hoisted_ = {{}};
    bool usesMsad4_ = false;

    // A token's end without the spaces a rewrite left at its end.
    size_t End(size_t i) const {
        size_t end = tokens_[i].end;
        while (end > tokens_[i].begin && text_[end - 1] == ' ')
            --end;
        return end;
    }
    std::string Text(size_t i) const { return text_.substr(tokens_[i].begin, End(i) - tokens_[i].begin); }
    bool Is(size_t i, const char* s) const {
        const size_t n = std::strlen(s);
        return i < tokens_.size() && End(i) - tokens_[i].begin == n &&
               text_.compare(tokens_[i].begin, n, s) == 0;
    }

    void Replace(size_t at, size_t length, std::string text) {
        if (text.size() == length)
            text_.replace(at, length, text);
        else
            edits_.push_back({at, length, std::move(text)});
    }

    // Spaces for [begin, end), keeping its line breaks.
    void Blank(size_t begin, size_t end) {
        std::string blank = text_.substr(begin, end - begin);
        for (char& c : blank) {
            if (c != '\n' && c != '\r')
                c = ' ';
        }
        Replace(begin, end - begin, std::move(blank));
    }

    // Apostrophes open no character constant in HLSL; glslang's preprocessor stops at them even in
    // skipped blocks and `#error` text, so they become spaces outside strings and comments.
    void Directive(size_t begin, size_t end) {
        bool quoted = false;
        for (size_t at = begin; at < end; ++at) {
            if (text_[at] == '"')
                quoted = !quoted;
            else if (text_[at] == '\'' && !quoted)
                Replace(at, 1, " ");
            else if (!quoted && text_.compare(at, 2, "//") == 0)
                break;
        }
    }

    void Tokenize() {
        const size_t n = text_.size();
        bool lineStart = true;
        for (size_t at = 0; at < n;) {
            const char c = text_[at];
            const size_t start = at;
            if (c == '\n') {
                lineStart = true;
                ++at;
                continue;
            }
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++at;
                continue;
            }
            if (c == '/' && at + 1 < n && text_[at + 1] == '/') {
                while (at < n && text_[at] != '\n')
                    ++at;
                continue;
            }
            if (c == '/' && at + 1 < n && text_[at + 1] == '*') {
                const size_t close = text_.find("*/", at + 2);
                at = close == std::string::npos ? n : close + 2;
                continue;
            }
            if (c == '#' && lineStart) {
                // A directive runs to the end of its line, and on past escaped line breaks.
                while (at < n && text_[at] != '\n')
                    at += text_[at] == '\\' && at + 1 < n ? 2 : 1;
                Directive(start, at);
                continue;
            }
            lineStart = false;
            if (c == '"') {
                for (++at; at < n && text_[at] != '"' && text_[at] != '\n'; ++at) {
                    if (text_[at] == '\\')
                        ++at;
                }
                at = std::min(at + 1, n);
                continue;
            }
            if (c == '\'') {
                Replace(at++, 1, " ");
                continue;
            }
            if (std::isdigit(static_cast<unsigned char>(c)) ||
                (c == '.' && at + 1 < n && std::isdigit(static_cast<unsigned char>(text_[at + 1])))) {
                const bool hex = c == '0' && at + 1 < n && (text_[at + 1] == 'x' || text_[at + 1] == 'X');
                while (at < n && (IsIdentifierChar(text_[at]) || text_[at] == '.' ||
                                  (!hex && (text_[at] == '+' || text_[at] == '-') &&
                                   (text_[at - 1] == 'e' || text_[at - 1] == 'E'))))
                    ++at;
                tokens_.push_back({Kind::Number, start, at});
                continue;
            }
            if (IsIdentifierStart(c)) {
                while (at < n && IsIdentifierChar(text_[at]))
                    ++at;
                tokens_.push_back({Kind::Identifier, start, at});
                continue;
            }
            tokens_.push_back({Kind::Punctuation, start, ++at});
        }
    }

    // The token after the one that closes the bracket opened at `open`, or tokens_.size().
    size_t AfterClose(size_t open) const {
        const char opening = text_[tokens_[open].begin];
        const char closing = opening == '(' ? ')' : opening == '[' ? ']' : opening == '<' ? '>' : '}';
        int depth = 0;
        for (size_t i = open; i < tokens_.size(); ++i) {
            if (tokens_[i].kind != Kind::Punctuation)
                continue;
            const char c = text_[tokens_[i].begin];
            if (c == opening)
                ++depth;
            else if (c == closing && --depth == 0)
                return i + 1;
        }
        return tokens_.size();
    }

    // The words and numbers Windows' compiler spells otherwise.
    void Respell(size_t i) {
        const Token& t = tokens_[i];
        if (t.kind == Kind::Number) {
            // `3lu` is `3ul` to Windows' compiler.
            const size_t length = t.end - t.begin;
            if (length > 2 && std::tolower(text_[t.end - 2]) == 'l' && std::tolower(text_[t.end - 1]) == 'u')
                Replace(t.end - 2, 2, std::string(1, text_[t.end - 1]) + text_[t.end - 2]);
            return;
        }
        const std::string word = Text(i);
        if (word == "unsigned" && Is(i + 1, "int")) {
            Replace(t.begin, 8, "uint    ");
            Blank(tokens_[i + 1].begin, tokens_[i + 1].end);
        } else if (word == "DWORD") {
            Replace(t.begin, 5, "uint ");
        } else if (word == "export") {
            Blank(t.begin, t.end);
        } else if (word.compare(0, 7, "texture") == 0 && word.size() > 7 &&
                   (word.compare(7, std::string::npos, "CUBE") == 0 || std::isdigit(word[7]))) {
            std::string spelled = "Texture" + word.substr(7);
            if (word.compare(7, std::string::npos, "CUBE") == 0)
                spelled = "TextureCube";
            Replace(t.begin, word.size(), spelled);
        } else if (word == "msad4" && Is(i + 1, "(")) {
            Replace(t.begin, word.size(), kMsad4Name);
            usesMsad4_ = true;
        }
    }

    void Visit(size_t i) {
        const Token& t = tokens_[i];
        if (t.kind == Kind::Punctuation) {
            if (Is(i, "{"))
                hoisted_.emplace_back();
            else if (Is(i, "}") && hoisted_.size() > 1)
                hoisted_.pop_back();
            else if (Is(i, "=") && Is(i + 1, "{"))
                ElidedBraces(i);
            return;
        }
        if (t.kind != Kind::Identifier)
            return;
        const std::string word = Text(i);
        if (hoisted_.size() == 1 && IsEffectBlock(word) && EffectBlock(i)) {
        } else if (hoisted_.size() == 1 && IsStateObject(word)) {
            StateObject(i);
        } else if (word == "sampler_state" && i > 0 && Is(i - 1, "=") && Is(i + 1, "{")) {
            Blank(tokens_[i - 1].begin, tokens_[AfterClose(i + 1) - 1].end);
        } else if (word == "for" && Is(i + 1, "(")) {
            ForLoop(i);
        }
    }

    static bool IsEffectBlock(const std::string& word) {
        return word == "technique" || word == "technique10" || word == "technique11" || word == "fxgroup";
    }

    static bool IsStateObject(const std::string& word) {
        return word == "BlendState" || word == "DepthStencilState" || word == "RasterizerState" ||
               word == "SamplerState" || word == "SamplerComparisonState";
    }

    // `technique11 Name <annotations> { pass P { ... } }` at file scope: blanked whole.
    bool EffectBlock(size_t i) {
        size_t at = i + 1;
        if (at < tokens_.size() && tokens_[at].kind == Kind::Identifier)
            ++at;
        if (Is(at, "<"))
            at = AfterClose(at);
        if (!Is(at, "{"))
            return false;
        const size_t end = AfterClose(at);
        Blank(tokens_[i].begin, tokens_[end - 1].end + (Is(end, ";") ? 1 : 0));
        return true;
    }

    // `SamplerState s : register(s0) { Filter = ...; };` keeps the declaration without its state
    // block; the pipeline states, which no shader reads, are blanked whole.
    void StateObject(size_t i) {
        size_t at = i + 1;
        while (at < tokens_.size() && !Is(at, "{") && !Is(at, ";") && !Is(at, "="))
            at = Is(at, "(") || Is(at, "[") ? AfterClose(at) : at + 1;
        if (!Is(at, "{"))
            return;
        const size_t end = AfterClose(at);
        if (end > tokens_.size() || end == 0)
            return;
        const bool sampler = Is(i, "SamplerState") || Is(i, "SamplerComparisonState");
        const size_t from = sampler ? tokens_[at].begin : tokens_[i].begin;
        const size_t to = sampler || !Is(end, ";") ? tokens_[end - 1].end : tokens_[end].end;
        Blank(from, to);
    }

    static constexpr const char* kScalars[] = {"bool",       "int",      "uint",     "dword",
                                               "half",       "float",    "double",   "min16float",
                                               "min10float", "min16int", "min12int", "min16uint"};

    // A built-in scalar, vector or matrix type name.
    static bool IsTypeName(const std::string& word) {
        for (const char* scalar : kScalars) {
            if (word == scalar)
                return true;
        }
        return Components(word) > 0;
    }

    // The number of components of a built-in vector or matrix type name, or 0.
    static size_t Components(const std::string& word) {
        for (const char* scalar : kScalars) {
            const size_t n = std::strlen(scalar);
            if (word.compare(0, n, scalar) != 0 || word.size() == n)
                continue;
            const std::string shape = word.substr(n);
            if (shape.size() == 1 && shape[0] >= '1' && shape[0] <= '4')
                return shape[0] - '0';
            if (shape.size() == 3 && shape[1] == 'x' && shape[0] >= '1' && shape[0] <= '4' &&
                shape[2] >= '1' && shape[2] <= '4')
                return (shape[0] - '0') * (shape[2] - '0');
        }
        return 0;
    }

    bool IsLiteral(size_t begin, size_t end) const {
        if (begin < end && (Is(begin, "-") || Is(begin, "+")))
            ++begin;
        return end == begin + 1 && tokens_[begin].kind == Kind::Number;
    }

    // `float4 k[2] = { 1, 2, 3, 4, 5, 6, 7, 8 };`: Windows' compiler fills the elements from the
    // flat list. Each element's components become a constructor of its own.
    void ElidedBraces(size_t equals) {
        if (equals < 4 || !Is(equals - 1, "]"))
            return;
        size_t open = equals - 1;
        while (open > 0 && !Is(open, "["))
            --open;
        if (open < 2 || tokens_[open - 1].kind != Kind::Identifier)
            return;
        const std::string type = Text(open - 2);
        const size_t components = Components(type);
        if (components < 2)
            return;
        const size_t brace = equals + 1;
        const size_t end = AfterClose(brace);
        if (end > tokens_.size())
            return;
        std::vector<std::pair<size_t, size_t>> elements; // token ranges
        bool literals = true;
        size_t start = brace + 1;
        for (size_t at = brace + 1; at < end - 1;) {
            if (Is(at, "{"))
                return;
            if (Is(at, "(") || Is(at, "[")) {
                at = AfterClose(at);
                continue;
            }
            if (Is(at, ",")) {
                elements.push_back({start, at});
                start = at + 1;
            }
            ++at;
        }
        if (start < end - 1)
            elements.push_back({start, end - 1});
        for (const auto& [b, e] : elements)
            literals = literals && IsLiteral(b, e);
        size_t count = 0;
        const bool sized = open + 2 == equals - 1 && tokens_[open + 1].kind == Kind::Number;
        if (sized)
            count = std::strtoul(Text(open + 1).c_str(), nullptr, 0);
        // One element's worth is brace-elided only when the array has that one element.
        const bool several = elements.size() > components || (sized && count == 1);
        if (!several || elements.size() % components != 0 ||
            !(literals || elements.size() == count * components))
            return;
        for (size_t e = 0; e < elements.size(); e += components) {
            Replace(tokens_[elements[e].first].begin, 0, type + "(");
            Replace(tokens_[elements[e + components - 1].second - 1].end, 0, ")");
        }
    }

    // The end of the statement that starts at token `i`: after its closing brace or its semicolon.
    size_t StatementEnd(size_t i) const {
        if (Is(i, "{"))
            return AfterClose(i);
        int depth = 0;
        for (; i < tokens_.size(); ++i) {
            if (Is(i, "(") || Is(i, "{"))
                ++depth;
            else if (Is(i, ")") || Is(i, "}"))
                --depth;
            else if (Is(i, ";") && depth == 0)
                return i + 1;
        }
        return tokens_.size();
    }

    // True when `name` is read between token `from` and the end of the enclosing block before any
    // declaration of its own.
    bool UsedAfter(const std::string& name, size_t from) const {
        int depth = 0;
        for (size_t i = from; i < tokens_.size(); ++i) {
            if (Is(i, "{"))
                ++depth;
            else if (Is(i, "}") && --depth < 0)
                return false;
            else if (tokens_[i].kind == Kind::Identifier && Text(i) == name)
                return !(i > 0 && IsTypeName(Text(i - 1)));
        }
        return false;
    }

    // True when `name` is declared with a built-in type in the block around token `before`, before it.
    bool DeclaredBefore(const std::string& name, size_t before) const {
        int depth = 0;
        for (size_t i = before; i-- > 1;) {
            if (Is(i, "}"))
                ++depth;
            else if (Is(i, "{") && --depth < 0)
                return false;
            else if (depth == 0 && tokens_[i].kind == Kind::Identifier && Text(i) == name &&
                     IsTypeName(Text(i - 1)))
                return true;
        }
        return false;
    }

    // Windows' compiler scopes a for-loop's variable to the block around the loop; glslang to the
    // loop. A variable read after its loop is declared just before the loop instead; a later loop
    // of the block that declares it again with the same type assigns it.
    void ForLoop(size_t i) {
        if (hoisted_.size() < 2)
            return;
        // Attributes before the loop stay with it; after `if (...)` or `else` the loop is the whole
        // body and has no block of its own to move its variable into.
        size_t first = i;
        while (first > 0 && Is(first - 1, "]")) {
            size_t open = first - 1;
            while (open > 0 && !Is(open, "["))
                --open;
            first = open;
        }
        if (first > 0 && !Is(first - 1, ";") && !Is(first - 1, "{") && !Is(first - 1, "}"))
            return;
        const size_t paren = i + 1;
        size_t type = paren + 1;
        if (Is(type, "const"))
            ++type;
        if (type >= tokens_.size() || !IsTypeName(Text(type)))
            return;
        size_t semicolon = type + 1;
        std::vector<std::string> names;
        for (int depth = 0; semicolon < tokens_.size() && !(depth == 0 && Is(semicolon, ";")); ++semicolon) {
            if (Is(semicolon, "(") || Is(semicolon, "{"))
                ++depth;
            else if (Is(semicolon, ")") || Is(semicolon, "}"))
                --depth;
            if (depth == 0 && tokens_[semicolon].kind == Kind::Identifier &&
                (semicolon == type + 1 || Is(semicolon - 1, ",")))
                names.push_back(Text(semicolon));
            if (depth < 0)
                return;
        }
        if (semicolon >= tokens_.size() || names.empty())
            return;
        const std::string typeText =
            text_.substr(tokens_[paren + 1].begin, tokens_[type].end - tokens_[paren + 1].begin);
        std::map<std::string, std::string>& scope = hoisted_.back();
        bool again = true;
        for (const std::string& name : names) {
            auto it = scope.find(name);
            again = again && it != scope.end() && it->second == typeText;
        }
        if (again) {
            Blank(tokens_[paren + 1].begin, tokens_[type].end);
            return;
        }
        const size_t header = AfterClose(paren);
        if (header >= tokens_.size() || !UsedAfter(names[0], StatementEnd(header)))
            return;
        // Declared before in the block: Windows' compiler warns and the loop uses that variable.
        if (names.size() == 1 && DeclaredBefore(names[0], first)) {
            Blank(tokens_[paren + 1].begin, tokens_[type].end);
            return;
        }
        for (const std::string& name : names)
            scope[name] = typeText;
        const size_t begin = tokens_[first].begin;
        const size_t declaration = tokens_[paren + 1].begin;
        const size_t end = tokens_[semicolon].end;
        Replace(begin, end - begin,
                text_.substr(declaration, end - declaration) + text_.substr(begin, declaration - begin) +
                    ";");
    }

    std::string Apply() {
        std::stable_sort(edits_.begin(), edits_.end(),
                         [](const Edit& a, const Edit& b) { return a.at < b.at; });
        std::string out;
        out.reserve(text_.size() + 64);
        size_t at = 0;
        for (const Edit& e : edits_) {
            if (e.at < at)
                continue; // inside a region already rewritten
            out.append(text_, at, e.at - at);
            out += e.text;
            at = e.at + e.length;
        }
        out.append(text_, at, std::string::npos);
        return out;
    }
};

} // namespace

void BridgeSource(std::string* text) {
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0)
        text->erase(0, 3);
    *text = Bridge(std::move(*text)).Run();
}

} // namespace platform
