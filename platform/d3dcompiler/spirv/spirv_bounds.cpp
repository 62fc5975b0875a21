#include "spirv_bounds.h"

#include "spirv_module.h"

#include <unordered_map>

namespace platform::d3dcompiler {

namespace {

constexpr uint32_t kGlslUMin = 38;

bool IsChain(spv::Op op) {
    return op == spv::OpAccessChain || op == spv::OpInBoundsAccessChain;
}

class Clamper {
  public:
    explicit Clamper(SpirvModule* m) : m_(*m) {}

    bool Run(std::string* error) {
        glsl_ = m_.GlslStd450();
        uint32_ = m_.Type(spv::OpTypeInt, {32, 0});
        const std::vector<SpirvInstruction> in = std::move(m_.functions);
        m_.functions.clear();
        for (const SpirvInstruction& ins : in)
            if (IsChain(ins.op))
                chains_[ins.ResultId()] = &ins;
        for (const SpirvInstruction& ins : in) {
            if (!IsChain(ins.op))
                m_.functions.push_back(ins);
            else if (!Clamp(ins, error))
                return false;
        }
        return true;
    }

  private:
    SpirvModule& m_;
    uint32_t glsl_ = 0;
    uint32_t uint32_ = 0;
    std::unordered_map<uint32_t, const SpirvInstruction*> chains_; // result id: the access chain

    // The value of a 32-bit constant `id`; false when it is not one.
    bool ConstantValue(uint32_t id, uint32_t* value) const {
        const SpirvInstruction* c = m_.Global(id);
        if (!c || c->op != spv::OpConstant || c->words.size() < 4)
            return false;
        *value = c->words[3];
        return true;
    }

    // The block and member whose run-time array `pointer` points at, when it was made by a chain of
    // one constant index into the block.
    bool ArrayOwner(uint32_t pointer, uint32_t* block, uint32_t* member) const {
        auto chain = chains_.find(pointer);
        if (chain == chains_.end() || chain->second->words.size() != 5)
            return false;
        *block = chain->second->words[3];
        return ConstantValue(chain->second->words[4], member);
    }

    // Adds the access chain `ins`, with an index into a run-time array of a buffer replaced by one
    // clamped to the array's length, computed just before.
    bool Clamp(const SpirvInstruction& ins, std::string* error) {
        const std::vector<uint32_t>& w = ins.words;
        SpirvInstruction chain = ins;
        const SpirvInstruction* pointer = m_.Global(m_.TypeOf(w[3]));
        if (!pointer || pointer->op != spv::OpTypePointer ||
            pointer->words[2] == spv::StorageClassUniformConstant) {
            m_.functions.push_back(chain);
            return true;
        }
        uint32_t current = pointer->words[3];
        for (size_t i = 4; i < w.size(); ++i) {
            const SpirvInstruction* type = m_.Global(current);
            if (!type)
                break;
            if (type->op == spv::OpTypeRuntimeArray) {
                uint32_t block = w[3], member = 0;
                if (i > 5 || (i == 5 && !ConstantValue(w[4], &member)) ||
                    (i == 4 && !ArrayOwner(w[3], &block, &member))) {
                    *error = "a buffer index whose buffer cannot be found for its bounds check";
                    return false;
                }
                const uint32_t length = m_.NewId(), clamped = m_.NewId();
                m_.functions.push_back(
                    SpirvInstruction(spv::OpArrayLength, {uint32_, length, block, member}));
                m_.functions.push_back(
                    SpirvInstruction(spv::OpExtInst, {uint32_, clamped, glsl_, kGlslUMin, w[i], length}));
                chain.words[i] = clamped;
                break;
            }
            uint32_t index = 0;
            // An array, vector or matrix: no run-time array lies further in.
            if (type->op != spv::OpTypeStruct || !ConstantValue(w[i], &index) ||
                index + 2 >= type->words.size())
                break;
            current = type->words[2 + index];
        }
        m_.functions.push_back(std::move(chain));
        return true;
    }
};

} // namespace

bool ClampBufferIndices(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [error](SpirvModule& module) { return Clamper(&module).Run(error); });
}

} // namespace platform::d3dcompiler
