// The HLSL compiler entry points that fxview calls, implemented over shaderc: D3DCompile2 compiles
// one entry point to SPIR-V plus the metadata the Direct3D 11 stand-in needs, D3DCreateBlob makes a
// blob. No effects, no reflection interfaces, no disassembly.
#pragma once

#include <d3dcommon.h>

// Flags1 values the layer understands; any other bit makes D3DCompile2 return E_INVALIDARG.
#define D3DCOMPILE_SKIP_OPTIMIZATION 0x00000004
#define D3DCOMPILE_PREFER_FLOW_CONTROL 0x00000400
#define D3DCOMPILE_ENABLE_STRICTNESS 0x00000800
#define D3DCOMPILE_OPTIMIZATION_LEVEL0 0x00004000
#define D3DCOMPILE_OPTIMIZATION_LEVEL1 0x00000000
#define D3DCOMPILE_OPTIMIZATION_LEVEL2 0x0000c000
#define D3DCOMPILE_OPTIMIZATION_LEVEL3 0x00008000

#define D3D_COMPILE_STANDARD_FILE_INCLUDE ((ID3DInclude*)(UINT_PTR)1)

extern "C" {

HRESULT WINAPI D3DCompile2(const void* data, SIZE_T data_size, const char* filename,
                           const D3D_SHADER_MACRO* defines, ID3DInclude* include, const char* entrypoint,
                           const char* target, UINT sflags, UINT eflags, UINT secondary_flags,
                           const void* secondary_data, SIZE_T secondary_data_size, ID3DBlob** shader,
                           ID3DBlob** error_messages);

HRESULT WINAPI D3DCreateBlob(SIZE_T data_size, ID3DBlob** blob);
}
