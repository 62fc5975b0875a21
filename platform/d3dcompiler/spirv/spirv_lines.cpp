#include "spirv_lines.h"

namespace platform::d3dcompiler {

namespace {

SpirvSourceLine LineFrom(const SpirvModule& module, const SpirvInstruction& mark) {
    SpirvSourceLine where;
    if (mark.words.size() < 3)
        return where;
    where.line = mark.words[2];
    for (const SpirvInstruction& ins : module.globals)
        if (ins.op == spv::OpString && ins.ResultId() == mark.words[1])
            where.file = ins.String(2);
    return where;
}

// The line mark in force at functions[at]: the last one before it in its function.
SpirvSourceLine LineInFunction(const SpirvModule& module, size_t at) {
    for (size_t i = at + 1; i-- > 0;) {
        const SpirvInstruction& ins = module.functions[i];
        if (ins.op == spv::OpLine)
            return LineFrom(module, ins);
        if (ins.op == spv::OpNoLine || (ins.op == spv::OpFunction && i != at))
            break;
    }
    return {};
}

bool Uses(const SpirvInstruction& ins, uint32_t id) {
    for (size_t i = 1; i < ins.words.size(); ++i)
        if (ins.words[i] == id && i != (ins.ResultType() ? 2u : 1u))
            return true;
    return false;
}

} // namespace

SpirvSourceLine LineOfInstruction(const SpirvModule& module, size_t ordinal) {
    if (ordinal == 0)
        return {};
    const size_t at = ordinal - 1;
    if (at < module.globals.size()) {
        // A global has no line of its own; the first code that uses it has one.
        const uint32_t id = module.globals[at].ResultId();
        return id ? LineOfId(module, id) : SpirvSourceLine{};
    }
    if (at - module.globals.size() < module.functions.size())
        return LineInFunction(module, at - module.globals.size());
    return {};
}

SpirvSourceLine LineOfId(const SpirvModule& module, uint32_t id) {
    for (size_t i = 0; i < module.functions.size(); ++i)
        if (module.functions[i].ResultId() == id) {
            SpirvSourceLine where = LineInFunction(module, i);
            if (where.line)
                return where;
        }
    for (size_t i = 0; i < module.functions.size(); ++i)
        if (Uses(module.functions[i], id)) {
            SpirvSourceLine where = LineInFunction(module, i);
            if (where.line)
                return where;
        }
    return {};
}

} // namespace platform::d3dcompiler
