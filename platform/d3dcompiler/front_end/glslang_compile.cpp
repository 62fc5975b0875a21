#include "glslang_compile.h"

#include "glslang_messages.h"
#include "include_handler.h"
#include "registers.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <memory>
#include <mutex>
#include <set>

namespace platform::d3dcompiler {

namespace {

// Glslang's HLSL has no version; this is the one its built-in tables are made and kept for.
constexpr int kDefaultVersion = 100;

// HLSL read as Windows' compiler reads it: HLSL's packing offsets in blocks, and Vulkan's rules.
constexpr EShMessages kMessages = static_cast<EShMessages>(
    EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslOffsets | EShMsgCascadingErrors);

EShLanguage LanguageOf(ShaderStage stage) {
    switch (stage) {
    case ShaderStage::Vertex:
        return EShLangVertex;
    case ShaderStage::Pixel:
        return EShLangFragment;
    case ShaderStage::Geometry:
        return EShLangGeometry;
    case ShaderStage::Compute:
        break;
    }
    return EShLangCompute;
}

// A shader of the job's stage with its source, macros, entry point and registers.
class Shader {
  public:
    explicit Shader(const FrontEndJob& job)
        : text_(job.source.c_str()), length_(static_cast<int>(job.source.size())), name_(job.name.c_str()),
          shader_(LanguageOf(job.stage)) {
        for (const auto& [name, value] : job.macros)
            preamble_ += "#define " + name + (value.empty() ? "" : " " + value) + "\n";
        shader_.setStringsWithLengthsAndNames(&text_, &length_, &name_, 1);
        shader_.setPreamble(preamble_.c_str());
        shader_.setEntryPoint(job.entry.c_str());
        shader_.setEnvInput(glslang::EShSourceHlsl, LanguageOf(job.stage), glslang::EShClientVulkan, 100);
        // Glslang 12 still marks HLSL structured buffers BufferBlock, which SPIR-V 1.4 and later
        // reject; SPIR-V 1.3 is accepted by every Vulkan 1.1 to 1.3 device.
        shader_.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_1);
        shader_.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_3);
        shader_.setEnvTargetHlslFunctionality1();
        shader_.setHlslIoMapping(true);
        shader_.setAutoMapLocations(true);
        // Registers keep their number inside their class's range; a resource without a register gets
        // the lowest free one of its class, as Direct3D assigns it.
        shader_.setAutoMapBindings(true);
        shader_.setShiftBinding(glslang::EResUbo, BindingOf(RegisterClass::ConstantBuffer, 0));
        shader_.setShiftBinding(glslang::EResUav, BindingOf(RegisterClass::UnorderedAccess, 0));
        shader_.setShiftBinding(glslang::EResTexture, BindingOf(RegisterClass::ShaderResource, 0));
        shader_.setShiftBinding(glslang::EResSampler, BindingOf(RegisterClass::Sampler, 0));
        if (job.standardIncludes)
            includer_ = MakeStandardFileIncluder(job.includeDirectories);
    }

    glslang::TShader& get() { return shader_; }
    glslang::TShader::Includer& includer() { return includer_ ? *includer_ : noIncludes_; }

  private:
    // Glslang keeps pointers to these, not copies.
    const char* text_;
    int length_;
    const char* name_;
    std::string preamble_;
    glslang::TShader shader_;
    std::unique_ptr<glslang::TShader::Includer> includer_;
    // Without D3D_COMPILE_STANDARD_FILE_INCLUDE, every include fails.
    glslang::TShader::ForbidIncluder noIncludes_;
};

} // namespace

bool PrepareGlslang(ShaderStage stage) {
    static std::mutex lock;
    static bool initialized = false;
    static std::set<ShaderStage> prepared;
    std::lock_guard<std::mutex> guard(lock);
    if (!initialized)
        initialized = glslang::InitializeProcess();
    if (!initialized || !prepared.insert(stage).second)
        return initialized;
    FrontEndJob blank;
    blank.source = " ";
    blank.name = "blank";
    blank.entry = "main";
    blank.stage = stage;
    Shader shader(blank);
    shader.get().parse(GetDefaultResources(), kDefaultVersion, false, kMessages, shader.includer());
    return true;
}

bool Preprocess(const FrontEndJob& job, std::string* text, std::string* messages) {
    Shader shader(job);
    const bool ok = shader.get().preprocess(GetDefaultResources(), kDefaultVersion, ENoProfile, false, false,
                                            kMessages, text, shader.includer());
    *messages = FormatGlslangLog(shader.get().getInfoLog(), job.name);
    return ok;
}

struct GlslangProgram::Parts {
    explicit Parts(const FrontEndJob& job) : shader(job) {}
    Shader shader;
    glslang::TProgram program;
};

GlslangProgram::GlslangProgram(const FrontEndJob& job) : job_(job), parts_(std::make_unique<Parts>(job)) {}

GlslangProgram::~GlslangProgram() = default;

bool GlslangProgram::Compile(std::vector<uint32_t>* spirv, std::string* messages, bool* entryFound) {
    glslang::TShader& shader = parts_->shader.get();
    const bool parsed =
        shader.parse(GetDefaultResources(), kDefaultVersion, false, kMessages, parts_->shader.includer());
    *messages = FormatGlslangLog(shader.getInfoLog(), job_.name);
    *entryFound = shader.getIntermediate()->getNumEntryPoints() > 0;
    if (!parsed)
        return false;
    parts_->program.addShader(&shader);
    const bool linked = parts_->program.link(kMessages) && parts_->program.mapIO();
    *messages += FormatGlslangLog(parts_->program.getInfoLog(), job_.name);
    if (!linked || !*entryFound)
        return false;
    std::string said;
    *spirv = Spirv(false, &said);
    if (!said.empty())
        *messages += job_.name + ": error: glslang could not make SPIR-V of this source: " + said;
    // What glslang could not translate it leaves out of the module: a failure, not a warning.
    return said.find("error") == std::string::npos && said.find("Missing functionality") == std::string::npos;
}

std::vector<uint32_t> GlslangProgram::Spirv(bool lines, std::string* said) const {
    glslang::SpvOptions options;
    options.generateDebugInfo = lines;
    options.disableOptimizer = true;
    spv::SpvBuildLogger logger;
    std::vector<unsigned int> words;
    glslang::GlslangToSpv(*parts_->program.getIntermediate(LanguageOf(job_.stage)), words, &logger, &options);
    if (said)
        *said = logger.getAllMessages();
    return std::vector<uint32_t>(words.begin(), words.end());
}

} // namespace platform::d3dcompiler
