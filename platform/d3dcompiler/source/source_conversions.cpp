#include "source_conversions.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

#include <set>

namespace platform::d3dcompiler {

namespace {

// The dimensions a texture type's size has: 2 for `Texture2D` and `Texture2DMS`, 0 for others.
size_t TextureDimensions(std::string_view type) {
    if (type.compare(0, 2, "RW") == 0)
        type.remove_prefix(2);
    if (type.compare(0, 7, "Texture") != 0)
        return 0;
    type.remove_prefix(7);
    const bool array = type.size() >= 5 && type.substr(type.size() - 5) == "Array";
    if (array)
        type.remove_suffix(5);
    if (type.size() >= 2 && type.substr(type.size() - 2) == "MS")
        type.remove_suffix(2);
    const size_t base = type == "1D" ? 1 : type == "2D" || type == "Cube" ? 2 : type == "3D" ? 3 : 0;
    return base == 0 ? 0 : base + (array ? 1 : 0);
}

// The number of results a buffer type's GetDimensions gives, 0 for other types.
size_t BufferResults(std::string_view type) {
    if (type == "StructuredBuffer" || type == "RWStructuredBuffer" || type == "AppendStructuredBuffer" ||
        type == "ConsumeStructuredBuffer")
        return 2; // elements, stride
    if (type == "Buffer" || type == "RWBuffer" || type == "ByteAddressBuffer" ||
        type == "RWByteAddressBuffer")
        return 1;
    return 0;
}

// Whether `arguments` arguments fit GetDimensions of `type`, with the first result's in `first`:
// a texture's size has its dimensions (and the sample count of a multisampled one), or a mip
// level first and the number of levels last.
bool Results(std::string_view type, size_t arguments, size_t* first) {
    *first = 0;
    if (const size_t results = BufferResults(type))
        return arguments == results;
    const size_t dims = TextureDimensions(type);
    if (dims == 0 || arguments < dims || arguments > dims + 2)
        return false;
    *first = arguments == dims + 2 ? 1 : 0;
    return true;
}

class Converter {
  public:
    explicit Converter(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        for (size_t i = 0; i + 2 < t_.size(); ++i) {
            if (t_.Is(i, ".") && t_.Is(i + 1, "GetDimensions") && t_.Is(i + 2, "("))
                GetDimensions(i);
            else if (i > 0 && t_.Is(i, ".") && t_.Is(i + 1, "Length") && !t_.Is(i + 2, "("))
                Length(i);
            else if (t_.Is(i, ".") && t_.Is(i + 2, "(") &&
                     (t_.Is(i + 1, "Store2") || t_.Is(i + 1, "Store3") || t_.Is(i + 1, "Store4")))
                StoreValue(i);
        }
        for (size_t i = 1; i + 1 < t_.size(); ++i) {
            if (t_.Is(i, "="))
                Assignment(i);
        }
        for (const Declaration& f : d_.all()) {
            if (f.kind == DeclarationKind::Function && f.body)
                Returns(f);
        }
        for (size_t i = 0; i + 1 < t_.size(); ++i) {
            if (t_.Is(i, "switch") && t_.Is(i + 1, "("))
                SwitchCondition(i + 1);
        }
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    std::set<std::string> converters_; // "from>to" of the converting functions written
    std::set<std::string> lengths_;    // the textures' size functions written

    // `object.GetDimensions(...)` as a statement, at the `.` token `dot`.
    void GetDimensions(size_t dot) {
        const size_t start = PathStart(t_, dot - 1), open = dot + 2, close = t_.Close(open);
        ExpressionType object;
        if (start >= t_.size() || close >= t_.size() || !t_.Is(close + 1, ";") ||
            !TypeOfPath(t_, d_, start, &object) || object.end != dot || object.arrayDims != 0)
            return;
        const bool statement = start == 0 || t_.Is(start - 1, ";") || t_.Is(start - 1, "{") ||
                               t_.Is(start - 1, "}") || t_.Is(start - 1, ")") || t_.Is(start - 1, "else") ||
                               t_[start - 1].kind == TokenKind::Directive;
        if (!statement)
            return;
        std::vector<size_t> args = {open + 1}; // each argument's first token
        for (size_t i = open + 1; i < close; ++i) {
            if (t_.Is(i, "(") || t_.Is(i, "["))
                i = t_.Close(i);
            else if (t_.Is(i, ","))
                args.push_back(i + 1);
        }
        size_t first;
        if (!Results(object.name, args.size(), &first))
            return;
        std::set<std::string> scalars;
        for (size_t a = first; a < args.size(); ++a) {
            ExpressionType out;
            const size_t end = a + 1 < args.size() ? args[a + 1] - 1 : close;
            if (!TypeOfPath(t_, d_, args[a], &out) || out.end != end || out.arrayDims != 0)
                return;
            scalars.insert(std::string(ScalarOf(out.name)));
        }
        // Buffers give uint results only; textures float or uint ones, when all outputs are alike.
        const bool texture = BufferResults(object.name) == 0;
        if (scalars.size() == 1 && (*scalars.begin() == "uint" || (texture && *scalars.begin() == "float")))
            return;
        std::string before = "{ uint ", after;
        for (size_t a = first; a < args.size(); ++a) {
            const std::string temporary = "fxview_size" + std::to_string(a);
            const size_t end = a + 1 < args.size() ? args[a + 1] - 1 : close;
            before += temporary + (a + 1 < args.size() ? ", " : "; ");
            after += " " +
                     std::string(t_.text().substr(t_[args[a]].begin, t_[end - 1].end - t_[args[a]].begin)) +
                     " = " + temporary + ";";
            edits_.Replace(t_[args[a]].begin, t_[end - 1].end, temporary);
        }
        edits_.Insert(t_[start].begin, before);
        edits_.Insert(t_[close + 1].end, after + " }");
    }

    // The spelled array sizes of `type`, when all of its declaration's are still to be indexed.
    bool Sizes(const ExpressionType& type, std::vector<std::string>* sizes) const {
        if (!type.declaration || type.arrayDims != type.declaration->arraySizes.size() ||
            !type.element.empty())
            return false;
        for (const TokenRange& size : type.declaration->arraySizes) {
            if (size.empty())
                return false;
            sizes->push_back(std::string(
                t_.text().substr(t_[size.begin].begin, t_[size.end - 1].end - t_[size.begin].begin)));
        }
        return true;
    }

    // The one member of the structure `type` names when it is of `value`'s type and sizes, or null.
    const Declaration* SoleMemberAlike(const ExpressionType& structure, const ExpressionType& value,
                                       size_t at) const {
        const Declaration* s = FindStruct(t_, d_, structure.name, at);
        std::vector<std::string> sizes, memberSizes;
        if (!s || structure.arrayDims != 0 || !Sizes(value, &sizes))
            return nullptr;
        const std::vector<const Declaration*> members = MembersOf(d_, *s);
        if (members.size() != 1 || d_.TypeName(*members[0]) != value.name)
            return nullptr;
        ExpressionType member;
        member.name = value.name;
        member.arrayDims = members[0]->arraySizes.size();
        member.declaration = members[0];
        return Sizes(member, &memberSizes) && memberSizes == sizes ? members[0] : nullptr;
    }

    // `array = buffer[i];` where the element is a structure of that one array, and the other way
    // round: Windows assigns the components in order; glslang wants the member named.
    void Assignment(size_t equals) {
        const size_t start = PathStart(t_, equals - 1);
        ExpressionType left, right;
        if (start >= t_.size() || !TypeOfPath(t_, d_, start, &left) || left.end != equals ||
            !TypeOfPath(t_, d_, equals + 1, &right) || !t_.Is(right.end, ";"))
            return;
        if (const Declaration* m = SoleMemberAlike(right, left, equals)) {
            edits_.Insert(t_[equals + 1].begin, "(");
            edits_.Insert(t_[right.end - 1].end, ")." + std::string(m->name));
        } else if (const Declaration* m = SoleMemberAlike(left, right, equals)) {
            edits_.Insert(t_[start].begin, "(");
            edits_.Insert(t_[equals - 1].end, ")." + std::string(m->name));
        }
    }

    // `return name;` of another structure than `f` returns.
    void Returns(const Declaration& f) {
        const std::string to(d_.TypeName(f));
        if (!FindStruct(t_, d_, to, f.nameToken) || !f.arraySizes.empty())
            return;
        const size_t close = t_.Close(f.body);
        for (size_t i = f.body; i < close && i < t_.size(); ++i) {
            ExpressionType value;
            if (!t_.Is(i, "return") || !TypeOfPath(t_, d_, i + 1, &value) || !t_.Is(value.end, ";") ||
                value.arrayDims != 0 || value.name == to || !FindStruct(t_, d_, value.name, i))
                continue;
            const std::string name = "fxview_" + value.name + "_as_" + to;
            if (!converters_.count(value.name + ">" + to) && !WriteConverter(value.name, to, f, name))
                continue;
            edits_.Insert(t_[i + 1].begin, name + "(");
            edits_.Insert(t_[value.end - 1].end, ")");
        }
    }

    // `switch (g_index.x)` on a float: Windows converts it to int; glslang wants an integer.
    void SwitchCondition(size_t open) {
        ExpressionType type;
        size_t components = 0;
        if (!TypeOfPath(t_, d_, open + 1, &type) || type.end != t_.Close(open) || type.arrayDims != 0 ||
            !IsNumericType(type.name, &components) || components != 1 || IsIntegerType(type.name))
            return;
        edits_.Insert(t_[open + 1].begin, "int(");
        edits_.Insert(t_[type.end - 1].end, ")");
    }

    // `tex.Length` of a global texture: its size as GetDimensions gives it, through a function written
    // after the texture's declaration.
    void Length(size_t dot) {
        const Declaration* tex = d_.Find(t_.Text(dot - 1), dot - 1);
        if (!tex || tex->kind != DeclarationKind::Global || !tex->arraySizes.empty())
            return;
        const std::string type(d_.TypeName(*tex));
        const size_t dims = TextureDimensions(type);
        if (dims == 0 || type.find("MS") != std::string::npos)
            return;
        const std::string name = "fxview_length_" + std::string(tex->name);
        size_t end = tex->nameToken;
        while (end < t_.size() && !t_.Is(end, ";"))
            ++end;
        if (end == t_.size())
            return;
        if (lengths_.insert(name).second) {
            std::string sizes;
            for (size_t k = 0; k < dims; ++k)
                sizes += (k ? ", s[" : "s[") + std::to_string(k) + "]";
            const std::string result = dims == 1 ? "uint" : "uint" + std::to_string(dims);
            edits_.Insert(t_[end].end, " " + result + " " + name + "() { uint s[" + std::to_string(dims) +
                                           "]; " + std::string(tex->name) + ".GetDimensions(" + sizes +
                                           "); return " + result + "(" + sizes + "); }");
        }
        edits_.Replace(t_[dot - 1].begin, t_[dot + 1].end, name + "()");
    }

    // `buffer.Store2(offset, value)`: Windows converts the value to the vector stored, a scalar
    // replicated; glslang crashes on a scalar. Converting a vector of that size changes nothing.
    void StoreValue(size_t dot) {
        const Declaration* buffer = dot > 0 ? d_.Find(t_.Text(dot - 1), dot - 1) : nullptr;
        if (buffer && d_.TypeName(*buffer).find("ByteAddressBuffer") == std::string_view::npos)
            return;
        const size_t open = dot + 2, close = t_.Close(open);
        size_t comma = open + 1;
        while (comma < close && !t_.Is(comma, ",")) {
            if (t_.Is(comma, "(") || t_.Is(comma, "[") || t_.Is(comma, "{"))
                comma = t_.Close(comma);
            ++comma;
        }
        if (close >= t_.size() || comma + 1 >= close)
            return;
        const std::string_view method = t_.Text(dot + 1);
        edits_.Insert(t_[comma + 1].begin, "uint" + std::string(1, method.back()) + "(");
        edits_.Insert(t_[close - 1].end, ")");
    }

    bool WriteConverter(const std::string& from, const std::string& to, const Declaration& f,
                        const std::string& name) {
        std::vector<ScalarPath> source, target;
        if (!ScalarPaths(t_, d_, from, f.nameToken, "v", &source) ||
            !ScalarPaths(t_, d_, to, f.nameToken, "r", &target) || source.size() != target.size())
            return false;
        std::string code = to + " " + name + "(" + from + " v) { " + to + " r; ";
        for (size_t c = 0; c < source.size(); ++c)
            code += target[c].path + " = (" + target[c].scalar + ")" + source[c].path + "; ";
        code += "return r; } ";
        edits_.Insert(t_[f.first].begin, code);
        converters_.insert(from + ">" + to);
        return true;
    }
};

} // namespace

void ConvertAsWindows(std::string* text) {
    *text = Converter(*text).Run();
}

} // namespace platform::d3dcompiler
