#include "source_matrix_typedefs.h"

#include <regex>

namespace platform {

void ApplyMatrixTypedefs(std::string* text) {
    if (text->find("typedef") == std::string::npos)
        return;
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

} // namespace platform
