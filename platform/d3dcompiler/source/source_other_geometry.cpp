#include "source_other_geometry.h"

#include "declarations.h"
#include "source_edits.h"

namespace platform::d3dcompiler {

namespace {

bool IsStreamType(std::string_view type) {
    return type == "TriangleStream" || type == "LineStream" || type == "PointStream";
}

// The first token of the attributes before token `first`, or `first`.
size_t AttributesStart(const Tokens& t, size_t first) {
    while (first > 0 && t.Is(first - 1, "]")) {
        size_t open = first - 1;
        for (int depth = 0; open > 0; --open) {
            if (t.Is(open, "]"))
                ++depth;
            else if (t.Is(open, "[") && --depth == 0)
                break;
        }
        if (!t.Is(open, "["))
            break;
        first = open;
    }
    return first;
}

} // namespace

void DropOtherGeometryFunctions(std::string* text, const std::string& entry) {
    if (text->find("Stream") == std::string::npos)
        return;
    const Tokens t(*text);
    const Declarations d(t);
    const std::vector<Declaration>& all = d.all();
    SourceEdits edits(*text);
    bool dropped = false;
    for (size_t f = 0; f < all.size(); ++f) {
        const Declaration& fn = all[f];
        if (fn.kind != DeclarationKind::Function || !fn.body || fn.owner >= 0 || fn.name == entry)
            continue;
        bool streams = false;
        for (const Declaration& p : all)
            streams = streams || (p.kind == DeclarationKind::Parameter && p.owner == static_cast<int>(f) &&
                                  IsStreamType(t.Text(p.type.begin)));
        bool called = false;
        for (size_t i = 0; i < t.size() && streams && !called; ++i)
            called = i != fn.nameToken && t.Text(i) == fn.name && t.Is(i + 1, "(");
        if (!streams || called || t.Close(fn.body) >= t.size())
            continue;
        edits.Blank(t[AttributesStart(t, fn.first)].begin, t[t.Close(fn.body)].end);
        dropped = true;
    }
    if (dropped)
        *text = edits.Apply();
}

} // namespace platform::d3dcompiler
