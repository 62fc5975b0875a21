#include "front_end.h"

#include "change_directory.h"
#include "compile_client.h"
#include "include_handler.h"
#include "registers.h"

#include <cstring>
#include <mutex>
#include <set>
#include <unistd.h>

namespace platform {

namespace {

enum Tag : uint32_t {
    kPreprocessStatus = 1, // a Status
    kPreprocessMessages,
    kPreprocessedText,
    kCompileStatus, // a Status
    kCompileMessages,
    kSpirv,
    kDone, // empty: everything was sent
};

struct Status {
    uint32_t status;
    uint32_t errors;
};

shaderc::CompileOptions MakeOptions(const FrontEndJob& job) {
    shaderc::CompileOptions options;
    options.SetSourceLanguage(shaderc_source_language_hlsl);
    // Glslang 12 still marks HLSL structured buffers BufferBlock, which SPIR-V 1.4 and later reject;
    // SPIR-V 1.3 is accepted by every Vulkan 1.1 to 1.3 device.
    options.SetTargetEnvironment(shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_1);
    options.SetOptimizationLevel(job.optimize ? shaderc_optimization_level_performance
                                              : shaderc_optimization_level_zero);
    options.SetHlslOffsets(true);
    options.SetHlslFunctionality1(true);
    options.SetHlslIoMapping(true);
    options.SetAutoMapLocations(true);
    // Registers keep their number inside their class's range; a resource without a register gets
    // the lowest free one of its class, as Direct3D assigns it.
    options.SetAutoBindUniforms(true);
    options.SetBindingBase(shaderc_uniform_kind_buffer, BindingOf(RegisterClass::ConstantBuffer, 0));
    options.SetBindingBase(shaderc_uniform_kind_unordered_access_view,
                           BindingOf(RegisterClass::UnorderedAccess, 0));
    options.SetBindingBase(shaderc_uniform_kind_texture, BindingOf(RegisterClass::ShaderResource, 0));
    options.SetBindingBase(shaderc_uniform_kind_sampler, BindingOf(RegisterClass::Sampler, 0));
    for (const auto& [name, value] : job.macros)
        options.AddMacroDefinition(name, value);
    if (job.standardIncludes)
        options.SetIncluder(MakeStandardFileIncluder(job.includeDirectories));
    return options;
}

// One compiler for the whole process, made in the parent before the first fork: glslang's process
// set-up runs once there, and no child ever takes the lock it runs under, which another thread of
// the parent could hold at the fork.
const shaderc::Compiler& ProcessCompiler() {
    static const shaderc::Compiler compiler;
    return compiler;
}

// Glslang builds its table of built-in functions once per stage and keeps it for the process. Built
// here in the process that forks, on a blank source of our own, every child starts with it rather
// than spending a hundred milliseconds and more building it again.
void PrepareStage(const FrontEndJob& job, const shaderc::CompileOptions& options) {
    static std::mutex lock;
    static std::set<shaderc_shader_kind> prepared;
    std::lock_guard<std::mutex> guard(lock);
    if (prepared.insert(job.kind).second)
        ProcessCompiler().PreprocessGlsl(" ", 1, job.kind, "blank", options);
}

void SendStatus(RecordWriter& out, Tag tag, shaderc_compilation_status status, size_t errors) {
    const Status s = {static_cast<uint32_t>(status), static_cast<uint32_t>(errors)};
    out.Write(tag, &s, sizeof s);
}

// The child's part: nothing here but shaderc's calls and the sending of their results. A child that
// cannot move to the caller's folder would look includes up in the wrong place, so it gives up.
void Work(const FrontEndJob& job, const shaderc::CompileOptions& options, RecordWriter& out) {
    if (!job.directory.empty() && !ChangeDirectory(job.directory))
        _exit(kExitSetupFailed);
    const shaderc::Compiler& compiler = ProcessCompiler();
    const char* source = job.source.data();
    const size_t length = job.source.size();
    const char* name = job.name.c_str();
    shaderc::PreprocessedSourceCompilationResult preprocessed =
        compiler.PreprocessGlsl(source, length, job.kind, name, options);
    SendStatus(out, kPreprocessStatus, preprocessed.GetCompilationStatus(), preprocessed.GetNumErrors());
    out.Write(kPreprocessMessages, preprocessed.GetErrorMessage());
    if (preprocessed.GetCompilationStatus() == shaderc_compilation_status_success) {
        out.Write(kPreprocessedText, preprocessed.cbegin(),
                  static_cast<size_t>(preprocessed.cend() - preprocessed.cbegin()));
        shaderc::SpvCompilationResult result =
            compiler.CompileGlslToSpv(source, length, job.kind, name, job.entry.c_str(), options);
        SendStatus(out, kCompileStatus, result.GetCompilationStatus(), result.GetNumErrors());
        out.Write(kCompileMessages, result.GetErrorMessage());
        out.Write(kSpirv, result.cbegin(), (result.cend() - result.cbegin()) * sizeof(uint32_t));
    }
    out.Write(kDone, nullptr, 0);
}

bool ReadStatus(const std::string& bytes, shaderc_compilation_status* status, size_t* errors) {
    Status s;
    if (bytes.size() != sizeof s)
        return false;
    std::memcpy(&s, bytes.data(), sizeof s);
    *status = static_cast<shaderc_compilation_status>(s.status);
    *errors = s.errors;
    return true;
}

// False when a record is unknown or of the wrong size; the fields of the good ones are filled in.
bool ReadRecords(const std::vector<Record>& records, FrontEndResult* r) {
    bool done = false;
    size_t preprocessErrors = 0;
    for (const Record& record : records) {
        bool ok = !done;
        switch (record.tag) {
        case kPreprocessStatus:
            ok = ok && ReadStatus(record.bytes, &r->preprocessStatus, &preprocessErrors);
            break;
        case kPreprocessMessages:
            r->preprocessMessages = record.bytes;
            break;
        case kPreprocessedText:
            r->preprocessedText = record.bytes;
            break;
        case kCompileStatus:
            ok = ok && ReadStatus(record.bytes, &r->compileStatus, &r->compileErrors);
            break;
        case kCompileMessages:
            r->compileMessages = record.bytes;
            break;
        case kSpirv:
            ok = ok && record.bytes.size() % sizeof(uint32_t) == 0;
            if (ok && !record.bytes.empty()) {
                r->spirv.resize(record.bytes.size() / sizeof(uint32_t));
                std::memcpy(r->spirv.data(), record.bytes.data(), record.bytes.size());
            }
            break;
        case kDone:
            ok = ok && record.bytes.empty();
            done = true;
            break;
        default:
            ok = false;
        }
        if (!ok)
            return false;
    }
    r->finished = done && r->end == ChildEnd::Exited && r->exitStatus == 0;
    return true;
}

} // namespace

IsolatedRun RunFrontEndChild(const FrontEndJob& job, int limitMs, int callerFd) {
    if (!ProcessCompiler().IsValid()) {
        IsolatedRun run;
        run.failure = "shaderc could not set up glslang";
        return run;
    }
    const shaderc::CompileOptions options = MakeOptions(job);
    PrepareStage(job, options);
    return RunIsolated([&job, &options](RecordWriter& out) { Work(job, options, out); }, limitMs, callerFd);
}

FrontEndResult RunFrontEnd(const FrontEndJob& job, int limitMs) {
    IsolatedRun run;
    if (!RunOnCompileServer(job, limitMs, &run))
        run = RunFrontEndChild(job, limitMs, -1);
    FrontEndResult result;
    result.end = run.end;
    result.exitStatus = run.exitStatus;
    result.signal = run.signal;
    result.failure = std::move(run.failure);
    const bool readable = ReadRecords(run.records, &result);
    result.finished = result.finished && readable;
    return result;
}

} // namespace platform
