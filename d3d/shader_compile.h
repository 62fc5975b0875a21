// Compiles one entry point of a shader file with the HLSL compiler, printing what the compiler said
// and a status line. The file is read again on every call; nothing is cached.
#pragma once

#include <windows.h>
#include <d3dcompiler.h>

// Reads `path`, compiles `entry` for `target` into *code and returns the compiler's HRESULT.
// The caller sets *code to null before the call and owns the blob on success.
HRESULT D3DCompileShaderFromFile(const char* path, const char* entry, const char* target, ID3DBlob** code);
