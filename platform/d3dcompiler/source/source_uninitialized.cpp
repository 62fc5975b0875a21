#include "source_uninitialized.h"

#include <algorithm>

namespace platform::d3dcompiler {

namespace {

// How deep statements nest before the search gives up.
constexpr int kMaxNesting = 128;

// Locals that start with a value of their own, or are not of a numeric type, are not followed.
bool Followed(const Tokens& t, const Declarations& d, const Declaration& v) {
    if (!v.initializer.empty() || !v.arraySizes.empty() || !IsNumericType(d.TypeName(v)))
        return false;
    if (t.Is(v.first - 1, "(") && t.Is(v.first - 2, "for"))
        return false; // a loop's own variable
    return std::none_of(v.qualifiers.begin(), v.qualifiers.end(), [&](size_t q) {
        const std::string_view w = t.Text(q);
        return w == "static" || w == "groupshared" || w == "uniform" || w == "extern";
    });
}

// The token after the members, indices and swizzles that follow the name at `at`.
size_t PathEnd(const Tokens& t, size_t at) {
    size_t i = at + 1;
    for (;;) {
        if (t.Is(i, ".") && t.IsIdentifier(i + 1))
            i += 2;
        else if (t.Is(i, "[") && t.Close(i) < t.size())
            i = t.Close(i) + 1;
        else
            return i;
    }
}

// A whole argument of a call, which may be an `out` parameter: `f(x)`, `f(a, x.y)`.
bool IsArgument(const Tokens& t, size_t at, size_t after) {
    if (!t.Is(after, ",") && !t.Is(after, ")"))
        return false;
    if (t.Is(at - 1, ","))
        return true;
    if (!t.Is(at - 1, "(") || !t.IsIdentifier(at - 2))
        return false;
    const std::string_view callee = t.Text(at - 2);
    return callee != "if" && callee != "while" && callee != "switch" && callee != "return";
}

// Follows one variable through the statements after its declaration.
class Follower {
  public:
    Follower(const Tokens& t, const Declarations& d, const Declaration& v, size_t* budget)
        : t_(t), d_(d), v_(v), budget_(budget) {}

    // The first read of the variable that may find it unassigned, or 0.
    size_t FirstUnassignedRead() {
        const size_t end = std::min(v_.visibleUntil, t_.size());
        size_t at = v_.nameToken;
        while (at < end && !t_.Is(at, ";"))
            at =
                t_.Is(at, "(") || t_.Is(at, "[") || t_.Is(at, "{") ? std::min(t_.Close(at), end) + 1 : at + 1;
        bool assigned = false;
        for (++at; at < end && !done_;) {
            bool ends = false;
            at = Statement(at, end, &assigned, &ends);
            if (ends)
                break;
        }
        return read_;
    }

  private:
    const Tokens& t_;
    const Declarations& d_;
    const Declaration& v_;
    size_t* budget_;
    bool done_ = false; // a read found, or nothing more can be judged
    size_t read_ = 0;
    int depth_ = 0;

    bool Mentions(size_t i) {
        if (*budget_ == 0) {
            GiveUp();
            return false;
        }
        --*budget_;
        return t_.IsIdentifier(i) && t_.Text(i) == v_.name && !t_.Is(i - 1, ".") &&
               d_.Find(v_.name, i) == &v_;
    }
    bool MentionedIn(size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            if (Mentions(i))
                return true;
        return false;
    }
    // Whether [begin, end) assigns the variable, whole or in part, or passes it to a call.
    bool AssignsIn(size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            if (!Mentions(i))
                continue;
            const size_t after = PathEnd(t_, i);
            if (IsArgument(t_, i, after) || t_.Is(after, "="))
                return true;
        }
        return false;
    }
    void GiveUp() { done_ = true; }

    // The mentions of tokens [begin, end) in order: reads, assignments, arguments.
    void Expression(size_t begin, size_t end, bool* assigned) {
        for (size_t i = begin; i < end && !done_; ++i) {
            if (!Mentions(i))
                continue;
            const size_t after = PathEnd(t_, i);
            if (IsArgument(t_, i, after)) {
                *assigned = true;
            } else if (t_.Is(after, "=")) {
                // The value is read before the variable is written.
                const size_t valueEnd = ExpressionEnd(t_, after + 1, end);
                if (depth_ == kMaxNesting) {
                    GiveUp();
                    return;
                }
                ++depth_;
                Expression(after + 1, valueEnd, assigned);
                --depth_;
                *assigned = true;
                i = valueEnd - 1;
            } else if (after != i + 1 && after < t_.size() && IsAssignment(t_.Text(after))) {
                *assigned = true; // a part updated in place: its other parts may be unassigned too
            } else if (!*assigned) {
                read_ = i;
                done_ = true;
            }
        }
    }

    // A condition Windows folds: literals and operators only.
    bool Constant(size_t begin, size_t end) const {
        for (size_t i = begin; i < end; ++i)
            if (t_.IsIdentifier(i) && !t_.Is(i, "true") && !t_.Is(i, "false"))
                return false;
        return true;
    }

    // One statement at `i`; returns the token after it. `*ends` when no statement after it runs.
    size_t Statement(size_t i, size_t end, bool* assigned, bool* ends) {
        *ends = false;
        if (depth_ == kMaxNesting) {
            GiveUp();
            return end;
        }
        ++depth_;
        const size_t after = ReadStatement(i, end, assigned, ends);
        --depth_;
        return std::max(after, i + 1);
    }

    size_t ReadStatement(size_t i, size_t end, bool* assigned, bool* ends) {
        while (t_.Is(i, "[") && i < end)
            i = t_.Close(i) + 1; // [unroll], [branch] ...
        if (i >= end)
            return end;
        const std::string_view word = t_.Text(i);
        if (word == "{") {
            const size_t close = std::min(t_.Close(i), end);
            for (size_t s = i + 1; s < close && !done_ && !*ends;)
                s = Statement(s, close, assigned, ends);
            return close + 1;
        }
        if (word == "if" && t_.Is(i + 1, "(")) {
            const size_t close = std::min(t_.Close(i + 1), end);
            Expression(i + 2, close, assigned);
            bool taken = *assigned, takenEnds = false;
            size_t at = Statement(close + 1, end, &taken, &takenEnds);
            bool other = *assigned, otherEnds = false;
            if (t_.Is(at, "else"))
                at = Statement(at + 1, end, &other, &otherEnds);
            else if (Constant(i + 2, close))
                other = true; // Windows folds the branch that is not taken
            *ends = takenEnds && otherEnds;
            *assigned = (taken || takenEnds) && (other || otherEnds);
            return at;
        }
        if ((word == "for" || word == "while") && t_.Is(i + 1, "(")) {
            const size_t close = std::min(t_.Close(i + 1), end);
            Expression(i + 2, close, assigned);
            return Loop(close + 1, end, assigned);
        }
        if (word == "do") {
            size_t at = Loop(i + 1, end, assigned);
            if (t_.Is(at, "while") && t_.Is(at + 1, "(")) {
                const size_t close = std::min(t_.Close(at + 1), end);
                Expression(at + 2, close, assigned);
                at = close + 1;
            }
            return t_.Is(at, ";") ? at + 1 : at;
        }
        if (word == "switch" || word == "case" || word == "default") {
            const size_t close = word == "switch" && t_.Is(i + 1, "(") ? t_.Close(i + 1) : i;
            const size_t block = t_.Is(close + 1, "{") ? std::min(t_.Close(close + 1), end) : end;
            if (word != "switch" || MentionedIn(i, block))
                GiveUp();
            return block + 1;
        }
        const size_t stop = ExpressionEndOfStatement(i, end);
        const bool leaves = word == "return" || word == "discard" || word == "break" || word == "continue";
        Expression(i, stop, assigned);
        *ends = leaves;
        return stop + 1;
    }

    // A loop's body at `i`, taken to run, as Windows takes a loop it unrolls. A body that assigns the
    // variable anywhere may assign it on an earlier turn than the one that reads it.
    size_t Loop(size_t i, size_t end, bool* assigned) {
        bool bodyEnds = false;
        const size_t after = Statement(i, end, assigned, &bodyEnds);
        if (read_ >= i && read_ < after && AssignsIn(i, after)) {
            read_ = 0;
            done_ = false;
            *assigned = true;
        }
        return after;
    }

    // The `;` that ends the statement at `i`, past the commas of a declaration.
    size_t ExpressionEndOfStatement(size_t i, size_t end) const {
        size_t at = i;
        while (at < end && !t_.Is(at, ";") && !t_.Is(at, "}"))
            at =
                t_.Is(at, "(") || t_.Is(at, "[") || t_.Is(at, "{") ? std::min(t_.Close(at), end) + 1 : at + 1;
        return std::min(at, end);
    }
};

} // namespace

void FindUninitializedReads(const Tokens& t, const Declarations& d, int function, size_t* budget,
                            std::vector<SourceWarning>* out) {
    for (const Declaration& v : d.all()) {
        if (v.kind != DeclarationKind::Local || v.owner != function || !Followed(t, d, v))
            continue;
        if (const size_t read = Follower(t, d, v, budget).FirstUnassignedRead())
            out->push_back({read, "use of potentially uninitialized variable '" + std::string(v.name) + "'"});
    }
}

} // namespace platform::d3dcompiler
