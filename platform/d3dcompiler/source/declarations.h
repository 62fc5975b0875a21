// What an HLSL file declares, read from its tokens: structures and their members, typedefs, constant
// and texture buffers and their members, global variables, functions with their parameters, locals,
// effect-file blocks; each with its type as spelled, its qualifiers, array sizes and where it is seen.
// It reads the text as written, not preprocessed: a declaration that a macro spells is not known, and
// both sides of an `#if` are read.
#pragma once

#include "tokens.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::d3dcompiler {

enum class DeclarationKind {
    Global,       // a variable at file scope
    BufferMember, // a member of a cbuffer or tbuffer, seen at file scope as a global is
    Member,       // of a structure
    Parameter,
    Local,
    Typedef,
    Struct,
    Buffer, // cbuffer or tbuffer
    Function,
    Effect, // technique, technique10, technique11, fxgroup or pass
};

// A token range [begin, end).
struct TokenRange {
    size_t begin = 0;
    size_t end = 0;
    bool empty() const { return begin == end; }
};

struct Declaration {
    DeclarationKind kind;
    std::string_view name;
    size_t nameToken;
    size_t first;                       // its first token: a qualifier, its type or its keyword
    TokenRange type;                    // as spelled, without qualifiers: `float4`, `Texture2D<float4>`, `S`
    std::vector<size_t> qualifiers;     // storage classes and modifiers: static, const, row_major, inout ...
    std::vector<TokenRange> arraySizes; // each dimension within its brackets, empty where unsized
    TokenRange initializer;             // after `=`, empty where there is none
    size_t visibleUntil; // the token where its scope ends; a member's is its name token: never seen
    int owner;           // the structure, buffer or function it belongs to, or -1
    size_t body = 0;     // for a structure, buffer, function or effect block: its `{`, or 0
};

// What a `{` opens.
enum class Brace {
    Block, // a compound statement, or one in a part of the file not understood
    FunctionBody,
    Struct,
    Buffer,
    Initializer, // `= { ... }`
    StateBlock,  // an effect file's state of a state object: `SamplerState s { Filter = ...; };`
    EffectBlock, // technique, fxgroup or pass
};

class Declarations {
  public:
    // `tokens` must outlive this.
    explicit Declarations(const Tokens& tokens);

    const std::vector<Declaration>& all() const { return declarations_; }
    // What `name` means at token `at`: the innermost declaration seen there, or nullptr. Members are
    // found through Member.
    const Declaration* Find(std::string_view name, size_t at) const;
    // The declaration whose name is token `at`, or nullptr.
    const Declaration* DeclaredAt(size_t at) const;
    const Declaration* Member(const Declaration& owner, std::string_view name) const;
    // The name of the type `d` has, through its typedefs: `float4x4` for a `RowMatrix m` of
    // `typedef row_major float4x4 RowMatrix`.
    std::string_view TypeName(const Declaration& d) const;
    // What the `{` at token `brace` opens, and the declaration it belongs to (-1 for a block).
    Brace Opens(size_t brace, int* owner = nullptr) const;

  private:
    friend class DeclarationReader;
    const Tokens& tokens_;
    std::vector<Declaration> declarations_;
    std::unordered_map<std::string_view, std::vector<int>> byName_;
    std::unordered_map<size_t, int> byToken_;
    std::unordered_map<size_t, std::pair<Brace, int>> braces_;
};

// True for the built-in scalar, vector and matrix type names (`float`, `uint3`, `half4x4` ...), with
// the number of components in `components` where given.
bool IsNumericType(std::string_view name, size_t* components = nullptr);
// The same for the integer and boolean ones.
bool IsIntegerType(std::string_view name, size_t* components = nullptr);
// True for the built-in matrix type names (`float4x4`, `int2x3` ...).
bool IsMatrixType(std::string_view name);

} // namespace platform::d3dcompiler
