// Intrinsic calls glslang crashes on: GetRenderTargetSampleCount, and mul with a one-component vector.
#include "crash_hints.h"

#include <algorithm>
#include <regex>

namespace platform {

namespace {

// The line of `at`, or 0 when `at` is in a line comment.
long LineOf(const std::string& source, size_t at) {
    const size_t newline = source.rfind('\n', at);
    const size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
    if (source.substr(lineStart, at - lineStart).find("//") != std::string::npos)
        return 0;
    return 1 + std::count(source.begin(), source.begin() + static_cast<long>(at), '\n');
}

} // namespace

std::string IntrinsicCrashHint(const std::string& source, const std::string& name) {
    if (source.find("GetRenderTargetSampleCount") == std::string::npos &&
        source.find("float1") == std::string::npos)
        return "";
    // The names declared float1, whose products with mul glslang crashes on as well.
    std::string float1Names = "float1\\b|\\(\\s*float1\\b";
    static const std::regex kFloat1Declaration("\\bfloat1\\s+(\\w+)");
    for (auto it = std::sregex_iterator(source.begin(), source.end(), kFloat1Declaration);
         it != std::sregex_iterator(); ++it)
        float1Names.append("|").append(it->str(1)).append("\\b");
    const struct {
        std::regex pattern;
        const char* message;
    } hints[] = {
        {std::regex("\\bGetRenderTargetSampleCount\\s*\\("),
         "glslang crashes on GetRenderTargetSampleCount(): fxview's target has one sample, write 1"},
        {std::regex("\\bmul\\s*\\(\\s*(" + float1Names + ")"),
         "glslang crashes on mul with a float1: spell the product out (x * m[0])"},
    };
    for (const auto& hint : hints) {
        for (auto it = std::sregex_iterator(source.begin(), source.end(), hint.pattern);
             it != std::sregex_iterator(); ++it) {
            if (const long line = LineOf(source, static_cast<size_t>(it->position(0))))
                return name + ":" + std::to_string(line) + ": error: " + hint.message + "\n";
        }
    }
    return "";
}

} // namespace platform
