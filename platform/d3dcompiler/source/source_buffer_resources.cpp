#include "source_buffer_resources.h"

#include "declarations.h"
#include "source_edits.h"

#include <set>

namespace platform::d3dcompiler {

namespace {

bool IsResourceType(std::string_view type) {
    static const std::set<std::string_view> kTypes = {"Texture1D",
                                                      "Texture1DArray",
                                                      "Texture2D",
                                                      "Texture2DArray",
                                                      "Texture2DMS",
                                                      "Texture2DMSArray",
                                                      "Texture3D",
                                                      "TextureCube",
                                                      "TextureCubeArray",
                                                      "RWTexture1D",
                                                      "RWTexture1DArray",
                                                      "RWTexture2D",
                                                      "RWTexture2DArray",
                                                      "RWTexture3D",
                                                      "Buffer",
                                                      "RWBuffer",
                                                      "StructuredBuffer",
                                                      "RWStructuredBuffer",
                                                      "ByteAddressBuffer",
                                                      "RWByteAddressBuffer",
                                                      "AppendStructuredBuffer",
                                                      "ConsumeStructuredBuffer",
                                                      "SamplerState",
                                                      "SamplerComparisonState",
                                                      "sampler",
                                                      "sampler1D",
                                                      "sampler2D",
                                                      "sampler3D",
                                                      "samplerCUBE",
                                                      "texture"};
    return kTypes.count(type) != 0;
}

} // namespace

void MoveResourcesOutOfBuffers(std::string* text) {
    const Tokens t(*text);
    const Declarations d(t);
    SourceEdits edits(*text);
    bool changed = false;
    for (const Declaration& member : d.all()) {
        if (member.kind != DeclarationKind::BufferMember || member.owner < 0 ||
            !IsResourceType(t.Text(member.type.begin)))
            continue;
        const Declaration& buffer = d.all()[member.owner];
        size_t end = member.nameToken;
        while (end < t.size() && !t.Is(end, ";") && !t.Is(end, ","))
            end = t.Is(end, "(") || t.Is(end, "[") || t.Is(end, "{") ? t.Close(end) + 1 : end + 1;
        const size_t close = buffer.body ? t.Close(buffer.body) : t.size();
        // One declarator per statement only: `Texture2D a, b;` is left as it is.
        if (!t.Is(end, ";") || t.Is(member.first - 1, ",") || close >= t.size())
            continue;
        const size_t after = t.Is(close + 1, ";") ? close + 1 : close;
        const std::string_view all = t.text();
        edits.Insert(t[after].end, " " + std::string(all.substr(t[member.first].begin,
                                                                t[end].end - t[member.first].begin)));
        edits.Blank(t[member.first].begin, t[end].end);
        changed = true;
    }
    if (changed)
        *text = edits.Apply();
}

} // namespace platform::d3dcompiler
