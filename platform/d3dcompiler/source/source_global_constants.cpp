#include "source_global_constants.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace platform {

namespace {

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool WordAt(const std::string& text, size_t at, const char* word) {
    const size_t n = std::strlen(word);
    return text.compare(at, n, word) == 0 && (at == 0 || !IsWordChar(text[at - 1])) &&
           (at + n >= text.size() || !IsWordChar(text[at + n]));
}

// Past the comment, string or preprocessor line at `at`, or `at` when there is none there.
size_t Skip(const std::string& text, size_t at) {
    if (text.compare(at, 2, "//") == 0 || (text[at] == '#' && (at == 0 || text[at - 1] == '\n'))) {
        const size_t end = text.find('\n', at);
        return end == std::string::npos ? text.size() : end;
    }
    if (text.compare(at, 2, "/*") == 0) {
        const size_t end = text.find("*/", at + 2);
        return end == std::string::npos ? text.size() : end + 2;
    }
    if (text[at] == '"') {
        const size_t end = text.find('"', at + 1);
        return end == std::string::npos ? text.size() : end + 1;
    }
    return at;
}

// Integer and boolean types, whose global constants stay constants: sizes and thread counts use them.
bool IsIntegerType(const std::string& text, size_t at) {
    for (const char* type : {"int", "uint", "bool", "dword", "min16int", "min16uint", "min12int"}) {
        const size_t n = std::strlen(type);
        if (text.compare(at, n, type) == 0 && (at + n >= text.size() || !IsWordChar(text[at + n]) ||
                                               std::isdigit(static_cast<unsigned char>(text[at + n]))))
            return true;
    }
    return false;
}

} // namespace

void MakeGlobalConstantsUniform(std::string* text) {
    std::string& t = *text;
    int braces = 0, parentheses = 0;
    bool isStatic = false, isInteger = false;
    std::vector<size_t> consts; // the `const` words of the current declaration
    for (size_t at = 0; at < t.size();) {
        const size_t skipped = Skip(t, at);
        if (skipped != at) {
            at = skipped;
            continue;
        }
        const char c = t[at];
        if (c == '{' || c == '}' || c == ';' || c == '(' || c == '=') {
            // A global variable's qualifiers end at its initializer or its semicolon; a '(' or '{'
            // first makes it a function, a structure or a buffer.
            if (braces == 0 && parentheses == 0 && (c == ';' || c == '=') && !isStatic && !isInteger) {
                for (size_t word : consts)
                    t.replace(word, 5, "     ");
            }
            braces += c == '{' ? 1 : c == '}' ? -1 : 0;
            parentheses += c == '(' ? 1 : 0;
            consts.clear();
            isStatic = false;
        } else if (c == ')') {
            parentheses -= parentheses > 0 ? 1 : 0;
        } else if (braces == 0 && parentheses == 0 && WordAt(t, at, "const")) {
            consts.push_back(at);
        } else if (WordAt(t, at, "static")) {
            isStatic = true;
        } else if ((at == 0 || !IsWordChar(t[at - 1])) && IsIntegerType(t, at)) {
            isInteger = true;
        }
        ++at;
    }
}

} // namespace platform
