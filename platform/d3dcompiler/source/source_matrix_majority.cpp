#include "source_matrix_majority.h"

#include <regex>
#include <vector>

namespace platform {

namespace {

// A declaration of a matrix: its type, then the name declared, not a call, a cast or a function.
const std::regex
    kMatrixDeclaration("\\b(row_major\\s+|column_major\\s+)?((float|half|double|int|uint|bool|dword|"
                       "min16float|min10float|min16int|min12int|min16uint)[1-4]x[1-4]|matrix\\s*<[^>]*>)"
                       "[ \\t]+[A-Za-z_]\\w*\\s*[^\\s\\w(]");

void ApplyTypedefs(std::string* text) {
    static const std::regex kTypedef("\\btypedef\\s+(row_major|column_major)\\s+\\w+\\s+(\\w+)\\s*;");
    std::vector<std::pair<std::string, std::string>> names; // majority, name
    for (auto it = std::sregex_iterator(text->begin(), text->end(), kTypedef); it != std::sregex_iterator();
         ++it)
        names.emplace_back(it->str(1), it->str(2));
    // A declaration: the name followed by the declared name (`RowMatrix m`), not a cast or a call.
    for (const auto& [majority, name] : names)
        *text = std::regex_replace(*text, std::regex("\\b" + name + "(?=[ \\t]+[A-Za-z_])"),
                                   majority + " " + name);
}

// Each matrix declared after a pack_matrix pragma, without a majority of its own, gets the pragma's.
void ApplyPragmas(std::string* text) {
    static const std::regex kPragma(
        "#[ \\t]*pragma[ \\t]+pack_matrix[ \\t]*\\([ \\t]*(row_major|column_major)[ \\t]*\\)");
    std::string out;
    std::string majority;
    size_t done = 0;
    auto annotate = [&](size_t end) {
        const std::string part = text->substr(done, end - done);
        if (majority.empty()) {
            out += part;
            return;
        }
        size_t copied = 0;
        for (auto it = std::sregex_iterator(part.begin(), part.end(), kMatrixDeclaration);
             it != std::sregex_iterator(); ++it) {
            if ((*it)[1].matched)
                continue;
            const size_t at = static_cast<size_t>(it->position(0));
            out.append(part, copied, at - copied).append(majority).append(" ");
            copied = at;
        }
        out.append(part, copied, std::string::npos);
    };
    for (auto it = std::sregex_iterator(text->begin(), text->end(), kPragma); it != std::sregex_iterator();
         ++it) {
        const size_t at = static_cast<size_t>(it->position(0));
        annotate(at);
        done = at;
        majority = it->str(1);
    }
    annotate(text->size());
    *text = std::move(out);
}

} // namespace

void WriteOutMatrixMajority(std::string* text) {
    if (text->find("typedef") != std::string::npos)
        ApplyTypedefs(text);
    if (text->find("pack_matrix") != std::string::npos)
        ApplyPragmas(text);
}

} // namespace platform
