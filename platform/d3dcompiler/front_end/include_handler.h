// The standard file include handler of D3DCompile2: `#include "x"` and `#include <x>` are looked up
// beside the including file, then in the current directory, then in `directories` in order (the
// command line's /I). A file that cannot be read is a compile error. No caller-supplied ID3DInclude.
#pragma once

#include <glslang/Public/ShaderLang.h>

#include <memory>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

std::unique_ptr<glslang::TShader::Includer> MakeStandardFileIncluder(std::vector<std::string> directories);

// The text of a shader source as the compiler sees it: everything before the first NUL byte.
size_t SourceLength(const char* data, size_t size);

} // namespace platform::d3dcompiler
