#include "source_edits.h"

#include <algorithm>

namespace platform::d3dcompiler {

void SourceEdits::Replace(size_t begin, size_t end, std::string_view with) {
    const std::string_view range = text_.substr(begin, end - begin);
    const size_t breaks = std::count(range.begin(), range.end(), '\n');
    const size_t kept = std::count(with.begin(), with.end(), '\n');
    std::string text(with);
    if (breaks == 0 && text.size() < range.size())
        text.append(range.size() - text.size(), ' ');
    if (kept < breaks)
        text.append(breaks - kept, '\n');
    edits_.push_back({begin, end, std::move(text)});
}

void SourceEdits::Blank(size_t begin, size_t end) {
    std::string blank(text_.substr(begin, end - begin));
    for (char& c : blank) {
        if (c != '\n' && c != '\r')
            c = ' ';
    }
    edits_.push_back({begin, end, std::move(blank)});
}

void SourceEdits::Insert(size_t at, std::string_view text) {
    edits_.push_back({at, at, std::string(text)});
}

std::string SourceEdits::Apply() const {
    std::vector<const Edit*> order;
    order.reserve(edits_.size());
    for (const Edit& e : edits_)
        order.push_back(&e);
    std::stable_sort(order.begin(), order.end(),
                     [](const Edit* a, const Edit* b) { return a->begin < b->begin; });
    std::string out;
    out.reserve(text_.size() + 64);
    size_t at = 0;
    for (const Edit* e : order) {
        if (e->begin < at)
            continue; // inside a range already rewritten
        out.append(text_.substr(at, e->begin - at));
        out += e->text;
        at = e->end;
    }
    out.append(text_.substr(at));
    return out;
}

} // namespace platform::d3dcompiler
