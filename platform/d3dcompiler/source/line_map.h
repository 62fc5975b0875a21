// Where each line of preprocessed HLSL comes from, as its `#line N "file"` directives say: what a
// message about the preprocessed text names as its place.
#pragma once

#include "tokens.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

class LineMap {
  public:
    // `name` is the file of the lines before the first `#line`.
    LineMap(const Tokens& t, const std::string& name);

    // "file:line" of `token`.
    std::string Place(const Token& token) const;
    // "file:line: error: ", the start of an error message about `token`.
    std::string Where(const Token& token) const { return Place(token) + ": error: "; }

  private:
    struct Mark {
        uint32_t line;   // in the text
        uint32_t number; // in the file
        std::string file;
    };
    std::vector<Mark> marks_;
};

} // namespace platform::d3dcompiler
