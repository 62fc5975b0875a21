#include "check.h"

#include <cstdio>
#include <cstring>

namespace conformance {

namespace {

struct Counts {
    const char* caseName = "";
    bool allowDifferences = false;
    long passed = 0;
    long failed = 0;
    std::vector<const Difference*> seen;
    void (*report)(const char* file, int line, const std::string& text) = nullptr;
};

Counts& State() {
    static Counts counts;
    return counts;
}

} // namespace

void BeginCase(const char* name) {
    State().caseName = name;
}

void ReportFailuresTo(void (*report)(const char* file, int line, const std::string& text)) {
    State().report = report;
}

void AllowDifferences() {
    State().allowDifferences = true;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(value));
    return text;
}

namespace {

void NoteDifference(const Difference* difference) {
    std::vector<const Difference*>& seen = State().seen;
    bool listed = false;
    for (const Difference* d : seen)
        listed = listed || d == difference;
    if (!listed)
        seen.push_back(difference);
}

const char* FileName(const std::source_location& where) {
    const char* file = std::strrchr(where.file_name(), '/');
    return file ? file + 1 : where.file_name();
}

} // namespace

bool Avoid(const Difference* difference, const std::string& what, const std::source_location& where) {
    if (!State().allowDifferences)
        return false;
    std::printf("difference %s:%u: %s: %s: not run\n", FileName(where), unsigned(where.line()),
                State().caseName, what.c_str());
    NoteDifference(difference);
    std::fflush(stdout);
    return true;
}

bool Check(bool ok, const std::string& got, const std::string& want, const std::string& what,
           const Difference* difference, const std::source_location& where) {
    Counts& state = State();
    if (ok) {
        ++state.passed;
        return true;
    }
    const bool known = difference && state.allowDifferences;
    std::printf("%s%s:%u: %s: %s: got %s, want %s\n", known ? "difference " : "", FileName(where),
                unsigned(where.line()), state.caseName, what.c_str(), got.c_str(), want.c_str());
    if (known)
        NoteDifference(difference);
    else
        ++state.failed;
    if (state.report && !known)
        state.report(where.file_name(), int(where.line()), what + ": got " + got + ", want " + want);
    std::fflush(stdout); // the line stays though the program crashes next
    return false;
}

int Report() {
    const Counts& state = State();
    for (const Difference* d : state.seen)
        std::printf("named difference %s: %s; kept: %s\n", d->name, d->does, d->why);
    std::printf("%ld passed, %ld failed", state.passed, state.failed);
    if (!state.seen.empty())
        std::printf(", %zu named differences", state.seen.size());
    std::printf("\n");
    std::fflush(stdout);
    return state.failed == 0 ? 0 : 1;
}

} // namespace conformance
