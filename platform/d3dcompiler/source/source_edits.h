// Rewrites of a source gathered by a pass and applied in one sweep. No rewrite moves a line: a range
// replaced by something shorter on its line is padded with spaces, so that what follows keeps its
// column too; only an insertion moves what follows it on its own line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::d3dcompiler {

class SourceEdits {
  public:
    explicit SourceEdits(std::string_view text) : text_(text) {}

    // `with` holds no more line breaks than [begin, end); those it lacks are kept after it.
    void Replace(size_t begin, size_t end, std::string_view with);
    // Spaces for [begin, end), its line breaks kept.
    void Blank(size_t begin, size_t end);
    void Insert(size_t at, std::string_view text);

    // The text rewritten. Of edits that overlap, the first made of those that start first wins.
    std::string Apply() const;

  private:
    struct Edit {
        size_t begin, end;
        std::string text;
    };
    std::string_view text_;
    std::vector<Edit> edits_;
};

} // namespace platform::d3dcompiler
