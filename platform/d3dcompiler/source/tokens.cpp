#include "tokens.h"

#include <cstring>

namespace platform::d3dcompiler {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsIdentifierChar(char c) {
    return IsIdentifierStart(c) || IsDigit(c);
}

// The length of C's operator that starts with the characters `a`, `b`, `c`: 3 for `<<=` and `>>=`;
// 2 for `==`, `!=`, `<=`, `>=`, `&&`, `||`, `<<`, `>>`, `++`, `--`, `->`, `::` and the compound
// assignments; 1 for any other character.
size_t OperatorLength(char a, char b, char c) {
    if ((a == '<' || a == '>') && b == a)
        return c == '=' ? 3 : 2;
    if (b == '=' && a != '\0' && std::strchr("=!<>+-*/%&|^", a))
        return 2;
    if ((b == a && (a == '&' || a == '|' || a == '+' || a == '-' || a == ':' || a == '#')) ||
        (a == '-' && b == '>'))
        return 2;
    return 1;
}

// Reads [at, end) of `text` into `out`; `line` and `lineStart` (the offset where the line begins)
// follow the line breaks. Inside a directive (`directive`) a `#` opens nothing.
class Scanner {
  public:
    Scanner(std::string_view text, size_t at, size_t end, uint32_t line, size_t lineStart, bool directive)
        : text_(text), at_(at), end_(end), line_(line), lineStart_(lineStart), directive_(directive) {}

    void Run(std::vector<Token>* out) {
        bool lineOpen = !directive_ && IsLineStart(at_);
        while (at_ < end_) {
            const char c = text_[at_];
            if (c == '\n') {
                NewLine(at_ + 1);
                lineOpen = !directive_;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
                ++at_;
                continue;
            }
            if (c == '/' && Peek(1) == '/') {
                while (at_ < end_ && text_[at_] != '\n')
                    ++at_;
                continue;
            }
            if (c == '/' && Peek(1) == '*') {
                BlockComment();
                continue;
            }
            const size_t start = at_;
            const uint32_t line = line_;
            const uint32_t column = static_cast<uint32_t>(at_ - lineStart_ + 1);
            TokenKind kind = TokenKind::Punctuation;
            if (c == '#' && lineOpen) {
                kind = TokenKind::Directive;
                DirectiveLine();
            } else if (c == '"') {
                kind = TokenKind::String;
                String();
            } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                kind = TokenKind::Number;
                Number();
            } else if (IsIdentifierStart(c)) {
                kind = TokenKind::Identifier;
                while (at_ < end_ && IsIdentifierChar(text_[at_]))
                    ++at_;
            } else {
                at_ += OperatorLength(c, Peek(1), Peek(2));
            }
            lineOpen = false;
            out->push_back({kind, static_cast<uint32_t>(start), static_cast<uint32_t>(at_), line, column});
        }
    }

  private:
    std::string_view text_;
    size_t at_, end_;
    uint32_t line_;
    size_t lineStart_;
    bool directive_;

    char Peek(size_t ahead) const { return at_ + ahead < end_ ? text_[at_ + ahead] : '\0'; }

    bool IsLineStart(size_t at) const {
        while (at > 0 && (text_[at - 1] == ' ' || text_[at - 1] == '\t'))
            --at;
        return at == 0 || text_[at - 1] == '\n';
    }

    void NewLine(size_t next) {
        ++line_;
        lineStart_ = next;
        at_ = next;
    }

    void BlockComment() {
        for (at_ += 2; at_ < end_ && !(text_[at_] == '*' && Peek(1) == '/');) {
            if (text_[at_] == '\n')
                NewLine(at_ + 1);
            else
                ++at_;
        }
        at_ = at_ < end_ ? at_ + 2 : end_;
    }

    // To the end of the line, on past escaped line breaks and comments that span lines (not past
    // strings); the line count follows, so that the next token's line is right.
    void DirectiveLine() {
        while (at_ < end_ && text_[at_] != '\n') {
            if (text_[at_] == '\\' && (Peek(1) == '\n' || (Peek(1) == '\r' && Peek(2) == '\n')))
                NewLine(at_ + (Peek(1) == '\n' ? 2 : 3));
            else if (text_[at_] == '/' && Peek(1) == '*')
                BlockComment();
            else if (text_[at_] == '/' && Peek(1) == '/')
                while (at_ < end_ && text_[at_] != '\n')
                    ++at_;
            else if (text_[at_] == '"')
                String(); // `#include "a/*b.h"` opens no comment
            else
                ++at_;
        }
    }

    // To the end of the string at `at_`, which ends with its line if not before.
    void String() {
        for (++at_; at_ < end_ && text_[at_] != '"' && text_[at_] != '\n'; ++at_) {
            if (text_[at_] == '\\' && at_ + 1 < end_ && text_[at_ + 1] != '\n')
                ++at_;
        }
        at_ = at_ < end_ && text_[at_] == '"' ? at_ + 1 : at_;
    }

    // Digits, letters (hexadecimal digits, exponents, suffixes), points, and an exponent's sign.
    void Number() {
        const bool hex = text_[at_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X');
        for (++at_; at_ < end_; ++at_) {
            const char c = text_[at_];
            const bool sign =
                (c == '+' || c == '-') && !hex && (text_[at_ - 1] == 'e' || text_[at_ - 1] == 'E');
            if (!IsIdentifierChar(c) && c != '.' && !sign)
                break;
        }
    }
};

} // namespace

Tokens::Tokens(std::string_view text) : text_(text) {
    tokens_.reserve(text.size() / 4);
    Scanner(text, 0, text.size(), 1, 0, false).Run(&tokens_);
    MatchBrackets();
}

Tokens::Tokens(const Tokens& tokens, size_t directive) : text_(tokens.text_) {
    const Token& d = tokens[directive];
    Scanner(text_, d.begin + 1, d.end, d.line, d.begin - (d.column - 1), true).Run(&tokens_);
    MatchBrackets();
}

// Each kind of bracket is matched by itself, as a count of its own depth would match it.
void Tokens::MatchBrackets() {
    closes_.assign(tokens_.size(), static_cast<uint32_t>(tokens_.size()));
    std::vector<uint32_t> open[3];
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (tokens_[i].kind != TokenKind::Punctuation || tokens_[i].end - tokens_[i].begin != 1)
            continue;
        const char c = text_[tokens_[i].begin];
        const size_t opening = std::string_view("([{").find(c);
        const size_t closing = std::string_view(")]}").find(c);
        if (opening != std::string_view::npos) {
            open[opening].push_back(static_cast<uint32_t>(i));
        } else if (closing != std::string_view::npos && !open[closing].empty()) {
            closes_[open[closing].back()] = static_cast<uint32_t>(i);
            open[closing].pop_back();
        }
    }
}

size_t Tokens::Close(size_t open) const {
    if (open >= tokens_.size())
        return tokens_.size();
    if (!Is(open, "<"))
        return closes_[open];
    int depth = 0;
    for (size_t i = open; i < tokens_.size(); ++i) {
        if (tokens_[i].kind != TokenKind::Punctuation)
            continue;
        const std::string_view t = Text(i);
        if (t == "<")
            ++depth;
        else if (t == ">")
            --depth;
        else if (t == ">>")
            depth -= 2;
        else if (t == "{" || t == "}")
            return tokens_.size(); // a less-than: no template or annotation holds a brace
        if (depth <= 0)
            return i;
    }
    return tokens_.size();
}

} // namespace platform::d3dcompiler
