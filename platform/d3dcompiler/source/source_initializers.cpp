#include "source_initializers.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

namespace platform::d3dcompiler {

namespace {

class Flattener {
  public:
    explicit Flattener(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        for (const Declaration& d : d_.all())
            if ((d.kind == DeclarationKind::Global || d.kind == DeclarationKind::Local) &&
                !d.initializer.empty() && t_.Is(d.initializer.begin, "{"))
                Initializer(d);
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    bool unknownIsScalar_ = false;

    std::string Text(size_t begin, size_t end) const {
        return std::string(t_.text().substr(t_[begin].begin, t_[end - 1].end - t_[begin].begin));
    }

    // The scalars of the items in [begin, end), braces dropped; false for an item whose number of
    // scalars is not known.
    bool Scalars(size_t begin, size_t end, std::vector<std::string>* out) const {
        size_t item = begin;
        for (size_t i = begin; i <= end; ++i) {
            if (i < end && (t_.Is(i, "(") || t_.Is(i, "[") || t_.Is(i, "{"))) {
                const size_t close = t_.Close(i);
                if (close >= end)
                    return false;
                if (t_.Is(i, "{") && i == item) {
                    if (!Scalars(i + 1, close, out))
                        return false;
                    item = close + 1;
                }
                i = close;
            } else if (i == end || t_.Is(i, ",")) {
                if (item < i && !Item(item, i, out))
                    return false;
                item = i + 1;
            }
        }
        return true;
    }

    // One item that is not a brace list: a number, `true` or `false`, a constructor, or a name path of
    // known type.
    bool Item(size_t begin, size_t end, std::vector<std::string>* out) const {
        const size_t number = t_.Is(begin, "-") || t_.Is(begin, "+") ? begin + 1 : begin;
        if (end == number + 1 &&
            (t_[number].kind == TokenKind::Number || t_.Is(number, "true") || t_.Is(number, "false"))) {
            out->push_back(Text(begin, end));
            return true;
        }
        std::vector<ScalarPath> paths;
        if (IsNumericType(t_.Text(begin)) && t_.Is(begin + 1, "(") && t_.Close(begin + 1) == end - 1) {
            if (!ScalarPaths(t_, d_, std::string(t_.Text(begin)), begin, "", &paths))
                return false;
        } else {
            ExpressionType type;
            if (!TypeOfPath(t_, d_, begin, &type) || type.end != end || type.arrayDims != 0 ||
                !ScalarPaths(t_, d_, type.name, begin, "", &paths)) {
                // In a list of numbers an expression of unknown type is taken as one scalar: were it
                // a vector, the constructor it lands in would have too many arguments and fail.
                if (!unknownIsScalar_)
                    return false;
                out->push_back("(" + Text(begin, end) + ")");
                return true;
            }
        }
        if (paths.size() == 1) {
            out->push_back(Text(begin, end));
            return true;
        }
        const std::string value = "(" + Text(begin, end) + ")";
        for (const ScalarPath& p : paths)
            out->push_back(value + p.path);
        return true;
    }

    // The initializer of a value of `type` with array dimensions `dims`, from `scalars` at `next`.
    bool Build(const std::string& type, const std::vector<size_t>& dims, size_t dim, size_t at,
               const std::vector<std::string>& scalars, size_t* next, std::string* out) const {
        if (dim < dims.size()) {
            *out += "{";
            for (size_t k = 0; k < dims[dim]; ++k) {
                if (k)
                    *out += ", ";
                if (!Build(type, dims, dim + 1, at, scalars, next, out))
                    return false;
            }
            *out += "}";
            return true;
        }
        size_t n = 0;
        if (IsNumericType(type, &n)) {
            if (*next + n > scalars.size())
                return false;
            *out += n == 1 ? "" : type + "(";
            for (size_t c = 0; c < n; ++c)
                *out += (c ? ", " : "") + scalars[(*next)++];
            *out += n == 1 ? "" : ")";
            return true;
        }
        const Declaration* s = FindStruct(t_, d_, type, at);
        if (!s)
            return false;
        *out += "{";
        bool firstMember = true;
        for (const Declaration* m : MembersOf(d_, *s)) {
            std::vector<size_t> sizes;
            for (const TokenRange& size : m->arraySizes) {
                size_t count;
                if (!LiteralSize(t_, size, &count))
                    return false;
                sizes.push_back(count);
            }
            *out += firstMember ? "" : ", ";
            firstMember = false;
            if (!Build(std::string(d_.TypeName(*m)), sizes, 0, at, scalars, next, out))
                return false;
        }
        *out += "}";
        return true;
    }

    // A structure's, or an array of structures', brace list, and that of a multi-dimensional array
    // of numbers (`float2 a[][3] = { 1, 2, ..., 12 }`), which glslang would fill element by element.
    void Initializer(const Declaration& d) {
        const std::string type(d_.TypeName(d));
        const size_t open = d.initializer.begin, close = t_.Close(open);
        std::vector<ScalarPath> element;
        std::vector<std::string> scalars;
        const bool numbers = IsNumericType(type) && d.arraySizes.size() > 1;
        unknownIsScalar_ = numbers;
        if (!(numbers || FindStruct(t_, d_, type, d.nameToken)) || close >= t_.size() ||
            !ScalarPaths(t_, d_, type, d.nameToken, "", &element) || element.empty() ||
            !Scalars(open + 1, close, &scalars))
            return;
        std::vector<size_t> dims;
        for (size_t k = 0; k < d.arraySizes.size(); ++k) {
            size_t count;
            if (k == 0 && d.arraySizes[k].empty()) {
                count = 0; // counted below, from the list
            } else if (!LiteralSize(t_, d.arraySizes[k], &count)) {
                return;
            }
            dims.push_back(count);
        }
        size_t perElement = element.size();
        for (size_t k = 1; k < dims.size(); ++k)
            perElement *= dims[k];
        if (!dims.empty() && dims[0] == 0) {
            if (scalars.size() % perElement != 0)
                return;
            dims[0] = scalars.size() / perElement;
        }
        if (scalars.size() != perElement * (dims.empty() ? 1 : dims[0]))
            return;
        std::string written;
        size_t next = 0;
        if (!Build(type, dims, 0, d.nameToken, scalars, &next, &written))
            return;
        edits_.Replace(t_[open].begin, t_[close].end, written);
        if (!d.arraySizes.empty() && d.arraySizes[0].empty())
            edits_.Insert(t_[d.arraySizes[0].begin].begin, std::to_string(dims[0]));
    }
};

} // namespace

void FlattenInitializers(std::string* text) {
    if (text->find('{') == std::string::npos)
        return;
    *text = Flattener(*text).Run();
}

} // namespace platform::d3dcompiler
