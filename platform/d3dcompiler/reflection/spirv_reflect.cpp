#include "spirv_reflect.h"

#include "spirv_module.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace platform::d3dcompiler {

namespace {

// The words of a module's header, before its first instruction.
constexpr size_t kHeaderWords = 5;

constexpr uint32_t kImageSampledStorage = 2;
// Direct3D 11's limit on a compute stage's groupshared memory.
constexpr uint64_t kMaxGroupSharedBytes = 32768;

// The extensions whose decorations are removed, and with them the need for the extensions.
const char* const kStrippedExtensions[] = {"SPV_GOOGLE_hlsl_functionality1", "SPV_GOOGLE_decorate_string",
                                           "SPV_GOOGLE_user_type"};

bool IsStrippedDecoration(uint32_t decoration) {
    return decoration == spv::DecorationHlslCounterBufferGOOGLE ||
           decoration == spv::DecorationHlslSemanticGOOGLE || decoration == spv::DecorationUserTypeGOOGLE;
}

struct Decorations {
    bool block = false;
    bool bufferBlock = false;
    bool builtIn = false;
    bool nonWritable = false;
    bool hasLocation = false;
    bool hasBinding = false;
    uint32_t location = 0;
    uint32_t binding = 0;
    uint32_t bindingWord = 0;  // where the Binding number lies in the module handed on
    uint32_t locationWord = 0; // where the Location number lies in the module handed on
    uint32_t set = 0;
    std::string semantic;
    std::set<uint32_t> nonWritableMembers;
};

struct Type {
    uint32_t opcode = 0;
    uint32_t element = 0;     // arrays and pointers: the type pointed to or held; sampled images: the
                              // image; structs: the first member
    uint32_t storage = 0;     // pointers
    uint32_t sampled = 0;     // images
    uint32_t memberCount = 0; // structs: members; vectors: components; matrices: columns; arrays: length
    uint32_t dim = 0;         // images
};

struct Variable {
    uint32_t id;
    uint32_t type;
    uint32_t storage;
};

struct Module {
    std::map<uint32_t, Decorations> decorations;
    std::map<uint32_t, Type> types;
    std::vector<Variable> variables;
    std::map<std::string, uint32_t> entryPoints;
    std::map<uint32_t, std::array<uint32_t, 3>> localSizes;
    std::map<uint32_t, uint64_t> sizes;     // of the types that have one, in bytes, packed tight
    std::map<uint32_t, uint64_t> constants; // 32-bit integer constants: array lengths
    std::set<uint32_t> counters;            // the hidden counters of append and consume buffers
    std::map<uint32_t, uint32_t> elements;  // interface variables glslang made of one array element
};

bool IsStrippedExtension(const std::string& name) {
    for (const char* stripped : kStrippedExtensions) {
        if (name == stripped)
            return true;
    }
    return false;
}

// The sizes and kinds of types, and the integer constants that give arrays their lengths.
void NoteType(const SpirvInstruction& instruction, Module* m) {
    const uint32_t* ins = instruction.words.data();
    const uint32_t count = static_cast<uint32_t>(instruction.words.size());
    const uint32_t opcode = instruction.op;
    switch (opcode) {
    case spv::OpTypeBool:
        m->sizes[ins[1]] = 4;
        break;
    case spv::OpTypeInt:
    case spv::OpTypeFloat:
        if (count >= 3) {
            m->sizes[ins[1]] = ins[2] / 8;
            m->types[ins[1]] = {opcode, 0, 0, 0, 0};
        }
        break;
    case spv::OpTypeVector:
    case spv::OpTypeMatrix:
        if (count >= 4) {
            m->sizes[ins[1]] = m->sizes[ins[2]] * ins[3];
            m->types[ins[1]] = {opcode, ins[2], 0, 0, ins[3]};
        }
        break;
    case spv::OpConstant:
        if (count == 4)
            m->constants[ins[2]] = ins[3];
        break;
    case spv::OpTypeImage:
        if (count >= 9)
            m->types[ins[1]] = {opcode, 0, 0, ins[7], 0, ins[3]};
        break;
    case spv::OpTypeSampler:
        if (count >= 2)
            m->types[ins[1]] = {opcode, 0, 0, 0, 0};
        break;
    case spv::OpTypeArray:
        if (count >= 4)
            m->sizes[ins[1]] = m->sizes[ins[2]] * m->constants[ins[3]];
        [[fallthrough]];
    case spv::OpTypeSampledImage:
    case spv::OpTypeRuntimeArray:
        if (count >= 3)
            m->types[ins[1]] = {opcode, ins[2], 0, 0, 0};
        if (opcode == spv::OpTypeArray && count >= 4)
            m->types[ins[1]].memberCount = static_cast<uint32_t>(m->constants[ins[3]]);
        break;
    case spv::OpTypeStruct:
        if (count >= 2)
            m->types[ins[1]] = {opcode, count > 2 ? ins[2] : 0, 0, 0, count - 2};
        for (uint32_t member = 2; member < count; ++member)
            m->sizes[ins[1]] += m->sizes[ins[member]];
        break;
    case spv::OpTypePointer:
        if (count >= 4)
            m->types[ins[1]] = {opcode, ins[3], ins[2], 0, 0};
        break;
    }
}

// glslang splits an array member of an entry point's structure into one variable per element, named
// "name[n]", each with the array's semantic: element n is the semantic's index plus n.
void NoteElement(uint32_t id, const std::string& name, Module* m) {
    if (name.empty() || name.back() != ']')
        return;
    const size_t open = name.rfind('[');
    if (open == std::string::npos || open + 2 >= name.size())
        return;
    uint32_t element = 0;
    for (size_t i = open + 1; i + 1 < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || element > 65535)
            return;
        element = element * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    m->elements[id] = element;
}

// One OpDecorate of at least three words, whose instruction lands at word `keptAt`.
void NoteDecoration(const uint32_t* ins, uint32_t count, size_t keptAt, Module* m) {
    Decorations& d = m->decorations[ins[1]];
    uint32_t operand = count >= 4 ? ins[3] : 0;
    static const std::pair<spv::Decoration, bool Decorations::*> kFlags[] = {
        {spv::DecorationBlock, &Decorations::block},
        {spv::DecorationBufferBlock, &Decorations::bufferBlock},
        {spv::DecorationBuiltIn, &Decorations::builtIn},
        {spv::DecorationNonWritable, &Decorations::nonWritable}};
    for (const auto& [decoration, flag] : kFlags)
        if (ins[2] == decoration)
            d.*flag = true;
    switch (ins[2]) {
    case spv::DecorationLocation:
        d.hasLocation = true;
        d.location = operand;
        d.locationWord = static_cast<uint32_t>(keptAt + 3);
        break;
    case spv::DecorationBinding:
        d.hasBinding = true;
        d.binding = operand;
        d.bindingWord = static_cast<uint32_t>(keptAt + 3);
        break;
    case spv::DecorationDescriptorSet:
        d.set = operand;
        break;
    }
}

// Notes what one instruction declares, which lands at word `keptAt` of the module handed on if kept;
// returns false when it is to be left out.
bool Note(const SpirvInstruction& instruction, size_t keptAt, Module* m) {
    const uint32_t* ins = instruction.words.data();
    const uint32_t count = static_cast<uint32_t>(instruction.words.size());
    switch (instruction.op) {
    case spv::OpExtension:
        return !IsStrippedExtension(instruction.String(1));
    case spv::OpEntryPoint:
        if (count >= 4)
            m->entryPoints[instruction.String(3)] = ins[2];
        return true;
    case spv::OpExecutionMode:
        if (count >= 6 && ins[2] == spv::ExecutionModeLocalSize)
            m->localSizes[ins[1]] = {ins[3], ins[4], ins[5]};
        return true;
    case spv::OpName:
        if (count >= 3)
            NoteElement(ins[1], instruction.String(2), m);
        return true;
    case spv::OpVariable:
        if (count >= 4)
            m->variables.push_back({ins[2], ins[1], ins[3]});
        return true;
    case spv::OpDecorate:
        if (count >= 3)
            NoteDecoration(ins, count, keptAt, m);
        return true;
    case spv::OpMemberDecorate:
        if (count >= 4 && ins[3] == spv::DecorationNonWritable)
            m->decorations[ins[1]].nonWritableMembers.insert(ins[2]);
        return true;
    case spv::OpDecorateString:
        if (count >= 4 && ins[2] == spv::DecorationHlslSemanticGOOGLE)
            m->decorations[ins[1]].semantic = instruction.String(3);
        return count < 3 || !IsStrippedDecoration(ins[2]);
    case spv::OpDecorateId:
        if (count >= 4 && ins[2] == spv::DecorationHlslCounterBufferGOOGLE)
            m->counters.insert(ins[3]);
        return count < 3 || !IsStrippedDecoration(ins[2]);
    case spv::OpMemberDecorateString:
        return count < 4 || !IsStrippedDecoration(ins[3]);
    default:
        NoteType(instruction, m);
        return true;
    }
}

const Type* FindType(const Module& m, uint32_t id) {
    auto it = m.types.find(id);
    return it == m.types.end() ? nullptr : &it->second;
}

// The register class of a resource variable, by what HLSL object it was made from.
bool ClassOf(const Module& m, const Variable& v, RegisterClass* cls) {
    const Type* pointer = FindType(m, v.type);
    const Type* type = pointer ? FindType(m, pointer->element) : nullptr;
    uint32_t typeId = pointer ? pointer->element : 0;
    while (type && (type->opcode == spv::OpTypeArray || type->opcode == spv::OpTypeRuntimeArray)) {
        typeId = type->element;
        type = FindType(m, typeId);
    }
    if (!type)
        return false;
    switch (type->opcode) {
    case spv::OpTypeSampler:
        *cls = RegisterClass::Sampler;
        return true;
    case spv::OpTypeSampledImage:
        *cls = RegisterClass::ShaderResource;
        return true;
    case spv::OpTypeImage:
        *cls = type->sampled == kImageSampledStorage ? RegisterClass::UnorderedAccess
                                                     : RegisterClass::ShaderResource;
        return true;
    case spv::OpTypeStruct: {
        auto it = m.decorations.find(typeId);
        static const Decorations kNone;
        const Decorations& d = it == m.decorations.end() ? kNone : it->second;
        if (v.storage == spv::StorageClassUniform && d.block) {
            *cls = RegisterClass::ConstantBuffer;
            return true;
        }
        auto var = m.decorations.find(v.id);
        bool readOnly = (var != m.decorations.end() && var->second.nonWritable) ||
                        (type->memberCount > 0 && d.nonWritableMembers.size() == type->memberCount);
        *cls = readOnly ? RegisterClass::ShaderResource : RegisterClass::UnorderedAccess;
        return true;
    }
    }
    return false;
}

// The hidden counter of an append, consume or counted buffer: a buffer block of one integer and no
// array, which no HLSL buffer is. Its decoration naming it is gone when its buffer is unused.
bool IsCounter(const Module& m, const Variable& v) {
    if (m.counters.count(v.id))
        return true;
    const Type* pointer = FindType(m, v.type);
    const Type* block = pointer ? FindType(m, pointer->element) : nullptr;
    if (!block || block->opcode != spv::OpTypeStruct || block->memberCount != 1)
        return false;
    auto d = m.decorations.find(pointer->element);
    const Type* member = FindType(m, block->element);
    return member && member->opcode == spv::OpTypeInt && d != m.decorations.end() &&
           (d->second.bufferBlock || v.storage == spv::StorageClassStorageBuffer);
}

// Indexed by RegisterClass.
constexpr char kRegisterLetters[kRegisterClassCount] = {'b', 'u', 't', 's'};

char RegisterLetter(RegisterClass cls) {
    return kRegisterLetters[static_cast<uint32_t>(cls)];
}

bool CollectResource(const Module& m, const Variable& v, ShaderInfo* info, std::string* error) {
    RegisterClass cls;
    if (!ClassOf(m, v, &cls)) {
        *error = "a resource of a kind Direct3D 11 shaders cannot bind";
        return false;
    }
    auto it = m.decorations.find(v.id);
    // Model 5.1's register spaces and registers past Direct3D 11's are Direct3D 12's to bind: they
    // compile, and the device refuses the code.
    const bool direct3d12 = info->model == 51;
    if (it == m.decorations.end() || !it->second.hasBinding) {
        *error = std::string("a resource of class ") + RegisterLetter(cls) + " without a register";
        return false;
    }
    uint32_t base = BindingOf(cls, 0);
    uint32_t binding = it->second.binding;
    if (it->second.set != kDescriptorSet && !direct3d12) {
        *error = std::string("register ") + RegisterLetter(cls) + std::to_string(binding - base) +
                 " is in space" + std::to_string(it->second.set) + ": register spaces need shader model 5.1";
        return false;
    }
    const uint32_t count = kRegisterCount[static_cast<uint32_t>(cls)];
    if (direct3d12 && (binding < base || binding - base >= count || it->second.set != kDescriptorSet))
        return true;
    if (binding < base || binding - base >= count) {
        *error = std::string("register ") + RegisterLetter(cls) + std::to_string(binding - base) +
                 " is out of range: " + RegisterLetter(cls) + "0 to " + RegisterLetter(cls) +
                 std::to_string(count - 1) + " are supported";
        return false;
    }
    info->usedRegisters[static_cast<uint32_t>(cls)].set(binding - base);
    return true;
}

// The descriptor Vulkan binds a resource variable with, by its storage class and type.
DescriptorKind KindOf(const Module& m, const Variable& v) {
    const Type* pointer = FindType(m, v.type);
    const Type* type =
        pointer && pointer->opcode == spv::OpTypePointer ? FindType(m, pointer->element) : nullptr;
    if (!type || type->opcode == spv::OpTypeArray || type->opcode == spv::OpTypeRuntimeArray)
        return DescriptorKind::Unsupported;
    if (v.storage == spv::StorageClassStorageBuffer)
        return DescriptorKind::StorageBuffer;
    if (v.storage == spv::StorageClassUniform && type->opcode == spv::OpTypeStruct) {
        auto d = m.decorations.find(pointer->element);
        if (d != m.decorations.end() && d->second.bufferBlock)
            return DescriptorKind::StorageBuffer;
        if (d != m.decorations.end() && d->second.block)
            return DescriptorKind::UniformBuffer;
        return DescriptorKind::Unsupported;
    }
    if (v.storage != spv::StorageClassUniformConstant)
        return DescriptorKind::Unsupported;
    switch (type->opcode) {
    case spv::OpTypeSampler:
        return DescriptorKind::Sampler;
    case spv::OpTypeSampledImage:
        return DescriptorKind::CombinedImageSampler;
    case spv::OpTypeImage: {
        const bool storage = type->sampled == kImageSampledStorage;
        if (type->dim == spv::DimBuffer)
            return storage ? DescriptorKind::StorageTexelBuffer : DescriptorKind::UniformTexelBuffer;
        return storage ? DescriptorKind::StorageImage : DescriptorKind::SampledImage;
    }
    }
    return DescriptorKind::Unsupported;
}

// Every variable with a binding, hidden counters included, as the device binds it; for model 5.1,
// those within Direct3D 11's table.
bool ListResources(const Module& m, ShaderInfo* info, std::string* error) {
    for (const Variable& v : m.variables) {
        auto d = m.decorations.find(v.id);
        if (d == m.decorations.end() || !d->second.hasBinding)
            continue;
        if (info->model == 51 && (d->second.binding >= kBindingsPerStage || d->second.set != kDescriptorSet))
            continue;
        if (d->second.binding >= kBindingsPerStage) {
            *error = "a binding outside the register table";
            return false;
        }
        ShaderResource resource;
        RegisterOf(d->second.binding, &resource.registerClass, &resource.reg);
        resource.kind = KindOf(m, v);
        resource.bindingWord = d->second.bindingWord;
        info->resources.push_back(resource);
    }
    return true;
}

// How many locations a variable of type `typeId` takes, and how many components each has.
void Shape(const Module& m, uint32_t typeId, ShaderInput* input) {
    const Type* type = FindType(m, typeId);
    input->locations = 1;
    input->components = 1;
    while (type && type->opcode == spv::OpTypeArray) {
        input->locations *= type->memberCount;
        type = FindType(m, type->element);
    }
    if (type && type->opcode == spv::OpTypeMatrix) {
        input->locations *= type->memberCount;
        type = FindType(m, type->element);
    }
    if (type && type->opcode == spv::OpTypeVector)
        input->components = type->memberCount;
}

ShaderInput ToInput(const Module& m, const Variable& v, const Decorations& d) {
    ShaderInput input;
    input.location = d.location;
    input.locationWord = d.locationWord;
    const Type* pointer = FindType(m, v.type);
    if (pointer && pointer->opcode == spv::OpTypePointer)
        Shape(m, pointer->element, &input);
    size_t digits = d.semantic.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(d.semantic[digits - 1])))
        --digits;
    input.semantic = d.semantic.substr(0, digits);
    for (char& c : input.semantic)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (digits < d.semantic.size())
        input.semanticIndex = static_cast<uint32_t>(std::strtoul(d.semantic.c_str() + digits, nullptr, 10));
    auto element = m.elements.find(v.id);
    if (element != m.elements.end())
        input.semanticIndex += element->second;
    return input;
}

// Notes what the module declares into `m`, and copies it into `kept` less what is to be left out.
bool ReadModule(const std::vector<uint32_t>& spirv, Module* m, std::vector<uint32_t>* kept,
                std::string* error) {
    SpirvModule module;
    if (!module.Read(spirv, error))
        return false;
    std::vector<SpirvInstruction> globals;
    size_t keptAt = kHeaderWords;
    for (SpirvInstruction& ins : module.globals) {
        if (!Note(ins, keptAt, m))
            continue;
        keptAt += ins.words.size();
        globals.push_back(std::move(ins));
    }
    module.globals = std::move(globals);
    for (const SpirvInstruction& ins : module.functions)
        Note(ins, 0, m);
    *kept = module.Words();
    return true;
}

// The entry point's name and, for a compute shader, its thread group size.
bool ReadEntryPoint(const Module& m, const std::string& entry, ShaderInfo* info, std::string* error) {
    auto entryPoint = m.entryPoints.find(entry);
    if (entryPoint == m.entryPoints.end()) {
        *error = "entry point '" + entry + "' not found";
        return false;
    }
    info->entryPoint = entry;
    auto localSize = m.localSizes.find(entryPoint->second);
    if (localSize != m.localSizes.end())
        std::memcpy(info->threadGroupSize, localSize->second.data(), sizeof info->threadGroupSize);
    return true;
}

// The registers the resources use and the vertex inputs, checking groupshared memory against its limit.
bool CollectVariables(const Module& m, ShaderInfo* info, std::string* error) {
    uint64_t groupShared = 0;
    for (const Variable& v : m.variables) {
        switch (v.storage) {
        case spv::StorageClassUniformConstant:
        case spv::StorageClassUniform:
        case spv::StorageClassStorageBuffer:
            // A counter has no register of its own in Direct3D: it belongs to its buffer's view.
            if (!IsCounter(m, v) && !CollectResource(m, v, info, error))
                return false;
            break;
        case spv::StorageClassWorkgroup: {
            const Type* pointer = FindType(m, v.type);
            auto size = pointer ? m.sizes.find(pointer->element) : m.sizes.end();
            groupShared += size == m.sizes.end() ? 0 : size->second;
            break;
        }
        case spv::StorageClassInput:
        case spv::StorageClassOutput: {
            // The vertex stage's inputs meet the input layout; the pixel stage's inputs meet the
            // outputs of the vertex or geometry stage.
            const bool input = v.storage == spv::StorageClassInput;
            const bool listed =
                input ? info->stage == ShaderStage::Vertex || info->stage == ShaderStage::Pixel
                      : info->stage == ShaderStage::Vertex || info->stage == ShaderStage::Geometry;
            auto it = m.decorations.find(v.id);
            if (listed && it != m.decorations.end() && !it->second.builtIn && it->second.hasLocation)
                (input ? info->inputs : info->outputs).push_back(ToInput(m, v, it->second));
            break;
        }
        }
    }
    if (groupShared > kMaxGroupSharedBytes) {
        *error = "groupshared variables take " + std::to_string(groupShared) + " bytes; at most " +
                 std::to_string(kMaxGroupSharedBytes) + " are allowed";
        return false;
    }
    return true;
}

} // namespace

bool ReflectSpirv(const std::vector<uint32_t>& spirv, const std::string& entry, ShaderInfo* info,
                  std::string* error) {
    Module m;
    std::vector<uint32_t> kept;
    if (!ReadModule(spirv, &m, &kept, error) || !ReadEntryPoint(m, entry, info, error) ||
        !CollectVariables(m, info, error))
        return false;
    if (!ListResources(m, info, error))
        return false;
    info->spirv = std::move(kept);
    return true;
}

} // namespace platform::d3dcompiler
