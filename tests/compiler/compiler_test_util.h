// Helpers shared by the compiler tests: compiles, decoding a code blob, and
// reading bindings back out of SPIR-V independently of the compiler's own reflection.
#pragma once

#include "files.h"
#include "shader_blob.h"
#include "text.h"

#include <d3dcompiler.h>

#include <functional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace fxtest {

// The flags the program compiles with.
constexpr UINT kProgramFlags =
    D3DCOMPILE_OPTIMIZATION_LEVEL3 | D3DCOMPILE_ENABLE_STRICTNESS | D3DCOMPILE_PREFER_FLOW_CONTROL;

// What one D3DCompile2 call gave back; the code blob is released with it.
struct CompileResult {
    HRESULT hr = S_OK;
    ID3DBlob* code = nullptr;
    std::string messages;
    CompileResult() = default;
    CompileResult(const CompileResult&) = delete;
    CompileResult& operator=(const CompileResult&) = delete;
    ~CompileResult() {
        if (code)
            code->Release();
    }
};

// D3DCompile2 on `source`, with the standard include handler unless told otherwise.
void Compile(CompileResult* r, const std::string& source, const char* entry, const char* target,
             UINT flags = kProgramFlags, const char* name = nullptr,
             ID3DInclude* include = D3D_COMPILE_STANDARD_FILE_INCLUDE,
             const D3D_SHADER_MACRO* defines = nullptr);

// Decodes a code blob; fails the calling test when it is not one.
platform::ShaderInfo Decode(ID3DBlob* code);

// The text of a message blob, or "" when there is none.
std::string Text(ID3DBlob* messages);

// Values of the Binding decorations in a SPIR-V module.
std::set<uint32_t> Bindings(const std::vector<uint32_t>& spirv);

// True when the module declares any OpExtension: a device would have to enable it.
bool DeclaresExtension(const std::vector<uint32_t>& spirv);

// The spirv-val verdict for Vulkan 1.3 with scalar block layout: "" when valid, else the
// validator's message.
std::string ValidateForVulkan(const std::vector<uint32_t>& spirv);

// True when this process has no child at all, running or unreaped.
bool NoChildren();

// A test that gives up the program's compile server runs in a fresh copy of this test program, so
// that no other test depends on running before it. `AloneMode` is null in the ordinary run, and the
// mode's text in the copy.
const char* AloneMode();

// Runs this test program again with only the current test and FXVIEW_TEST_ALONE=`mode`; `watch` sees
// the copy's process and its output so far each time more arrives. Returns its wait status.
int RunAlone(const std::string& mode, std::string* out,
             const std::function<void(pid_t, const std::string&)>& watch = nullptr);

// In the ordinary run: runs the current test alone in a copy and fails when the copy fails. Returns
// true there, so that the caller returns; in the copy, returns false and the test goes on.
bool RanAlone();

} // namespace fxtest
