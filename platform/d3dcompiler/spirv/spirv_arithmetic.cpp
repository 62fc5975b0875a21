#include "spirv_arithmetic.h"

#include "spirv_module.h"

#include <spirv/unified1/GLSL.std.450.h>

#include <algorithm>
#include <iterator>

namespace platform::d3dcompiler {

namespace {

// 2^31, -2^31, the largest float below 2^31, and 2^32.
constexpr uint32_t kFloatTwoTo31 = 0x4F000000, kFloatMinusTwoTo31 = 0xCF000000,
                   kFloatBelowTwoTo31 = 0x4EFFFFFF, kFloatTwoTo32 = 0x4F800000;

// Types a zero constant exists for.
bool HasZero(const SpirvModule& m, uint32_t type) {
    const SpirvInstruction* t = m.Global(type);
    if (!t)
        return false;
    static const spv::Op kZeroed[] = {spv::OpTypeBool,   spv::OpTypeInt,    spv::OpTypeFloat,
                                      spv::OpTypeVector, spv::OpTypeMatrix, spv::OpTypeArray,
                                      spv::OpTypeStruct};
    return std::find(std::begin(kZeroed), std::end(kZeroed), t->op) != std::end(kZeroed);
}

class Rewriter {
  public:
    explicit Rewriter(SpirvModule* m) : m_(*m) {}

    // Always true: every module this pass reads can be rewritten.
    bool Run() {
        ZeroStatics();
        std::vector<SpirvInstruction> in;
        in.swap(m_.functions);
        out_.reserve(in.size() + in.size() / 8);
        for (SpirvInstruction& ins : in)
            Visit(std::move(ins));
        m_.functions = std::move(out_);
        return true;
    }

  private:
    SpirvModule& m_;
    std::vector<SpirvInstruction> out_;

    // Private variables get a zero initializer, and undefined values become zeros.
    void ZeroStatics() {
        std::vector<SpirvInstruction> globals;
        globals.reserve(m_.globals.size() + 8);
        for (const SpirvInstruction& ins : m_.globals) {
            globals.push_back(ins);
            if (ins.op == spv::OpUndef && HasZero(m_, ins.words[1])) {
                globals.back().op = spv::OpConstantNull;
                globals.back().words[0] = (ins.words[0] & 0xFFFF0000) | spv::OpConstantNull;
            } else if (ins.op == spv::OpVariable && ins.words.size() == 4 &&
                       ins.words[3] == spv::StorageClassPrivate) {
                const SpirvInstruction* pointer = m_.Global(ins.words[1]);
                if (pointer && HasZero(m_, pointer->words[3])) {
                    const uint32_t zero = m_.NewId();
                    globals.back() = SpirvInstruction(spv::OpConstantNull, {pointer->words[3], zero});
                    globals.push_back(
                        SpirvInstruction(spv::OpVariable, {ins.words[1], ins.words[2], ins.words[3], zero}));
                }
            }
        }
        m_.globals = std::move(globals);
        m_.Reindex();
        for (SpirvInstruction& ins : m_.functions) {
            if (ins.op == spv::OpUndef && HasZero(m_, ins.words[1])) {
                m_.globals.push_back(SpirvInstruction(spv::OpConstantNull, {ins.words[1], ins.words[2]}));
                ins = SpirvInstruction(spv::OpNop, {});
            }
        }
        m_.Reindex();
    }

    // The component type of `type` and its count.
    std::pair<uint32_t, uint32_t> Components(uint32_t type) const {
        const SpirvInstruction* t = m_.Global(type);
        if (t && t->op == spv::OpTypeVector)
            return {t->words[2], t->words[3]};
        return {type, 1};
    }

    bool Is32(uint32_t type, spv::Op op) const {
        const SpirvInstruction* t = m_.Global(Components(type).first);
        return t && t->op == op && t->words[2] == 32;
    }

    uint32_t BoolsFor(uint32_t type) {
        const uint32_t boolean = m_.Type(spv::OpTypeBool, {});
        const uint32_t count = Components(type).second;
        return count == 1 ? boolean : m_.Type(spv::OpTypeVector, {boolean, count});
    }

    uint32_t Emit(spv::Op op, uint32_t type, std::vector<uint32_t> operands) {
        const uint32_t id = m_.NewId();
        operands.insert(operands.begin(), {type, id});
        out_.push_back(SpirvInstruction(op, std::move(operands)));
        return id;
    }

    void Visit(SpirvInstruction ins) {
        std::vector<uint32_t>& w = ins.words;
        switch (ins.op) {
        case spv::OpNop:
            return;
        case spv::OpSMod:
            ins.op = spv::OpSRem;
            w[0] = (w[0] & 0xFFFF0000) | ins.op;
            break;
        case spv::OpFMod: {
            const uint32_t quotient = Emit(spv::OpFDiv, w[1], {w[3], w[4]});
            const uint32_t whole = Emit(spv::OpExtInst, w[1], {m_.GlslStd450(), GLSLstd450Trunc, quotient});
            const uint32_t product = Emit(spv::OpFMul, w[1], {w[4], whole});
            out_.push_back(SpirvInstruction(spv::OpFSub, {w[1], w[2], w[3], product}));
            return;
        }
        case spv::OpUDiv:
        case spv::OpUMod:
            if (Is32(w[1], spv::OpTypeInt) && !NonZero(w[4])) {
                DivideByZeroAsDirect3D(ins);
                return;
            }
            break;
        case spv::OpShiftLeftLogical:
        case spv::OpShiftRightLogical:
        case spv::OpShiftRightArithmetic:
            MaskShift(&w);
            break;
        case spv::OpConvertFToU:
        case spv::OpConvertFToS:
            if (Is32(w[1], spv::OpTypeInt) && Is32(m_.TypeOf(w[3]), spv::OpTypeFloat)) {
                Saturate(ins);
                return;
            }
            break;
        case spv::OpExtInst:
            if (w.size() == 7 && w[4] == GLSLstd450Atan2 && Is32(w[1], spv::OpTypeFloat) &&
                w[3] == m_.GlslStd450())
                w[5] = PositiveZero(w[5]);
            break;
        default:
            break;
        }
        out_.push_back(std::move(ins));
    }

    // Whether `id` is a constant without a zero component.
    bool NonZero(uint32_t id) const {
        const SpirvInstruction* constant = m_.Global(id);
        if (!constant)
            return false;
        if (constant->op == spv::OpConstant)
            return constant->words[3] != 0;
        if (constant->op != spv::OpConstantComposite)
            return false;
        for (size_t i = 3; i < constant->words.size(); ++i) {
            if (!NonZero(constant->words[i]))
                return false;
        }
        return true;
    }

    // Unsigned division and remainder by zero give 0xFFFFFFFF, as Direct3D's udiv defines them.
    void DivideByZeroAsDirect3D(const SpirvInstruction& ins) {
        const uint32_t type = ins.words[1], divisor = ins.words[4];
        const uint32_t divided = Emit(ins.op, type, {ins.words[3], divisor});
        const uint32_t zero = Emit(spv::OpIEqual, BoolsFor(type), {divisor, m_.Constant(type, 0)});
        out_.push_back(SpirvInstruction(spv::OpSelect,
                                        {type, ins.words[2], zero, m_.Constant(type, 0xFFFFFFFF), divided}));
    }

    void MaskShift(std::vector<uint32_t>* w) {
        const uint32_t count = (*w)[4];
        const SpirvInstruction* constant = m_.Global(count);
        if (constant && constant->op == spv::OpConstant && constant->words[3] < 32)
            return;
        const uint32_t type = m_.TypeOf(count);
        if (!Is32(type, spv::OpTypeInt))
            return;
        (*w)[4] = Emit(spv::OpBitwiseAnd, type, {count, m_.Constant(type, 31)});
    }

    // The conversion of x clamped to the range below 2^32 (or 2^31), NMax and NClamp taking NaN to the
    // lower bound, then values past the range made the maximum and, for int, NaN made 0.
    void Saturate(const SpirvInstruction& ins) {
        const uint32_t type = ins.words[1], result = ins.words[2], x = ins.words[3];
        const uint32_t floats = m_.TypeOf(x), bools = BoolsFor(floats), glsl = m_.GlslStd450();
        const bool toUnsigned = ins.op == spv::OpConvertFToU;
        const uint32_t clamped =
            toUnsigned ? Emit(spv::OpExtInst, floats, {glsl, GLSLstd450NMax, x, m_.Constant(floats, 0)})
                       : Emit(spv::OpExtInst, floats,
                              {glsl, GLSLstd450NClamp, x, m_.Constant(floats, kFloatMinusTwoTo31),
                               m_.Constant(floats, kFloatBelowTwoTo31)});
        const uint32_t converted = Emit(ins.op, type, {clamped});
        const uint32_t big = Emit(spv::OpFOrdGreaterThanEqual, bools,
                                  {x, m_.Constant(floats, toUnsigned ? kFloatTwoTo32 : kFloatTwoTo31)});
        const uint32_t maximum = m_.Constant(type, toUnsigned ? 0xFFFFFFFF : 0x7FFFFFFF);
        if (toUnsigned) {
            out_.push_back(SpirvInstruction(spv::OpSelect, {type, result, big, maximum, converted}));
            return;
        }
        const uint32_t high = Emit(spv::OpSelect, type, {big, maximum, converted});
        const uint32_t nan = Emit(spv::OpIsNan, bools, {x});
        out_.push_back(SpirvInstruction(spv::OpSelect, {type, result, nan, m_.Constant(type, 0), high}));
    }

    // `y`, with -0.0 made +0.0.
    uint32_t PositiveZero(uint32_t y) {
        const uint32_t floats = m_.TypeOf(y);
        const uint32_t zero = m_.Constant(floats, 0);
        const uint32_t isZero = Emit(spv::OpFOrdEqual, BoolsFor(floats), {y, zero});
        return Emit(spv::OpSelect, floats, {isZero, zero, y});
    }
};

} // namespace

bool ComputeAsWindows(std::vector<uint32_t>* spirv, std::string* error) {
    return RewriteSpirv(spirv, error, [](SpirvModule& module) { return Rewriter(&module).Run(); });
}

} // namespace platform::d3dcompiler
