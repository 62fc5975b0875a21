// The one way the source passes read HLSL: identifiers, numbers, strings, punctuation and preprocessor
// lines, each with its byte offsets, line and column; comments are read once here and yield no token.
// It knows no grammar: what the tokens declare is declarations.h's.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::d3dcompiler {

enum class TokenKind {
    Identifier,
    Number,
    String,      // "...", quotes included; one line at most
    Punctuation, // an operator of C's (`<<=`, `==`, `::` ...) or any other single character, `'` included
    Directive,   // a whole preprocessor line, from `#` to its end, on past escaped line breaks
};

struct Token {
    TokenKind kind;
    uint32_t begin; // byte offsets into the text
    uint32_t end;
    uint32_t line; // of its first byte, from 1
    uint32_t column;
};

class Tokens {
  public:
    // Every token of `text`, which must outlive this.
    explicit Tokens(std::string_view text);
    // The tokens of the directive `directive` of `tokens` after its `#`, with their offsets, lines
    // and columns in the same text.
    Tokens(const Tokens& tokens, size_t directive);

    size_t size() const { return tokens_.size(); }
    const Token& operator[](size_t i) const { return tokens_[i]; }
    std::string_view text() const { return text_; }
    std::string_view Text(size_t i) const {
        return text_.substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
    }
    // False past the end, so that a look-ahead needs no bounds check of its own.
    bool Is(size_t i, std::string_view s) const { return i < tokens_.size() && Text(i) == s; }
    bool IsIdentifier(size_t i) const {
        return i < tokens_.size() && tokens_[i].kind == TokenKind::Identifier;
    }
    // The index of the bracket that closes the `(`, `[`, `{` or `<` at `open` (a `>>` closes two
    // `<`), or size() when none does; a `<` is closed before the next brace or not at all.
    size_t Close(size_t open) const;

  private:
    std::string_view text_;
    std::vector<Token> tokens_;
    // For each `(`, `[` and `{`, the index of the bracket that closes it, or size().
    std::vector<uint32_t> closes_;

    void MatchBrackets();
};

} // namespace platform::d3dcompiler
