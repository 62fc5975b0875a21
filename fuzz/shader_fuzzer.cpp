// libFuzzer target over the shader front end. An input is three choice bytes and then the bytes of a
// shader file: the choices pick the entry point, the target, and how the file reaches the compiler.
// Besides crashes and sanitizer reports, it fails on any result a caller could not rely on. Glslang
// runs in a child process of D3DCompile2, so its crashes are handled errors here; our code in that
// child (the include handler) reports through the child's exit status, which fails the run.
#include "shader_blob.h"
#include "shader_compile.h"

#include <d3dcompiler.h>
#include <testing.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using platform::ShaderStage;

// The entry points of the repository's shaders, then names no shader defines or no compiler takes.
const char* const kEntries[8] = {
    "vs_main", "ps_main", "cs_main", "gs_main", "main", "", "1bad name", "cs_main\x01",
};

// Supported targets, then ones the compiler must turn away with a message.
const struct {
    const char* name;
    bool supported;
    ShaderStage stage;
} kTargets[16] = {
    {"vs_5_0", true, ShaderStage::Vertex},  {"ps_5_0", true, ShaderStage::Pixel},
    {"cs_5_0", true, ShaderStage::Compute}, {"gs_4_0", true, ShaderStage::Geometry},
    {"vs_4_1", true, ShaderStage::Vertex},  {"ps_4_0", true, ShaderStage::Pixel},
    {"cs_5_1", true, ShaderStage::Compute}, {"gs_5_0", true, ShaderStage::Geometry},
    {"xx_9_9", false, ShaderStage::Vertex}, {"", false, ShaderStage::Vertex},
    {"cs_5", false, ShaderStage::Vertex},   {"ps_5_0_", false, ShaderStage::Vertex},
    {"cs_6_0", false, ShaderStage::Vertex}, {"lib_6_3", false, ShaderStage::Vertex},
    {"CS_5_0", false, ShaderStage::Vertex}, {"vs_3_0", false, ShaderStage::Vertex},
};

// Bits of the third byte.
constexpr uint8_t kThroughFile = 1;      // D3DCompileShaderFromFile, else D3DCompile2 on the bytes
constexpr uint8_t kSkipOptimization = 2; // D3DCompile2 only
constexpr uint8_t kNamedSource = 4;      // D3DCompile2 only: pass the file's path as the source name

constexpr size_t kChoiceBytes = 3;
constexpr unsigned kCompileTimeLimitMs = 5000;

std::string gFolder; // private to this process, removed at exit
std::string gFile;   // the one shader file every input is written to

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(gFolder, ignored);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "shader_fuzzer: %s\n", what);
    std::abort();
}

void WriteFile(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(gFile.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        Fail("cannot write the shader file");
}

// A code blob must decode to the stage and entry point it was compiled for.
void CheckCode(ID3DBlob* code, const char* entry, ShaderStage stage) {
    platform::ShaderInfo info;
    if (!platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info))
        Fail("a successful compile handed out a code blob that does not decode");
    if (info.stage != stage || info.entryPoint != entry)
        Fail("a code blob names another stage or entry point than was asked for");
}

// A message blob is text: NUL-terminated, with no NUL before its end, and not empty. A compiler
// process that ended other than by glslang's crash or hang points at our code or at the runner;
// a message only quoting the source, which glslang does, says nothing of the kind.
void CheckMessages(ID3DBlob* messages, const std::string& source) {
    const char* text = static_cast<const char*>(messages->GetBufferPointer());
    size_t size = messages->GetBufferSize();
    if (size < 2 || text[size - 1] != '\0' || std::strlen(text) != size - 1)
        Fail("a message blob is not one line of text or more");
    for (const char* fault :
         {"the HLSL compiler failed on this source (exit status",
          "the HLSL compiler ended without a complete result", "the HLSL compiler could not be run"}) {
        if (std::strstr(text, fault) && source.find(fault) == std::string::npos)
            Fail(text);
    }
}

// Decoding arbitrary bytes must not crash, and what decodes must survive encoding again.
void CheckDecode(const uint8_t* data, size_t size) {
    platform::ShaderInfo info;
    if (!platform::DecodeShaderBlob(data, size, &info))
        return;
    std::vector<uint8_t> again = platform::EncodeShaderBlob(info);
    platform::ShaderInfo back;
    if (!platform::DecodeShaderBlob(again.data(), again.size(), &back) ||
        back.entryPoint != info.entryPoint || back.spirv != info.spirv ||
        back.inputs.size() != info.inputs.size() || back.outputs.size() != info.outputs.size() ||
        back.model != info.model)
        Fail("a decoded code blob does not survive encoding again");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "fxview-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        Fail("mkdtemp failed");
    gFolder = pattern;
    gFile = gFolder + "/main.fx";
    std::atexit(RemoveFolder);
    // Below the fuzzer's own -timeout, so that a compile glslang never finishes is a handled error.
    fxtest::SetCompileTimeLimit(kCompileTimeLimitMs);
    // D3DCompileShaderFromFile prints a status line per compile; the fuzzer's own report is on stderr.
    if (!std::freopen("/dev/null", "w", stdout))
        Fail("cannot silence standard output");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckDecode(data, size);
    if (size < kChoiceBytes)
        return 0;
    const char* entry = kEntries[data[0] % 8];
    const auto& target = kTargets[data[1] % 16];
    const uint8_t how = data[2];
    const uint8_t* source = data + kChoiceBytes;
    const size_t length = size - kChoiceBytes;

    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    HRESULT hr;
    if (how & kThroughFile) {
        WriteFile(source, length);
        hr = D3DCompileShaderFromFile(gFile.c_str(), entry, target.name, &code);
    } else {
        UINT flags =
            (how & kSkipOptimization) ? D3DCOMPILE_SKIP_OPTIMIZATION : D3DCOMPILE_OPTIMIZATION_LEVEL3;
        // A named source exists, as main.fx does when the program compiles it, so that an include
        // of the file beside it reads these same bytes.
        if (how & kNamedSource)
            WriteFile(source, length);
        hr = D3DCompile2(source, length, (how & kNamedSource) ? gFile.c_str() : nullptr, nullptr,
                         D3D_COMPILE_STANDARD_FILE_INCLUDE, entry, target.name, flags, 0, 0, nullptr, 0,
                         &code, &messages);
        if (FAILED(hr) && !messages)
            Fail("a failed compile gave no message saying why");
        if (messages)
            CheckMessages(messages, std::string(reinterpret_cast<const char*>(source), length));
    }

    if (SUCCEEDED(hr) != (code != nullptr))
        Fail("the result and the code blob disagree");
    if (code && !target.supported)
        Fail("an unsupported target compiled");
    if (code)
        CheckCode(code, entry, target.stage);
    if (code)
        code->Release();
    if (messages)
        messages->Release();
    if (fxtest::LiveObjects("ID3D10Blob") != 0)
        Fail("a blob outlived its last release");
    return 0;
}
