#include "spirv_cbuffer_layout.h"

#include "spirv_module.h"

#include <map>
#include <set>
#include <string>

namespace platform::d3dcompiler {

namespace {

constexpr uint32_t kRegister = 16;

uint32_t RoundUp(uint32_t n) {
    return (n + kRegister - 1) / kRegister * kRegister;
}

class Packer {
  public:
    explicit Packer(SpirvModule* m) : m_(*m) {}

    // False, with a message, when members placed by hand overlap, which Vulkan cannot express.
    bool Run(std::string* error) {
        std::set<uint32_t> blocks, buffers;
        for (const SpirvInstruction& ins : m_.globals) {
            if (ins.op == spv::OpDecorate && ins.words.size() >= 3 && ins.words[2] == spv::DecorationBlock)
                blocks.insert(ins.words[1]);
            else if (ins.op == spv::OpDecorate && ins.words.size() == 4 &&
                     ins.words[2] == spv::DecorationArrayStride)
                strides_[ins.words[1]] = ins.words[3];
            else if (ins.op == spv::OpMemberDecorate && ins.words.size() >= 4) {
                const std::pair<uint32_t, uint32_t> member = {ins.words[1], ins.words[2]};
                if (ins.words[3] == spv::DecorationRowMajor)
                    rowMajor_.insert(member);
                else if (ins.words[3] == spv::DecorationOffset && ins.words.size() == 5)
                    offsets_[member] = ins.words[4];
            }
        }
        std::set<uint32_t> constants;
        for (const SpirvInstruction& ins : m_.globals) {
            if (ins.op != spv::OpVariable)
                continue;
            const SpirvInstruction* pointer = m_.Global(ins.words[1]);
            if (!pointer || pointer->op != spv::OpTypePointer)
                continue;
            const uint32_t storage = pointer->words[2], block = pointer->words[3];
            if (storage == spv::StorageClassUniform && blocks.count(block))
                Reach(block, &constants);
            else if (storage == spv::StorageClassUniform || storage == spv::StorageClassStorageBuffer)
                Reach(block, &buffers);
        }
        for (uint32_t id : constants) {
            if (!buffers.count(id))
                Layout(id);
        }
        for (SpirvInstruction& ins : m_.globals) {
            if (ins.op != spv::OpMemberDecorate || ins.words.size() != 5 ||
                ins.words[3] != spv::DecorationOffset)
                continue;
            auto packed = packed_.find({ins.words[1], ins.words[2]});
            if (packed != packed_.end())
                ins.words[4] = packed->second;
        }
        *error = overlap_;
        return overlap_.empty();
    }

  private:
    SpirvModule& m_;
    std::map<uint32_t, uint32_t> strides_;                      // array type: its stride
    std::set<std::pair<uint32_t, uint32_t>> rowMajor_;          // struct, member
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> offsets_; // struct, member: glslang's offset
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> packed_;  // struct, member: Windows' offset
    std::map<uint32_t, uint32_t> windowsSizes_, glslangSizes_;  // struct
    std::string overlap_;

    const SpirvInstruction* Type(uint32_t id) const { return m_.Global(id); }

    // Every structure inside `id`, `id` included.
    void Reach(uint32_t id, std::set<uint32_t>* out) {
        const SpirvInstruction* t = Type(id);
        if (!t)
            return;
        if (t->op == spv::OpTypeStruct) {
            if (!out->insert(id).second)
                return;
            for (size_t i = 2; i < t->words.size(); ++i)
                Reach(t->words[i], out);
        } else if (t->op == spv::OpTypeArray || t->op == spv::OpTypeRuntimeArray) {
            Reach(t->words[2], out);
        }
    }

    bool StartsRegister(uint32_t id) const {
        const SpirvInstruction* t = Type(id);
        return t && (t->op == spv::OpTypeArray || t->op == spv::OpTypeStruct || t->op == spv::OpTypeMatrix);
    }

    // Where a member of type `id` goes when the previous one ends at `end`: arrays, structures and
    // matrices on a new register, a vector only where it does not straddle one.
    uint32_t Place(uint32_t end, uint32_t id, uint32_t size) const {
        if (StartsRegister(id) || (end % kRegister) + size > kRegister)
            return RoundUp(end);
        return end;
    }

    uint32_t ArrayLength(const SpirvInstruction& array) const {
        const SpirvInstruction* length = Type(array.words[3]);
        return length && length->op == spv::OpConstant ? length->words[3] : 1;
    }

    // Bytes from the start of a member of type `id` to the end of its last element, as Windows
    // counts them (`windows`), or to the end of its last register, as glslang does.
    uint32_t Size(uint32_t id, bool rowMajor, bool windows) {
        const SpirvInstruction* t = Type(id);
        if (!t)
            return 0;
        switch (t->op) {
        case spv::OpTypeBool:
            return 4;
        case spv::OpTypeInt:
        case spv::OpTypeFloat:
            return t->words[2] / 8;
        case spv::OpTypeVector:
            return Size(t->words[2], false, windows) * t->words[3];
        case spv::OpTypeMatrix: {
            const SpirvInstruction* column = Type(t->words[2]);
            if (!column)
                return 0;
            const uint32_t component = Size(column->words[2], false, windows);
            const uint32_t vectors = rowMajor ? column->words[3] : t->words[3];
            const uint32_t length = rowMajor ? t->words[3] : column->words[3];
            const uint32_t size = kRegister * (vectors - 1) + component * length;
            return windows ? size : RoundUp(size);
        }
        case spv::OpTypeArray: {
            const uint32_t n = ArrayLength(*t);
            auto stride = strides_.find(id);
            const uint32_t step =
                stride != strides_.end() ? stride->second : RoundUp(Size(t->words[2], rowMajor, true));
            return windows ? step * (n - 1) + Size(t->words[2], rowMajor, true) : step * n;
        }
        case spv::OpTypeStruct:
            Layout(id);
            return windows ? windowsSizes_[id] : glslangSizes_[id];
        default:
            return 0;
        }
    }

    // Windows' offsets of the members of structure `id`. A structure with a member that is not where
    // glslang's rule would put it was placed with packoffset, and all its members stay.
    void Layout(uint32_t id) {
        if (windowsSizes_.count(id))
            return;
        windowsSizes_[id] = glslangSizes_[id] = 0;
        const SpirvInstruction* t = Type(id);
        std::vector<uint32_t> types, given;
        std::vector<bool> rowMajor;
        for (uint32_t member = 0; t && member + 2 < t->words.size(); ++member) {
            auto offset = offsets_.find({id, member});
            if (offset == offsets_.end())
                return;
            types.push_back(t->words[member + 2]);
            given.push_back(offset->second);
            rowMajor.push_back(rowMajor_.count({id, member}) != 0);
        }
        bool placedByHand = false;
        uint32_t glslangEnd = 0;
        for (size_t m = 0; m < types.size(); ++m) {
            const uint32_t size = Size(types[m], rowMajor[m], false);
            placedByHand = placedByHand || (m > 0 && given[m] != Place(glslangEnd, types[m], size));
            glslangEnd = given[m] + size;
        }
        uint32_t windowsEnd = 0;
        std::vector<uint32_t> sizes;
        for (size_t m = 0; m < types.size(); ++m) {
            sizes.push_back(Size(types[m], rowMajor[m], true));
            const uint32_t offset = placedByHand || m == 0 ? given[m] : Place(windowsEnd, types[m], sizes[m]);
            packed_[{id, static_cast<uint32_t>(m)}] = offset;
            windowsEnd = offset + sizes[m];
        }
        for (uint32_t a = 0; placedByHand && a < types.size(); ++a) {
            for (uint32_t b = 0; b < types.size() && overlap_.empty(); ++b) {
                if (a != b && given[b] >= given[a] && given[b] < given[a] + sizes[a])
                    overlap_ =
                        "packoffset(c" + std::to_string(given[b] / kRegister) + "." +
                        "xyzw"[given[b] % kRegister / 4] +
                        ") puts a member inside the registers of another, which Vulkan cannot express: "
                        "place it past them";
            }
        }
        windowsSizes_[id] = windowsEnd;
        glslangSizes_[id] = RoundUp(glslangEnd);
    }
};

} // namespace

bool PackConstantBuffers(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [error](SpirvModule& module) { return Packer(&module).Run(error); });
}

} // namespace platform::d3dcompiler
