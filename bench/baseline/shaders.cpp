// D3DCompile2 with fxview's flags, then the code blob decoded back into SPIR-V and its entry point.
#include "shaders.h"

#include <d3dcompiler.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace baseline {

namespace {

constexpr UINT kCompileFlags =
    D3DCOMPILE_OPTIMIZATION_LEVEL3 | D3DCOMPILE_ENABLE_STRICTNESS | D3DCOMPILE_PREFER_FLOW_CONTROL;

} // namespace

std::string ReadShaderFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "%s: cannot be read\n", path);
        std::exit(1);
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

platform::ShaderInfo CompileStage(const std::string& source, const char* entry, const char* target) {
    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    HRESULT hr =
        D3DCompile2(source.data(), source.size(), nullptr, nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE, entry,
                    target, kCompileFlags, 0, 0, nullptr, 0, &code, &messages);
    if (messages) {
        std::fprintf(stderr, "%s\n", static_cast<const char*>(messages->GetBufferPointer()));
        messages->Release();
    }
    if (hr != 0 || !code) {
        std::fprintf(stderr, "D3DCompile2 %s %s failed: 0x%08X\n", entry, target, static_cast<unsigned>(hr));
        std::exit(1);
    }
    platform::ShaderInfo info;
    bool decoded = platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info);
    code->Release();
    if (!decoded) {
        std::fprintf(stderr, "%s %s: the compiler's code blob does not decode\n", entry, target);
        std::exit(1);
    }
    return info;
}

} // namespace baseline
