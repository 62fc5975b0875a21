#include "spirv_module.h"

#include <cstring>

namespace platform::d3dcompiler {

namespace {

constexpr size_t kHeaderWords = 5;
constexpr size_t kBoundWord = 3;

// Types and constants that are unique by their operands, so that a pass asking for one finds it.
bool Unique(spv::Op op) {
    switch (op) {
    case spv::OpTypeBool:
    case spv::OpTypeInt:
    case spv::OpTypeFloat:
    case spv::OpTypeVector:
    case spv::OpConstant:
    case spv::OpConstantComposite:
    case spv::OpConstantNull:
        return true;
    default:
        return false;
    }
}

// The words that make a type or constant what it is: the opcode and every operand but the result id.
std::vector<uint32_t> Key(const SpirvInstruction& ins) {
    std::vector<uint32_t> key = {static_cast<uint32_t>(ins.op)};
    const bool typed = ins.ResultType() != 0;
    if (typed)
        key.push_back(ins.words[1]);
    key.insert(key.end(), ins.words.begin() + (typed ? 3 : 2), ins.words.end());
    return key;
}

} // namespace

SpirvInstruction::SpirvInstruction(spv::Op op, std::vector<uint32_t> operands) : op(op) {
    words.reserve(operands.size() + 1);
    words.push_back(static_cast<uint32_t>(operands.size() + 1) << 16 | op);
    words.insert(words.end(), operands.begin(), operands.end());
}

uint32_t SpirvInstruction::ResultType() const {
    bool result = false, type = false;
    spv::HasResultAndType(op, &result, &type);
    return type && words.size() > 1 ? words[1] : 0;
}

uint32_t SpirvInstruction::ResultId() const {
    bool result = false, type = false;
    spv::HasResultAndType(op, &result, &type);
    const size_t at = type ? 2 : 1;
    return result && words.size() > at ? words[at] : 0;
}

std::string SpirvInstruction::String(size_t at) const {
    std::string text;
    for (; at < words.size(); ++at)
        for (int byte = 0; byte < 4; ++byte) {
            const char c = static_cast<char>(words[at] >> (8 * byte));
            if (c == '\0')
                return text;
            text += c;
        }
    return text;
}

bool SpirvModule::Read(const std::vector<uint32_t>& words, std::string* error) {
    if (words.size() < kHeaderWords || words[0] != spv::MagicNumber) {
        *error = "the compiler produced no SPIR-V module";
        return false;
    }
    header_.assign(words.begin(), words.begin() + kHeaderWords);
    bound_ = words[kBoundWord];
    globals.clear();
    functions.clear();
    for (size_t at = kHeaderWords; at < words.size();) {
        const uint32_t count = words[at] >> 16;
        if (count == 0 || count > words.size() - at) {
            *error = "the compiler's SPIR-V is cut short";
            return false;
        }
        SpirvInstruction ins;
        ins.op = static_cast<spv::Op>(words[at] & 0xFFFF);
        ins.words.assign(words.begin() + at, words.begin() + at + count);
        if (ins.op == spv::OpFunction || !functions.empty())
            functions.push_back(std::move(ins));
        else
            globals.push_back(std::move(ins));
        at += count;
    }
    Reindex();
    return true;
}

void SpirvModule::Reindex() {
    types_.clear();
    definers_.clear();
    known_.clear();
    for (size_t i = 0; i < globals.size(); ++i) {
        const SpirvInstruction& ins = globals[i];
        if (const uint32_t id = ins.ResultId()) {
            definers_[id] = i;
            types_[id] = ins.ResultType();
            if (Unique(ins.op))
                known_.emplace(Key(ins), id);
        }
    }
    for (const SpirvInstruction& ins : functions) {
        if (const uint32_t id = ins.ResultId())
            types_[id] = ins.ResultType();
    }
}

std::vector<uint32_t> SpirvModule::Words() const {
    std::vector<uint32_t> words = header_;
    words[kBoundWord] = bound_;
    for (const auto* part : {&globals, &functions}) {
        for (const SpirvInstruction& ins : *part)
            words.insert(words.end(), ins.words.begin(), ins.words.end());
    }
    return words;
}

uint32_t SpirvModule::TypeOf(uint32_t id) const {
    auto it = types_.find(id);
    return it == types_.end() ? 0 : it->second;
}

const SpirvInstruction* SpirvModule::Global(uint32_t id) const {
    auto it = definers_.find(id);
    return it == definers_.end() ? nullptr : &globals[it->second];
}

void SpirvModule::Add(SpirvInstruction ins) {
    const uint32_t id = ins.ResultId();
    definers_[id] = globals.size();
    types_[id] = ins.ResultType();
    known_.emplace(Key(ins), id);
    globals.push_back(std::move(ins));
}

uint32_t SpirvModule::Type(spv::Op op, const std::vector<uint32_t>& operands) {
    std::vector<uint32_t> key = {static_cast<uint32_t>(op)};
    key.insert(key.end(), operands.begin(), operands.end());
    auto it = known_.find(key);
    if (it != known_.end())
        return it->second;
    const uint32_t id = NewId();
    std::vector<uint32_t> words = {id};
    words.insert(words.end(), operands.begin(), operands.end());
    Add(SpirvInstruction(op, std::move(words)));
    return id;
}

uint32_t SpirvModule::Constant(uint32_t type, uint32_t value) {
    const SpirvInstruction* t = Global(type);
    if (t && t->op == spv::OpTypeVector) {
        const uint32_t component = Constant(t->words[2], value);
        std::vector<uint32_t> key = {spv::OpConstantComposite, type};
        key.insert(key.end(), t->words[3], component);
        auto it = known_.find(key);
        if (it != known_.end())
            return it->second;
        const uint32_t id = NewId();
        std::vector<uint32_t> words = {type, id};
        words.insert(words.end(), key.begin() + 2, key.end());
        Add(SpirvInstruction(spv::OpConstantComposite, std::move(words)));
        return id;
    }
    auto it = known_.find({spv::OpConstant, type, value});
    if (it != known_.end())
        return it->second;
    const uint32_t id = NewId();
    Add(SpirvInstruction(spv::OpConstant, {type, id, value}));
    return id;
}

bool RewriteSpirv(std::vector<uint32_t>* spirv, std::string* error,
                  const std::function<bool(SpirvModule&)>& pass) {
    SpirvModule module;
    if (!module.Read(*spirv, error) || !pass(module))
        return false;
    *spirv = module.Words();
    return true;
}

uint32_t SpirvModule::GlslStd450() {
    size_t memoryModel = 0;
    for (size_t i = 0; i < globals.size(); ++i) {
        const SpirvInstruction& ins = globals[i];
        if (ins.op == spv::OpExtInstImport &&
            std::strncmp(reinterpret_cast<const char*>(&ins.words[2]), "GLSL.std.450",
                         (ins.words.size() - 2) * sizeof(uint32_t)) == 0)
            return ins.words[1];
        if (ins.op == spv::OpMemoryModel)
            memoryModel = i;
    }
    const uint32_t id = NewId();
    const char name[16] = "GLSL.std.450";
    std::vector<uint32_t> operands = {id, 0, 0, 0, 0};
    std::memcpy(&operands[1], name, sizeof name);
    globals.insert(globals.begin() + memoryModel,
                   SpirvInstruction(spv::OpExtInstImport, std::move(operands)));
    Reindex();
    return id;
}

} // namespace platform::d3dcompiler
