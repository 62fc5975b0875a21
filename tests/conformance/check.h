// Checks that say "got X, want Y" with the caller's line and count what passed and failed. A check may
// name a listed difference of a second implementation: where that implementation runs with its
// differences allowed, a failing check that names one is counted as the difference, not as a failure.
// Nothing here knows Direct3D beyond printing an HRESULT in hex.
#pragma once

#include <windows.h>

#include <cstdint>
#include <source_location>
#include <string>
#include <vector>

namespace conformance {

// What a second implementation does where it departs from Direct3D 11, and why the checks keep
// Direct3D 11's documented behaviour.
struct Difference {
    const char* name;
    const char* does;
    const char* why;
};

// The case whose checks are running, for the failure lines.
void BeginCase(const char* name);

// Lets the checks that name a difference fail as that difference.
void AllowDifferences();

// Counts and reports one check; false when it failed (a difference included).
bool Check(bool ok, const std::string& got, const std::string& want, const std::string& what,
           const Difference* difference, const std::source_location& where);

// True where differences are allowed and `difference` is one that a call would crash on: the call is
// then not made and the difference is reported in place of its check.
bool Avoid(const Difference* difference, const std::string& what,
           const std::source_location& where = std::source_location::current());

// Where a test framework drives the harness: each failing check is handed on to `report` as well.
void ReportFailuresTo(void (*report)(const char* file, int line, const std::string& text));

// The closing report; the exit status: 0 when nothing failed.
int Report();

std::string Hex(uint32_t value);

inline bool CheckHr(HRESULT got, HRESULT want, const std::string& what,
                    const Difference* difference = nullptr,
                    const std::source_location& where = std::source_location::current()) {
    return Check(got == want, Hex(uint32_t(got)), Hex(uint32_t(want)), what, difference, where);
}

template <class T>
bool CheckEq(const T& got, const T& want, const std::string& what, const Difference* difference = nullptr,
             const std::source_location& where = std::source_location::current()) {
    return Check(got == want, std::to_string(got), std::to_string(want), what, difference, where);
}

inline bool CheckTrue(bool ok, const std::string& what, const Difference* difference = nullptr,
                      const std::source_location& where = std::source_location::current()) {
    return Check(ok, ok ? "true" : "false", "true", what, difference, where);
}

// RGBA8 texels against want(x, y) over a width-wide image: one check, the first texel that differs
// and how many do.
template <class Want>
bool CheckTexels(const std::vector<uint32_t>& texels, UINT width, UINT height, Want want,
                 const std::string& what, const Difference* difference = nullptr,
                 const std::source_location& where = std::source_location::current()) {
    if (texels.size() != size_t(width) * height)
        return Check(false, std::to_string(texels.size()) + " texels", std::to_string(size_t(width) * height),
                     what, difference, where);
    size_t wrong = 0;
    std::string first;
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const uint32_t got = texels[size_t(y) * width + x];
            if (got != want(x, y) && wrong++ == 0)
                first = " at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + Hex(got) + " for " +
                        Hex(want(x, y));
        }
    }
    return Check(wrong == 0, std::to_string(wrong) + " texels differ" + first, "0 differ", what, difference,
                 where);
}

} // namespace conformance
