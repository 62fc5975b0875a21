#include "spirv_layout.h"

#include "spirv_module.h"

#include <algorithm>
#include <map>
#include <set>

namespace platform::d3dcompiler {

namespace {

// The operand `i` after the result id of the type `t`, 0 when it has none.
uint32_t Operand(const SpirvInstruction* t, size_t i) {
    return t && t->words.size() > 2 + i ? t->words[2 + i] : 0;
}

struct Layout {
    uint32_t size = 0;
    uint32_t align = 1;
};

class Packer {
  public:
    explicit Packer(SpirvModule* m) : m_(*m) {}

    // Always true: every layout can be packed.
    bool Run() {
        Read();
        std::set<uint32_t> buffers, constants;
        for (uint32_t pointer : variables_) {
            const SpirvInstruction* type = m_.Global(pointer);
            if (!type || type->op != spv::OpTypePointer || type->words.size() < 4)
                continue;
            const uint32_t storage = Operand(type, 0), block = Operand(type, 1);
            const bool bufferBlock = bufferBlocks_.count(block) != 0;
            if (storage == spv::StorageClassStorageBuffer ||
                (storage == spv::StorageClassUniform && bufferBlock))
                Reach(block, &buffers);
            else if (storage == spv::StorageClassUniform)
                Reach(block, &constants);
        }
        for (uint32_t id : buffers) {
            if (!constants.count(id))
                packed_.insert(id);
        }
        for (uint32_t id : packed_)
            Measure(id);
        Rewrite();
        return true;
    }

  private:
    SpirvModule& m_;
    std::vector<uint32_t> variables_; // their pointer types
    std::set<uint32_t> bufferBlocks_;
    std::map<std::pair<uint32_t, uint32_t>, bool> rowMajor_; // struct, member
    std::set<uint32_t> packed_;
    std::map<uint32_t, Layout> layouts_;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> offsets_; // struct, member
    std::map<uint32_t, uint32_t> strides_;                      // array type
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> matrixStrides_;

    void Read() {
        for (const SpirvInstruction& ins : m_.globals) {
            const std::vector<uint32_t>& w = ins.words;
            if (ins.op == spv::OpVariable && w.size() >= 4)
                variables_.push_back(w[1]);
            else if (ins.op == spv::OpDecorate && w.size() >= 3 && w[2] == spv::DecorationBufferBlock)
                bufferBlocks_.insert(w[1]);
            else if (ins.op == spv::OpMemberDecorate && w.size() >= 4 && w[3] == spv::DecorationRowMajor)
                rowMajor_[{w[1], w[2]}] = true;
        }
    }

    // The length of the array type `t`, 0 when it is not a constant.
    uint32_t Length(const SpirvInstruction* t) const {
        const SpirvInstruction* c = m_.Global(Operand(t, 1));
        return c && c->op == spv::OpConstant ? Operand(c, 1) : 0;
    }

    // Every struct and array type inside `id`, `id` included.
    void Reach(uint32_t id, std::set<uint32_t>* out) {
        const SpirvInstruction* t = m_.Global(id);
        if (!t || !out->insert(id).second)
            return;
        if (t->op == spv::OpTypeStruct) {
            for (size_t m = 2; m < t->words.size(); ++m)
                Reach(t->words[m], out);
        } else if (t->op == spv::OpTypeArray || t->op == spv::OpTypeRuntimeArray) {
            Reach(Operand(t, 0), out);
        }
    }

    // Tight packing: scalars and vectors aligned to their component, arrays and structs to their
    // most aligned element or member, and nothing rounded up past that.
    Layout Measure(uint32_t id) {
        auto known = layouts_.find(id);
        if (known != layouts_.end())
            return known->second;
        Layout l;
        if (const SpirvInstruction* t = m_.Global(id)) {
            switch (t->op) {
            case spv::OpTypeBool:
                l = {4, 4};
                break;
            case spv::OpTypeInt:
            case spv::OpTypeFloat:
                l = {Operand(t, 0) / 8, Operand(t, 0) / 8};
                break;
            case spv::OpTypeVector:
            case spv::OpTypeMatrix: {
                const Layout part = Measure(Operand(t, 0));
                l = {part.size * Operand(t, 1), part.align};
                break;
            }
            case spv::OpTypeArray:
            case spv::OpTypeRuntimeArray: {
                const Layout e = Measure(Operand(t, 0));
                strides_[id] = e.size;
                l = {e.size * (t->op == spv::OpTypeArray ? Length(t) : 0), e.align};
                break;
            }
            case spv::OpTypeStruct: {
                uint32_t offset = 0;
                for (uint32_t m = 0; m + 2 < t->words.size(); ++m) {
                    const Layout member = Measure(Operand(t, m));
                    offset = (offset + member.align - 1) / member.align * member.align;
                    offsets_[{id, m}] = offset;
                    offset += member.size;
                    l.align = std::max(l.align, member.align);
                    MatrixStride(id, m, Operand(t, m));
                }
                l.size = (offset + l.align - 1) / l.align * l.align;
                break;
            }
            default:
                break;
            }
        }
        layouts_[id] = l;
        return l;
    }

    // A matrix member's stride, or that of the matrices in an array member: a column (or, row-major,
    // a row) packed tight.
    void MatrixStride(uint32_t structId, uint32_t member, uint32_t type) {
        const SpirvInstruction* t = m_.Global(type);
        while (t && (t->op == spv::OpTypeArray || t->op == spv::OpTypeRuntimeArray))
            t = m_.Global(Operand(t, 0));
        if (!t || t->op != spv::OpTypeMatrix)
            return;
        const SpirvInstruction* column = m_.Global(Operand(t, 0));
        if (!column || column->words.size() < 4)
            return;
        const uint32_t component = Measure(Operand(column, 0)).size;
        const uint32_t rows = Operand(column, 1), columns = Operand(t, 1);
        matrixStrides_[{structId, member}] =
            component * (rowMajor_.count({structId, member}) ? columns : rows);
    }

    void Rewrite() {
        for (SpirvInstruction& ins : m_.globals) {
            std::vector<uint32_t>& w = ins.words;
            if (ins.op == spv::OpDecorate && w.size() == 4 && w[2] == spv::DecorationArrayStride &&
                packed_.count(w[1]) && strides_.count(w[1]))
                w[3] = strides_[w[1]];
            if (ins.op == spv::OpMemberDecorate && w.size() == 5 && packed_.count(w[1])) {
                const std::pair<uint32_t, uint32_t> key = {w[1], w[2]};
                if (w[3] == spv::DecorationOffset && offsets_.count(key))
                    w[4] = offsets_[key];
                else if (w[3] == spv::DecorationMatrixStride && matrixStrides_.count(key))
                    w[4] = matrixStrides_[key];
            }
        }
    }
};

} // namespace

bool PackStructuredBuffers(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [](SpirvModule& module) { return Packer(&module).Run(); });
}

} // namespace platform::d3dcompiler
