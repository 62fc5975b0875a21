#include "spirv_scalar_reductions.h"

#include "spirv_module.h"

namespace platform::d3dcompiler {

namespace {

// `ins`, an OpAny or OpAll, rewritten for a scalar operand; unchanged for a vector one.
void Reduce(SpirvModule& m, SpirvInstruction* ins) {
    const uint32_t type = ins->words[1], result = ins->words[2], operand = ins->words[3];
    const uint32_t operandTypeId = m.TypeOf(operand);
    const SpirvInstruction* operandType = m.Global(operandTypeId);
    // Glslang's scalars are 32 bits wide but for doubles, whose zero this pass does not make.
    if (!operandType || (operandType->op != spv::OpTypeBool && operandType->words[2] != 32))
        return;
    switch (operandType->op) {
    case spv::OpTypeBool:
        *ins = SpirvInstruction(spv::OpCopyObject, {type, result, operand});
        break;
    case spv::OpTypeInt:
        *ins = SpirvInstruction(spv::OpINotEqual, {type, result, operand, m.Constant(operandTypeId, 0)});
        break;
    case spv::OpTypeFloat:
        // NaN is not zero.
        *ins = SpirvInstruction(spv::OpFUnordNotEqual, {type, result, operand, m.Constant(operandTypeId, 0)});
        break;
    default:
        break;
    }
}

} // namespace

bool ReduceScalarsAsWindows(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [](SpirvModule& m) {
        for (SpirvInstruction& ins : m.functions)
            if (ins.op == spv::OpAny || ins.op == spv::OpAll)
                Reduce(m, &ins);
        return true;
    });
}

} // namespace platform::d3dcompiler
