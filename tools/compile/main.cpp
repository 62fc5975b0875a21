// fxview-compile: compiles one entry point of an HLSL file as fxview compiles its shaders, with the
// options of Windows' command-line compiler, and writes the SPIR-V module it made.
#include "command_line.h"
#include "include_directories.h"
#include "shader_blob.h"
#include "shader_compile.h"

#include <cstdio>

namespace {

// Writes the module's words, as SPIR-V tools read them, from the code blob D3DCompile2 made.
bool WriteSpirv(ID3DBlob* code, const std::string& path) {
    platform::ShaderInfo info;
    if (!platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info)) {
        std::fprintf(stderr, "fxview-compile: the compiled code is not a module this program made\n");
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(("fxview-compile: " + path).c_str());
        return false;
    }
    const size_t words = info.spirv.size();
    const bool written = std::fwrite(info.spirv.data(), sizeof(uint32_t), words, file) == words;
    if (std::fclose(file) != 0 || !written) {
        std::perror(("fxview-compile: " + path).c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line, &error)) {
        std::fprintf(stderr, "fxview-compile: %s\n%s", error.c_str(), kUsage);
        return 1;
    }
    platform::d3dcompiler::SetIncludeDirectories(line.includeDirectories);
    std::vector<D3D_SHADER_MACRO> macros;
    for (const auto& [name, value] : line.defines)
        macros.push_back({name.c_str(), value.c_str()});
    macros.push_back({nullptr, nullptr});

    ID3DBlob* code = nullptr;
    const ShaderFileCompile compile = {line.file.c_str(), line.entry.c_str(), line.target.c_str(),
                                       macros.data(),     line.file.c_str(),  line.flags};
    const HRESULT hr = CompileShaderFile(compile, &code);
    bool ok = SUCCEEDED(hr);
    if (ok && !line.output.empty())
        ok = WriteSpirv(code, line.output);
    if (code)
        code->Release();
    std::fflush(stdout);
    return ok ? 0 : 1;
}
