#include "source_matrices.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

#include <set>

namespace platform::d3dcompiler {

namespace {

struct Shape {
    size_t rows = 0, columns = 0;
};

// The rows and columns of a matrix type name, `float3x4` or `min16float1x4`.
bool MatrixShape(std::string_view type, Shape* shape) {
    const size_t x = type.rfind('x');
    // `matrix` alone names no shape.
    if (!IsMatrixType(type) || x == std::string_view::npos || x + 2 != type.size())
        return false;
    shape->rows = type[x - 1] - '0';
    shape->columns = type[x + 1] - '0';
    return true;
}

bool IsThin(const Shape& s) {
    return s.rows == 1 || s.columns == 1;
}

// The vector a one-row or one-column matrix type becomes: `float4` for `float1x4` and `float4x1`.
std::string VectorOf(std::string_view matrix, const Shape& s) {
    return std::string(ScalarOf(matrix)) + std::to_string(s.rows * s.columns);
}

// The components a matrix swizzle names, each as row and column from 0: `_m01_m10` or `_12_21`,
// one form throughout; false for other names or components outside `s`.
bool MatrixSwizzle(std::string_view name, const Shape& s, std::vector<Shape>* components) {
    const bool zeroBased = name.size() >= 2 && name[1] == 'm';
    const size_t width = zeroBased ? 4 : 3, base = zeroBased ? 0 : 1;
    if (name.empty() || name.size() % width != 0 || name.size() / width > 4)
        return false;
    for (size_t at = 0; at < name.size(); at += width) {
        if (name[at] != '_' || (zeroBased && name[at + 1] != 'm'))
            return false;
        const char r = name[at + width - 2], c = name[at + width - 1];
        if (r < char('0' + base) || c < char('0' + base))
            return false;
        const Shape component = {size_t(r - '0') - base, size_t(c - '0') - base};
        if (component.rows >= s.rows || component.columns >= s.columns)
            return false;
        components->push_back(component);
    }
    return true;
}

bool IsAssignment(std::string_view op) {
    static const std::set<std::string_view> ops = {
        "=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", "++", "--"};
    return ops.count(op) != 0;
}

// The intrinsics that apply to each component of a matrix, which glslang gives SPIR-V that applies
// them to the matrix whole, which SPIR-V has no instruction for.
bool IsComponentwise(std::string_view name) {
    static const std::set<std::string_view> names = {
        "abs",        "acos",  "asin",    "atan",  "atan2", "ceil",     "clamp", "cos",    "cosh",
        "ddx",        "ddy",   "degrees", "exp",   "exp2",  "floor",    "frac",  "fwidth", "isfinite",
        "isinf",      "isnan", "ldexp",   "lerp",  "log",   "log10",    "log2",  "mad",    "max",
        "min",        "pow",   "radians", "round", "rsqrt", "saturate", "sign",  "sin",    "sinh",
        "smoothstep", "sqrt",  "step",    "tan",   "tanh",  "trunc"};
    return names.count(name) != 0;
}

class MatrixLowering {
  public:
    explicit MatrixLowering(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        UniformStructures();
        for (const Declaration& d : d_.all())
            ThinDeclaration(d);
        for (size_t i = 0; i < t_.size(); ++i) {
            if (t_.Is(i, "mul") && t_.Is(i + 1, "("))
                Product(i);
            else if (t_.Is(i, "transpose") && t_.Is(i + 1, "("))
                Transpose(i);
            else if (IsComponentwise(t_.Text(i)) && t_.Is(i + 1, "("))
                i = Componentwise(i);
            else if (t_.IsIdentifier(i) && !kept_.count(i))
                ThinType(i);
            else if (t_.Is(i, "[") && i > 0)
                Index(i);
            else if (t_.Is(i, ".") && t_.IsIdentifier(i + 1) && i > 0)
                Swizzle(i);
        }
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    std::set<const Declaration*> thin_; // declarations of one-row or one-column matrices made vectors
    std::set<size_t> kept_;             // their type tokens where a constant buffer holds them
    std::set<const Declaration*> uniformStructures_;

    bool IsUniform(const Declaration& d) const {
        bool uniform = d.kind == DeclarationKind::BufferMember || d.kind == DeclarationKind::Global;
        for (size_t q : d.qualifiers)
            uniform = uniform && !t_.Is(q, "static") && !t_.Is(q, "groupshared");
        if (d.kind == DeclarationKind::Member && d.owner >= 0)
            uniform = uniformStructures_.count(&d_.all()[d.owner]) != 0;
        return uniform;
    }

    // The structures a constant buffer holds, directly or in another structure.
    void UniformStructures() {
        for (bool grown = true; grown;) {
            grown = false;
            for (const Declaration& d : d_.all()) {
                if (d.type.empty())
                    continue;
                // `ConstantBuffer<S>` holds an `S`.
                const bool templated =
                    d.type.end == d.type.begin + 4 && t_.Is(d.type.begin, "ConstantBuffer");
                const std::string_view type = templated ? t_.Text(d.type.begin + 2) : d_.TypeName(d);
                const Declaration* s = FindStruct(t_, d_, type, d.nameToken);
                if (s && IsUniform(d) && uniformStructures_.insert(s).second)
                    grown = true;
            }
        }
    }

    // A uniform's one-row or one-column matrix keeps its type: a constant buffer lays it out as
    // registers of its rows or columns, which no vector matches.
    void ThinDeclaration(const Declaration& d) {
        Shape s;
        if (d.type.empty() || !MatrixShape(d_.TypeName(d), &s) || !IsThin(s))
            return;
        if (!IsUniform(d)) {
            thin_.insert(&d);
            return;
        }
        kept_.insert(d.type.begin);
        // Through a typedef, the typedef keeps it.
        const Declaration* alias = d_.Find(t_.Text(d.type.begin), d.nameToken);
        if (alias && alias->kind == DeclarationKind::Typedef && !alias->type.empty())
            kept_.insert(alias->type.begin);
    }

    void ThinType(size_t i) {
        Shape s;
        if (!MatrixShape(t_.Text(i), &s) || !IsThin(s))
            return;
        if (s.rows > 1 && i > 0 && t_.Is(i - 1, "(") && t_.Is(i + 1, ")"))
            return ColumnCast(i, s);
        edits_.Replace(t_[i].begin, t_[i].end, VectorOf(t_.Text(i), s));
    }

    // `(float4x1)m` of a wider matrix is its first column, where a cast to a vector would take its
    // first row: the column is written out. A value whose type is not known keeps the cast, which
    // glslang refuses, rather than risk the row.
    void ColumnCast(size_t i, const Shape& s) {
        const size_t at = i + 2;
        Shape from;
        ExpressionType type;
        size_t components = 0;
        const bool path = TypeOfPath(t_, d_, at, &type) && type.arrayDims == 0 && type.element.empty();
        const bool constructed = t_.IsIdentifier(at) && t_.Is(at + 1, "(") && IsNumericType(t_.Text(at)) &&
                                 !IsMatrixType(t_.Text(at));
        if (at >= t_.size() || (!path && !constructed && t_[at].kind != TokenKind::Number))
            return;
        if (!path || !MatrixShape(type.name, &from) || IsThin(from) ||
            !IsNumericType(type.name, &components)) {
            edits_.Replace(t_[i].begin, t_[i].end, VectorOf(t_.Text(i), s));
            return;
        }
        const std::string_view value = t_.text().substr(t_[at].begin, t_[type.end - 1].end - t_[at].begin);
        if (from.rows < s.rows || value.find('\n') != std::string_view::npos)
            return;
        std::string column = VectorOf(t_.Text(i), s) + "(";
        for (size_t r = 0; r < s.rows; ++r)
            column += std::string(r ? ", " : "") + std::string(value) + "[" + std::to_string(r) + "][0]";
        edits_.Replace(t_[i - 1].begin, t_[type.end - 1].end, column + ")");
    }

    // The type of the name path that ends before token `end`.
    bool PathBefore(size_t end, size_t* start, ExpressionType* type) const {
        *start = PathStart(t_, end - 1);
        return *start < t_.size() && TypeOfPath(t_, d_, *start, type, end) && type->end == end &&
               type->arrayDims == 0 && type->element.empty();
    }

    // The index of a one-row matrix's row is dropped, and that of a one-column matrix's column.
    void Index(size_t open) {
        size_t start;
        ExpressionType type;
        Shape s;
        if (!PathBefore(open, &start, &type) || !thin_.count(type.declaration) || !MatrixShape(type.name, &s))
            return;
        const size_t close = t_.Close(open);
        if (close >= t_.size())
            return;
        if (s.rows == 1)
            edits_.Blank(t_[open].begin, t_[close].end);
        else if (t_.Is(close + 1, "[") && t_.Close(close + 1) < t_.size())
            edits_.Blank(t_[close + 1].begin, t_[t_.Close(close + 1)].end);
    }

    // The one-row or one-column matrix path [begin, end): its shape, scalar type and text.
    bool ThinPath(size_t begin, size_t end, Shape* s, std::string* scalar, std::string_view* text) const {
        ExpressionType type;
        if (begin >= end || !TypeOfPath(t_, d_, begin, &type) || type.end != end || type.arrayDims != 0 ||
            !thin_.count(type.declaration) || !MatrixShape(type.name, s))
            return false;
        *scalar = std::string(ScalarOf(type.name));
        *text = t_.text().substr(t_[begin].begin, t_[end - 1].end - t_[begin].begin);
        return text->find('\n') == std::string_view::npos;
    }

    // `mul(column, row)` of a one-column and a one-row matrix is their outer product, a matrix,
    // where the vectors they become would give their dot product.
    void Product(size_t name) {
        const size_t open = name + 1, close = t_.Close(open);
        size_t comma = open + 1;
        while (comma < close && !t_.Is(comma, ",")) {
            if (t_.Is(comma, "(") || t_.Is(comma, "["))
                comma = t_.Close(comma);
            ++comma;
        }
        Shape a, b;
        std::string scalar, other;
        std::string_view column, row;
        if (close >= t_.size() || comma >= close || !ThinPath(open + 1, comma, &a, &scalar, &column) ||
            !ThinPath(comma + 1, close, &b, &other, &row) || a.columns != 1 || a.rows < 2 || b.rows != 1 ||
            b.columns < 2)
            return;
        std::string product = scalar + std::to_string(a.rows) + "x" + std::to_string(b.columns) + "(";
        for (size_t r = 0; r < a.rows; ++r)
            for (size_t c = 0; c < b.columns; ++c)
                product += std::string(r + c ? ", " : "") + std::string(column) + "[" + std::to_string(r) +
                           "] * " + std::string(row) + "[" + std::to_string(c) + "]";
        edits_.Replace(t_[name].begin, t_[close].end, product + ")");
    }

    // A row of the arguments [begin, end) of a component-wise intrinsic: each matrix in them by its
    // row `row`, scalars as they are; `shape` gets the matrices' shape and `scalar` their scalar type.
    // False for anything else in them but numbers, operators, parentheses and other such intrinsics.
    bool Row(size_t begin, size_t end, size_t row, Shape* shape, std::string* scalar,
             std::string* out) const {
        static const std::set<std::string_view> operators = {"+", "-", "*", "/", ",", "(", ")"};
        for (size_t i = begin; i < end;) {
            const std::string_view text = t_.Text(i);
            if (t_[i].kind == TokenKind::Number || operators.count(text)) {
                *out += std::string(text) + (t_.Is(i, ",") ? " " : "");
                ++i;
                continue;
            }
            if (t_.IsIdentifier(i) && t_.Is(i + 1, "(")) {
                if (!IsComponentwise(text))
                    return false;
                *out += std::string(text);
                ++i;
                continue;
            }
            ExpressionType type;
            size_t components = 0;
            Shape s;
            if (!TypeOfPath(t_, d_, i, &type) || type.end > end || type.arrayDims != 0 ||
                !type.element.empty() || !IsNumericType(type.name, &components))
                return false;
            const std::string path(t_.text().substr(t_[i].begin, t_[type.end - 1].end - t_[i].begin));
            if (path.find('\n') != std::string::npos)
                return false;
            if (MatrixShape(type.name, &s) && !IsThin(s) && !thin_.count(type.declaration)) {
                if (shape->rows != 0 && (s.rows != shape->rows || s.columns != shape->columns))
                    return false;
                *shape = s;
                *scalar = std::string(ScalarOf(type.name));
                *out += "(" + path + ")[" + std::to_string(row) + "]";
            } else if (components == 1) {
                *out += path;
            } else {
                return false;
            }
            i = type.end;
        }
        return true;
    }

    // `abs(m)`, `min(m, 0.5)`, `sign(m)` of a matrix `m`: the matrix of the intrinsic of each row.
    // Returns the last token it read.
    size_t Componentwise(size_t name) {
        const size_t close = t_.Close(name + 1);
        if (close >= t_.size())
            return name;
        Shape shape;
        std::string scalar;
        std::vector<std::string> rows(1);
        if (!Row(name, close + 1, 0, &shape, &scalar, &rows[0]) || shape.rows == 0)
            return name;
        for (size_t r = 1; r < shape.rows; ++r) {
            rows.emplace_back();
            Row(name, close + 1, r, &shape, &scalar, &rows.back());
        }
        // The sign of a float is an int; whether it is a number, a bool.
        const std::string_view f = t_.Text(name);
        const std::string result = f == "sign" ? "int" : f.substr(0, 2) == "is" ? "bool" : scalar;
        std::string matrix = result + std::to_string(shape.rows) + "x" + std::to_string(shape.columns) + "(";
        for (size_t r = 0; r < rows.size(); ++r)
            matrix += (r ? ", " : "") + rows[r];
        edits_.Replace(t_[name].begin, t_[close].end, matrix + ")");
        return close;
    }

    // The transpose of a one-row or one-column matrix has its components in the same order: as a
    // vector it is the same vector.
    void Transpose(size_t name) {
        Shape s;
        std::string scalar;
        std::string_view text;
        const size_t close = t_.Close(name + 1);
        if (close < t_.size() && ThinPath(name + 2, close, &s, &scalar, &text))
            edits_.Blank(t_[name].begin, t_[name].end);
    }

    void Swizzle(size_t dot) {
        size_t start;
        ExpressionType type;
        Shape s;
        std::vector<Shape> components;
        const std::string_view name = t_.Text(dot + 1);
        if (name.empty() || name[0] != '_' || !PathBefore(dot, &start, &type) ||
            !MatrixShape(type.name, &s) || !MatrixSwizzle(name, s, &components))
            return;
        if (thin_.count(type.declaration)) {
            std::string letters;
            for (const Shape& c : components)
                letters += "xyzw"[s.rows == 1 ? c.columns : c.rows];
            edits_.Replace(t_[dot + 1].begin, t_[dot + 1].end, letters);
            return;
        }
        // One component, and components assigned to, glslang takes as they are.
        const bool assigned = (dot + 2 < t_.size() && IsAssignment(t_.Text(dot + 2))) ||
                              (start > 0 && (t_.Is(start - 1, "++") || t_.Is(start - 1, "--")));
        if (components.size() < 2 || assigned || IsThin(s))
            return;
        const std::string_view path = t_.text().substr(t_[start].begin, t_[dot - 1].end - t_[start].begin);
        if (path.find('\n') != std::string_view::npos)
            return;
        std::string vector = std::string(ScalarOf(type.name)) + std::to_string(components.size()) + "(";
        for (size_t c = 0; c < components.size(); ++c)
            vector += std::string(c ? ", " : "") + std::string(path) + "[" +
                      std::to_string(components[c].rows) + "][" + std::to_string(components[c].columns) + "]";
        edits_.Replace(t_[start].begin, t_[dot + 1].end, vector + ")");
    }
};

} // namespace

void LowerMatrices(std::string* text) {
    // Most files have no matrix type named, `float4x4` or `matrix`, nor matrix swizzles: not read.
    bool matrices = text->find("._") != std::string::npos || text->find("matrix") != std::string::npos;
    for (size_t x = text->find('x', 1); !matrices && x != std::string::npos && x + 1 < text->size();
         x = text->find('x', x + 1))
        matrices =
            (*text)[x - 1] >= '1' && (*text)[x - 1] <= '4' && (*text)[x + 1] >= '1' && (*text)[x + 1] <= '4';
    if (!matrices)
        return;
    *text = MatrixLowering(*text).Run();
}

} // namespace platform::d3dcompiler
