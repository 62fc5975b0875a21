#include "source_intrinsics.h"

#include "declarations.h"
#include "expression_types.h"
#include "source_edits.h"

namespace platform::d3dcompiler {

namespace {

class IntrinsicCalls {
  public:
    explicit IntrinsicCalls(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        for (size_t i = 0; i + 1 < t_.size(); ++i) {
            if (!t_.IsIdentifier(i) || !t_.Is(i + 1, "("))
                continue;
            if (t_.Is(i, "InterlockedCompareStore"))
                CompareStore(i);
            else if ((t_.Is(i, "transpose") || t_.Is(i, "determinant")) && !t_.Is(i - 1, ".") &&
                     ScalarArgument(i + 1))
                edits_.Replace(t_[i].begin, t_[i].end, t_.Is(i, "determinant") ? "float" : "");
        }
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;

    // True when the call's parentheses at `open` hold one scalar: a number or a variable's path.
    bool ScalarArgument(size_t open) const {
        const size_t close = t_.Close(open);
        if (close == open + 2 && t_[open + 1].kind == TokenKind::Number)
            return true;
        ExpressionType type;
        size_t components = 0;
        return t_.IsIdentifier(open + 1) && TypeOfPath(t_, d_, open + 1, &type) && type.end == close &&
               type.arrayDims == 0 && IsNumericType(type.name, &components) && components == 1;
    }

    // The first token of the statement whose call is at `name`: the receiver of a method
    // (`buffers[i].InterlockedCompareStore`), else the name.
    size_t StatementStart(size_t name) const {
        size_t first = name;
        while (first >= 2 && t_.Is(first - 1, ".")) {
            size_t at = first - 2;
            while (t_.Is(at, "]")) {
                int depth = 0;
                for (; at > 0; --at) {
                    depth += t_.Is(at, "]") ? 1 : t_.Is(at, "[") ? -1 : 0;
                    if (depth == 0)
                        break;
                }
                --at;
            }
            if (!t_.IsIdentifier(at))
                break;
            first = at;
        }
        return first;
    }

    // `b.InterlockedCompareStore(offset, compare, value);` is
    // `{ uint o; b.InterlockedCompareExchange(offset, compare, value, o); }`.
    void CompareStore(size_t name) {
        const size_t close = t_.Close(name + 1);
        if (!t_.Is(close + 1, ";"))
            return;
        const size_t first = StatementStart(name);
        edits_.Insert(t_[first].begin, "{ uint fxview_original; ");
        edits_.Replace(t_[name].begin, t_[name].end, "InterlockedCompareExchange");
        edits_.Insert(t_[close].begin, ", fxview_original");
        edits_.Insert(t_[close + 1].end, " }");
    }
};

} // namespace

void RewriteIntrinsicCalls(std::string* text) {
    *text = IntrinsicCalls(*text).Run();
}

} // namespace platform::d3dcompiler
