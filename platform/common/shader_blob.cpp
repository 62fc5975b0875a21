#include "shader_blob.h"

#include <cstring>

namespace platform {

namespace {

// "FXSH" in the first four bytes, then the layout version.
constexpr uint32_t kBlobMagic = 0x48535846;
constexpr uint32_t kBlobVersion = 4;
constexpr uint32_t kSpirvMagic = 0x07230203;

// The layout, all fields little-endian 32-bit words, strings padded to a whole word:
//   magic, version, total size in bytes, stage, usedRegisters[4] of four words each (lowest first),
//   threadGroupSize[3],
//   entry point length, entry point bytes,
//   input count, per input: semantic index, location, locations, components, location word,
//   semantic length, semantic bytes; output count, per output the same,
//   resource count, per resource: register class, register, descriptor kind, binding word,
//   SPIR-V word count, SPIR-V words.
class Writer {
  public:
    void U32(uint32_t v) { Bytes(&v, sizeof v); }
    void String(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        Bytes(s.data(), s.size());
        out_.resize((out_.size() + 3) & ~size_t(3), 0);
    }
    void Bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
    }
    std::vector<uint8_t>& Out() { return out_; }

  private:
    std::vector<uint8_t> out_;
};

// Every read checks that what it reads lies inside the blob; after one failed read all fail.
class Reader {
  public:
    Reader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    bool U32(uint32_t* v) { return Bytes(v, sizeof *v); }
    bool String(std::string* s) {
        uint32_t length;
        if (!U32(&length) || length > Left())
            return Fail();
        const size_t end = at_ + ((size_t(length) + 3) & ~size_t(3));
        if (end > size_)
            return Fail();
        // The padding is zeros in every blob the compiler writes.
        for (size_t pad = at_ + length; pad < end; ++pad) {
            if (data_[pad])
                return Fail();
        }
        s->assign(reinterpret_cast<const char*>(data_ + at_), length);
        at_ = end;
        return true;
    }
    bool Bytes(void* p, size_t n) {
        if (!ok_ || n > Left())
            return Fail();
        std::memcpy(p, data_ + at_, n);
        at_ += n;
        return true;
    }
    size_t Left() const { return ok_ ? size_ - at_ : 0; }
    bool AtEnd() const { return ok_ && at_ == size_; }

  private:
    bool Fail() {
        ok_ = false;
        return false;
    }
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

// The resource's register lies in its class, and its binding word holds that register's binding;
// model 5.1's registers are Direct3D 12's, past that table.
bool IsResource(const ShaderResource& r, uint32_t model, const std::vector<uint32_t>& spirv) {
    const uint32_t cls = static_cast<uint32_t>(r.registerClass);
    if (cls >= kRegisterClassCount || r.kind > DescriptorKind::Unsupported || r.bindingWord >= spirv.size())
        return false;
    return model == 51 ||
           (r.reg < kRegisterCount[cls] && spirv[r.bindingWord] == BindingOf(r.registerClass, r.reg));
}

bool IsModel(uint32_t model) {
    return model == 40 || model == 41 || model == 50 || model == 51;
}

// The variable's location word, when it has one, holds its location.
bool HoldsLocation(const ShaderInput& input, const std::vector<uint32_t>& spirv) {
    return input.locationWord == 0 ||
           (input.locationWord < spirv.size() && spirv[input.locationWord] == input.location);
}

bool IsStage(uint32_t stage) {
    switch (static_cast<ShaderStage>(stage)) {
    case ShaderStage::Vertex:
    case ShaderStage::Pixel:
    case ShaderStage::Compute:
    case ShaderStage::Geometry:
        return true;
    }
    return false;
}

} // namespace

std::vector<uint8_t> EncodeShaderBlob(const ShaderInfo& info) {
    Writer w;
    w.U32(kBlobMagic);
    w.U32(kBlobVersion);
    w.U32(0); // total size, filled in below
    w.U32(static_cast<uint32_t>(info.stage));
    w.U32(info.model);
    for (const auto& used : info.usedRegisters) {
        for (uint32_t word = 0; word < kMostRegisters / 32; ++word)
            w.U32(
                static_cast<uint32_t>(((used >> (32 * word)) & std::bitset<kMostRegisters>(~0u)).to_ulong()));
    }
    for (uint32_t size : info.threadGroupSize)
        w.U32(size);
    w.String(info.entryPoint);
    for (const std::vector<ShaderInput>* list : {&info.inputs, &info.outputs}) {
        w.U32(static_cast<uint32_t>(list->size()));
        for (const ShaderInput& input : *list) {
            w.U32(input.semanticIndex);
            w.U32(input.location);
            w.U32(input.locations);
            w.U32(input.components);
            w.U32(input.locationWord);
            w.String(input.semantic);
        }
    }
    w.U32(static_cast<uint32_t>(info.resources.size()));
    for (const ShaderResource& resource : info.resources) {
        w.U32(static_cast<uint32_t>(resource.registerClass));
        w.U32(resource.reg);
        w.U32(static_cast<uint32_t>(resource.kind));
        w.U32(resource.bindingWord);
    }
    w.U32(static_cast<uint32_t>(info.spirv.size()));
    w.Bytes(info.spirv.data(), info.spirv.size() * sizeof(uint32_t));
    uint32_t total = static_cast<uint32_t>(w.Out().size());
    std::memcpy(w.Out().data() + 8, &total, sizeof total);
    return std::move(w.Out());
}

bool DecodeShaderBlob(const void* data, size_t size, ShaderInfo* info) {
    if (!data)
        return false;
    Reader r(data, size);
    uint32_t magic = 0, version = 0, total = 0, stage = 0, model = 0;
    if (!r.U32(&magic) || magic != kBlobMagic || !r.U32(&version) || version != kBlobVersion ||
        !r.U32(&total) || total != size || !r.U32(&stage) || !IsStage(stage) || !r.U32(&model) ||
        !IsModel(model))
        return false;
    ShaderInfo out;
    out.stage = static_cast<ShaderStage>(stage);
    out.model = model;
    for (uint32_t cls = 0; cls < kRegisterClassCount; ++cls) {
        std::bitset<kMostRegisters>& used = out.usedRegisters[cls];
        for (uint32_t word = 0; word < kMostRegisters / 32; ++word) {
            uint32_t bits = 0;
            if (!r.U32(&bits))
                return false;
            used |= std::bitset<kMostRegisters>(bits) << (32 * word);
        }
        // A register past its class's table was never compiled in: the blob is not ours.
        if ((used >> kRegisterCount[cls]).any())
            return false;
    }
    for (uint32_t& groupSize : out.threadGroupSize) {
        if (!r.U32(&groupSize))
            return false;
    }
    if (!r.String(&out.entryPoint))
        return false;
    for (std::vector<ShaderInput>* list : {&out.inputs, &out.outputs}) {
        uint32_t count = 0;
        if (!r.U32(&count))
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            ShaderInput input;
            if (!r.U32(&input.semanticIndex) || !r.U32(&input.location) || !r.U32(&input.locations) ||
                !r.U32(&input.components) || !r.U32(&input.locationWord) || !r.String(&input.semantic))
                return false;
            list->push_back(std::move(input));
        }
    }
    uint32_t resourceCount = 0;
    if (!r.U32(&resourceCount) || resourceCount > r.Left() / (4 * sizeof(uint32_t)))
        return false;
    out.resources.resize(resourceCount);
    for (ShaderResource& resource : out.resources) {
        uint32_t cls = 0, kind = 0;
        if (!r.U32(&cls) || !r.U32(&resource.reg) || !r.U32(&kind) || !r.U32(&resource.bindingWord))
            return false;
        resource.registerClass = static_cast<RegisterClass>(cls);
        resource.kind = static_cast<DescriptorKind>(kind);
    }
    uint32_t words = 0;
    if (!r.U32(&words) || words == 0 || words != r.Left() / sizeof(uint32_t))
        return false;
    out.spirv.resize(words);
    if (!r.Bytes(out.spirv.data(), size_t(words) * sizeof(uint32_t)) || !r.AtEnd() ||
        out.spirv[0] != kSpirvMagic)
        return false;
    for (const ShaderResource& resource : out.resources) {
        if (!IsResource(resource, model, out.spirv))
            return false;
    }
    for (const std::vector<ShaderInput>* list : {&out.inputs, &out.outputs}) {
        for (const ShaderInput& input : *list) {
            if (!HoldsLocation(input, out.spirv))
                return false;
        }
    }
    *info = std::move(out);
    return true;
}

} // namespace platform
