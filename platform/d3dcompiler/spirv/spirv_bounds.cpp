#include "spirv_bounds.h"

#include <cstring>
#include <spirv/unified1/spirv.hpp>
#include <unordered_map>

namespace platform {

namespace {

constexpr size_t kHeaderWords = 5;
constexpr size_t kBoundWord = 3;

constexpr uint32_t kGlslUMin = 38;

uint32_t Instruction(spv::Op op, uint32_t words) {
    return (words << 16) | op;
}

// What the pass needs to know of the module's ids.
struct Module {
    std::unordered_map<uint32_t, std::vector<uint32_t>> structs;          // id: member types
    std::unordered_map<uint32_t, bool> runtimeArrays;                     // id
    std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> pointers; // id: storage class, pointee
    std::unordered_map<uint32_t, uint32_t> constants;                     // id: 32-bit value
    std::unordered_map<uint32_t, uint32_t> pointerTypes;                  // pointer-valued id: its type
    std::unordered_map<uint32_t, const uint32_t*> chains; // access-chain result: its instruction
    uint32_t glsl = 0;
    uint32_t uint32 = 0;
};

Module Scan(const std::vector<uint32_t>& spirv, size_t* firstType, size_t* memoryModel) {
    Module m;
    for (size_t at = kHeaderWords; at < spirv.size(); at += spirv[at] >> 16) {
        const uint32_t* w = &spirv[at];
        const uint32_t count = w[0] >> 16;
        switch (w[0] & 0xFFFF) {
        case spv::OpExtInstImport:
            if (count >= 3 && std::strncmp(reinterpret_cast<const char*>(&w[2]), "GLSL.std.450",
                                           (count - 2) * sizeof(uint32_t)) == 0)
                m.glsl = w[1];
            break;
        case spv::OpMemoryModel:
            *memoryModel = at;
            break;
        case spv::OpTypeInt:
            if (w[2] == 32 && w[3] == 0)
                m.uint32 = w[1];
            break;
        case spv::OpTypeRuntimeArray:
            m.runtimeArrays[w[1]] = true;
            break;
        case spv::OpTypeStruct:
            m.structs[w[1]].assign(w + 2, w + count);
            break;
        case spv::OpTypePointer:
            m.pointers[w[1]] = {w[2], w[3]};
            break;
        case spv::OpConstant:
            m.constants[w[2]] = w[3];
            break;
        case spv::OpVariable:
            m.pointerTypes[w[2]] = w[1];
            break;
        case spv::OpAccessChain:
        case spv::OpInBoundsAccessChain:
            m.pointerTypes[w[2]] = w[1];
            m.chains[w[2]] = w;
            break;
        }
        if (*firstType == 0 && (w[0] & 0xFFFF) >= spv::OpTypeVoid && (w[0] & 0xFFFF) <= spv::OpConstant)
            *firstType = at;
    }
    return m;
}

// The block and member whose run-time array `pointer` points at, when it was made by a chain of one
// constant index into the block.
bool ArrayOwner(const Module& m, uint32_t pointer, uint32_t* block, uint32_t* member) {
    auto chain = m.chains.find(pointer);
    if (chain == m.chains.end() || (chain->second[0] >> 16) != 5)
        return false;
    auto index = m.constants.find(chain->second[4]);
    if (index == m.constants.end())
        return false;
    *block = chain->second[3];
    *member = index->second;
    return true;
}

// Copies the access chain `w` to `out`, with an index into a run-time array of a buffer replaced by
// one clamped to the array's length, computed just before; new ids come from `bound`.
bool ClampChain(const Module& m, const uint32_t* w, uint32_t count, uint32_t glsl, uint32_t uint32,
                uint32_t* bound, std::vector<uint32_t>* out, std::string* error) {
    std::vector<uint32_t> chain(w, w + count);
    auto pointerType = m.pointerTypes.find(w[3]);
    auto type = m.pointers.find(pointerType == m.pointerTypes.end() ? 0 : pointerType->second);
    if (type == m.pointers.end() || type->second.first == spv::StorageClassUniformConstant) {
        out->insert(out->end(), w, w + count);
        return true;
    }
    uint32_t current = type->second.second;
    for (uint32_t i = 4; i < count; ++i) {
        if (m.runtimeArrays.count(current)) {
            uint32_t block = w[3], member = 0;
            if (i > 5 || (i == 5 && !m.constants.count(w[4])) ||
                (i == 4 && !ArrayOwner(m, w[3], &block, &member))) {
                *error = "a buffer index whose buffer cannot be found for its bounds check";
                return false;
            }
            if (i == 5)
                member = m.constants.at(w[4]);
            const uint32_t length = (*bound)++, clamped = (*bound)++;
            out->insert(out->end(), {Instruction(spv::OpArrayLength, 5), uint32, length, block, member});
            out->insert(out->end(),
                        {Instruction(spv::OpExtInst, 7), uint32, clamped, glsl, kGlslUMin, w[i], length});
            chain[i] = clamped;
            break;
        }
        auto members = m.structs.find(current);
        if (members != m.structs.end()) {
            auto index = m.constants.find(w[i]);
            if (index == m.constants.end() || index->second >= members->second.size())
                break;
            current = members->second[index->second];
        } else {
            // An array, vector or matrix: no run-time array lies further in.
            break;
        }
    }
    out->insert(out->end(), chain.begin(), chain.end());
    return true;
}

} // namespace

bool ClampBufferIndices(std::vector<uint32_t>* spirv, std::string* error) {
    const std::vector<uint32_t>& in = *spirv;
    if (in.size() < kHeaderWords)
        return true;
    for (size_t at = kHeaderWords; at < in.size(); at += in[at] >> 16) {
        if ((in[at] >> 16) == 0 || (in[at] >> 16) > in.size() - at) {
            *error = "the compiler's SPIR-V is cut short";
            return false;
        }
    }
    size_t firstType = 0, memoryModel = 0;
    Module m = Scan(in, &firstType, &memoryModel);
    uint32_t bound = in[kBoundWord];
    const uint32_t glsl = m.glsl ? m.glsl : bound++;
    const uint32_t uint32 = m.uint32 ? m.uint32 : bound++;

    std::vector<uint32_t> out(in.begin(), in.begin() + kHeaderWords);
    out.reserve(in.size() + in.size() / 4);
    for (size_t at = kHeaderWords; at < in.size(); at += in[at] >> 16) {
        const uint32_t* w = &in[at];
        const uint32_t count = w[0] >> 16;
        const uint32_t op = w[0] & 0xFFFF;
        if (at == memoryModel && !m.glsl) {
            out.insert(out.end(), {Instruction(spv::OpExtInstImport, 6), glsl});
            const char name[16] = "GLSL.std.450";
            const uint32_t* words = reinterpret_cast<const uint32_t*>(name);
            out.insert(out.end(), words, words + 4);
        }
        if (at == firstType && !m.uint32)
            out.insert(out.end(), {Instruction(spv::OpTypeInt, 4), uint32, 32, 0});
        if (op != spv::OpAccessChain && op != spv::OpInBoundsAccessChain) {
            out.insert(out.end(), w, w + count);
            continue;
        }
        if (!ClampChain(m, w, count, glsl, uint32, &bound, &out, error))
            return false;
    }
    out[kBoundWord] = bound;
    *spirv = std::move(out);
    return true;
}

} // namespace platform
