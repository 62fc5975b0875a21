// The compiler's SPIR-V passes read and change glslang's modules through this one view: the
// instructions in order, the types and constants by their operands, new ids from the bound, and
// types and constants added in their section when a pass needs one that is not there yet.
#pragma once

#define SPV_ENABLE_UTILITY_CODE
#include <spirv/unified1/spirv.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::d3dcompiler {

struct SpirvInstruction {
    spv::Op op = spv::OpNop;
    std::vector<uint32_t> words; // the whole instruction, its first word included

    SpirvInstruction() = default;
    SpirvInstruction(spv::Op op, std::vector<uint32_t> operands);
    uint32_t ResultType() const;
    uint32_t ResultId() const;
    // The literal string whose first word is words[at].
    std::string String(size_t at) const;
};

class SpirvModule {
  public:
    // False, with a message, when `words` is not a whole module.
    bool Read(const std::vector<uint32_t>& words, std::string* error);
    std::vector<uint32_t> Words() const;
    // Indexes the ids again, after a pass has moved or replaced global instructions itself.
    void Reindex();

    // Everything before the first function, and the functions, each in order.
    std::vector<SpirvInstruction> globals;
    std::vector<SpirvInstruction> functions;

    uint32_t NewId() { return bound_++; }
    // The result type of `id`, 0 when it has none or is unknown.
    uint32_t TypeOf(uint32_t id) const;
    // The type or constant instruction defining `id`, or null.
    const SpirvInstruction* Global(uint32_t id) const;

    // The id of the type with these operands (after the result id), added when there is none.
    uint32_t Type(spv::Op op, const std::vector<uint32_t>& operands);
    // A 32-bit scalar constant of `type`, or, for a vector type, each component that constant.
    uint32_t Constant(uint32_t type, uint32_t value);
    // The GLSL.std.450 import, added when there is none.
    uint32_t GlslStd450();

  private:
    uint32_t bound_ = 0;
    std::vector<uint32_t> header_;
    std::unordered_map<uint32_t, uint32_t> types_;    // id: its result type
    std::unordered_map<uint32_t, size_t> definers_;   // type or constant id: its index in globals
    std::map<std::vector<uint32_t>, uint32_t> known_; // opcode, operands after the result id: id

    void Add(SpirvInstruction instruction);
};

// Reads `spirv`, lets `pass` change the module and writes it back; false when `spirv` is not a whole
// module (with a message in `error`) or the pass fails.
bool RewriteSpirv(std::vector<uint32_t>* spirv, std::string* error,
                  const std::function<bool(SpirvModule&)>& pass);

} // namespace platform::d3dcompiler
