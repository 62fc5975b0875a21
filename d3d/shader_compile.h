// Compiles one entry point of a shader file with the HLSL compiler, printing what the compiler said
// and a status line. The file is read again on every call; nothing is cached.
#pragma once

#include <windows.h>
#include <d3dcompiler.h>

// One compile of a file as Windows' command-line compiler runs it: the macros (ending in a null name;
// null for none), the name messages and includes go by (null: none) and the compile flags.
struct ShaderFileCompile {
    const char* path;
    const char* entry;
    const char* target;
    const D3D_SHADER_MACRO* defines;
    const char* sourceName;
    UINT flags;
};

// Reads the file and compiles it, printing the compiler's messages and the status line as
// D3DCompileShaderFromFile does.
HRESULT CompileShaderFile(const ShaderFileCompile& compile, ID3DBlob** code);

// Reads `path`, compiles `entry` for `target` into *code and returns the compiler's HRESULT.
// The caller sets *code to null before the call and owns the blob on success.
HRESULT D3DCompileShaderFromFile(const char* path, const char* entry, const char* target, ID3DBlob** code);
