#include "source_truncation.h"

#include "expression_types.h"

#include <algorithm>

namespace platform::d3dcompiler {

namespace {

// Components of a scalar or vector type name, 0 for any other type.
size_t Width(std::string_view type) {
    size_t n = 0;
    return IsNumericType(type, &n) && !IsMatrixType(type) ? n : 0;
}

// Letters of one swizzle set, `xyzw` or `rgba`, up to four.
bool IsSwizzle(std::string_view s) {
    if (s.empty() || s.size() > 4)
        return false;
    const std::string_view set =
        std::string_view("xyzw").find(s[0]) != std::string_view::npos ? "xyzw" : "rgba";
    return s.find_first_not_of(set) == std::string_view::npos;
}

bool IsBinaryOperator(std::string_view s) {
    return s == "+" || s == "-" || s == "*" || s == "/" || s == "%" || s == "&" || s == "|" || s == "^" ||
           s == "<<" || s == ">>";
}

std::string Truncation(size_t from, size_t to) {
    return "implicit truncation of vector type: " + std::to_string(from) + " components into " +
           std::to_string(to);
}

// The width of the value of an expression, read where the source spells it; 0 where it is not known.
class WidthReader {
  public:
    // Vectors of two widths met in arithmetic go to `out`.
    WidthReader(const Tokens& t, const Declarations& d, const Functions& functions,
                std::vector<SourceWarning>* out)
        : t_(t), d_(d), functions_(functions), out_(out) {}

    // The width of tokens [begin, end): arithmetic between operands, each scalar or vector; the
    // result is as wide as its narrowest vector operand, and the wider one is truncated. However
    // the operators group, vectors of two widths meet somewhere, so reading them left to right
    // finds the truncation on the same line.
    size_t Of(size_t begin, size_t end) {
        if (begin >= end || depth_ == kMaxDepth)
            return 0;
        ++depth_;
        size_t width = 1;
        size_t at = begin, op = begin;
        for (;;) {
            const size_t term = Operand(&at, end);
            if (term == 0)
                break;
            if (term > 1 && width > 1 && term != width)
                out_->push_back({op, Truncation(std::max(width, term), std::min(width, term))});
            if (term > 1)
                width = width == 1 ? term : std::min(width, term);
            if (at == end) {
                --depth_;
                return width;
            }
            if (!IsBinaryOperator(t_.Text(at)))
                break;
            op = at++;
        }
        --depth_;
        return 0;
    }

  private:
    static constexpr int kMaxDepth = 64;
    const Tokens& t_;
    const Declarations& d_;
    const Functions& functions_;
    std::vector<SourceWarning>* out_;
    int depth_ = 0;

    // `tex.Sample(...)` and the other reads of a texture, of the element it declares, at the path's
    // end; `*at` moves past the call.
    bool TextureRead(const ExpressionType& type, size_t* at, size_t* width) const {
        const size_t dot = type.end;
        if (!t_.Is(dot, ".") || !t_.IsIdentifier(dot + 1) || !t_.Is(dot + 2, "(") || !type.declaration)
            return false;
        const std::string_view method = t_.Text(dot + 1);
        if (method != "Sample" && method != "SampleLevel" && method != "SampleBias" &&
            method != "SampleGrad" && method != "Load")
            return false;
        const size_t close = t_.Close(dot + 2);
        if (close >= t_.size())
            return false;
        // A texture declared without its element holds float4.
        const TokenRange& spelled = type.declaration->type;
        *width = spelled.end == spelled.begin + 1 ? 4 : Width(type.element);
        *at = close + 1;
        return *width != 0;
    }

    // One operand at `*at` with its prefix and postfix operators; `*at` moves past it.
    size_t Operand(size_t* at, size_t end) {
        if (depth_ == kMaxDepth)
            return 0;
        ++depth_;
        const size_t width = OperandAt(at, end);
        --depth_;
        return width;
    }

    size_t OperandAt(size_t* at, size_t end) {
        size_t i = *at;
        while (i < end && (t_.Is(i, "-") || t_.Is(i, "+") || t_.Is(i, "!") || t_.Is(i, "~") ||
                           t_.Is(i, "++") || t_.Is(i, "--")))
            ++i;
        if (i >= end)
            return 0;
        size_t width = 0;
        const std::string_view word = t_.Text(i);
        if (t_[i].kind == TokenKind::Number || word == "true" || word == "false") {
            width = 1;
            ++i;
        } else if (word == "(") {
            const size_t close = t_.Close(i);
            if (close >= end)
                return 0;
            if (close == i + 2 && IsNumericType(t_.Text(i + 1))) {
                // A cast: its own width, whatever it converts.
                size_t operand = close + 1;
                if (Operand(&operand, end) == 0)
                    return 0;
                *at = operand;
                return Width(t_.Text(i + 1));
            }
            width = Of(i + 1, close);
            i = close + 1;
        } else if (t_.IsIdentifier(i) && t_.Is(i + 1, "(")) {
            const size_t close = t_.Close(i + 1);
            if (close >= end)
                return 0;
            const auto called = functions_.find(word);
            width = IsNumericType(word)                                        ? Width(word)
                    : called != functions_.end() && !called->second.overloaded ? called->second.returned
                                                                               : 0;
            i = close + 1;
        } else if (t_.IsIdentifier(i)) {
            ExpressionType type;
            if (!TypeOfPath(t_, d_, i, &type) || type.arrayDims != 0)
                return 0;
            if (type.name.compare(0, 7, "Texture") == 0) {
                if (!TextureRead(type, &i, &width))
                    return 0;
            } else if (type.element.empty()) {
                width = Width(type.name);
                i = type.end;
            } else {
                return 0;
            }
        }
        for (; width != 0 && t_.Is(i, ".") && t_.IsIdentifier(i + 1) && !t_.Is(i + 2, "("); i += 2)
            width = IsSwizzle(t_.Text(i + 1)) ? t_.Text(i + 1).size() : 0;
        if (t_.Is(i, "++") || t_.Is(i, "--"))
            ++i;
        if (width == 0 || i > end)
            return 0;
        *at = i;
        return width;
    }
};

// Arguments wider than the parameters they are passed to, in the call whose `(` is at `open`, and
// vectors of two widths met within any argument; `parameters` is null for a call of an intrinsic or
// of an overloaded function.
void FindArgumentTruncations(const Tokens& t, WidthReader& reader, const std::vector<size_t>* parameters,
                             size_t open, std::vector<SourceWarning>* out) {
    const size_t close = t.Close(open);
    if (close >= t.size() || close == open + 1)
        return;
    std::vector<std::pair<size_t, size_t>> arguments;
    for (size_t a = open + 1; a < close;) {
        const size_t e = ExpressionEnd(t, a, close);
        arguments.push_back({a, e});
        a = e + 1;
    }
    const bool judged = parameters && parameters->size() == arguments.size();
    for (size_t k = 0; k < arguments.size(); ++k) {
        const size_t width = reader.Of(arguments[k].first, arguments[k].second);
        const size_t parameter = judged ? (*parameters)[k] : 0;
        if (parameter != 0 && width > parameter)
            out->push_back({arguments[k].first, Truncation(width, parameter)});
    }
}

} // namespace

Functions UserFunctions(const Tokens& t, const Declarations& d) {
    std::vector<std::vector<size_t>> parameters(d.all().size());
    for (const Declaration& p : d.all()) {
        if (p.kind != DeclarationKind::Parameter || p.owner < 0)
            continue;
        const bool out = std::any_of(p.qualifiers.begin(), p.qualifiers.end(),
                                     [&](size_t q) { return t.Is(q, "out") || t.Is(q, "inout"); });
        parameters[p.owner].push_back(out || !p.arraySizes.empty() ? 0 : Width(d.TypeName(p)));
    }
    Functions functions;
    for (size_t i = 0; i < d.all().size(); ++i) {
        const Declaration& f = d.all()[i];
        if (f.kind != DeclarationKind::Function)
            continue;
        const FunctionWidths widths = {Width(d.TypeName(f)), parameters[i], false};
        const auto [it, added] = functions.emplace(f.name, widths);
        if (!added && (it->second.returned != widths.returned || it->second.parameters != widths.parameters))
            it->second.overloaded = true;
    }
    return functions;
}

void FindTruncations(const Tokens& t, const Declarations& d, const Functions& functions,
                     const Declaration& function, std::vector<SourceWarning>* out) {
    WidthReader reader(t, d, functions, out);
    const size_t end = std::min(t.Close(function.body), t.size());
    const size_t returnWidth = Width(d.TypeName(function));
    for (size_t i = function.body + 1; i < end; ++i) {
        if (!t.IsIdentifier(i) || t.Is(i - 1, "."))
            continue;
        if (t.Is(i + 1, "(")) {
            const auto called = functions.find(t.Text(i));
            FindArgumentTruncations(t, reader,
                                    called != functions.end() && !called->second.overloaded
                                        ? &called->second.parameters
                                        : nullptr,
                                    i + 1, out);
            continue;
        }
        size_t target = 0, value = i + 1;
        const Declaration* declared = d.DeclaredAt(i);
        if (t.Is(i, "return")) {
            target = returnWidth;
        } else if (declared) {
            if (declared->initializer.empty() || !declared->arraySizes.empty())
                continue;
            target = Width(d.TypeName(*declared));
            value = declared->initializer.begin;
        } else if (t.Is(i + 1, "=") || t.Is(i + 1, ".") || t.Is(i + 1, "[") || t.Is(i + 1, "+=") ||
                   t.Is(i + 1, "-=") || t.Is(i + 1, "*=") || t.Is(i + 1, "/=")) {
            ExpressionType type;
            if (!TypeOfPath(t, d, i, &type) || type.arrayDims != 0 || !type.element.empty())
                continue;
            const std::string_view op = type.end < end ? t.Text(type.end) : std::string_view();
            if (op != "=" && op != "+=" && op != "-=" && op != "*=" && op != "/=")
                continue;
            target = Width(type.name);
            value = type.end + 1;
        }
        if (target == 0)
            continue;
        const size_t valueEnd = ExpressionEnd(t, value, end);
        const size_t width = reader.Of(value, valueEnd);
        if (width > target)
            out->push_back({value, Truncation(width, target)});
    }
}

} // namespace platform::d3dcompiler
