// D3DCompile2: HLSL in, a code blob of SPIR-V and metadata out, with the compiler's messages.
#include "attributes.h"
#include "control_characters.h"
#include "crash_hints.h"
#include "front_end.h"
#include "hooks.h"
#include "include_directories.h"
#include "include_handler.h"
#include "matrix_hints.h"
#include "reload_time_limit.h"
#include "shader_blob.h"
#include "source_bridge.h"
#include "source_checks.h"
#include "source_entry.h"
#include "source_encoding.h"
#include "source_global_constants.h"
#include "source_lines.h"
#include "source_matrix_majority.h"
#include "source_other_geometry.h"
#include "source_prelude.h"
#include "source_size.h"
#include "spirv_reflect.h"
#include "targets.h"

#include <d3dcompiler.h>
#include <testing.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

using namespace platform;
using namespace platform::d3dcompiler;

// Messages name the source this way when the caller gave no name.
constexpr char kUnnamedSource[] = "<source>";

constexpr UINT kOptimizationLevelMask = D3DCOMPILE_OPTIMIZATION_LEVEL2;
constexpr UINT kMatrixFlags = D3DCOMPILE_PACK_MATRIX_ROW_MAJOR | D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR;
// Every flag Windows' compiler takes for shader model 5. Those that change no result here need no
// translation: strictness and backwards compatibility (glslang takes one syntax), flow control
// (SPIR-V control flow is always structured), precision (SPIR-V floats are IEEE), debug information
// and validation (none is added or skipped), resource aliasing and binding hints.
constexpr UINT kSupportedFlags =
    D3DCOMPILE_DEBUG | D3DCOMPILE_SKIP_VALIDATION | D3DCOMPILE_SKIP_OPTIMIZATION | kMatrixFlags |
    D3DCOMPILE_PARTIAL_PRECISION | D3DCOMPILE_FORCE_VS_SOFTWARE_NO_OPT | D3DCOMPILE_FORCE_PS_SOFTWARE_NO_OPT |
    D3DCOMPILE_NO_PRESHADER | D3DCOMPILE_AVOID_FLOW_CONTROL | D3DCOMPILE_PREFER_FLOW_CONTROL |
    D3DCOMPILE_ENABLE_STRICTNESS | D3DCOMPILE_ENABLE_BACKWARDS_COMPATIBILITY | D3DCOMPILE_IEEE_STRICTNESS |
    kOptimizationLevelMask | D3DCOMPILE_WARNINGS_ARE_ERRORS | D3DCOMPILE_RESOURCES_MAY_ALIAS |
    D3DCOMPILE_ENABLE_UNBOUNDED_DESCRIPTOR_TABLES | D3DCOMPILE_ALL_RESOURCES_BOUND |
    D3DCOMPILE_DEBUG_NAME_FOR_SOURCE | D3DCOMPILE_DEBUG_NAME_FOR_BINARY;
// Put before the source for D3DCOMPILE_PACK_MATRIX_ROW_MAJOR; `#line` keeps the source's numbering.
constexpr char kRowMajorPrologue[] = "#pragma pack_matrix(row_major)\n#line 1\n";

// SPIRV-Tools has one optimisation for speed; levels 1 to 3 all ask for it.
bool Optimizes(UINT flags) {
    return (flags & D3DCOMPILE_SKIP_OPTIMIZATION) == 0 &&
           (flags & kOptimizationLevelMask) != D3DCOMPILE_OPTIMIZATION_LEVEL0;
}

// A blob holding `text` and its terminating NUL.
HRESULT MakeTextBlob(const std::string& text, ID3DBlob** blob) {
    HRESULT hr = D3DCreateBlob(text.size() + 1, blob);
    if (FAILED(hr))
        return hr;
    std::memcpy((*blob)->GetBufferPointer(), text.c_str(), text.size() + 1);
    return S_OK;
}

// Hands out the messages, warnings included, with control characters escaped; a compile that cannot
// hand them out fails whole.
HRESULT Finish(HRESULT hr, const std::string& messages, ID3DBlob** shader, ID3DBlob** error_messages) {
    if (!error_messages || messages.empty())
        return hr;
    HRESULT blobHr = MakeTextBlob(EscapeControlCharacters(messages), error_messages);
    if (FAILED(hr))
        return hr;
    if (FAILED(blobHr) && *shader) {
        (*shader)->Release();
        *shader = nullptr;
    }
    return blobHr;
}

// What the author reads when the compiler itself failed on the source, and what goes to standard
// error for whoever looks into it. Only a crash or a failure of the compiler's own is put down to
// the source; a compile that ran out of time or memory, or could not run, did not finish.
std::string DescribeFault(const FrontEndResult& r, const std::string& name, const char* entry,
                          unsigned limitMs, std::string* log) {
    char what[224];
    bool sourceFault = false;
    const char* abbreviation =
        r.end == ChildEnd::Signalled || r.end == ChildEnd::Killed ? sigabbrev_np(r.signal) : nullptr;
    switch (r.end) {
    case ChildEnd::Signalled:
        std::snprintf(what, sizeof what, "crashed on this source (signal %d, SIG%s)", r.signal,
                      abbreviation ? abbreviation : "?");
        sourceFault = true;
        break;
    case ChildEnd::TimedOut:
        if (r.failure.empty())
            std::snprintf(what, sizeof what, "did not finish within %g s and was stopped", limitMs / 1000.0);
        else
            std::snprintf(what, sizeof what, "did not finish: %s", r.failure.c_str());
        break;
    case ChildEnd::Exited:
        if (r.exitStatus == kExitOutOfMemory)
            std::snprintf(what, sizeof what,
                          "did not finish: it needed more than the %llu MiB of memory a compile may take",
                          static_cast<unsigned long long>(kChildMemoryLimit >> 20));
        else if (r.exitStatus != 0)
            std::snprintf(what, sizeof what, "failed on this source (exit status %d)", r.exitStatus);
        else
            std::snprintf(what, sizeof what, "ended without a complete result");
        sourceFault = r.exitStatus != kExitOutOfMemory;
        break;
    case ChildEnd::Killed:
        std::snprintf(what, sizeof what,
                      "was killed from outside (signal %d, SIG%s%s): %s, of the %llu MiB a compile may take",
                      r.signal, abbreviation ? abbreviation : "?",
                      r.signal == SIGKILL ? ", as the out-of-memory killer sends" : "", r.failure.c_str(),
                      static_cast<unsigned long long>(kChildMemoryLimit >> 20));
        break;
    case ChildEnd::NotStarted:
    case ChildEnd::Lost:
        std::snprintf(what, sizeof what, "could not be run (%s)", r.failure.c_str());
        break;
    }
    *log = std::string("the HLSL compiler ") + what + " compiling '" + entry + "' of " + name;
    if (!sourceFault)
        return name + ": error: the HLSL compiler " + what + "\n";
    return name + ": error: the HLSL compiler " + what +
           "; this is a compiler fault triggered by the code above: simplify the last edit\n";
}

// The message for a stage not compiled because an earlier stage of the same reload spent its time.
std::string RefuseSpentReload(const std::string& name, const char* entry, const std::string& spentBy,
                              unsigned limitMs) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", limitMs / 1000.0);
    return name + ": error: '" + entry + "' not compiled: compiling '" + spentBy +
           "' of the same source took all the " + limit + " s a reload may take\n";
}

// The message for a source without the entry point the caller named.
std::string EntryNotFound(const std::string& name, const char* entry) {
    return name + ": error: entry point '" + entry + "' not found\n";
}

// What the front end runs: the source rewritten into the HLSL glslang takes, with the caller's options.
FrontEndJob MakeFrontEndJob(const std::string& source, const std::string& name,
                            const D3D_SHADER_MACRO* defines, ID3DInclude* include, const char* entry,
                            ShaderStage stage, UINT flags) {
    FrontEndJob job;
    job.source = source;
    BridgeSource(&job.source);
    SingleOutEntryPoint(&job.source, entry);
    if (stage == ShaderStage::Geometry)
        DropOtherGeometryFunctions(&job.source, entry);
    MakeGlobalConstantsUniform(&job.source);
    if (flags & D3DCOMPILE_PACK_MATRIX_ROW_MAJOR)
        job.source.insert(0, kRowMajorPrologue);
    WriteOutMatrixMajority(&job.source);
    job.source.insert(0, kWindowsPrelude);
    job.name = name;
    job.entry = entry;
    job.stage = stage;
    job.optimize = Optimizes(flags);
    for (const D3D_SHADER_MACRO* d = defines; d && d->Name; ++d)
        job.macros.emplace_back(d->Name, d->Definition ? d->Definition : "");
    job.standardIncludes = include == D3D_COMPILE_STANDARD_FILE_INCLUDE;
    if (job.standardIncludes)
        job.includeDirectories = IncludeDirectories();
    return job;
}

// The author's message for a front end that did not finish, with hints to the cause when it crashed.
std::string ExplainUnfinished(const FrontEndResult& r, const std::string& source, const std::string& name,
                              const char* entry, unsigned limitMs) {
    std::string log;
    std::string messages = DescribeFault(r, name, entry, limitMs, &log);
    if (r.end == ChildEnd::Signalled) {
        const std::string hint = CrashHint(source, name) + IntrinsicCrashHint(source, name);
        messages += hint.empty() ? MatrixHint(source, name, "") : hint;
    }
    LogFailure("D3DCompile2", log.c_str());
    return messages;
}

// The preprocessor's messages for a source that does not preprocess.
std::string ExplainPreprocessFailure(const FrontEndResult& r, const std::string& name) {
    if (!r.preprocessMessages.empty())
        return r.preprocessMessages;
    LogFailure("glslang::TShader::preprocess", "failed without a message");
    return name + ": error: the preprocessor failed without saying why\n";
}

// Glslang's messages of a failed compile, with what the author can act on when they say nothing.
void ExplainCompileFailure(const FrontEndResult& r, const std::string& name, const char* entry,
                           std::string* messages) {
    // Glslang reports a missing entry point only as a warning of its link step.
    if (!r.entryFound && messages->find(": error: ") == std::string::npos) {
        *messages += EntryNotFound(name, entry);
    } else if (messages->empty()) {
        LogFailure("glslang::TShader::parse", "failed without a message");
        *messages = name + ": error: the compiler failed without saying why\n";
    }
}

// A message of the SPIR-V stage or of reflection on the line it names, or where the source shows
// the register or variable it is about.
std::string PlaceMessage(const SpirvStageFailure& failure, const std::string& source,
                         const std::string& name) {
    const std::string hint = MatrixHint(source, name, failure.message);
    if (!hint.empty())
        return hint;
    if (failure.line != 0)
        return (failure.file.empty() ? name : failure.file) + ":" + std::to_string(failure.line) +
               ": error: " + failure.message + "\n";
    return WhereInSource(source, name, failure.message) + failure.message + "\n";
}

// Reads from the final SPIR-V what the device needs.
bool Reflect(const FrontEndResult& r, const std::string& source, const std::string& name, const char* entry,
             ShaderInfo* info, std::string* messages) {
    SpirvStageFailure failure;
    if (ReflectSpirv(r.spirv, entry, info, &failure.message))
        return true;
    *messages += PlaceMessage(failure, source, name);
    return false;
}

// The code blob handed to the caller.
HRESULT MakeShaderBlob(const ShaderInfo& info, ID3DBlob** shader) {
    std::vector<uint8_t> bytes = EncodeShaderBlob(info);
    HRESULT hr = D3DCreateBlob(bytes.size(), shader);
    if (FAILED(hr))
        return hr;
    std::memcpy((*shader)->GetBufferPointer(), bytes.data(), bytes.size());
    return S_OK;
}

// The source as the program's Windows build hands it over: it reads main.fx in text mode, which ends
// the text at a Ctrl-Z byte and leaves the rest of its zero-filled buffer NUL. glibc's fread has no
// text mode, and this is the first place the layer sees the bytes the program read.
size_t TextModeLength(const char* data, size_t size) {
    const size_t length = SourceLength(data, size);
    const void* ctrlZ = length ? std::memchr(data, '\x1A', length) : nullptr;
    return ctrlZ ? static_cast<size_t>(static_cast<const char*>(ctrlZ) - data) : length;
}

HRESULT Compile(const char* data, size_t length, const std::string& name, const D3D_SHADER_MACRO* defines,
                ID3DInclude* include, const char* entry, const char* target, ShaderStage stage, UINT flags,
                ID3DBlob** shader, std::string* messages) {
    if (length == 0) {
        *messages = EntryNotFound(name, entry);
        return E_FAIL;
    }
    const std::string source(data, length);
    const unsigned limitMs = ReloadTimeLimitMs();
    const CompileTurn turn = BeginCompile(source, name, entry, limitMs);
    if (turn.limitMs == 0) {
        *messages = RefuseSpentReload(name, entry, turn.spentBy, limitMs);
        return E_FAIL;
    }
    FrontEndResult r =
        RunFrontEnd(MakeFrontEndJob(source, name, defines, include, entry, stage, flags), turn.limitMs);
    EndCompile(turn, entry, r.end == ChildEnd::TimedOut);
    // Attributes are checked on the preprocessed text, where macros have their values. Their message
    // says more than a compiler fault would, so it wins even when glslang went on to crash on them.
    std::string attributeError;
    if (!r.preprocessedText.empty() &&
        !CheckNumThreads(r.preprocessedText, name, entry, stage, target, &attributeError)) {
        *messages = attributeError;
        return E_FAIL;
    }
    // Legalisation may crash or fail on a module glslang got wrong; the fault is glslang's, on this line.
    if (r.flawed && !r.spirvMade && (r.finished || r.end == ChildEnd::Signalled)) {
        *messages = r.compileMessages + PlaceMessage(r.flaw, source, name);
        return E_FAIL;
    }
    if (!r.finished) {
        *messages = ExplainUnfinished(r, source, name, entry, limitMs);
        return E_FAIL;
    }
    // A source that does not preprocess goes no further: glslang would parse it all the same, unchecked.
    if (!r.preprocessed) {
        *messages = ExplainPreprocessFailure(r, name);
        return E_FAIL;
    }
    *messages = r.compileMessages;
    // What Windows refuses or warns of and glslang takes, read where the preprocessor left the source.
    const SourceFindings findings = CheckPreprocessedSource(r.preprocessedText, name, entry);
    if (!r.compiled) {
        ExplainCompileFailure(r, name, entry, messages);
        *messages += findings.errors;
        return E_FAIL;
    }
    if (!findings.errors.empty()) {
        *messages += findings.errors;
        return E_FAIL;
    }
    if (!r.spirvMade) {
        *messages += PlaceMessage(r.spirvFailure, source, name);
        return E_FAIL;
    }
    ShaderInfo info;
    info.stage = stage;
    info.model = ShaderModelOf(target);
    if (!Reflect(r, source, name, entry, &info, messages))
        return E_FAIL;
    *messages += findings.warnings;
    if ((flags & D3DCOMPILE_WARNINGS_ARE_ERRORS) && messages->find(": warning") != std::string::npos) {
        *messages += name + ": error: warnings are errors (D3DCOMPILE_WARNINGS_ARE_ERRORS)\n";
        return E_FAIL;
    }
    return MakeShaderBlob(info, shader);
}

} // namespace

extern "C" HRESULT WINAPI D3DCompile2(const void* data, SIZE_T data_size, const char* filename,
                                      const D3D_SHADER_MACRO* defines, ID3DInclude* include,
                                      const char* entrypoint, const char* target, UINT sflags, UINT eflags,
                                      UINT secondary_flags, const void* secondary_data,
                                      SIZE_T secondary_data_size, ID3DBlob** shader,
                                      ID3DBlob** error_messages) {
    if (shader)
        *shader = nullptr;
    if (error_messages)
        *error_messages = nullptr;
    HRESULT hr;
    if (TakeInjectedFailure("D3DCompile2", &hr))
        return hr;
    if (!shader || !entrypoint || !target) {
        LogFailure("D3DCompile2", "null entry point, target or code pointer");
        return E_INVALIDARG;
    }
    if (include && include != D3D_COMPILE_STANDARD_FILE_INCLUDE) {
        LogFailure("D3DCompile2", "only D3D_COMPILE_STANDARD_FILE_INCLUDE resolves includes here");
        return E_NOTIMPL;
    }
    const std::string name = filename ? filename : kUnnamedSource;
    if ((sflags & ~kSupportedFlags) != 0 || (sflags & kMatrixFlags) == kMatrixFlags || eflags != 0 ||
        secondary_flags != 0 || secondary_data || secondary_data_size != 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s: error: unsupported flags: Flags1 0x%08X, Flags2 0x%08X, secondary 0x%08X\n",
                      name.c_str(), sflags, eflags, secondary_flags);
        return Finish(E_INVALIDARG, text, shader, error_messages);
    }
    ShaderStage stage;
    if (!ParseTarget(target, &stage)) {
        std::string text = name + ": error: unsupported target '" + target +
                           "': use vs, ps, gs or cs with 4_0, 4_1, 5_0 or 5_1 (vs_5_0...)\n";
        return Finish(E_FAIL, text, shader, error_messages);
    }
    const char* source = static_cast<const char*>(data);
    if (data_size > kMaxSourceBytes) {
        const std::string text = name + ": error: the file is " + TooLargeReason(data_size) + "\n";
        return Finish(E_FAIL, text, shader, error_messages);
    }
    if (const char* encoding = Utf16Encoding(source, data_size)) {
        const std::string text = name + ":1: error: the file is " + encoding +
                                 "; the HLSL compiler reads ASCII or UTF-8: save it as UTF-8\n";
        return Finish(E_FAIL, text, shader, error_messages);
    }
    std::string messages;
    try {
        hr = Compile(source, TextModeLength(source, data_size), name, defines, include, entrypoint, target,
                     stage, sflags, shader, &messages);
    } catch (const std::bad_alloc&) {
        LogFailure("D3DCompile2", "out of memory");
        return E_OUTOFMEMORY;
    }
    return Finish(hr, messages, shader, error_messages);
}
