#include "linkage.h"

namespace {

using platform::ShaderInput;

// Direct3D 11's pixel stage reads at most 32 registers.
constexpr uint32_t kMostLocations = 32;

const char* StageName(platform::ShaderStage stage) {
    return stage == platform::ShaderStage::Geometry ? "geometry" : "vertex";
}

std::string Named(const ShaderInput& input, uint32_t index) {
    return input.semantic + std::to_string(index);
}

// The output of `from` that writes semantic index `index` of `input`'s semantic, or null.
const ShaderInput* Writer(const platform::d3d11::ShaderCode& from, const ShaderInput& input, uint32_t index) {
    for (const ShaderInput& output : from.outputs) {
        if (output.semantic == input.semantic && index >= output.semanticIndex &&
            index - output.semanticIndex < output.locations)
            return &output;
    }
    return nullptr;
}

// Where the outputs of `from` put `input`'s locations, which must follow one another as the input's do.
bool Place(const platform::d3d11::ShaderCode& from, const ShaderInput& input, uint32_t* location,
           std::string* why) {
    if (input.locations > kMostLocations) {
        *why = "the pixel shader reads " + std::to_string(input.locations) + " registers as " +
               Named(input, input.semanticIndex) + "; at most " + std::to_string(kMostLocations) +
               " are allowed";
        return false;
    }
    for (uint32_t k = 0; k < input.locations; ++k) {
        const uint32_t index = input.semanticIndex + k;
        const ShaderInput* output = Writer(from, input, index);
        const std::string what = "the pixel shader reads " + Named(input, index);
        if (!output) {
            *why = what + ", which the " + StageName(from.stage) + " shader does not write";
            return false;
        }
        if (output->components < input.components) {
            *why = what + " with " + std::to_string(input.components) + " components; the " +
                   StageName(from.stage) + " shader writes " + std::to_string(output->components);
            return false;
        }
        const uint32_t at = output->location + (index - output->semanticIndex);
        if (k == 0) {
            *location = at;
        } else if (at != *location + k) {
            *why = what + " as one array with " + Named(input, input.semanticIndex) + ", but the " +
                   StageName(from.stage) + " shader writes them apart";
            return false;
        }
    }
    return true;
}

bool IsSystemValue(const ShaderInput& input) {
    return input.semantic.empty() || input.semantic.compare(0, 3, "SV_") == 0;
}

} // namespace

namespace platform::d3d11 {

bool LinkPixelInputs(const ShaderCode& from, const ShaderCode& ps, const std::vector<uint32_t>& spirv,
                     std::vector<uint32_t>* moved, std::string* why) {
    moved->clear();
    std::vector<std::pair<uint32_t, uint32_t>> taken; // [first, end) of each input's new locations
    for (const ShaderInput& input : ps.inputs) {
        if (IsSystemValue(input))
            continue;
        uint32_t location = 0;
        if (!Place(from, input, &location, why))
            return false;
        for (const auto& [first, end] : taken) {
            if (location < end && first < location + input.locations) {
                *why = "the pixel shader reads " + Named(input, input.semanticIndex) + " twice";
                return false;
            }
        }
        taken.push_back({location, location + input.locations});
        if (location == input.location)
            continue;
        if (input.locationWord == 0 || input.locationWord >= spirv.size()) {
            *why = "the pixel shader's input " + Named(input, input.semanticIndex) + " cannot be moved";
            return false;
        }
        if (moved->empty())
            *moved = spirv;
        (*moved)[input.locationWord] = location;
    }
    return true;
}

} // namespace platform::d3d11
