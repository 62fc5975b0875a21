// The source pass of source_bridge.h, in two sweeps over the shared tokens: spellings first, then, on
// the respelled text and its declarations, the structures. Regions that are blanked keep their line
// breaks.
#include "source_bridge.h"

#include "declarations.h"
#include "source_buffer_resources.h"
#include "source_casts.h"
#include "source_conversions.h"
#include "source_edits.h"
#include "source_initializers.h"
#include "source_intrinsics.h"
#include "source_legacy_samplers.h"
#include "source_literals.h"
#include "source_matrices.h"
#include "source_token_paste.h"

#include <cctype>
#include <map>

namespace platform::d3dcompiler {

namespace {

// Glslang crashes on msad4, so calls go to this definition of it, put before the source once for
// every file that calls it. A function-like macro renames only the calls and moves no column;
// `#line` keeps the file's numbering.
const char kMsad4[] =
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
    "#define msad4(reference, source, accum) msad4_fxview(reference, source, accum)\n"
    "#endif\n"
    "#line 1\n";

// Windows' compiler reads attribute names in any case; glslang's only in lower case.
bool IsAttributeName(const Tokens& t, size_t i, std::string* lower) {
    static const char* const kNames[] = {"numthreads",
                                         "maxvertexcount",
                                         "earlydepthstencil",
                                         "instance",
                                         "domain",
                                         "partitioning",
                                         "outputtopology",
                                         "unroll",
                                         "outputcontrolpoints",
                                         "patchconstantfunc",
                                         "maxtessfactor",
                                         "loop",
                                         "fastopt",
                                         "allow_uav_condition",
                                         "branch",
                                         "flatten",
                                         "forcecase",
                                         "call"};
    if (!t.Is(i - 1, "[") || !(t.Is(i + 1, "(") || t.Is(i + 1, "]")))
        return false;
    // After a name, a number or `)`, and after `]` unless arguments follow, `[` opens an index.
    const size_t before = i - 1;
    if (before > 0) {
        const Token& p = t[before - 1];
        if (p.kind == TokenKind::Identifier ? !t.Is(before - 1, "else") && !t.Is(before - 1, "do")
                                            : p.kind == TokenKind::Number || t.Is(before - 1, ")") ||
                                                  (t.Is(before - 1, "]") && !t.Is(i + 1, "(")))
            return false;
    }
    lower->assign(t.Text(i));
    for (char& c : *lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* name : kNames)
        if (*lower == name)
            return *lower != t.Text(i);
    return false;
}

// A word Windows' compiler spells otherwise, respelled; true for a call of msad4.
bool RespellWord(const Tokens& t, size_t i, SourceEdits* edits) {
    const std::string_view word = t.Text(i);
    std::string lower;
    if (i > 0 && IsAttributeName(t, i, &lower)) {
        edits->Replace(t[i].begin, t[i].end, lower);
    } else if (word == "unsigned" && t.Is(i + 1, "int")) {
        edits->Replace(t[i].begin, t[i].end, "uint");
        edits->Blank(t[i + 1].begin, t[i + 1].end);
    } else if (word == "DWORD") {
        edits->Replace(t[i].begin, t[i].end, "uint");
    } else if (word == "export") {
        edits->Blank(t[i].begin, t[i].end);
    } else if (word == "textureCUBE") {
        edits->Replace(t[i].begin, t[i].end, "TextureCube");
    } else if (word.size() > 7 && word.compare(0, 7, "texture") == 0 && word[7] >= '0' && word[7] <= '9') {
        edits->Replace(t[i].begin, t[i].begin + 1, "T");
    }
    return word == "msad4" && t.Is(i + 1, "(");
}

// In one sweep: the words, attribute names and numbers Windows' compiler spells otherwise (literals
// wider than 32 bits too, source_literals.h), a macro's name ended by an escaped line break, `##`
// beside punctuation (source_token_paste.h), and apostrophes: they open no character constant in
// HLSL, but glslang's preprocessor stops at them even in skipped blocks and `#error` text, so they
// become spaces outside strings and comments. True when the source calls msad4.
bool Respell(std::string* text) {
    const Tokens t(*text);
    SourceEdits edits(*text);
    bool msad4 = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const std::string_view word = t.Text(i);
        if (t[i].kind == TokenKind::Identifier) {
            msad4 = RespellWord(t, i, &edits) || msad4;
        } else if (t[i].kind == TokenKind::Directive) {
            const Tokens directive(t, i);
            for (size_t k = 0; k < directive.size(); ++k) {
                if (directive.Is(k, "'"))
                    edits.Blank(directive[k].begin, directive[k].end);
            }
            PasteAsWindows(directive, &edits);
            // `#define RS\` with the body on the next lines: Windows' preprocessor ends the name at
            // the escaped line break, glslang's takes what follows as part of the name.
            if (directive.size() > 1 && directive.Is(0, "define") && (*text)[directive[1].end] == '\\')
                edits.Insert(directive[1].end, " ");
        } else if (word == "'") {
            edits.Blank(t[i].begin, t[i].end);
        } else if (t[i].kind == TokenKind::Number) {
            // `3lu` is `3ul` to Windows' compiler.
            const size_t n = word.size();
            if (n > 2 && (word[n - 2] == 'l' || word[n - 2] == 'L') &&
                (word[n - 1] == 'u' || word[n - 1] == 'U'))
                edits.Replace(t[i].end - 2, t[i].end, std::string{word[n - 1], word[n - 2]});
            WrapWideLiteral(t, i, &edits);
        }
    }
    *text = edits.Apply();
    return msad4;
}

bool IsStateObject(std::string_view type) {
    return type == "BlendState" || type == "DepthStencilState" || type == "RasterizerState" ||
           type == "SamplerState" || type == "SamplerComparisonState";
}

// The structures: effect-file blocks and state objects, for-loop variables used after their loop,
// brace-elided array initializers.
class Structures {
  public:
    explicit Structures(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        for (const Declaration& d : d_.all())
            PipelineState(d);
        for (size_t i = 0; i < t_.size(); ++i) {
            if (t_.Is(i, "{")) {
                hoisted_.emplace_back();
                Brace(i);
            } else if (t_.Is(i, "}") && hoisted_.size() > 1) {
                hoisted_.pop_back();
            } else if (t_.Is(i, "for") && t_.Is(i + 1, "(")) {
                ForLoop(i);
            }
        }
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    // The for-loop variables moved before their loop, per open brace: name and type text.
    std::vector<std::map<std::string_view, std::string_view>> hoisted_ = {{}};

    void Blank(size_t first, size_t last) { edits_.Blank(t_[first].begin, t_[last].end); }

    void Brace(size_t open) {
        int owner;
        const platform::d3dcompiler::Brace kind = d_.Opens(open, &owner);
        if (owner < 0)
            return;
        const Declaration& d = d_.all()[owner];
        const size_t close = t_.Close(open);
        if (close >= t_.size())
            return;
        const size_t semicolon = t_.Is(close + 1, ";") ? close + 1 : close;
        if (kind == Brace::EffectBlock) {
            Blank(d.first, semicolon);
        } else if (kind == Brace::StateBlock && t_.Is(open - 1, "sampler_state")) {
            Blank(open - 2, close); // `= sampler_state { ... }`
        } else if (kind == Brace::StateBlock && IsStateObject(t_.Text(d.type.begin))) {
            // A sampler keeps its declaration without its state; the pipeline states, which no
            // shader reads, are blanked whole.
            const std::string_view type = t_.Text(d.type.begin);
            if (type == "SamplerState" || type == "SamplerComparisonState")
                Blank(open, close);
            else
                Blank(d.first, semicolon);
        } else if (kind == Brace::StateBlock) {
            Blank(open, close); // a plain variable's state block, which only the effect framework reads
        } else if (kind == Brace::Initializer) {
            ElidedBraces(d, open, close);
        } else if (kind == Brace::Struct || kind == Brace::Buffer) {
            Members(kind, open, close);
        }
    }

    // Inside a structure or buffer: empty declarations (`;`), which Windows' compiler skips, and a
    // buffer member's `register(cN)`, which shader model 4 and later ignore (the member is packed
    // where it falls).
    void Members(platform::d3dcompiler::Brace kind, size_t open, size_t close) {
        for (size_t i = open + 1; i < close; ++i) {
            if (t_.Is(i, "{") || t_.Is(i, "(")) {
                i = t_.Close(i);
            } else if (t_.Is(i, ";") && (t_.Is(i - 1, ";") || t_.Is(i - 1, "{"))) {
                Blank(i, i);
            } else if (kind == Brace::Buffer && t_.Is(i, ":") && t_.Is(i + 1, "register") &&
                       t_.Is(i + 2, "(") && t_.IsIdentifier(i + 3) &&
                       (t_.Text(i + 3)[0] == 'c' || t_.Text(i + 3)[0] == 'C') && t_.Is(i + 4, ")")) {
                Blank(i, i + 4);
            }
        }
    }

    // `RasterizerState RS_SolidFill;`: a pipeline state the application sets, with no state block,
    // which no shader reads: blanked.
    void PipelineState(const Declaration& d) {
        const std::string_view type = t_.Text(d.type.begin);
        if (d.kind != DeclarationKind::Global || d.type.end != d.type.begin + 1 || !IsStateObject(type) ||
            type == "SamplerState" || type == "SamplerComparisonState")
            return;
        const size_t end = d.arraySizes.empty() ? d.nameToken + 1 : d.arraySizes.back().end + 1;
        if (t_.Is(end, ";") && d.first < d.nameToken)
            Blank(d.first, end);
    }

    bool IsLiteral(size_t begin, size_t end) const {
        if (begin < end && (t_.Is(begin, "-") || t_.Is(begin, "+")))
            ++begin;
        return end == begin + 1 && t_[begin].kind == TokenKind::Number;
    }

    // `float4 k[2] = { 1, 2, 3, 4, 5, 6, 7, 8 };`: Windows' compiler fills the elements from the
    // flat list. Each element's components become a constructor of its own.
    void ElidedBraces(const Declaration& d, size_t brace, size_t close) {
        const std::string_view type = d_.TypeName(d);
        size_t components = 0;
        if (d.arraySizes.size() != 1 || !IsNumericType(type, &components) || components < 2)
            return;
        std::vector<TokenRange> elements;
        size_t start = brace + 1;
        for (size_t at = brace + 1; at < close;) {
            if (t_.Is(at, "{"))
                return;
            if (t_.Is(at, "(") || t_.Is(at, "[")) {
                at = t_.Close(at) + 1;
                continue;
            }
            if (t_.Is(at, ",")) {
                elements.push_back({start, at});
                start = at + 1;
            }
            ++at;
        }
        if (start < close)
            elements.push_back({start, close});
        bool literals = true;
        for (const TokenRange& e : elements)
            literals = literals && IsLiteral(e.begin, e.end);
        const TokenRange size = d.arraySizes[0];
        const bool sized = size.end == size.begin + 1 && t_[size.begin].kind == TokenKind::Number;
        const size_t count = sized ? std::strtoul(std::string(t_.Text(size.begin)).c_str(), nullptr, 0) : 0;
        // One element's worth is brace-elided only when the array has that one element.
        const bool several = elements.size() > components || (sized && count == 1);
        if (!several || elements.size() % components != 0 ||
            !(literals || elements.size() == count * components))
            return;
        const std::string open = std::string(type) + "(";
        for (size_t e = 0; e < elements.size(); e += components) {
            edits_.Insert(t_[elements[e].begin].begin, open);
            edits_.Insert(t_[elements[e + components - 1].end - 1].end, ")");
        }
    }

    // The end of the statement that starts at token `i`: after its closing brace or its semicolon.
    size_t StatementEnd(size_t i) const {
        if (t_.Is(i, "{"))
            return t_.Close(i) + 1;
        int depth = 0;
        for (; i < t_.size(); ++i) {
            if (t_.Is(i, "(") || t_.Is(i, "{"))
                ++depth;
            else if (t_.Is(i, ")") || t_.Is(i, "}"))
                --depth;
            else if (t_.Is(i, ";") && depth == 0)
                return i + 1;
        }
        return t_.size();
    }

    // True when variable `name` is read between token `from` and the end of the enclosing block
    // before any declaration of its own; a member of the same name is no read of it.
    bool UsedAfter(std::string_view name, size_t from) const {
        int depth = 0;
        for (size_t i = from; i < t_.size(); ++i) {
            if (t_.Is(i, "{"))
                ++depth;
            else if (t_.Is(i, "}") && --depth < 0)
                return false;
            else if (t_.Text(i) == name && t_[i].kind == TokenKind::Identifier && !t_.Is(i - 1, "."))
                return !d_.DeclaredAt(i);
        }
        return false;
    }

    // True when `name` is declared in the block around token `before`, before it.
    bool DeclaredBefore(std::string_view name, size_t before) const {
        int depth = 0;
        for (size_t i = before; i-- > 1;) {
            if (t_.Is(i, "}"))
                ++depth;
            else if (t_.Is(i, "{") && --depth < 0)
                return false;
            else if (depth == 0 && t_.Text(i) == name && d_.DeclaredAt(i))
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
        while (first > 0 && t_.Is(first - 1, "]")) {
            size_t open = first - 1;
            while (open > 0 && !t_.Is(open, "["))
                --open;
            first = open;
        }
        if (first > 0 && !t_.Is(first - 1, ";") && !t_.Is(first - 1, "{") && !t_.Is(first - 1, "}"))
            return;
        const size_t paren = i + 1;
        const size_t header = t_.Close(paren);
        std::vector<const Declaration*> declared;
        size_t semicolon = paren + 1;
        for (int depth = 0; semicolon < header && !(depth == 0 && t_.Is(semicolon, ";")); ++semicolon) {
            depth += t_.Is(semicolon, "(") ? 1 : t_.Is(semicolon, ")") ? -1 : 0;
            const Declaration* d = d_.DeclaredAt(semicolon);
            if (d && d->kind == DeclarationKind::Local)
                declared.push_back(d);
        }
        if (semicolon >= header || declared.empty())
            return;
        const size_t typeEnd = declared[0]->type.end - 1;
        const std::string_view typeText =
            t_.text().substr(t_[paren + 1].begin, t_[typeEnd].end - t_[paren + 1].begin);
        auto& scope = hoisted_.back();
        bool again = true;
        for (const Declaration* d : declared) {
            auto it = scope.find(d->name);
            again = again && it != scope.end() && it->second == typeText;
        }
        if (again) {
            Blank(paren + 1, typeEnd);
            return;
        }
        if (header + 1 >= t_.size() || !UsedAfter(declared[0]->name, StatementEnd(header + 1)))
            return;
        // Declared before in the block: Windows' compiler warns and the loop uses that variable.
        if (declared.size() == 1 && DeclaredBefore(declared[0]->name, first)) {
            Blank(paren + 1, typeEnd);
            return;
        }
        for (const Declaration* d : declared)
            scope[d->name] = typeText;
        const std::string_view text = t_.text();
        const size_t begin = t_[first].begin;
        const size_t declaration = t_[paren + 1].begin;
        const size_t end = t_[semicolon].end;
        edits_.Replace(begin, end,
                       std::string(text.substr(declaration, end - declaration))
                           .append(text.substr(begin, declaration - begin))
                           .append(";"));
    }
};

} // namespace

void BridgeSource(std::string* text) {
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0)
        text->erase(0, 3);
    // Windows' preprocessor ends a last line at the end of the file; glslang's wants its newline
    // after a last `#include`.
    if (!text->empty() && text->back() != '\n')
        text->push_back('\n');
    const bool msad4 = Respell(text);
    *text = Structures(*text).Run();
    ConvertAsWindows(text);
    FlattenInitializers(text);
    MoveResourcesOutOfBuffers(text);
    SplitLegacySamplers(text);
    RewriteIntrinsicCalls(text);
    CastAsWindows(text);
    LowerMatrices(text);
    if (msad4)
        text->insert(0, kMsad4);
}

} // namespace platform::d3dcompiler
