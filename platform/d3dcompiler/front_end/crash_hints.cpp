#include "crash_hints.h"

#include "declarations.h"

namespace platform::d3dcompiler {

namespace {

bool IsIntegerMatrix(std::string_view word) {
    return IsMatrixType(word) && IsIntegerType(word) && word.compare(0, 4, "bool") != 0;
}

} // namespace

std::string CrashHint(const std::string& source, const std::string& name) {
    if (source.find("<<") == std::string::npos && source.find(">>") == std::string::npos)
        return "";
    // Shifting an integer matrix: an integer matrix type anywhere, and a shift anywhere.
    const Tokens t(source);
    bool shifts = false;
    size_t matrix = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
        const std::string_view word = t.Text(i);
        shifts = shifts || word == "<<" || word == ">>" || word == "<<=" || word == ">>=";
        if (matrix == t.size() && t.IsIdentifier(i) && IsIntegerMatrix(word))
            matrix = i;
    }
    if (!shifts || matrix == t.size())
        return "";
    return name + ":" + std::to_string(t[matrix].line) +
           ": error: glslang crashes on shifts of integer matrices such as this '" +
           std::string(t.Text(matrix)) + "': shift its rows one by one\n";
}

} // namespace platform::d3dcompiler
