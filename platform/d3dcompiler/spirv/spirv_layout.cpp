#include "spirv_layout.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <spirv/unified1/spirv.hpp>

using std::size_t;

namespace platform {

namespace {

constexpr uint32_t kHeaderWords = 5;

struct Type {
    uint32_t opcode = 0;
    std::vector<uint32_t> operands; // the words after the result id
};

struct Layout {
    uint32_t size = 0;
    uint32_t align = 1;
};

class Packer {
  public:
    explicit Packer(std::vector<uint32_t>* spirv) : words_(*spirv) {}

    void Run() {
        Read();
        std::set<uint32_t> buffers, constants;
        for (const auto& [variable, pointer] : variables_) {
            auto type = types_.find(pointer);
            if (type == types_.end() || type->second.opcode != spv::OpTypePointer ||
                type->second.operands.size() < 2)
                continue;
            const uint32_t storage = type->second.operands[0], block = type->second.operands[1];
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
    }

  private:
    std::vector<uint32_t>& words_;
    std::map<uint32_t, Type> types_;
    std::map<uint32_t, uint32_t> constants_;
    std::vector<std::pair<uint32_t, uint32_t>> variables_; // id, pointer type
    std::set<uint32_t> bufferBlocks_;
    std::map<std::pair<uint32_t, uint32_t>, bool> rowMajor_; // struct, member
    std::set<uint32_t> packed_;
    std::map<uint32_t, Layout> layouts_;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> offsets_; // struct, member
    std::map<uint32_t, uint32_t> strides_;                      // array type
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> matrixStrides_;

    void Read() {
        for (size_t at = kHeaderWords; at < words_.size();) {
            const uint32_t count = words_[at] >> 16, opcode = words_[at] & 0xffff;
            if (count == 0 || count > words_.size() - at)
                return;
            const uint32_t* ins = &words_[at];
            if (opcode >= spv::OpTypeBool && opcode <= spv::OpTypePointer && count >= 2)
                types_[ins[1]] = {opcode, std::vector<uint32_t>(ins + 2, ins + count)};
            else if (opcode == spv::OpConstant && count == 4)
                constants_[ins[2]] = ins[3];
            else if (opcode == spv::OpVariable && count >= 4)
                variables_.push_back({ins[2], ins[1]});
            else if (opcode == spv::OpDecorate && count >= 3 && ins[2] == spv::DecorationBufferBlock)
                bufferBlocks_.insert(ins[1]);
            else if (opcode == spv::OpMemberDecorate && count >= 4 && ins[3] == spv::DecorationRowMajor)
                rowMajor_[{ins[1], ins[2]}] = true;
            at += count;
        }
    }

    // Every struct and array type inside `id`, `id` included.
    void Reach(uint32_t id, std::set<uint32_t>* out) {
        auto it = types_.find(id);
        if (it == types_.end() || !out->insert(id).second)
            return;
        const Type& t = it->second;
        if (t.opcode == spv::OpTypeStruct) {
            for (uint32_t member : t.operands)
                Reach(member, out);
        } else if ((t.opcode == spv::OpTypeArray || t.opcode == spv::OpTypeRuntimeArray) &&
                   !t.operands.empty()) {
            Reach(t.operands[0], out);
        }
    }

    // Tight packing: scalars and vectors aligned to their component, arrays and structs to their
    // most aligned element or member, and nothing rounded up past that.
    Layout Measure(uint32_t id) {
        auto known = layouts_.find(id);
        if (known != layouts_.end())
            return known->second;
        Layout l;
        auto it = types_.find(id);
        if (it != types_.end()) {
            const Type& t = it->second;
            switch (t.opcode) {
            case spv::OpTypeBool:
                l = {4, 4};
                break;
            case spv::OpTypeInt:
            case spv::OpTypeFloat:
                l = {t.operands[0] / 8, t.operands[0] / 8};
                break;
            case spv::OpTypeVector: {
                const Layout c = Measure(t.operands[0]);
                l = {c.size * t.operands[1], c.align};
                break;
            }
            case spv::OpTypeMatrix: {
                const Layout column = Measure(t.operands[0]);
                l = {column.size * t.operands[1], column.align};
                break;
            }
            case spv::OpTypeArray:
            case spv::OpTypeRuntimeArray: {
                const Layout e = Measure(t.operands[0]);
                strides_[id] = e.size;
                const uint32_t length = t.opcode == spv::OpTypeArray ? constants_[t.operands[1]] : 0;
                l = {e.size * length, e.align};
                break;
            }
            case spv::OpTypeStruct: {
                uint32_t offset = 0;
                for (uint32_t m = 0; m < t.operands.size(); ++m) {
                    const Layout member = Measure(t.operands[m]);
                    offset = (offset + member.align - 1) / member.align * member.align;
                    offsets_[{id, m}] = offset;
                    offset += member.size;
                    l.align = std::max(l.align, member.align);
                    MatrixStride(id, m, t.operands[m]);
                }
                l.size = (offset + l.align - 1) / l.align * l.align;
                break;
            }
            }
        }
        layouts_[id] = l;
        return l;
    }

    // A matrix member's stride, or that of the matrices in an array member: a column (or, row-major,
    // a row) packed tight.
    void MatrixStride(uint32_t structId, uint32_t member, uint32_t type) {
        auto it = types_.find(type);
        while (it != types_.end() &&
               (it->second.opcode == spv::OpTypeArray || it->second.opcode == spv::OpTypeRuntimeArray))
            it = types_.find(it->second.operands[0]);
        if (it == types_.end() || it->second.opcode != spv::OpTypeMatrix)
            return;
        auto column = types_.find(it->second.operands[0]);
        if (column == types_.end() || column->second.operands.size() < 2)
            return;
        const uint32_t component = Measure(column->second.operands[0]).size;
        const uint32_t rows = column->second.operands[1], columns = it->second.operands[1];
        matrixStrides_[{structId, member}] =
            component * (rowMajor_.count({structId, member}) ? columns : rows);
    }

    void Rewrite() {
        for (size_t at = kHeaderWords; at < words_.size();) {
            const uint32_t count = words_[at] >> 16, opcode = words_[at] & 0xffff;
            if (count == 0 || count > words_.size() - at)
                return;
            uint32_t* ins = &words_[at];
            if (opcode == spv::OpDecorate && count == 4 && ins[2] == spv::DecorationArrayStride &&
                packed_.count(ins[1]) && strides_.count(ins[1]))
                ins[3] = strides_[ins[1]];
            if (opcode == spv::OpMemberDecorate && count == 5 && packed_.count(ins[1])) {
                const std::pair<uint32_t, uint32_t> key = {ins[1], ins[2]};
                if (ins[3] == spv::DecorationOffset && offsets_.count(key))
                    ins[4] = offsets_[key];
                else if (ins[3] == spv::DecorationMatrixStride && matrixStrides_.count(key))
                    ins[4] = matrixStrides_[key];
            }
            at += count;
        }
    }
};

} // namespace

void PackStructuredBuffers(std::vector<uint32_t>* spirv) {
    if (spirv->size() > kHeaderWords)
        Packer(spirv).Run();
}

} // namespace platform
