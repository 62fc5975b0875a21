// A reader of declarations that is lenient where a compiler is strict: whatever it does not understand
// it passes over by brackets and semicolons, so that a construct it does not know costs only that
// construct. Statements are read only to find the declarations among them.
#include "declarations.h"

#include <algorithm>

namespace platform::d3dcompiler {

namespace {

constexpr std::string_view kScalars[] = {"bool",      "int",  "uint",  "dword",  "min16int",   "min12int",
                                         "min16uint", "half", "float", "double", "min16float", "min10float"};
constexpr size_t kIntegerScalars = 7; // the first ones of kScalars

// Of `name` after `scalar`: 1 for nothing, N for `N`, N * M for `NxM` (N and M from 1 to 4), else 0.
size_t Shape(std::string_view name, std::string_view scalar, bool* matrix) {
    if (name.compare(0, scalar.size(), scalar) != 0)
        return 0;
    const std::string_view shape = name.substr(scalar.size());
    auto dimension = [](char c) { return c >= '1' && c <= '4' ? size_t(c - '0') : 0; };
    *matrix = shape.size() == 3 && shape[1] == 'x';
    if (shape.empty())
        return 1;
    if (shape.size() == 1)
        return dimension(shape[0]);
    return *matrix ? dimension(shape[0]) * dimension(shape[2]) : 0;
}

bool NumericType(std::string_view name, size_t scalars, size_t* components, bool* matrix) {
    for (size_t s = 0; s < scalars; ++s) {
        if (const size_t n = Shape(name, kScalars[s], matrix)) {
            if (components)
                *components = n;
            return true;
        }
    }
    return false;
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Words that are never a type or a declared name.
bool IsKeyword(std::string_view w) {
    return OneOf(w, {"return", "if",    "else",      "for",      "while",      "do",
                     "switch", "case",  "default",   "break",    "continue",   "discard",
                     "struct", "class", "interface", "typedef",  "cbuffer",    "tbuffer",
                     "true",   "false", "namespace", "register", "packoffset", "sampler_state"});
}

bool IsQualifier(std::string_view w) {
    return OneOf(w, {"static",
                     "const",
                     "uniform",
                     "extern",
                     "volatile",
                     "groupshared",
                     "shared",
                     "precise",
                     "row_major",
                     "column_major",
                     "snorm",
                     "unorm",
                     "nointerpolation",
                     "linear",
                     "centroid",
                     "noperspective",
                     "sample",
                     "in",
                     "out",
                     "inout",
                     "inline",
                     "globallycoherent",
                     "point",
                     "line",
                     "triangle",
                     "lineadj",
                     "triangleadj",
                     "export"});
}

bool IsEffectKeyword(std::string_view w) {
    return OneOf(w, {"technique", "technique10", "technique11", "fxgroup"});
}

} // namespace

bool IsNumericType(std::string_view name, size_t* components) {
    bool matrix;
    return NumericType(name, std::size(kScalars), components, &matrix);
}

bool IsIntegerType(std::string_view name, size_t* components) {
    bool matrix;
    return NumericType(name, kIntegerScalars, components, &matrix);
}

bool IsMatrixType(std::string_view name) {
    bool matrix = false;
    return (NumericType(name, std::size(kScalars), nullptr, &matrix) && matrix) || name == "matrix";
}

class DeclarationReader {
  public:
    explicit DeclarationReader(Declarations* d) : d_(*d), t_(d->tokens_) {}

    void Run() {
        for (size_t i = 0; i < t_.size();)
            i = Item(i, t_.size());
    }

  private:
    // How a run of declarators is read.
    struct Context {
        DeclarationKind kind;
        int owner;
        size_t visibleUntil;
        bool several;   // `float a, b;` rather than one parameter
        bool functions; // `T name(` declares a function
    };

    // How deep structures and statements nest before what is inside is passed over.
    static constexpr int kMaxNesting = 256;

    Declarations& d_;
    const Tokens& t_;
    int depth_ = 0;

    int Add(Declaration d) {
        const int index = static_cast<int>(d_.declarations_.size());
        if (!d.name.empty())
            d_.byName_[d.name].push_back(index);
        d_.byToken_[d.nameToken] = index;
        d_.declarations_.push_back(std::move(d));
        return index;
    }

    size_t Close(size_t open, size_t end) const { return std::min(t_.Close(open), end); }

    void MarkBrace(size_t brace, Brace kind, int owner) { d_.braces_[brace] = {kind, owner}; }

    // Past `: SEMANTIC`, `: register(...)` and `: packoffset(...)`, then an annotation `<...>`.
    size_t SkipSemantics(size_t at, size_t end) const {
        while (t_.Is(at, ":") && at + 1 < end) {
            at += t_.IsIdentifier(at + 1) ? 2 : 1;
            if (t_.Is(at, "("))
                at = Close(at, end) + 1;
        }
        if (t_.Is(at, "<"))
            at = Close(at, end) + 1;
        return std::min(at, end);
    }

    // The end of an expression at `at`: a `,`, `;`, `{` or `}` outside brackets, or `end`.
    size_t ExpressionEnd(size_t at, size_t end) const {
        while (at < end) {
            if (t_.Is(at, "(") || t_.Is(at, "["))
                at = Close(at, end) + 1;
            else if (t_.Is(at, ",") || t_.Is(at, ";") || t_.Is(at, "{") || t_.Is(at, "}"))
                return at;
            else
                ++at;
        }
        return end;
    }

    // An item at file scope, in a structure or in a buffer; returns the token after it.
    size_t Item(size_t i, size_t end, const Context* members = nullptr) {
        if (t_[i].kind == TokenKind::Directive || t_.Is(i, ";") || t_.Is(i, "}"))
            return i + 1;
        if (t_.Is(i, "["))
            return Close(i, end) + 1; // an attribute
        const std::string_view word = t_.Text(i);
        if (!members && (word == "cbuffer" || word == "tbuffer") && t_.IsIdentifier(i + 1))
            return Buffer(i, end);
        if (word == "struct" || word == "class" || word == "interface")
            return Struct(i, end, members);
        if (word == "typedef")
            return AfterKeyword(
                i, end, {DeclarationKind::Typedef, members ? members->owner : -1, t_.size(), true, false});
        if (!members && IsEffectKeyword(word))
            return Effect(i, end);
        const Context global = {DeclarationKind::Global, -1, t_.size(), true, true};
        const size_t after = Declarators(i, end, members ? *members : global);
        if (after != i)
            return after;
        // Not understood: passed over to its semicolon. A block it opens, as a function whose header
        // a macro spells does, is read as statements.
        const size_t at = ExpressionEnd(i, end);
        if (t_.Is(at, "{") && !members)
            return Statement(at, end, end, -1);
        return std::max(at + 1, i + 1);
    }

    // `cbuffer Name : register(b0) { members };`
    size_t Buffer(size_t i, size_t end) {
        const size_t open = SkipSemantics(i + 2, end);
        if (!t_.Is(open, "{"))
            return i + 2;
        const size_t close = Close(open, end);
        const int index = Add(
            {DeclarationKind::Buffer, t_.Text(i + 1), i + 1, i, {i, i + 1}, {}, {}, {}, t_.size(), -1, open});
        MarkBrace(open, Brace::Buffer, index);
        const Context members = {DeclarationKind::BufferMember, index, t_.size(), true, false};
        for (size_t at = open + 1; at < close;)
            at = Item(at, close, &members);
        return close + 1;
    }

    // `struct Name { members } declarators;`, or `struct Name declarators;` using one.
    size_t Struct(size_t i, size_t end, const Context* outer) {
        size_t at = i + 1;
        const bool named = t_.IsIdentifier(at);
        if (named && !t_.Is(at + 1, "{")) {
            return AfterKeyword(i, end,
                                outer ? *outer : Context{DeclarationKind::Global, -1, t_.size(), true, true});
        }
        at += named ? 1 : 0;
        if (!t_.Is(at, "{"))
            return at;
        const size_t close = Close(at, end);
        const int index = Add({DeclarationKind::Struct,
                               named ? t_.Text(i + 1) : std::string_view(),
                               named ? i + 1 : i,
                               i,
                               named ? TokenRange{i + 1, i + 2} : TokenRange{i, i + 1},
                               {},
                               {},
                               {},
                               t_.size(),
                               outer ? outer->owner : -1,
                               at});
        MarkBrace(at, Brace::Struct, index);
        const Context members = {DeclarationKind::Member, index, 0, true, true};
        if (depth_ < kMaxNesting) {
            ++depth_;
            for (size_t m = at + 1; m < close;)
                m = Item(m, close, &members);
            --depth_;
        }
        return close + 1;
    }

    // Declarators after the keyword at `i` (`typedef`, or `struct` naming a structure): they start there.
    size_t AfterKeyword(size_t i, size_t end, const Context& c) {
        const size_t count = d_.declarations_.size();
        const size_t after = Declarators(i + 1, end, c);
        for (size_t k = count; k < d_.declarations_.size(); ++k)
            d_.declarations_[k].first = i;
        return std::max(after, i + 1);
    }

    // `technique11 Name <annotations> { pass P { ... } }`
    size_t Effect(size_t i, size_t end) {
        size_t at = i + 1;
        const bool named = t_.IsIdentifier(at);
        at = SkipSemantics(at + (named ? 1 : 0), end);
        if (!t_.Is(at, "{"))
            return at;
        const int index = Add({DeclarationKind::Effect,
                               named ? t_.Text(i + 1) : std::string_view(),
                               named ? i + 1 : i,
                               i,
                               {i, i + 1},
                               {},
                               {},
                               {},
                               t_.size(),
                               -1,
                               at});
        MarkBrace(at, Brace::EffectBlock, index);
        return Close(at, end) + 1;
    }

    // Qualifiers, a type and one or more declarators at `i`; returns the token after them, or `i`
    // where this is no declaration.
    size_t Declarators(size_t i, size_t end, const Context& c) {
        std::vector<size_t> qualifiers;
        size_t at = i;
        while (at < end && IsQualifier(t_.Text(at)) && t_.IsIdentifier(at + 1))
            qualifiers.push_back(at++);
        if (!t_.IsIdentifier(at) || IsKeyword(t_.Text(at)))
            return i;
        TokenRange type = {at, at + 1};
        if (t_.Is(at + 1, "<")) {
            const size_t close = t_.Close(at + 1);
            if (close >= end)
                return i;
            type.end = close + 1;
        }
        at = type.end;
        if (!t_.IsIdentifier(at) || IsKeyword(t_.Text(at)) || at >= end)
            return i;
        if (t_.Is(at + 1, "("))
            return c.functions ? Function(i, qualifiers, type, at, end, c.owner) : i;
        for (;;) {
            Declaration d = {c.kind, t_.Text(at), at,
                             i,      type,        qualifiers,
                             {},     {},          c.kind == DeclarationKind::Member ? at : c.visibleUntil,
                             c.owner};
            for (++at; t_.Is(at, "[") && at < end; at = Close(at, end) + 1)
                d.arraySizes.push_back({at + 1, Close(at, end)});
            at = SkipSemantics(at, end);
            const int index = Add(std::move(d));
            if (t_.Is(at, "=")) {
                const size_t begin = ++at;
                if (t_.Is(at, "sampler_state") && t_.Is(at + 1, "{")) {
                    MarkBrace(at + 1, Brace::StateBlock, index);
                    at = Close(at + 1, end) + 1;
                } else if (t_.Is(at, "{")) {
                    MarkBrace(at, Brace::Initializer, index);
                    at = Close(at, end) + 1;
                } else {
                    at = ExpressionEnd(at, end);
                }
                d_.declarations_[index].initializer = {begin, std::min(at, end)};
            } else if (t_.Is(at, "{") && c.kind == DeclarationKind::Global) {
                MarkBrace(at, Brace::StateBlock, index);
                at = Close(at, end) + 1;
            }
            if (!c.several || !t_.Is(at, ",") || !t_.IsIdentifier(at + 1))
                break;
            ++at;
        }
        return t_.Is(at, ";") ? at + 1 : std::min(at, end);
    }

    // `qualifiers type name(parameters) : SEMANTIC { body }` or its prototype.
    size_t Function(size_t first, const std::vector<size_t>& qualifiers, TokenRange type, size_t name,
                    size_t end, int owner) {
        const size_t open = name + 1;
        const size_t close = Close(open, end);
        if (close >= end)
            return end;
        const int index = Add({DeclarationKind::Function,
                               t_.Text(name),
                               name,
                               first,
                               type,
                               qualifiers,
                               {},
                               {},
                               t_.size(),
                               owner});
        // Directives may stand between the header and its body: `#endif` after variants of the header.
        size_t at = SkipSemantics(close + 1, end);
        while (at < end && t_[at].kind == TokenKind::Directive)
            ++at;
        const bool body = t_.Is(at, "{");
        const size_t bodyClose = body ? Close(at, end) : close;
        const Context parameters = {DeclarationKind::Parameter, index, bodyClose, false, false};
        for (size_t p = open + 1; p < close;) {
            size_t after = Declarators(p, close, parameters);
            after = after == p ? ExpressionEnd(p, close) : after;
            p = std::max(after + (t_.Is(after, ",") ? 1 : 0), p + 1);
        }
        if (!body)
            return t_.Is(at, ";") ? at + 1 : at;
        d_.declarations_[index].body = at;
        MarkBrace(at, Brace::FunctionBody, index);
        for (size_t s = at + 1; s < bodyClose;)
            s = Statement(s, bodyClose, bodyClose, index);
        return bodyClose + 1;
    }

    // One statement at `i` of a block that closes at `blockEnd`; returns the token after it. Nesting
    // is recursion here: past kMaxNesting a statement is passed over unread, within the stack.
    size_t Statement(size_t i, size_t end, size_t blockEnd, int function) {
        if (depth_ == kMaxNesting) {
            const size_t at = t_.Is(i, "{") ? Close(i, end) : ExpressionEnd(i, end);
            return std::max(at + (t_.Is(at, "{") ? 0 : 1), i + 1);
        }
        ++depth_;
        const size_t after = ReadStatement(i, end, blockEnd, function);
        --depth_;
        return after;
    }

    size_t ReadStatement(size_t i, size_t end, size_t blockEnd, int function) {
        while (t_.Is(i, "[") && i < end)
            i = Close(i, end) + 1; // attributes: [unroll], [branch] ...
        if (i >= end)
            return end;
        if (t_[i].kind == TokenKind::Directive || t_.Is(i, ";"))
            return i + 1;
        const std::string_view word = t_.Text(i);
        if (word == "{") {
            const size_t close = Close(i, end);
            MarkBrace(i, Brace::Block, -1);
            for (size_t s = i + 1; s < close;)
                s = Statement(s, close, close, function);
            return close + 1;
        }
        if (word == "for" && t_.Is(i + 1, "(")) {
            // The loop's variables are seen until the end of the loop, as glslang scopes them.
            const size_t close = Close(i + 1, end);
            const size_t after = Statement(close + 1, end, blockEnd, function);
            Declarators(i + 2, close, {DeclarationKind::Local, function, after, true, false});
            return after;
        }
        if ((word == "if" || word == "while" || word == "switch") && t_.Is(i + 1, "(")) {
            size_t at = Statement(Close(i + 1, end) + 1, end, blockEnd, function);
            if (word == "if" && t_.Is(at, "else"))
                at = Statement(at + 1, end, blockEnd, function);
            return at;
        }
        if (word == "else" || word == "do")
            return Statement(i + 1, end, blockEnd, function);
        if (word == "case" || word == "default") {
            size_t at = i + 1;
            while (at < end && !t_.Is(at, ":"))
                ++at;
            return at + 1;
        }
        if (word != "return") {
            const size_t after =
                Declarators(i, end, {DeclarationKind::Local, function, blockEnd, true, false});
            if (after != i)
                return after;
        }
        const size_t at = ExpressionEnd(i, end);
        return t_.Is(at, ";") || at == i ? at + 1 : at;
    }
};

Declarations::Declarations(const Tokens& tokens) : tokens_(tokens) {
    DeclarationReader(this).Run();
}

const Declaration* Declarations::Find(std::string_view name, size_t at) const {
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return nullptr;
    // Scopes nest, so the innermost declaration seen at `at` is the last one made before it.
    const Declaration* found = nullptr;
    for (int index : it->second) {
        const Declaration& d = declarations_[index];
        if (d.nameToken < at && at < d.visibleUntil && (!found || d.nameToken > found->nameToken))
            found = &d;
    }
    return found;
}

const Declaration* Declarations::DeclaredAt(size_t at) const {
    const auto it = byToken_.find(at);
    return it == byToken_.end() ? nullptr : &declarations_[it->second];
}

const Declaration* Declarations::Member(const Declaration& owner, std::string_view name) const {
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return nullptr;
    const int index = static_cast<int>(&owner - declarations_.data());
    for (int m : it->second) {
        if (declarations_[m].owner == index)
            return &declarations_[m];
    }
    return nullptr;
}

std::string_view Declarations::TypeName(const Declaration& d) const {
    std::string_view name = tokens_.Text(d.type.begin);
    // A typedef may name another; a chain longer than any real one is a loop.
    for (int hops = 0; hops < 16; ++hops) {
        const Declaration* t = Find(name, d.nameToken);
        if (!t || t->kind != DeclarationKind::Typedef)
            break;
        name = tokens_.Text(t->type.begin);
    }
    return name;
}

Brace Declarations::Opens(size_t brace, int* owner) const {
    const auto it = braces_.find(brace);
    if (owner)
        *owner = it == braces_.end() ? -1 : it->second.second;
    return it == braces_.end() ? Brace::Block : it->second.first;
}

} // namespace platform::d3dcompiler
