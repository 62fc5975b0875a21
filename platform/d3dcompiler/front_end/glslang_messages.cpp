#include "glslang_messages.h"

#include <sstream>

namespace platform::d3dcompiler {

namespace {

struct Severity {
    const char* prefix;
    const char* word;
};
constexpr Severity kSeverities[] = {{"ERROR: ", "error"},
                                    {"INTERNAL ERROR: ", "error"},
                                    {"UNIMPLEMENTED: ", "error"},
                                    {"WARNING: ", "warning"},
                                    {"NOTE: ", "note"}};

// Glslang's count of its messages: "2 compilation errors.  No code generated."
bool IsCount(const std::string& line) {
    const size_t digits = line.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string::npos && line.compare(digits, 13, " compilation ") == 0;
}

// Splits "file:12: text" into its place and text; false when the line has no place. The file name is
// what comes before the first ":N: ".
bool SplitPlace(const std::string& line, std::string* place, std::string* text) {
    for (size_t colon = line.find(':'); colon != std::string::npos; colon = line.find(':', colon + 1)) {
        const size_t end = line.find_first_not_of("0123456789", colon + 1);
        if (end != std::string::npos && end > colon + 1 && line.compare(end, 2, ": ") == 0) {
            *place = line.substr(0, end);
            *text = line.substr(end + 2);
            return true;
        }
    }
    return false;
}

} // namespace

std::string FormatGlslangLog(const std::string& log, const std::string& name) {
    std::istringstream lines(log);
    std::string line, out;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        const char* word = nullptr;
        for (const Severity& s : kSeverities)
            if (line.compare(0, std::char_traits<char>::length(s.prefix), s.prefix) == 0) {
                line.erase(0, std::char_traits<char>::length(s.prefix));
                word = s.word;
                break;
            }
        if (!word) {
            // A line of glslang's that continues the message before it.
            if (!line.empty() && !out.empty())
                out += "    " + line + "\n";
            continue;
        }
        std::string place, text;
        if (IsCount(line))
            continue;
        if (SplitPlace(line, &place, &text))
            out += place + ": " + word + ": " + text + "\n";
        else
            out += name + ": " + word + ": " + line + "\n";
    }
    return out;
}

} // namespace platform::d3dcompiler
