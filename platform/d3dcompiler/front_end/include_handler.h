// The standard file include handler of D3DCompile2: `#include "x"` and `#include <x>` are looked up
// beside the including file, then in the current directory. A file that cannot be read is a compile
// error. No include paths, no caller-supplied ID3DInclude.
#pragma once

#include <glslang/Public/ShaderLang.h>

#include <memory>

namespace platform {

std::unique_ptr<glslang::TShader::Includer> MakeStandardFileIncluder();

// The text of a shader source as the compiler sees it: everything before the first NUL byte.
size_t SourceLength(const char* data, size_t size);

} // namespace platform
