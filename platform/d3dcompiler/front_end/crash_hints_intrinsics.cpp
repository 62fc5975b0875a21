// Intrinsic calls glslang crashes on: GetRenderTargetSampleCount, and mul with a one-component vector.
#include "crash_hints.h"

#include "declarations.h"

namespace platform::d3dcompiler {

namespace {

// The token of the first call of GetRenderTargetSampleCount, or t.size().
size_t SampleCountCall(const Tokens& t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t.Is(i, "GetRenderTargetSampleCount") && t.Is(i + 1, "("))
            return i;
    }
    return t.size();
}

// The token of the first mul whose first argument is a float1: a variable declared so, a
// constructor or a cast; or t.size().
size_t MulOfFloat1(const Tokens& t, const Declarations& declarations) {
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (!t.Is(i, "mul") || !t.Is(i + 1, "("))
            continue;
        const size_t first = t.Is(i + 2, "(") ? i + 3 : i + 2;
        if (t.Is(first, "float1"))
            return i;
        const Declaration* d = t.IsIdentifier(first) ? declarations.Find(t.Text(first), first) : nullptr;
        if (d && declarations.TypeName(*d) == "float1")
            return i;
    }
    return t.size();
}

} // namespace

std::string IntrinsicCrashHint(const std::string& source, const std::string& name) {
    if (source.find("GetRenderTargetSampleCount") == std::string::npos &&
        source.find("float1") == std::string::npos)
        return "";
    const Tokens t(source);
    const Declarations declarations(t);
    const struct {
        size_t at;
        const char* message;
    } hints[] = {
        {SampleCountCall(t),
         "glslang crashes on GetRenderTargetSampleCount(): fxview's target has one sample, write 1"},
        {MulOfFloat1(t, declarations),
         "glslang crashes on mul with a float1: spell the product out (x * m[0])"},
    };
    for (const auto& hint : hints) {
        if (hint.at < t.size())
            return name + ":" + std::to_string(t[hint.at].line) + ": error: " + hint.message + "\n";
    }
    return "";
}

} // namespace platform::d3dcompiler
