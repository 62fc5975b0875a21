#include "spirv_atomics.h"

#include "spirv_module.h"

namespace platform::d3dcompiler {

namespace {

// The word indexes of an atomic's value operands (after the pointer, scope and semantics), or none.
std::vector<size_t> ValueOperands(spv::Op op) {
    switch (op) {
    case spv::OpAtomicExchange:
    case spv::OpAtomicIAdd:
    case spv::OpAtomicISub:
    case spv::OpAtomicSMin:
    case spv::OpAtomicUMin:
    case spv::OpAtomicSMax:
    case spv::OpAtomicUMax:
    case spv::OpAtomicAnd:
    case spv::OpAtomicOr:
    case spv::OpAtomicXor:
        return {6};
    case spv::OpAtomicCompareExchange:
        return {7, 8};
    default:
        return {};
    }
}

// The 32-bit integer type `id` is, with its signedness; false for any other.
bool IsInt32(const SpirvModule& m, uint32_t id, bool* isSigned) {
    const SpirvInstruction* type = m.Global(id);
    if (!type || type->op != spv::OpTypeInt || type->words.size() < 4 || type->words[2] != 32)
        return false;
    *isSigned = type->words[3] != 0;
    return true;
}

// The atomic `ins` on words of the pointer's type, its operands and result bitcast where glslang
// typed them otherwise; instructions to put before and after it are appended to the two lists.
void Retype(SpirvModule& m, SpirvInstruction* ins, std::vector<SpirvInstruction>* before,
            std::vector<SpirvInstruction>* after) {
    const std::vector<size_t> values = ValueOperands(ins->op);
    if (values.empty() || ins->words.size() <= values.back())
        return;
    const SpirvInstruction* pointer = m.Global(m.TypeOf(ins->words[3]));
    bool wordSigned, valueSigned;
    if (!pointer || pointer->op != spv::OpTypePointer || pointer->words.size() < 4 ||
        !IsInt32(m, pointer->words[3], &wordSigned))
        return;
    const uint32_t word = pointer->words[3];
    bool changed = false;
    for (size_t at : values) {
        const uint32_t valueType = m.TypeOf(ins->words[at]);
        if (valueType == word || !IsInt32(m, valueType, &valueSigned))
            continue;
        const uint32_t cast = m.NewId();
        before->push_back(SpirvInstruction(spv::OpBitcast, {word, cast, ins->words[at]}));
        ins->words[at] = cast;
        if (at == values.front() && (ins->op == spv::OpAtomicSMin || ins->op == spv::OpAtomicUMin))
            ins->op = valueSigned ? spv::OpAtomicSMin : spv::OpAtomicUMin;
        else if (at == values.front() && (ins->op == spv::OpAtomicSMax || ins->op == spv::OpAtomicUMax))
            ins->op = valueSigned ? spv::OpAtomicSMax : spv::OpAtomicUMax;
        changed = true;
    }
    const uint32_t resultType = ins->words[1];
    if (resultType != word && IsInt32(m, resultType, &valueSigned)) {
        const uint32_t result = ins->words[2];
        ins->words[1] = word;
        ins->words[2] = m.NewId();
        after->push_back(SpirvInstruction(spv::OpBitcast, {resultType, result, ins->words[2]}));
        changed = true;
    }
    if (changed)
        ins->words[0] = static_cast<uint32_t>(ins->words.size() << 16 | ins->op);
}

} // namespace

bool TypeAtomicsAsWindows(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [](SpirvModule& m) {
        std::vector<SpirvInstruction> functions;
        functions.reserve(m.functions.size());
        for (SpirvInstruction& ins : m.functions) {
            std::vector<SpirvInstruction> before, after;
            Retype(m, &ins, &before, &after);
            functions.insert(functions.end(), before.begin(), before.end());
            functions.push_back(std::move(ins));
            functions.insert(functions.end(), after.begin(), after.end());
        }
        m.functions = std::move(functions);
        return true;
    });
}

} // namespace platform::d3dcompiler
