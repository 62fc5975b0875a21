#include "source_casts.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

#include <cstdio>
#include <functional>
#include <map>

namespace platform::d3dcompiler {

namespace {

// A value's type: a numeric type or a structure's name, and its array sizes.
struct ValueType {
    std::string name;
    std::vector<size_t> sizes;

    std::string Spelled() const {
        std::string s;
        for (size_t n : sizes)
            s += "[" + std::to_string(n) + "]";
        return s;
    }
    bool operator==(const ValueType& o) const { return name == o.name && sizes == o.sizes; }
};

class Caster {
  public:
    explicit Caster(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        // Each token's item at file scope: where a function casting there is written.
        std::vector<size_t> items(t_.size());
        int depth = 0;
        for (size_t i = 0; i < t_.size(); ++i) {
            const bool starts = depth == 0 && (i == 0 || t_.Is(i - 1, ";") || t_.Is(i - 1, "}") ||
                                               t_[i - 1].kind == TokenKind::Directive);
            items[i] = starts ? i : items[i - 1];
            depth += t_.Is(i, "{") ? 1 : t_.Is(i, "}") ? -1 : 0;
        }
        // Last first, so that an inner cast's closing parenthesis comes before an outer one's.
        for (size_t i = t_.size(); i-- > 0;)
            if (t_.Is(i, "("))
                Cast(i, items[i]);
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    std::map<std::string, std::string> helpers_; // "from>to@item" to the function that casts so

    // The type a cast names in the parentheses from `open`: `S`, `uint[4]`, or a typedef of them.
    bool CastType(size_t open, size_t* close, ValueType* type) const {
        if (!t_.IsIdentifier(open + 1))
            return false;
        const std::string_view name = t_.Text(open + 1);
        size_t i = open + 2;
        if (IsNumericType(name) || FindStruct(t_, d_, name, open)) {
            type->name = std::string(name);
        } else if (const Declaration* alias = d_.Find(name, open); alias &&
                                                                   alias->kind == DeclarationKind::Typedef &&
                                                                   alias->type.end == alias->type.begin + 1) {
            type->name = std::string(d_.TypeName(*alias));
            for (const TokenRange& size : alias->arraySizes) {
                size_t n;
                if (!LiteralSize(t_, size, &n))
                    return false;
                type->sizes.push_back(n);
            }
            if (!IsNumericType(type->name) && !FindStruct(t_, d_, type->name, open))
                return false;
        } else {
            return false;
        }
        for (; t_.Is(i, "["); i += 3) {
            size_t n;
            if (!t_.Is(i + 2, "]") || !LiteralSize(t_, {i + 1, i + 2}, &n))
                return false;
            type->sizes.push_back(n);
        }
        *close = i;
        return t_.Is(i, ")");
    }

    // The value a cast applies to, from token `at`: a name path, a numeric type's constructor or a
    // number; its end in `end`.
    bool Operand(size_t at, size_t* end, ValueType* type, bool* cast) const {
        size_t close;
        ValueType to;
        *cast = t_.Is(at, "(") && CastType(at, &close, &to);
        if (*cast) {
            *type = to;
            ValueType inner;
            bool nested;
            return close + 1 < t_.size() && Operand(close + 1, end, &inner, &nested);
        }
        if (t_[at].kind == TokenKind::Number) {
            const std::string_view n = t_.Text(at);
            const bool real = n.find_first_of(".eE") != std::string_view::npos && n.compare(0, 2, "0x") != 0;
            type->name = real ? "float" : "int";
            *end = at + 1;
        } else if (t_.IsIdentifier(at) && IsNumericType(t_.Text(at)) && t_.Is(at + 1, "(")) {
            type->name = std::string(t_.Text(at));
            *end = t_.Close(at + 1) + 1;
        } else if (const Declaration* f =
                       t_.IsIdentifier(at) && t_.Is(at + 1, "(") ? d_.Find(t_.Text(at), at) : nullptr;
                   f && f->kind == DeclarationKind::Function) {
            // A function of the source, overloads aside: they may return other types.
            for (const Declaration& other : d_.all())
                if (other.kind == DeclarationKind::Function && other.name == f->name && &other != f &&
                    d_.TypeName(other) != d_.TypeName(*f))
                    return false;
            type->name = std::string(d_.TypeName(*f));
            *end = t_.Close(at + 1) + 1;
        } else {
            ExpressionType path;
            if (!TypeOfPath(t_, d_, at, &path) || !path.element.empty())
                return false;
            type->name = path.name;
            *end = path.end;
            if (path.arrayDims > 0) {
                // The declaration's sizes, then those of the typedef it is declared with.
                std::vector<TokenRange> sizes;
                if (path.declaration) {
                    sizes = path.declaration->arraySizes;
                    const Declaration* alias =
                        d_.Find(t_.Text(path.declaration->type.begin), path.declaration->nameToken);
                    if (alias && alias->kind == DeclarationKind::Typedef)
                        sizes.insert(sizes.end(), alias->arraySizes.begin(), alias->arraySizes.end());
                }
                if (sizes.size() < path.arrayDims)
                    return false;
                for (size_t k = sizes.size() - path.arrayDims; k < sizes.size(); ++k) {
                    size_t n;
                    if (!LiteralSize(t_, sizes[k], &n))
                        return false;
                    type->sizes.push_back(n);
                }
            }
        }
        return *end <= t_.size() && !t_.Is(*end, ".") && !t_.Is(*end, "[") && !t_.Is(*end, "(");
    }

    // The scalars of a value of `type` named `path`, in order.
    bool Scalars(const ValueType& type, const std::string& path, size_t at,
                 std::vector<ScalarPath>* out) const {
        for (const std::string& p : ElementPaths(path, type.sizes))
            if (!ScalarPaths(t_, d_, type.name, at, p, out))
                return false;
        return true;
    }

    // The function that casts `from` to `to`, written before the item at token `item` when new; ""
    // where the components do not match. A cast to an array returns it in a structure's `v`.
    std::string Helper(const ValueType& from, const ValueType& to, size_t item) {
        // Casts are read last first: a function is shared within one item only, so that it is
        // always written before its first use.
        const std::string key =
            from.name + from.Spelled() + ">" + to.name + to.Spelled() + "@" + std::to_string(item);
        if (auto it = helpers_.find(key); it != helpers_.end())
            return it->second;
        std::vector<ScalarPath> source, target;
        const bool array = !to.sizes.empty();
        if (!Scalars(from, "v", item, &source) || !Scalars(to, array ? "r.v" : "r", item, &target) ||
            source.empty() || target.empty() || (source.size() < target.size() && source.size() != 1))
            return "";
        // Each file of an include tree is rewritten alone: the text's hash keeps their names apart.
        char file[16];
        std::snprintf(file, sizeof file, "%08zx", std::hash<std::string_view>()(t_.text()) & 0xFFFFFFFF);
        const std::string name = "fxview_cast" + std::string(file) + "_" + std::to_string(helpers_.size());
        std::string code, result = to.name;
        if (array) {
            result = name + "_array";
            code = "struct " + result + " { " + to.name + " v" + to.Spelled() + "; }; ";
        }
        code += result + " " + name + "(" + from.name + " v" + from.Spelled() + ") { " + result + " r; ";
        for (size_t c = 0; c < target.size(); ++c)
            code += target[c].path + " = (" + target[c].scalar + ")" +
                    source[source.size() == 1 ? 0 : c].path + "; ";
        code += "return r; } ";
        edits_.Insert(t_[item].begin, code);
        helpers_[key] = name;
        return name;
    }

    void Cast(size_t open, size_t item) {
        size_t close, end;
        ValueType to, from;
        bool cast;
        if (!CastType(open, &close, &to) || close + 1 >= t_.size() || !Operand(close + 1, &end, &from, &cast))
            return;
        const bool statement =
            open == 0 || t_.Is(open - 1, ";") || t_.Is(open - 1, "{") || t_.Is(open - 1, "}");
        const bool variable = t_.IsIdentifier(close + 1) && !t_.Is(close + 2, "(") && !cast;
        if (statement && t_.Is(end, "=") && variable)
            return Assigned(open, close, end, to, from, item);
        if (from == to)
            return;
        const bool numeric = IsNumericType(to.name) && IsNumericType(from.name);
        // Numeric casts, and a scalar given to every member of a structure, glslang makes itself.
        if (from.sizes.empty() && to.sizes.empty() &&
            (numeric || (IsNumericType(from.name) && ScalarCount(from, open) == 1)))
            return;
        if (const Declaration* global = GlobalInitialized(open, end); global && !cast)
            return Initializer(open, close, end, to, from, *global);
        const std::string name = Helper(from, to, item);
        if (name.empty())
            return;
        edits_.Replace(t_[open].begin, t_[close].end, name + "(");
        edits_.Insert(t_[end - 1].end, to.sizes.empty() ? ")" : ").v");
    }

    // The global whose whole initializer is the cast from token `open` to `end`, or null.
    const Declaration* GlobalInitialized(size_t open, size_t end) const {
        for (const Declaration& d : d_.all())
            if (d.kind == DeclarationKind::Global && d.initializer.begin == open && d.initializer.end == end)
                return &d;
        return nullptr;
    }

    // The initializer of a value of `type` from `scalars`, cast each to its component's type, braced
    // as glslang wants it: a list for each structure and array, a constructor for each vector and matrix.
    bool List(const ValueType& type, size_t at, const std::vector<ScalarPath>& scalars, size_t* next,
              std::string* out) const {
        auto scalar = [&](const std::string& to) {
            const ScalarPath& s = scalars[scalars.size() == 1 ? 0 : (*next)++];
            return "(" + to + ")" + s.path;
        };
        if (!type.sizes.empty()) {
            ValueType element = {type.name, {type.sizes.begin() + 1, type.sizes.end()}};
            *out += "{ ";
            for (size_t k = 0; k < type.sizes[0]; ++k) {
                *out += k ? ", " : "";
                if (!List(element, at, scalars, next, out))
                    return false;
            }
            *out += " }";
            return true;
        }
        size_t components = 0;
        if (IsNumericType(type.name, &components)) {
            const std::string to(ScalarOf(type.name));
            *out += components == 1 ? scalar(to) : type.name + "(";
            for (size_t k = 0; components > 1 && k < components; ++k)
                *out += (k ? ", " : "") + scalar(to);
            *out += components == 1 ? "" : ")";
            return true;
        }
        const Declaration* s = FindStruct(t_, d_, type.name, at);
        if (!s)
            return false;
        *out += "{ ";
        bool first = true;
        for (const Declaration* m : MembersOf(d_, *s)) {
            ValueType member = {std::string(d_.TypeName(*m)), {}};
            for (const TokenRange& size : m->arraySizes) {
                size_t n;
                if (!LiteralSize(t_, size, &n))
                    return false;
                member.sizes.push_back(n);
            }
            *out += first ? "" : ", ";
            first = false;
            if (!List(member, at, scalars, next, out))
                return false;
        }
        *out += " }";
        return true;
    }

    // A global's initializer is not code of a function: glslang runs a function called there as
    // part of the function before it. The cast becomes the initializer list it stands for.
    void Initializer(size_t open, size_t close, size_t end, const ValueType& to, const ValueType& from,
                     const Declaration& global) {
        std::vector<ScalarPath> source, target;
        const std::string value(t_.text().substr(t_[close + 1].begin, t_[end - 1].end - t_[close + 1].begin));
        if (!Scalars(from, "(" + value + ")", open, &source) || !Scalars(to, "r", open, &target) ||
            (source.size() < target.size() && source.size() != 1) || value.find('\n') != std::string::npos)
            return;
        size_t next = 0;
        std::string list;
        if (!List(to, global.nameToken, source, &next, &list))
            return;
        edits_.Replace(t_[open].begin, t_[end - 1].end, list);
    }

    size_t ScalarCount(const ValueType& type, size_t at) const {
        std::vector<ScalarPath> scalars;
        return Scalars(type, "v", at, &scalars) ? scalars.size() : 0;
    }

    // `(T)variable = value;`: the value cast to T, then component by component to the variable.
    void Assigned(size_t open, size_t close, size_t equals, const ValueType& to, const ValueType& variable,
                  size_t item) {
        size_t semicolon = equals + 1;
        for (int depth = 0; semicolon < t_.size() && !(depth == 0 && t_.Is(semicolon, ";")); ++semicolon)
            depth += t_.Is(semicolon, "(") || t_.Is(semicolon, "[") || t_.Is(semicolon, "{")   ? 1
                     : t_.Is(semicolon, ")") || t_.Is(semicolon, "]") || t_.Is(semicolon, "}") ? -1
                                                                                               : 0;
        if (semicolon >= t_.size() || !to.sizes.empty() || !IsNumericType(to.name) ||
            ScalarCount(to, open) != ScalarCount(variable, open))
            return;
        if (to == variable)
            return edits_.Blank(t_[open].begin, t_[close].end);
        const std::string name = Helper(to, variable, item);
        if (name.empty())
            return;
        edits_.Blank(t_[open].begin, t_[close].end);
        const std::string cast = "(" + to.name + ")(";
        edits_.Insert(t_[equals + 1].begin, name + "(" + cast);
        edits_.Insert(t_[semicolon - 1].end, variable.sizes.empty() ? "))" : ")).v");
    }
};

} // namespace

void CastAsWindows(std::string* text) {
    *text = Caster(*text).Run();
}

} // namespace platform::d3dcompiler
