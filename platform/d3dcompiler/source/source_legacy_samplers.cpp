#include "source_legacy_samplers.h"

#include "declarations.h"
#include "source_edits.h"

#include <map>

namespace platform::d3dcompiler {

namespace {

bool IsLegacySampler(std::string_view type) {
    return type == "sampler" || type == "sampler1D" || type == "sampler2D" || type == "sampler3D" ||
           type == "samplerCUBE";
}

// The dimension a call name such as `tex2Dlod` reads ("2D") and what follows it ("lod"); false for
// other names.
bool SplitCallName(std::string_view name, std::string_view* dimension, std::string_view* variant) {
    if (name.compare(0, 3, "tex") != 0)
        return false;
    name.remove_prefix(3);
    for (std::string_view d : {"1D", "2D", "3D", "CUBE"}) {
        if (name.compare(0, d.size(), d) != 0)
            continue;
        *dimension = name.substr(0, d.size());
        *variant = name.substr(d.size());
        return *variant == "" || *variant == "lod" || *variant == "bias" || *variant == "grad" ||
               *variant == "proj";
    }
    return false;
}

class Splitter {
  public:
    explicit Splitter(const std::string& text) : t_(text), d_(t_), edits_(text) {}

    std::string Run() {
        for (size_t i = 0; i + 1 < t_.size(); ++i)
            if (t_.IsIdentifier(i) && t_.Is(i + 1, "("))
                Call(i);
        for (const auto& [sampler, dimension] : dimensions_)
            Split(*sampler, dimension);
        return edits_.Apply();
    }

  private:
    const Tokens t_;
    const Declarations d_;
    SourceEdits edits_;
    std::map<const platform::d3dcompiler::Declaration*, std::string_view> dimensions_;

    std::string Text(size_t begin, size_t end) const {
        return std::string(t_.text().substr(t_[begin].begin, t_[end - 1].end - t_[begin].begin));
    }

    static std::string TextureName(std::string_view sampler) {
        return "fxview_texture_" + std::string(sampler);
    }

    // `tex2D(s, ...)` and the rest, at the name token `at`, with `s` a legacy sampler.
    void Call(size_t at) {
        std::string_view dimension, variant;
        if (!SplitCallName(t_.Text(at), &dimension, &variant) || !t_.IsIdentifier(at + 2) ||
            !t_.Is(at + 3, ","))
            return;
        const platform::d3dcompiler::Declaration* sampler = d_.Find(t_.Text(at + 2), at + 2);
        if (!sampler || sampler->kind != DeclarationKind::Global ||
            !IsLegacySampler(t_.Text(sampler->type.begin)))
            return;
        const size_t close = t_.Close(at + 1);
        if (close >= t_.size())
            return;
        std::vector<size_t> args = {at + 2}; // each argument's first token
        for (size_t i = at + 2; i < close; ++i) {
            if (t_.Is(i, "(") || t_.Is(i, "[") || t_.Is(i, "{"))
                i = t_.Close(i);
            else if (t_.Is(i, ","))
                args.push_back(i + 1);
        }
        const size_t coordinatesEnd = args.size() > 2 ? args[2] - 1 : close;
        const std::string coordinates = "(" + Text(args[1], coordinatesEnd) + ")";
        const std::string_view swizzle = dimension == "1D" ? ".x" : dimension == "2D" ? ".xy" : ".xyz";
        std::string method, rewritten;
        if (variant.empty() && args.size() == 2) {
            method = "Sample";
        } else if ((variant.empty() || variant == "grad") && args.size() == 4) {
            method = "SampleGrad";
        } else if (variant == "lod" && args.size() == 2) {
            method = "SampleLevel";
            rewritten = coordinates + std::string(swizzle) + ", " + coordinates + ".w";
        } else if (variant == "bias" && args.size() == 2) {
            method = "SampleBias";
            rewritten = coordinates + std::string(swizzle) + ", " + coordinates + ".w";
        } else if (variant == "proj" && args.size() == 2) {
            method = "Sample";
            rewritten = coordinates + std::string(swizzle) + " / " + coordinates + ".w";
        } else {
            return;
        }
        const auto known = dimensions_.find(sampler);
        if (known != dimensions_.end() && known->second != dimension)
            return; // read as two textures: left for the front end to refuse
        dimensions_[sampler] = dimension;
        edits_.Replace(t_[at].begin, t_[at].end, TextureName(sampler->name) + "." + method);
        if (!rewritten.empty())
            edits_.Replace(t_[args[1]].begin, t_[coordinatesEnd - 1].end, rewritten);
    }

    // `sampler2D s : register(s2);` becomes a texture and a sampler state.
    void Split(const platform::d3dcompiler::Declaration& sampler, std::string_view dimension) {
        std::string registers;
        size_t i = sampler.nameToken + 1;
        for (; i < t_.size() && !t_.Is(i, ";"); ++i) {
            if (t_.Is(i, ",") || t_.Is(i, "=") || t_.Is(i, "{"))
                return;
            if (t_.Is(i, "register") && t_.Is(i + 1, "(") && t_.IsIdentifier(i + 2) &&
                t_.Text(i + 2).size() > 1 && (t_.Text(i + 2)[0] == 's' || t_.Text(i + 2)[0] == 'S'))
                registers = " : register(t" + std::string(t_.Text(i + 2).substr(1)) + ")";
        }
        const std::string type = dimension == "CUBE" ? "TextureCube" : "Texture" + std::string(dimension);
        edits_.Insert(t_[sampler.first].begin, type + " " + TextureName(sampler.name) + registers + "; ");
        edits_.Replace(t_[sampler.type.begin].begin, t_[sampler.type.begin].end, "SamplerState");
    }
};

} // namespace

void SplitLegacySamplers(std::string* text) {
    if (text->find("sampler") == std::string::npos)
        return;
    *text = Splitter(*text).Run();
}

} // namespace platform::d3dcompiler
