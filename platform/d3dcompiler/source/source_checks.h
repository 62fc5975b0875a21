// What Windows' compiler refuses or warns of that glslang takes silently, found in the preprocessed
// source (so that skipped `#if` blocks say nothing and macros have their values) through one reading
// of its tokens and declarations.
#pragma once

#include "declarations.h"
#include "line_map.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::d3dcompiler {

struct SourceFindings {
    std::string errors;   // "file:line: error: ...\n", one a line
    std::string warnings; // "file:line: warning: ...\n", only for the entry point's call tree
};

// `text` is the preprocessed source, `name` the file of its lines before the first `#line`.
SourceFindings CheckPreprocessedSource(const std::string& text, const std::string& name,
                                       const std::string& entry);

// A warning about the token `token`, for the messages of source_warnings.h.
struct SourceWarning {
    size_t token;
    std::string text;
};

// True for `=` and the compound assignments (`+=`, `<<=` ...).
bool IsAssignment(std::string_view op);

// The token after the expression that starts at `at`: the first `;`, `,`, `)`, `]` or `}` outside
// the brackets it opens, or `end`.
size_t ExpressionEnd(const Tokens& t, size_t at, size_t end);

} // namespace platform::d3dcompiler
